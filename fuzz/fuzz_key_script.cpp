// Key scripts: parsed, every key expanded as the window would deliver it, then played out on the
// headless host until it is exhausted.
#include "platform/host/host_headless.h"
#include "platform/host/key_script.h"
#include "targets.h"

namespace kaldro::fuzz {

void fuzzKeyScript(std::span<const uint8_t> input) {
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  const platform::KeyScript script = platform::parseKeyScript(text);
  for (const platform::ScriptStep& step : script.steps) {
    for (auto phase : {platform::KeyPhase::Press, platform::KeyPhase::DownOnly, platform::KeyPhase::UpOnly})
      (void)platform::expandKey(step.key, phase);
    (void)platform::characterOfKey(step.key);
    (void)platform::isSystemKeyDown(step.key);
  }
  // Each line also as a key name.
  for (size_t pos = 0; pos <= text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    (void)platform::parseKeyName(text.substr(pos, end - pos));
    pos = end + 1;
  }
  if (script.fault) return;
  platform::Trace trace;
  platform::HostHeadless host(trace, script.steps);
  try {
    for (int events = 0; events < 100000; ++events) {
      host.waitForEvent();
      while (host.pollEvent()) ++events;
    }
  } catch (const platform::ProgramExit&) {
  }
}

}  // namespace kaldro::fuzz

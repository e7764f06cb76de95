// The output module's protocol: any bytes from a server, read line by line, with the voice's output
// for the running job interleaved, and every message planned as a voice would speak it.
#include <string>
#include <string_view>
#include <vector>

#include "sd_kaldro/module_protocol.h"
#include "sd_kaldro/module_speech_plan.h"
#include "targets.h"

namespace kaldro::fuzz {

namespace {

class PlanningHost : public app::ModuleHost {
 public:
  bool initialise(std::string& message) override {
    message = "ok";
    return true;
  }
  std::vector<app::VoiceEntry> voices() override { return {{"v", "pt-BR", ""}}; }
  void startJob(uint64_t job, app::MessageKind kind, std::string text, const app::ModuleSettings& settings) override {
    running = job;
    for (const app::SpeechStep& step : app::planSpeech(kind, text, settings, plan)) (void)step;
  }
  void cancelJob(uint64_t) override {}
  uint64_t running = 0;
  platform::Configuration config{platform::ConfigLocations{}};
  app::TextReading reading{config};
  platform::CharacterNames characters;
  app::PlanReading plan{[](uint8_t c) { return c == '.' ? std::string("ponto") : std::string(); }, characters, reading};
};

}  // namespace

// Lines of the protocol; a line "\x01" hands audio of the running job, "\x02" a mark, "\x03" its end.
void fuzzModuleProtocol(std::span<const uint8_t> input) {
  PlanningHost host;
  app::ModuleProtocol protocol(host);
  std::string_view rest(reinterpret_cast<const char*>(input.data()), input.size());
  const std::vector<int16_t> samples = {0x0a7d, 0x7d0a, -1, 0};
  while (!rest.empty() && !protocol.quitRequested()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line == "\x01")
      (void)protocol.takeAudio(host.running, samples, 16000);
    else if (line == "\x02")
      (void)protocol.takeMark(host.running, "__spd_1");
    else if (line == "\x03")
      (void)protocol.takeJobEnd(host.running);
    else if (line.size() > 4096)
      (void)protocol.takeOverlongLine();
    else
      (void)protocol.takeLine(line);
  }
}

}  // namespace kaldro::fuzz

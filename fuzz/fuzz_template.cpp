// The letter generator on the headless host: a template loaded and walked to its end, the key
// script answering every question.
#include <cstdlib>
#include <filesystem>

#include "plumar/letter_generator.h"
#include "program/program_runtime.h"
#include "platform/host/host_headless.h"
#include "targets.h"

namespace kaldro::fuzz {

namespace {
// The output, "S" when it exists, then values, table answers and Escapes.
std::string keyScript(const std::string& output) {
  std::string keys = "type " + output + "\nkey Enter\nkey S\n";
  for (int i = 0; i < 12; ++i) keys += "type ab\nkey Enter\nkey N\nkey Escape\ntype {x}\nkey Enter\nkey Up\n";
  return keys;
}
}  // namespace

void fuzzTemplate(std::span<const uint8_t> input) {
  const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
  app::Template parsed = app::parseTemplate(bytes);
  (void)parsed;

  static const std::string folder = scratchFolder() + "/template";
  static const bool prepared = [] {
    std::filesystem::create_directories(folder);
    // The build tree's voice and configuration; nothing of the user's.
    ::setenv("KALDRO_CONFIG_DIR", KALDRO_BUILD_DIR "/etc/kaldro", 1);
    ::setenv("XDG_CONFIG_HOME", (folder + "/.config").c_str(), 1);
    ::setenv("KALDRO_NOW", "2005-03-07T10:30:00", 1);
    ::unsetenv("KALDRO_TRACE");
    ::unsetenv("KALDRO_SCREEN");
    return true;
  }();
  (void)prepared;
  const std::string templatePath = folder + "/modelo.txt";
  const std::string output = folder + "/carta.txt";
  writeScratchFile(templatePath, bytes);
  std::filesystem::remove(output);
  const platform::KeyScript script = platform::parseKeyScript(keyScript(output));
  app::runProgram(
      quietRunOptions(), [&](platform::Trace& trace) { return std::make_unique<platform::HostHeadless>(trace, script.steps); }, "none",
      [&](app::ProgramRuntime& runtime) {
        app::LetterGenerator generator(runtime.console(), runtime.speech(), runtime.lineEditor(),
                                       runtime.fileChooser(), quietRunOptions().utf8Locale);
        generator.run({templatePath});
      });
}

}  // namespace kaldro::fuzz

// KALDRO.INI: every key the programs read, with the "@" folder substitution.
#include "console/console_settings.h"
#include "diphone/diphone_synth.h"
#include "platform/config.h"
#include "voice/speech_config.h"
#include <filesystem>

#include "targets.h"

namespace kaldro::fuzz {

void fuzzConfiguration(std::span<const uint8_t> input) {
  static const std::string folder = makeScratchSubfolder("config");
  writeScratchFile(folder + "/KALDRO.INI", std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  const platform::Configuration config({{folder}, folder, folder});
  for (int level = 0; level <= 6; ++level) {
    const speech::SynthSettings settings = speech::readSynthSettings(config, level);
    (void)settings;
    (void)speech::chooseSpeedLevel(config, level);
  }
  (void)speech::readExternalSettings(config);
  (void)diphone::diphoneFoldersFromConfig(config);
  (void)console::readConsoleSettings(config, {1024, 734});
  (void)console::readConsoleSettings(config, {0, 0});
  for (const char* key : {"PGMKALDRO", "PROG.HTM", "PROG.TXT", "X", ""})
    for (const char* section : {"", "KALDRO", "TRADUTOR", "SINTETIZADOR"}) (void)config.readConfig(section, key);
}

}  // namespace kaldro::fuzz

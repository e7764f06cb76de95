// The shared reading, built from KALDRO.INI.
#include "voice/text_reading.h"

#include <cstdio>

#include "tts/engine_settings.h"

namespace kaldro::app {

TextReading::TextReading(const platform::Configuration& configuration)
    : dictionary_(tts::readEngineSettings(configuration).dictionaries,
                  [](const std::string& fault) { std::fprintf(stderr, "%s\n", fault.c_str()); }),
      mode_(tts::readingFromConfig(configuration)) {
  // "Dr. Silva" is read "doutor Silva" by both voices; without the file, abbreviations stay as written.
  names_.loadAbbreviations(tts::readEngineSettings(configuration).files().abbreviations);
}

}  // namespace kaldro::app

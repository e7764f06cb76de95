// The shared reading, built from KALDRO.INI.
#include "voice/text_reading.h"

#include "tts/engine_settings.h"

namespace kaldro::app {

TextReading::TextReading(const platform::Configuration& configuration)
    : mode_(tts::readingFromConfig(configuration)) {
  // "Dr. Silva" is read "doutor Silva" by both voices; without the file, abbreviations stay as written.
  names_.loadAbbreviations(tts::readEngineSettings(configuration).files().abbreviations);
}

}  // namespace kaldro::app

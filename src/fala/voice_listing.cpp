// The voice listing of kaldro-fala: Speech Dispatcher's, eSpeak NG's and the Portuguese engine's.
#include "fala/voice_listing.h"

#include "engines/engine_voices.h"
#include "engines/voice_listing.h"
#include "platform/words.h"

namespace kaldro::app {

namespace {

namespace words = platform::words;

void printVoices(const std::vector<engines::EngineVoice>& voices, std::FILE* out) {
  for (size_t index : engines::brazilianFirst(voices)) {
    const engines::EngineVoice& voice = voices[index];
    std::fprintf(out, "%zu\t%s\t%s", index + 1, voice.name.c_str(), voice.language.c_str());
    if (!voice.identifier.empty()) std::fprintf(out, "\t%s", voice.identifier.c_str());
    std::fputc('\n', out);
  }
}

}  // namespace

int listVoices(const std::string& engine, const platform::Configuration& config, engines::EspeakLibrary& espeak,
               std::FILE* out) {
  int status = 0;
  if (engine.empty() || engine == "speechd") {
    if (const auto voices = engines::speechdVoices("kaldro-fala")) {
      std::fprintf(out, "%s\n", words::SpeechServiceVoicesTitle.utf8({std::to_string(voices->size())}).c_str());
      printVoices(*voices, out);
    } else {
      std::fprintf(stderr, "kaldro-fala: %s\n", words::SpeechServiceNoAnswer.utf8().c_str());
      status = 1;
    }
  }
  if (engine.empty() || engine == "espeak") {
    const std::vector<engines::EngineVoice> voices = espeak.voices();
    if (!voices.empty()) {
      std::fprintf(out, "%s\n", words::EspeakVoicesTitle.utf8({std::to_string(voices.size())}).c_str());
      printVoices(voices, out);
    } else {
      std::fprintf(stderr, "kaldro-fala: %s\n", words::EspeakDidNotStart.utf8().c_str());
      status = 1;
    }
  }
  if (engine.empty() || engine == "ormia") {
    const engines::MbrolaVoice voice = engines::ormiaVoice(config);
    if (!voice.file.empty()) {
      std::fprintf(out, "%s\n%s\t%s\n", words::OrmiaVoiceTitle.utf8().c_str(), voice.database.c_str(),
                   voice.file.c_str());
    } else {
      std::fprintf(stderr, "kaldro-fala: %s\n", words::OrmiaVoiceMissing.utf8({voice.database}).c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace kaldro::app

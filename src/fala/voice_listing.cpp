// The voice listing of kaldro-fala: Speech Dispatcher's, eSpeak NG's and the Portuguese engine's.
#include "fala/voice_listing.h"

#include "engines/engine_voices.h"
#include "engines/voice_listing.h"
#include "platform/words.h"
#include "voice/voice_table.h"

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

// One external synthesizer's list: false when its voices could not be listed (the reason is on
// standard error).
bool listSpeechdVoices(const platform::Configuration&, engines::EspeakLibrary&, std::FILE* out) {
  const auto voices = engines::speechdVoices("kaldro-fala");
  if (!voices) {
    std::fprintf(stderr, "kaldro-fala: %s\n", words::SpeechServiceNoAnswer.utf8().c_str());
    return false;
  }
  std::fprintf(out, "%s\n", words::SpeechServiceVoicesTitle.utf8({std::to_string(voices->size())}).c_str());
  printVoices(*voices, out);
  return true;
}

bool listEspeakVoices(const platform::Configuration&, engines::EspeakLibrary& espeak, std::FILE* out) {
  const std::vector<engines::EngineVoice> voices = espeak.voices();
  if (voices.empty()) {
    std::fprintf(stderr, "kaldro-fala: %s\n", words::EspeakDidNotStart.utf8().c_str());
    return false;
  }
  std::fprintf(out, "%s\n", words::EspeakVoicesTitle.utf8({std::to_string(voices.size())}).c_str());
  printVoices(voices, out);
  return true;
}

bool listOrmiaVoice(const platform::Configuration& config, engines::EspeakLibrary&, std::FILE* out) {
  const engines::MbrolaVoice voice = engines::ormiaVoice(config);
  if (voice.file.empty()) {
    std::fprintf(stderr, "kaldro-fala: %s\n", words::OrmiaVoiceMissing.utf8({voice.database}).c_str());
    return false;
  }
  std::fprintf(out, "%s\n%s\t%s\n", words::OrmiaVoiceTitle.utf8().c_str(), voice.database.c_str(),
               voice.file.c_str());
  return true;
}

// How each family of the voice table lists its voices.
using Lister = bool (*)(const platform::Configuration&, engines::EspeakLibrary&, std::FILE*);
Lister listerOf(voice::EngineFamily family) {
  switch (family) {
    case voice::EngineFamily::SpeechDispatcher: return listSpeechdVoices;
    case voice::EngineFamily::ESpeak: return listEspeakVoices;
    case voice::EngineFamily::Ormia: return listOrmiaVoice;
  }
  return nullptr;
}

}  // namespace

int listVoices(const std::string& engine, const platform::Configuration& config, engines::EspeakLibrary& espeak,
               std::FILE* out) {
  int status = 0;
  for (const voice::VoiceRow& row : voice::voiceTable()) {
    if (!row.family || (!engine.empty() && row.option != engine)) continue;
    if (!listerOf(*row.family)(config, espeak, out)) status = 1;
  }
  return status;
}

}  // namespace kaldro::app

// The voice listing of kaldro-fala: Speech Dispatcher's, eSpeak NG's and the Portuguese engine's.
#include "app/voice_listing.h"

#include "engines/engine_voices.h"
#include "engines/voice_listing.h"

namespace kaldro::app {

namespace {

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
      std::fprintf(out, "Speech Dispatcher (--engine speechd, TIPOSAPI=5): %zu vozes; VOZ= o número ou o nome\n",
                   voices->size());
      printVoices(*voices, out);
    } else {
      std::fprintf(stderr, "kaldro-fala: o Speech Dispatcher não respondeu (o pacote speech-dispatcher está "
                           "instalado e o serviço funciona?)\n");
      status = 1;
    }
  }
  if (engine.empty() || engine == "espeak") {
    const std::vector<engines::EngineVoice> voices = espeak.voices();
    if (!voices.empty()) {
      std::fprintf(out, "eSpeak NG (--engine espeak, TIPOSAPI=4): %zu vozes; VOZ= o número, o nome ou o "
                        "identificador\n",
                   voices.size());
      printVoices(voices, out);
    } else {
      std::fprintf(stderr, "kaldro-fala: o eSpeak NG não começou (o pacote espeak-ng-data está instalado?)\n");
      status = 1;
    }
  }
  if (engine.empty() || engine == "ormia") {
    const engines::MbrolaVoice voice = engines::ormiaVoice(config);
    if (!voice.file.empty()) {
      std::fprintf(out, "Motor de português (--engine ormia, TIPOSAPI=3): a voz do MBROLA vem de MBROLA_DB em "
                        "[ORMIATTS], não de VOZ\n%s\t%s\n",
                   voice.database.c_str(), voice.file.c_str());
    } else {
      std::fprintf(stderr, "kaldro-fala: a voz %s do MBROLA do motor de português não está instalada (a br4 vem no "
                           "pacote mbrola-br4)\n",
                   voice.database.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace kaldro::app

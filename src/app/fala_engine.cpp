// kaldro-fala through Speech Dispatcher or eSpeak NG.
#include "app/fala_engine.h"

#include <cstdio>
#include <memory>

#include "engines/espeak_adapter.h"
#include "engines/espeak_library.h"
#include "engines/speechd_adapter.h"
#include "platform/text.h"
#include "speech/speech_config.h"

namespace kaldro::app {

namespace {

// eSpeak NG's first voice is Afrikaans: without VOZ in KALDRO.INI the command speaks Brazilian Portuguese.
constexpr const char* kBrazilianVoice = "roa/pt-BR";

[[noreturn]] void fail(const char* message) {
  std::fprintf(stderr, "kaldro-fala: %s\n", message);
  throw platform::ProgramExit{1};
}

void waitWhileBusy(console::Console& console, engines::EngineAdapter& adapter) {
  while (adapter.busy(false)) console.waitForMessage();
}

}  // namespace

std::optional<DesktopEngine> desktopEngineNamed(const std::string& name) {
  if (name == "speechd") return DesktopEngine::SpeechDispatcher;
  if (name == "espeak") return DesktopEngine::Espeak;
  return std::nullopt;
}

DesktopSpeaker::DesktopSpeaker(ProgramRuntime& runtime, DesktopEngine engine, const std::string& outputFile)
    : runtime_(runtime), outputFile_(outputFile) {
  if (engine == DesktopEngine::SpeechDispatcher && !outputFile.empty())
    fail("o Speech Dispatcher n\xC3\xA3o grava arquivos; para gravar um WAV use --engine espeak");
  const platform::Configuration& config = runtime.configuration();
  int voice = speech::leadingInteger(config.readConfig("SERVFALA", "VOZ"));
  const int rate = speech::leadingInteger(config.readConfig("SERVFALA", "VELOCIDADE"));
  const int pitch = speech::leadingInteger(config.readConfig("SERVFALA", "TOM"));
  if (engine == DesktopEngine::Espeak) {
    library_ = engines::makeEspeakLibrary();
    if (voice == 0) {
      const std::vector<std::string> voices = library_->voices();
      for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i] == kBrazilianVoice) voice = static_cast<int>(i + 1);
    }
    auto espeak = std::make_unique<engines::EspeakAdapter>(runtime.console(), runtime.wavPlayer(), *library_);
    espeak_ = espeak.get();
    adapter_ = std::move(espeak);
  } else {
    adapter_ = engines::makeSpeechdAdapter(runtime.console());
  }
  if (adapter_->start(voice, rate, pitch, outputFile)) return;
  if (engine == DesktopEngine::SpeechDispatcher)
    fail("o Speech Dispatcher n\xC3\xA3o est\xC3\xA1 dispon\xC3\xADvel (instale o pacote speech-dispatcher)");
  if (!outputFile.empty() && library_->sampleRate() > 0)
    fail(("n\xC3\xA3o foi poss\xC3\xADvel criar o arquivo " + outputFile).c_str());
  fail("o eSpeak NG n\xC3\xA3o p\xC3\xB4" "de ser iniciado (instale o pacote libespeak-ng1)");
}

DesktopSpeaker::~DesktopSpeaker() = default;

void DesktopSpeaker::say(const std::string& text) {
  waitWhileBusy(runtime_.console(), *adapter_);
  adapter_->speak(text);
}

void DesktopSpeaker::end() {
  waitWhileBusy(runtime_.console(), *adapter_);
  adapter_->finish();
  if (espeak_ && espeak_->fileFailed()) fail(("a grava\xC3\xA7\xC3\xA3o de " + outputFile_ + " falhou").c_str());
}

}  // namespace kaldro::app

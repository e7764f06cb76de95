// libespeak-ng in its synchronous mode: one initialisation per process, blocks handed to a sink.
#include <espeak-ng/speak_lib.h>

#include <memory>

#include "engines/espeak_library.h"
#include "engines/shared_library.h"

namespace kaldro::engines {

namespace {

// The block length the library hands over at a time, in milliseconds.
constexpr int kBlockMs = 100;

// The calls used, bound when eSpeak NG is first asked to speak.
struct EspeakCalls {
  SharedLibrary library{"libespeak-ng.so.1"};
  decltype(&espeak_Initialize) initialize = nullptr;
  decltype(&espeak_SetSynthCallback) setSynthCallback = nullptr;
  decltype(&espeak_ListVoices) listVoices = nullptr;
  decltype(&espeak_SetVoiceByName) setVoiceByName = nullptr;
  decltype(&espeak_SetParameter) setParameter = nullptr;
  decltype(&espeak_Synth) synth = nullptr;

  bool bound() {
    return library.bind(initialize, "espeak_Initialize") && library.bind(setSynthCallback, "espeak_SetSynthCallback") &&
           library.bind(listVoices, "espeak_ListVoices") && library.bind(setVoiceByName, "espeak_SetVoiceByName") &&
           library.bind(setParameter, "espeak_SetParameter") && library.bind(synth, "espeak_Synth");
  }
};

// Never terminated: initialising again after espeak_Terminate hangs (measured with 1.51 on the
// second re-initialisation), and the process's end frees what it holds.
class RealEspeakLibrary final : public EspeakLibrary {
 public:
  int sampleRate() override {
    if (!tried_) {
      tried_ = true;
      // DONT_EXIT: a missing data folder must be an answer, not the end of the program.
      calls_ = std::make_unique<EspeakCalls>();
      if (!calls_->bound()) {
        calls_.reset();
        return 0;
      }
      const int rate = calls_->initialize(AUDIO_OUTPUT_SYNCHRONOUS, kBlockMs, nullptr, espeakINITIALIZE_DONT_EXIT);
      if (rate > 0) {
        sampleRate_ = rate;
        calls_->setSynthCallback(receive);
      }
    }
    return sampleRate_;
  }

  std::vector<EngineVoice> voices() override {
    std::vector<EngineVoice> found;
    if (sampleRate() <= 0) return found;
    for (const espeak_VOICE** voice = calls_->listVoices(nullptr); voice && *voice; ++voice) {
      if (!(*voice)->identifier) continue;
      // languages: a priority byte, then a language, repeated; the first is the voice's own.
      const char* languages = (*voice)->languages;
      found.push_back({(*voice)->name ? (*voice)->name : (*voice)->identifier,
                       languages && languages[0] ? languages + 1 : "", (*voice)->identifier});
    }
    return found;
  }

  bool selectVoice(const std::string& identifier) override {
    return sampleRate() > 0 && calls_->setVoiceByName(identifier.c_str()) == EE_OK;
  }
  void setRate(int wordsPerMinute) override {
    if (sampleRate() > 0) calls_->setParameter(espeakRATE, wordsPerMinute, 0);
  }
  void setPitch(int pitch) override {
    if (sampleRate() > 0) calls_->setParameter(espeakPITCH, pitch, 0);
  }

  bool synthesize(const std::string& utf8Text, const SampleSink& sink) override {
    if (sampleRate() <= 0) return false;
    Synthesis synthesis{&sink};
    const espeak_ERROR result = calls_->synth(utf8Text.c_str(), utf8Text.size() + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, &synthesis);
    return result == EE_OK;
  }

 private:
  struct Synthesis {
    const SampleSink* sink;
  };

  // Called on the calling thread of espeak_Synth; every block's events carry the Synthesis.
  static int receive(short* samples, int count, espeak_EVENT* events) {
    Synthesis* synthesis = nullptr;
    for (espeak_EVENT* event = events; event; ++event) {
      if (event->user_data) synthesis = static_cast<Synthesis*>(event->user_data);
      if (event->type == espeakEVENT_LIST_TERMINATED) break;
    }
    if (!synthesis || !samples || count <= 0) return 0;
    const bool goOn = (*synthesis->sink)(std::span<const int16_t>(samples, static_cast<size_t>(count)));
    return goOn ? 0 : 1;
  }

  std::unique_ptr<EspeakCalls> calls_;
  bool tried_ = false;
  int sampleRate_ = 0;
};

}  // namespace

std::unique_ptr<EspeakLibrary> makeEspeakLibrary() { return std::make_unique<RealEspeakLibrary>(); }

}  // namespace kaldro::engines

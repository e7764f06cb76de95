// eSpeak NG in synchronous mode: audio and phoneme events of one message gathered into an Utterance.
#include "espeak_voice.h"

#include <espeak-ng/speak_lib.h>

#include <cstring>

namespace kaldro::voz {

namespace {

// The library calls back with blocks of audio and events; user_data points at the Utterance that
// the current espeak_Synth call fills.
int collect(short* audio, int count, espeak_EVENT* events) {
  Utterance* target = nullptr;
  for (espeak_EVENT* event = events;; ++event) {
    if (event->user_data) target = static_cast<Utterance*>(event->user_data);
    if (event->type == espeakEVENT_LIST_TERMINATED) break;
    if (event->type == espeakEVENT_PHONEME && target) {
      char name[9] = {};
      std::memcpy(name, event->id.string, 8);
      target->phonemes.push_back({name, static_cast<size_t>(event->sample)});
    }
  }
  if (target && audio && count > 0) target->samples.insert(target->samples.end(), audio, audio + count);
  return 0;
}

}  // namespace

std::unique_ptr<EspeakVoice> EspeakVoice::open(std::string& error) {
  int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                               espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
  if (rate <= 0) {
    error = "não foi possível iniciar o eSpeak NG (dados da voz ausentes?)";
    return nullptr;
  }
  if (espeak_SetVoiceByName("pt-br") != EE_OK) {
    error = "o eSpeak NG não tem a voz pt-br";
    return nullptr;
  }
  espeak_SetSynthCallback(collect);
  return std::unique_ptr<EspeakVoice>(new EspeakVoice(rate));
}

EspeakVoice::~EspeakVoice() { espeak_Terminate(); }

void EspeakVoice::setPitch(int pitch) { espeak_SetParameter(espeakPITCH, pitch, 0); }
void EspeakVoice::setPitchRange(int range) { espeak_SetParameter(espeakRANGE, range, 0); }
void EspeakVoice::setRate(int wordsPerMinute) { espeak_SetParameter(espeakRATE, wordsPerMinute, 0); }

Utterance EspeakVoice::speakPhonemes(std::string_view mnemonics) {
  return synthesize("[[" + std::string(mnemonics) + "]]");
}

Utterance EspeakVoice::speakText(std::string_view text) { return synthesize(std::string(text)); }

Utterance EspeakVoice::synthesize(const std::string& text) {
  Utterance utterance;
  espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakPHONEMES, nullptr,
               &utterance);
  return utterance;
}

}  // namespace kaldro::voz

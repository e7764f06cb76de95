// The one source of sound of the voice builder: eSpeak NG's Brazilian Portuguese voice, with phoneme events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::voz {

// One phoneme as eSpeak NG reports it: its mnemonic and its first sample.
struct PhonemeMark {
  std::string name;
  size_t sample = 0;
};

struct Utterance {
  std::vector<int16_t> samples;  // mono, at EspeakVoice::sampleRate()
  std::vector<PhonemeMark> phonemes;
};

// The library keeps process-wide state and may hang when initialised twice, so a program opens
// exactly one EspeakVoice and passes it around.
class EspeakVoice {
 public:
  // Initialises the library in synchronous mode with phoneme events and selects "pt-br".
  // Nothing (and the reason in error) when that fails.
  static std::unique_ptr<EspeakVoice> open(std::string& error);
  ~EspeakVoice();
  EspeakVoice(const EspeakVoice&) = delete;
  EspeakVoice& operator=(const EspeakVoice&) = delete;

  int sampleRate() const { return sampleRate_; }

  // Pitch 0..100 (50 normal), pitch range 0..100, rate in words per minute.
  void setPitch(int pitch);
  void setPitchRange(int range);
  void setRate(int wordsPerMinute);

  // Speaks eSpeak phoneme mnemonics (the text inside [[ ]]).
  Utterance speakPhonemes(std::string_view mnemonics);
  // Speaks UTF-8 text; [[...]] inside it still reads as phonemes.
  Utterance speakText(std::string_view text);

 private:
  explicit EspeakVoice(int sampleRate) : sampleRate_(sampleRate) {}
  Utterance synthesize(const std::string& text);

  int sampleRate_;
};

}  // namespace kaldro::voz

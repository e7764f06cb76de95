// Makes the voice: diphone units cut from eSpeak NG carriers, recorded letters and words, telephone tones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diphone/unit_phones.h"
#include "espeak_voice.h"

namespace kaldro::voz {

// The system's sound: 8-bit mono at this rate.
constexpr int kOutputRate = 11025;

// A unit's carrier split for synthesis: the mnemonics without brackets, and the cut as positions
// in those mnemonics once the stress marks (' and ,) are removed.
struct CarrierCut {
  std::string mnemonics;  // what eSpeak NG is given
  std::string bare;       // mnemonics without stress marks
  size_t begin = 0;       // in bare
  size_t end = 0;         // in bare
};
// Nothing unless the carrier has exactly one non-empty part in brackets and no blanks.
std::optional<CarrierCut> parseCarrier(std::string_view carrier);

// A piece of sound before the common gain is applied (16-bit scale, 11025 Hz).
struct SoundPiece {
  std::string name;  // unit name, or file name without ".wav"
  std::vector<float> samples;
};

// "key = text" lines of the recordings lists (letras.txt, palavras.txt); "#" lines and blank
// lines are skipped. Faults as "file:line: problem".
struct Recording {
  std::string key;   // a character code (letters) or a file name (words)
  std::string text;  // UTF-8 text for eSpeak NG; [[...]] reads as phoneme mnemonics
};
std::vector<Recording> parseRecordings(std::string_view text, const std::string& fileName,
                                       std::vector<std::string>& faults);

// The pause and filler names eSpeak NG reports between words ("_", "_:", "_!").
bool isPauseMark(std::string_view name);

class VoiceBuilder {
 public:
  explicit VoiceBuilder(EspeakVoice& voice);

  // Synthesizes every unit of the inventory from its carrier and cuts it out. A carrier whose
  // phonemes eSpeak NG does not give back exactly as asked is a fault (eSpeak silently drops or
  // alters mnemonics it does not know).
  std::vector<SoundPiece> makeUnits(const diphone::UnitPhones& inventory, std::vector<std::string>& faults);
  // One unit, for tests and diagnosis.
  SoundPiece makeUnit(const diphone::InventoryUnit& unit, std::string& fault);

  // Letter names: "_" + code; capitals are said a little higher.
  std::vector<SoundPiece> makeLetters(const std::vector<Recording>& letters, std::vector<std::string>& faults);
  // Recorded words: the key is the file name.
  std::vector<SoundPiece> makeWords(const std::vector<Recording>& words);
  // dtmf_0 .. dtmf_9, dtmf_# and dtmf_X ("*"): the two standard frequencies of each key.
  static std::vector<SoundPiece> makeTelephoneTones();

 private:
  SoundPiece speakRecording(const std::string& name, const std::string& text);

  EspeakVoice& voice_;
};

// One gain for everything, so that units, letters and words are equally loud: the loudest
// sample of all reaches about 90 % of the 8-bit range.
float commonGain(const std::vector<const std::vector<SoundPiece>*>& groups);

// Writes name + ".wav" files (44-byte header, 8-bit mono 11025 Hz) into folder; false and a
// message when a file cannot be written.
bool writeWaveFiles(const std::string& folder, const std::vector<SoundPiece>& pieces, float gain, std::string& error);

}  // namespace kaldro::voz

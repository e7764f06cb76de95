// Cutting units out of carriers, speaking letters and words, and writing the sound files.
#include "voice_builder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "audio/wave_format.h"
#include "sound_shaping.h"

namespace kaldro::voz {

namespace {

// Units are spoken almost on one pitch so that neighbours join without jumps; words and letters
// keep eSpeak NG's natural intonation.
constexpr int kUnitPitchRange = 12;
constexpr int kSpeechPitchRange = 50;
constexpr int kRate = 180;
constexpr int kPitch = 45;
constexpr int kCapitalPitch = 70;
// 2 ms of fade at each end of every piece.
constexpr size_t kFadeLength = 24;

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::vector<float> shapePiece(std::span<const float> samples, SampleRange range, const TrimLimits& limits) {
  const SampleRange kept = trimSilence(samples, range, limits);
  std::vector<float> piece(samples.begin() + static_cast<long>(kept.begin), samples.begin() + static_cast<long>(kept.end));
  applyFades(piece, kFadeLength);
  return piece;
}

bool isCapitalLetter(int code) {
  return (code >= 'A' && code <= 'Z') || (code >= 192 && code <= 222 && code != 215);
}

}  // namespace

bool isPauseMark(std::string_view name) { return !name.empty() && name.front() == '_'; }

std::vector<Recording> parseRecordings(std::string_view text, const std::string& fileName,
                                       std::vector<std::string>& faults) {
  std::vector<Recording> list;
  std::istringstream in{std::string(text)};
  size_t number = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    std::string_view line = trim(raw);
    if (line.empty() || line.front() == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) {
      faults.push_back(fileName + ":" + std::to_string(number) + ": esperava \"nome = texto\"");
      continue;
    }
    Recording recording{std::string(trim(line.substr(0, equals))), std::string(trim(line.substr(equals + 1)))};
    if (recording.text.empty()) {
      faults.push_back(fileName + ":" + std::to_string(number) + ": texto vazio para " + recording.key);
      continue;
    }
    list.push_back(std::move(recording));
  }
  return list;
}

std::optional<CarrierCut> parseCarrier(std::string_view carrier) {
  CarrierCut cut;
  int opened = 0, closed = 0;
  for (char c : carrier) {
    if (c == '[') {
      ++opened;
      cut.begin = cut.bare.size();
    } else if (c == ']') {
      ++closed;
      cut.end = cut.bare.size();
    } else if (c == ' ') {
      return std::nullopt;
    } else {
      cut.mnemonics += c;
      if (c != '\'' && c != ',') cut.bare += c;
    }
  }
  if (opened != 1 || closed != 1 || cut.end <= cut.begin) return std::nullopt;
  return cut;
}

VoiceBuilder::VoiceBuilder(EspeakVoice& voice) : voice_(voice) {}

SoundPiece VoiceBuilder::makeUnit(const diphone::InventoryUnit& unit, std::string& fault) {
  SoundPiece piece{unit.name, {}};
  const auto cut = parseCarrier(unit.carrier);
  if (!cut) {
    fault = "palavra-suporte malformada (um trecho entre colchetes, sem espaços): " + unit.carrier;
    return piece;
  }
  const Utterance utterance = voice_.speakPhonemes(cut->mnemonics);
  // Walk the reported phonemes along the asked ones; every boundary of the cut must fall on a
  // phoneme start.
  std::string heard;
  size_t beginSample = SIZE_MAX, endSample = SIZE_MAX;
  for (const PhonemeMark& mark : utterance.phonemes) {
    if (isPauseMark(mark.name)) {
      if (heard.size() == cut->end && endSample == SIZE_MAX && beginSample != SIZE_MAX) endSample = mark.sample;
      continue;
    }
    if (heard.size() == cut->begin && beginSample == SIZE_MAX) beginSample = mark.sample;
    if (heard.size() == cut->end && endSample == SIZE_MAX) endSample = mark.sample;
    heard += mark.name;
  }
  if (heard != cut->bare) {
    fault = unit.name + ": o eSpeak NG pronunciou \"" + heard + "\" em vez de \"" + cut->bare + "\"";
    return piece;
  }
  if (endSample == SIZE_MAX && cut->end == heard.size()) endSample = utterance.samples.size();
  if (beginSample == SIZE_MAX || endSample == SIZE_MAX || endSample <= beginSample) {
    fault = unit.name + ": o corte de " + unit.carrier + " não cai no início de fonemas";
    return piece;
  }
  const std::vector<float> halved = halveRate(utterance.samples);
  piece.samples = shapePiece(halved, {beginSample / 2, endSample / 2}, TrimLimits{});
  if (piece.samples.size() < 2 * kFadeLength) fault = unit.name + ": o trecho cortado é silêncio";
  return piece;
}

std::vector<SoundPiece> VoiceBuilder::makeUnits(const diphone::UnitPhones& inventory, std::vector<std::string>& faults) {
  voice_.setRate(kRate);
  voice_.setPitch(kPitch);
  voice_.setPitchRange(kUnitPitchRange);
  std::vector<SoundPiece> pieces;
  for (const diphone::InventoryUnit& unit : inventory.units()) {
    if (!unit.sameAs.empty()) continue;
    std::string fault;
    SoundPiece piece = makeUnit(unit, fault);
    if (!fault.empty()) faults.push_back("unidades.txt:" + std::to_string(unit.line) + ": " + fault);
    else pieces.push_back(std::move(piece));
  }
  // Copies after their originals, so that an alias sounds exactly like what it names.
  for (const diphone::InventoryUnit& unit : inventory.units()) {
    if (unit.sameAs.empty()) continue;
    auto original = std::find_if(pieces.begin(), pieces.end(), [&](const SoundPiece& p) { return p.name == unit.sameAs; });
    if (original == pieces.end()) continue;  // its fault is already reported
    pieces.push_back({unit.name, original->samples});
  }
  return pieces;
}

SoundPiece VoiceBuilder::speakRecording(const std::string& name, const std::string& text) {
  const Utterance utterance = voice_.speakText(text);
  const std::vector<float> halved = halveRate(utterance.samples);
  TrimLimits limits;
  limits.keepLeadingSilence = 0;
  limits.keepTrailingSilence = 60;
  return {name, shapePiece(halved, {0, halved.size()}, limits)};
}

std::vector<SoundPiece> VoiceBuilder::makeLetters(const std::vector<Recording>& letters,
                                                  std::vector<std::string>& faults) {
  voice_.setRate(kRate);
  voice_.setPitchRange(kSpeechPitchRange);
  std::vector<SoundPiece> pieces;
  for (const Recording& letter : letters) {
    char* end = nullptr;
    const long code = std::strtol(letter.key.c_str(), &end, 10);
    if (letter.key.empty() || *end != '\0' || code < 0 || code > 255) {
      faults.push_back("letras.txt: código de caractere inválido: " + letter.key);
      continue;
    }
    voice_.setPitch(isCapitalLetter(static_cast<int>(code)) ? kCapitalPitch : kPitch);
    pieces.push_back(speakRecording("_" + std::to_string(code), letter.text));
  }
  voice_.setPitch(kPitch);
  return pieces;
}

std::vector<SoundPiece> VoiceBuilder::makeWords(const std::vector<Recording>& words) {
  voice_.setRate(kRate);
  voice_.setPitch(kPitch);
  voice_.setPitchRange(kSpeechPitchRange);
  std::vector<SoundPiece> pieces;
  for (const Recording& word : words) pieces.push_back(speakRecording(word.key, word.text));
  return pieces;
}

std::vector<SoundPiece> VoiceBuilder::makeTelephoneTones() {
  struct Key {
    const char* name;
    double low, high;
  };
  // Rows 697, 770, 852, 941 Hz; columns 1209, 1336, 1477 Hz.
  static constexpr Key kKeys[] = {
      {"1", 697, 1209}, {"2", 697, 1336}, {"3", 697, 1477}, {"4", 770, 1209}, {"5", 770, 1336}, {"6", 770, 1477},
      {"7", 852, 1209}, {"8", 852, 1336}, {"9", 852, 1477}, {"X", 941, 1209}, {"0", 941, 1336}, {"#", 941, 1477},
  };
  std::vector<SoundPiece> tones;
  for (const Key& key : kKeys) {
    // 120 ms at a level well inside the 8-bit range (each sine 40 steps).
    std::vector<float> samples = dualTone(key.low, key.high, 0.12, kOutputRate, 40.0 * 256);
    applyFades(samples, kFadeLength);
    tones.push_back({std::string("dtmf_") + key.name, std::move(samples)});
  }
  return tones;
}

float commonGain(const std::vector<const std::vector<SoundPiece>*>& groups) {
  float peak = 1;
  for (const auto* group : groups)
    for (const SoundPiece& piece : *group) peak = std::max(peak, peakOf(piece.samples));
  return 0.9f * 32767.0f / peak;
}

bool writeWaveFiles(const std::string& folder, const std::vector<SoundPiece>& pieces, float gain, std::string& error) {
  for (const SoundPiece& piece : pieces) {
    const std::vector<uint8_t> samples = toUnsigned8(piece.samples, gain);
    const std::vector<uint8_t> image = audio::buildWaveImage(samples, kOutputRate, 8, 1);
    const std::string path = folder + "/" + piece.name + ".wav";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!out) {
      error = "não foi possível gravar " + path;
      return false;
    }
  }
  return true;
}

}  // namespace kaldro::voz

// The voice as built into the tree: every unit the rules can ask for exists, units and recordings are clean.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <set>

#include "audio/wave_format.h"
#include "diphone/diphone_index.h"
#include "diphone/diphone_output.h"
#include "diphone/diphone_synth.h"
#include "platform/config.h"
#include "platform/text.h"
#include "speech/numbers.h"
#include "support/program_run.h"
#include "support/wave_bytes.h"

namespace kaldro::voz {
namespace {

using diphone::DiphoneFolders;
using diphone::DiphoneSynth;

using testing::readFile;

// Keeps the units the engine could not find; the sound itself is dropped.
class MissingUnits : public diphone::DiphoneOutput {
 public:
  void playImageWait(const uint8_t*, size_t) override {}
  void waitSpeechEnd() override {}
  void traceUnitLookup(std::string_view name, bool found) override {
    if (!found) missing.insert(std::string(name));
  }
  std::set<std::string> missing;
};

// A missing unit is harmless when the engine builds it from smaller ones, each of which is looked
// up (and checked) in turn: names ending in a vowel or semivowel, in CIRC, in TIL. Any other miss
// is heard as a noise burst (a short name), as nothing (a longer one) or as a silent letter.
bool engineRebuilds(const std::string& name) {
  if (name.empty() || name[0] == '_' || name.size() <= 2) return false;
  const char last = static_cast<char>(std::tolower(static_cast<unsigned char>(name.back())));
  if (std::string_view("aeiouwy").find(last) != std::string_view::npos) return true;
  return (name.ends_with("CIRC") && name.size() > 6) || name.ends_with("TIL");
}

TEST(BuiltVoice, EveryUnitTheRulesAskForIsInTheDatabase) {
  MissingUnits output;
  DiphoneSynth synth(output);
  ASSERT_EQ(synth.startDiphoneSynth(DiphoneFolders{KALDRO_LETTERS_DIR, KALDRO_DIPHONES_DIR}), 0);
  synth.setConcatSettings(0, 0, 0);

  std::ifstream list("/usr/share/dict/brazilian");
  if (!list) GTEST_SKIP() << "the word list /usr/share/dict/brazilian (package wbrazilian) is missing";
  std::map<std::string, std::string> unheard;  // unit -> a word that asked for it
  size_t words = 0, rebuilt = 0;
  std::map<std::string, size_t> rebuiltCount;
  for (std::string line; std::getline(list, line);) {
    if (line.empty()) continue;
    ++words;
    output.missing.clear();
    synth.speakPhonemes(synth.translateText(platform::utf8ToCp1252(line)));
    for (const std::string& unit : output.missing) {
      if (engineRebuilds(unit)) ++rebuilt, ++rebuiltCount[unit];
      else unheard.emplace(unit, line);
    }
  }
  EXPECT_GT(words, 100000u);
  std::string report;
  for (const auto& [unit, word] : unheard) report += unit + " (" + word + ") ";
  EXPECT_TRUE(unheard.empty()) << unheard.size() << " unidades faltando: " << report;
  // Vowels in hiatus are joined from two units; everything else is in the database.
  std::string common;
  for (const auto& [unit, count] : rebuiltCount)
    if (count > words / 500) common += unit + " " + std::to_string(count) + ", ";
  EXPECT_LT(rebuilt, words / 20) << "mais comuns: " << common;
}

TEST(BuiltVoice, UnitsStartAndEndAtSilenceAndHoldSound) {
  const diphone::DiphoneIndex index(readFile(std::string(KALDRO_DIPHONES_DIR) + "DIFONES2.IND"));
  const std::string data = readFile(std::string(KALDRO_DIPHONES_DIR) + "DIFONES2.DIF");
  ASSERT_GT(index.size(), 300u);
  for (size_t record = 0; record < index.size(); ++record) {
    const std::string name = index.nameAt(record);
    const diphone::UnitLocation where = index.locationAt(record);
    ASSERT_LE(size_t{where.offset} + where.length, data.size()) << name;
    ASSERT_GT(where.length, 200) << name;  // 18 ms: anything shorter is a failed cut
    auto sample = [&](size_t i) { return static_cast<uint8_t>(data[where.offset + i]); };
    EXPECT_NEAR(sample(0), 128, 2) << name;
    EXPECT_NEAR(sample(where.length - 1u), 128, 2) << name;
    int loudest = 0;
    for (size_t i = 0; i < where.length; ++i) loudest = std::max(loudest, std::abs(sample(i) - 128));
    EXPECT_GT(loudest, 3) << name << " is silent";
  }
}

struct Recording {
  audio::WaveImageInfo info;
  std::string bytes;
};

Recording readRecording(const std::string& name) {
  Recording recording;
  recording.bytes = readFile(std::string(KALDRO_LETTERS_DIR) + name + ".wav");
  recording.info = audio::parseWaveImage(
      {reinterpret_cast<const uint8_t*>(recording.bytes.data()), recording.bytes.size()});
  return recording;
}

TEST(BuiltVoice, EveryRecordingTheSystemPlaysIsThereInItsFormat) {
  std::set<std::string> names = {"_zero", "_MENOS", "_DEL", "_FALACI", "_FALDLG", "_VELOC", "_APFCPO", "_APICPO",
                                 "_CPOAPA", "_primeir", "_de", "_e", "_hora", "_horas", "_minuto", "_minutos", "_uma",
                                 "_duas"};
  for (int day = 0; day < 7; ++day) names.insert("_" + std::string(speech::weekdayName(day)));
  for (int month = 1; month <= 12; ++month) names.insert("_" + std::string(speech::monthName(month).substr(0, 7)));
  // Every word a number up to the trillions is spoken with, under the name it is looked up by.
  std::vector<uint64_t> numbers{1000, 2000, 1000000, 2000000, 1000000000, 2000000000, 1000000000000, 2000000000000};
  for (uint64_t n = 1; n < 1000; ++n) numbers.push_back(n);
  for (uint64_t n : numbers)
    for (const std::string& word : platform::splitWords(speech::numberToWords(n))) names.insert(speech::wordFileName(word));
  for (int code : {1, 8, 9, 13, 27, 32, 44, 46, 48, 57, 65, 90, 97, 122, 199, 231, 227}) names.insert("_" + std::to_string(code));
  for (int code = 'A'; code <= 'Z'; ++code) {
    names.insert("_FON" + std::to_string(code));
    names.insert("_FON" + std::to_string(code + 32));
  }
  for (const char* key : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "#", "X"}) names.insert(std::string("dtmf_") + key);

  for (const std::string& name : names) {
    const Recording recording = readRecording(name);
    ASSERT_TRUE(recording.info.ok) << name;
    EXPECT_EQ(recording.bytes.substr(0, 44), testing::waveHeader(recording.info.dataLength)) << name;
    EXPECT_GT(recording.info.dataLength, 500u) << name;
    EXPECT_LT(recording.info.dataLength, 30000u) << name;  // a number word must fit the number buffer
    auto sample = [&](size_t i) { return static_cast<uint8_t>(recording.bytes[44 + i]); };
    EXPECT_NEAR(sample(0), 128, 2) << name;
    EXPECT_NEAR(sample(recording.info.dataLength - 1), 128, 2) << name;
  }
}

// Energy of one frequency in a stretch of 8-bit samples (Goertzel).
double energyAt(const std::string& bytes, size_t start, size_t count, double hz) {
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / 11025);
  double previous = 0, before = 0;
  for (size_t i = 0; i < count; ++i) {
    const double current = (static_cast<uint8_t>(bytes[start + i]) - 128) + coefficient * previous - before;
    before = previous;
    previous = current;
  }
  return previous * previous + before * before - coefficient * previous * before;
}

TEST(BuiltVoice, TelephoneTonesHoldTheirTwoFrequencies) {
  const std::map<std::string, std::pair<double, double>> keys = {
      {"1", {697, 1209}}, {"5", {770, 1336}}, {"9", {852, 1477}}, {"X", {941, 1209}}, {"0", {941, 1336}}, {"#", {941, 1477}}};
  const double all[] = {697, 770, 852, 941, 1209, 1336, 1477};
  for (const auto& [key, pair] : keys) {
    const Recording tone = readRecording("dtmf_" + key);
    ASSERT_TRUE(tone.info.ok) << key;
    const size_t count = tone.info.dataLength - 200;
    const double low = energyAt(tone.bytes, 144, count, pair.first);
    const double high = energyAt(tone.bytes, 144, count, pair.second);
    for (double other : all) {
      if (other == pair.first || other == pair.second) continue;
      const double stray = energyAt(tone.bytes, 144, count, other);
      EXPECT_GT(low, 20 * stray) << "dtmf_" << key << " at " << other << " Hz";
      EXPECT_GT(high, 20 * stray) << "dtmf_" << key << " at " << other << " Hz";
    }
  }
}

TEST(BuiltVoice, TheTreeConfigurationStartsTheBuiltInVoiceAtEverySpeed) {
  platform::ConfigLocations locations;
  locations.systemFolders = {std::string(KALDRO_BIN_DIR) + "/../etc/kaldro"};
  locations.startDirectory = "/nonexistent";
  const platform::Configuration config(locations);
  MissingUnits output;
  for (int level = 1; level <= 5; ++level) {
    DiphoneSynth synth(output);
    const std::string base = config.readConfig("SINTETIZADOR", "DIFONES" + std::to_string(level));
    EXPECT_FALSE(config.readConfig("SINTETIZADOR", "CORTEFON" + std::to_string(level)).empty()) << level;
    synth.setDiphoneBase(base);
    EXPECT_EQ(synth.startDiphoneSynth(config), 0) << "level " << level << ", database " << base;
  }
  EXPECT_EQ(config.readConfig("TRADUTOR", "SAPI"), "N");
  EXPECT_TRUE(std::filesystem::is_directory(config.readConfig("ORMIATTS", "DIR")));
  EXPECT_FALSE(config.readSystemValue("VIDEO", "TABCORES", "", 80).empty());
  EXPECT_EQ(config.readSystemValue("BRAILLE", "MODO", "", 80), "0");
}

// The speed levels of the tree's configuration against eSpeak NG's default rate, by the length of
// the WAV files both write for one sentence (the pauses are in kaldro-fala's file): the default
// level speaks about as fast, the fastest at least 2.2 times as fast, for listeners used to
// 300 words a minute and more.
TEST(BuiltVoice, SpeedLevelsMatchAScreenReadersRates) {
  const char* espeak = "/usr/bin/espeak-ng";
  if (!std::filesystem::exists(espeak)) GTEST_SKIP() << "espeak-ng is not installed";
  const std::string sentence =
      "O programa l\xC3\xAA o modelo linha por linha, pergunta o valor de cada campo e grava o texto pronto num arquivo.";
  testing::ScratchFolder folder;
  auto seconds = [&](const std::string& name) {
    const std::string wav = folder.read(name);
    EXPECT_GT(wav.size(), 44u) << name;
    if (wav.size() <= 44) return 0.0;
    const auto byteRate = static_cast<double>(audio::readLe32(reinterpret_cast<const uint8_t*>(wav.data()) + 28));
    return static_cast<double>(wav.size() - 44) / byteRate;
  };
  ASSERT_EQ(testing::runProgram(espeak, {"-v", "pt-br", "-w", "espeak.wav", sentence}, "", folder).status, 0);
  const double reference = seconds("espeak.wav");
  std::map<int, double> level;
  for (int n : {1, 3, 5}) {
    const auto result = testing::runProgram("kaldro-fala", {"--literal", "-v", std::to_string(n), "-w", "nivel.wav", sentence}, "", folder);
    ASSERT_EQ(result.status, 0) << result.standardError;
    level[n] = seconds("nivel.wav");
  }
  EXPECT_NEAR(level[3] / reference, 1.0, 0.15) << level[3] << " s against " << reference << " s";
  EXPECT_LE(level[5] * 2.2, reference) << level[5] << " s against " << reference << " s";
  EXPECT_GT(level[1], level[3]);
}

// The phones come from the inventory installed beside the tree's database, through the rules the voice speaks with.
TEST(BuiltVoice, KaldroFalaShowsThePhonesTheVoiceSays) {
  testing::ScratchFolder folder;
  const auto result = testing::runProgram("kaldro-fala", {"--phones", "casa", "gente", "t\xC3\xA1xi"}, "", folder);
  ASSERT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(result.standardOutput, "casa\tk >a z a\ngente\tj >en t x i\nt\xC3\xA1xi\tt >a k s i\n");
}

}  // namespace
}  // namespace kaldro::voz

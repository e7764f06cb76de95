// The voice builder's parts: carriers, sound shaping, cutting units out of eSpeak NG, the rules.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <numbers>
#include <set>
#include <sstream>

#include "diphone/translator.h"
#include "diphone/unit_phones.h"
#include "espeak_voice.h"
#include "platform/text.h"
#include "sound_shaping.h"
#include "tts/front_end.h"
#include "tts/transcriber.h"
#include "voice_builder.h"

namespace kaldro::voz {
namespace {

std::string sourceFile(const std::string& relative) { return std::string(KALDRO_SOURCE_DIR) + "/" + relative; }

TEST(Carrier, BracketsMarkTheCutInPhonemesWithoutStressMarks) {
  auto cut = parseCarrier("a'[tSi]ta");
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->mnemonics, "a'tSita");
  EXPECT_EQ(cut->bare, "atSita");
  EXPECT_EQ(cut->begin, 1u);
  EXPECT_EQ(cut->end, 4u);
  auto toEnd = parseCarrier("p'[&U~]");
  ASSERT_TRUE(toEnd);
  EXPECT_EQ(toEnd->end, toEnd->bare.size());
  EXPECT_FALSE(parseCarrier("a'kata"));      // no cut
  EXPECT_FALSE(parseCarrier("a'[k]a[t]a"));  // two cuts
  EXPECT_FALSE(parseCarrier("a'[]kata"));    // empty cut
  EXPECT_FALSE(parseCarrier("a' [ka]ta"));   // a blank would split the carrier into words
}

TEST(SoundShaping, HalvingTheRateKeepsSpeechBandsAndRemovesWhatCannotBeHeld) {
  auto toneLevel = [](double hz) {
    std::vector<int16_t> tone(22050);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>(10000 * std::sin(2 * std::numbers::pi * hz * i / 22050));
    std::vector<float> halved = halveRate(tone);
    EXPECT_EQ(halved.size(), tone.size() / 2);
    return peakOf(std::span<const float>(halved).subspan(1000, 9000)) / 10000;
  };
  EXPECT_NEAR(toneLevel(1000), 1.0, 0.02);
  EXPECT_NEAR(toneLevel(4000), 1.0, 0.05);
  EXPECT_LT(toneLevel(7000), 0.01);  // would fold back to 4025 Hz
  EXPECT_LT(toneLevel(9000), 0.01);
}

TEST(SoundShaping, TrimKeepsAShortClosureAndFadesReachSilence) {
  std::vector<float> samples(2000, 0.0f);
  for (size_t i = 900; i < 1500; ++i) samples[i] = 5000.0f;
  TrimLimits limits;
  limits.keepLeadingSilence = 100;
  limits.keepTrailingSilence = 10;
  SampleRange kept = trimSilence(samples, {0, 2000}, limits);
  EXPECT_EQ(kept.begin, 800u);
  EXPECT_EQ(kept.end, 1510u);
  EXPECT_EQ(trimSilence(std::vector<float>(100, 0.0f), {0, 100}, limits).size(), 0u);

  std::vector<float> piece(100, 10000.0f);
  applyFades(piece, 24);
  EXPECT_EQ(piece.front(), 0.0f);
  EXPECT_EQ(piece.back(), 0.0f);
  EXPECT_EQ(piece[50], 10000.0f);
  EXPECT_LT(piece[1], piece[10]);
  const std::vector<uint8_t> bytes = toUnsigned8(std::vector<float>{0.0f, 32767.0f, -40000.0f}, 1.0f);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{128, 255, 0}));
}

// eSpeak NG may be initialised only once per process.
class WithEspeak : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    voice_ = EspeakVoice::open(error).release();
    ASSERT_NE(voice_, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete voice_;
    voice_ = nullptr;
  }
  static EspeakVoice* voice_;
};
EspeakVoice* WithEspeak::voice_ = nullptr;

TEST_F(WithEspeak, UnitsAreCutAtTheAskedPhonemesAndAlteredPhonemesAreRefused) {
  VoiceBuilder builder(*voice_);
  diphone::InventoryUnit ka{"$KA", "a'[ka]ta", "", {"k", "a"}, 1};
  std::string fault;
  SoundPiece piece = builder.makeUnit(ka, fault);
  EXPECT_EQ(fault, "");
  // k and a at 165 words a minute: well over 100 ms, well under the whole carrier.
  EXPECT_GT(piece.samples.size(), 1100u);
  EXPECT_LT(piece.samples.size(), 4400u);
  EXPECT_EQ(piece.samples.front(), 0.0f);
  EXPECT_EQ(piece.samples.back(), 0.0f);

  diphone::InventoryUnit unknown{"$KATIL", "a'[ka~]ta", "", {"k", "@"}, 2};  // eSpeak reads a~ as a plain a
  builder.makeUnit(unknown, fault);
  EXPECT_NE(fault.find("em vez de"), std::string::npos) << fault;
}

// The rules and exceptions as shipped (the exceptions with the shared stressed e and o added by the
// build), on words that each exercise one rule; rows with a second column hold the engine too.
TEST(Pronunciation, RulesAndExceptionsGiveTheExpectedPhones) {
  diphone::Translator translator;
  ASSERT_TRUE(translator.loadRules(sourceFile("data/regras.rgr")).ok());
  ASSERT_TRUE(translator.loadExceptions(KALDRO_DIPHONES_DIR "portug.exc").ok());
  diphone::UnitPhones inventory;
  ASSERT_EQ(inventory.load(sourceFile("data/voice/unidades.txt")).message(), "");
  tts::Transcriber engine;
  ASSERT_TRUE(engine.loadLexicons(KALDRO_DIPHONES_DIR "../../ormiatts/portug.nrl",
                                  KALDRO_DIPHONES_DIR "../../ormiatts/portug.exc").ok());
  std::ifstream cases(sourceFile("tests/voice/pronuncias.txt"));
  ASSERT_TRUE(cases);
  int checked = 0, checkedInEngine = 0;
  for (std::string line; std::getline(cases, line);) {
    if (line.empty() || line.front() == '#') continue;
    const size_t equals = line.find(" = ");
    ASSERT_NE(equals, std::string::npos) << line;
    const std::string word = line.substr(0, equals), text = platform::utf8ToCp1252(word);
    const size_t bar = line.find(" | ", equals);
    std::string got;
    for (const std::string& phone : inventory.phonesOf(translator.translateText(text)))
      got += (got.empty() ? "" : " ") + phone;
    EXPECT_EQ(got, line.substr(equals + 3, bar == std::string::npos ? std::string::npos : bar - equals - 3)) << word;
    ++checked;
    if (bar == std::string::npos) continue;
    EXPECT_EQ(platform::cp1252ToUtf8(tts::phonesOfText(engine, text)), line.substr(bar + 3)) << word << " (motor)";
    ++checkedInEngine;
  }
  EXPECT_GT(checked, 60);
  EXPECT_GT(checkedInEngine, 10);
}

// A nasal diphthong is one syllable: in the engine's MBROLA lines the glide after the nasal vowel of
// -em, -ém and muito is a short tail, and vowel and glide together last no longer than those of mão.
TEST(Pronunciation, NasalDiphthongsLastOneSyllable) {
  tts::FrontEnd frontEnd;
  ASSERT_TRUE(frontEnd.load(tts::dataFilesIn(KALDRO_DIPHONES_DIR "../../ormiatts/")).ok());
  // Milliseconds of the first phone named vowel in the word's lines, and of the phone after it.
  auto nucleus = [&](const std::string& word, const std::string& vowel) {
    std::vector<std::pair<std::string, int>> phones;
    for (const std::string& line : frontEnd.mbrolaLines(platform::utf8ToCp1252(word), 1.0, 1.0)) {
      std::istringstream fields(line);
      std::string name;
      int milliseconds = 0;
      if (fields >> name >> milliseconds && name != "_" && name.front() != ';') phones.emplace_back(name, milliseconds);
    }
    for (size_t i = 0; i + 1 < phones.size(); ++i)
      if (phones[i].first == vowel) return std::pair{phones[i].second, phones[i + 1].second};
    return std::pair{0, 0};
  };
  const auto [nasalA, glideW] = nucleus("mão", "@");
  ASSERT_GT(glideW, 0);
  for (const auto& [word, vowel] : {std::pair{"vem", "en"}, {"também", "en"}, {"alguém", "en"},
                                    {"muito", "un"}}) {
    const auto [vowelMs, glideMs] = nucleus(word, vowel);
    EXPECT_GT(glideMs, 0) << word;
    EXPECT_LT(glideMs, vowelMs * 2 / 3) << word;
    EXPECT_LE(vowelMs + glideMs, nasalA + glideW) << word;
  }
}

// The words of the shared list of stressed e and o: the built-in voice and the Portuguese engine
// (each with the exceptions the build made from the list) give the marked vowel, open or closed.
TEST(Pronunciation, BothVoicesSayTheSharedStressedVowelsAlike) {
  diphone::Translator translator;
  ASSERT_TRUE(translator.loadRules(sourceFile("data/regras.rgr")).ok());
  ASSERT_TRUE(translator.loadExceptions(KALDRO_DIPHONES_DIR "portug.exc").ok());
  diphone::UnitPhones inventory;
  ASSERT_EQ(inventory.load(sourceFile("data/voice/unidades.txt")).message(), "");
  tts::Transcriber engine;
  ASSERT_TRUE(engine.loadLexicons(KALDRO_DIPHONES_DIR "../../ormiatts/portug.nrl",
                                  KALDRO_DIPHONES_DIR "../../ormiatts/portug.exc").ok());
  auto stressed = [](const std::string& phones) {
    std::istringstream words(phones);
    for (std::string phone; words >> phone;)
      if (phone.front() == '>') return phone.substr(1);
    return std::string("(nenhuma)");
  };
  const std::pair<const char*, const char*> marks[] = {{"é", "ee"}, {"ê", "e"}, {"ó", "oo"}, {"ô", "o"}};
  std::ifstream list(sourceFile("data/vogais-tonicas.txt"));
  ASSERT_TRUE(list);
  int checked = 0;
  for (std::string line; std::getline(list, line);) {
    if (line.empty() || line.front() == '#') continue;
    std::string word = line, expected;
    for (const auto& [mark, phone] : marks) {
      const size_t at = word.find(mark);
      if (at == std::string::npos) continue;
      word.replace(at, std::string_view(mark).size(), std::string(1, phone[0]));
      expected = phone;
    }
    const std::string text = platform::utf8ToCp1252(word);
    std::string builtIn;
    for (const std::string& phone : inventory.phonesOf(translator.translateText(text)))
      builtIn += (builtIn.empty() ? "" : " ") + phone;
    EXPECT_EQ(stressed(builtIn), expected) << word << ": " << builtIn;
    EXPECT_EQ(stressed(platform::cp1252ToUtf8(tts::phonesOfText(engine, text))), expected) << word;
    ++checked;
  }
  EXPECT_GT(checked, 100);

  // Beyond the list, the two voices' rules for stressed e and o agree on the frequent words.
  std::ifstream frequent(sourceFile("data/voice/palavras-frequentes.txt"));
  ASSERT_TRUE(frequent);
  const std::set<std::string> midVowels = {"e", "ee", "o", "oo"};
  for (std::string word; std::getline(frequent, word);) {
    if (word.empty() || word.front() == '#') continue;
    const std::string text = platform::utf8ToCp1252(word);
    std::string builtIn;
    for (const std::string& phone : inventory.phonesOf(translator.translateText(text)))
      builtIn += (builtIn.empty() ? "" : " ") + phone;
    const std::string ours = stressed(builtIn), theirs = stressed(platform::cp1252ToUtf8(tts::phonesOfText(engine, text)));
    if (midVowels.count(ours) && midVowels.count(theirs)) {
      EXPECT_EQ(ours, theirs) << word;
    }
  }
}

}  // namespace
}  // namespace kaldro::voz

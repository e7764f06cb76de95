// Numbers, dates and times in words, and the recorded files they are played from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "speech/numbers.h"
#include "support/speech_rig.h"

namespace kaldro::speech::testing {
namespace {

using ::testing::ElementsAre;

TEST(NumberWords, Table) {
  struct Case {
    uint64_t n;
    const char* words;
  } cases[] = {
      {0, "zero"},         {1, "um"},           {10, "dez"},         {17, "dezessete"},  {21, "vinte e um"},
      {100, "cem"},        {101, "cento e um"}, {110, "cento e dez"}, {200, "duzentos"}, {1000, "mil "},
      {1001, "mil e um"},  {1100, "mil e cem"}, {1230, "mil e duzentos e trinta"},   {2000, "dois mil "},
      {100000, "cem mil "},
      {999999, "novecentos e noventa e nove mil e novecentos e noventa e nove"},
      {1000000, "um milh\xE3o "}, {1000001, "um milh\xE3o e um"}, {2000000, "dois milh\xF5" "es "},
      {1000000000000ULL, "um trilh\xE3o "},
      {999999999999999ULL, "novecentos e noventa e nove trilh\xF5" "es novecentos e noventa e nove bilh\xF5"
                           "es novecentos e noventa e nove milh\xF5" "es novecentos e noventa e nove mil e "
                           "novecentos e noventa e nove"},
  };
  for (const Case& c : cases) EXPECT_EQ(numberToWords(c.n), c.words) << c.n;
}

// Seventeen's file is not its first eight characters, which would name sixteen's; the other names
// are heard in the traces below and in the routing test, and found among the built voice's
// recordings. Weekdays of leap days and centuries.
TEST(NumberWords, FileNamesAndWeekdays) {
  EXPECT_EQ(wordFileName("dezessete"), "_dezeset");
  EXPECT_EQ(dayOfWeek(29, 2, 2000), 2);
  EXPECT_EQ(dayOfWeek(7, 3, 2005), 1);
  EXPECT_EQ(dayOfWeek(1, 3, 1900), 4);
}

// The word files and sounds of one call.
std::vector<std::string> played(SpeechRig& rig) { return rig.newTrace({"word", "play"}); }

TEST(SpokenNumbers, WordsJoinIntoOneSound) {
  SpeechRig rig;
  rig.start();
  rig.voice.record("_vinte", 250);
  rig.speech.speakNumberWords(numberToWords(21));
  EXPECT_THAT(played(rig), ElementsAre("word _vinte", "word _e", "word _um", "play - 11025 8 1 450"));
  rig.speech.speakNumberWords(numberToWords(22), true);
  EXPECT_THAT(played(rig), ElementsAre("word _vinte", "word _e", "word _duas", "play - 11025 8 1 450"));
  // A missing word is skipped, the rest still heard.
  std::filesystem::remove(rig.voice.letters + "_e.wav");
  rig.speech.speakNumberWords(numberToWords(21));
  EXPECT_THAT(played(rig), ElementsAre("word _vinte", "word _um", "play - 11025 8 1 350"));
}

TEST(SpokenNumbers, BufferOf30000BytesIsPlayedWhenFullAndLongWordsAreCut) {
  SpeechRig rig;
  rig.start();
  rig.voice.record("_dois", 20000);
  rig.voice.record("_milhoes", 40000);
  rig.speech.speakNumberWords(numberToWords(2000000));
  EXPECT_THAT(played(rig), ElementsAre("word _dois", "play - 11025 8 1 20000", "word _milhoes", "play - 11025 8 1 30000"));
}

TEST(SpokenTimes, DatesAndClockTimes) {
  SpeechRig rig;
  rig.start();
  auto words = [&] {
    std::vector<std::string> names;
    for (const std::string& line : rig.newTrace({"word"})) names.push_back(line.substr(5));
    return names;
  };
  rig.speech.speakDate(15, 3, 2024);
  EXPECT_THAT(words(), ElementsAre("_Sexta", "_quinze", "_de", "_Marco", "_de", "_dois", "_mil", "_e", "_vinte", "_e",
                                   "_quatro"));
  rig.speech.speakDate(1, 1, 2000);
  EXPECT_THAT(words(), ElementsAre("_Sabado", "_primeir", "_de", "_Janeiro", "_de", "_dois", "_mil"));
  rig.speech.speakDate(2, 3, 1999);
  EXPECT_THAT(words(), ElementsAre("_Terca", "_dois", "_de", "_Marco", "_de", "_noventa", "_e", "_nove"));
  rig.speech.speakDate(2, 1, 2100);
  EXPECT_THAT(words(), ElementsAre("_Sabado", "_dois", "_de", "_Janeiro", "_de", "_dois", "_mil", "_e", "_cem"));

  rig.speech.speakTime(1, 1);
  EXPECT_THAT(words(), ElementsAre("_uma", "_hora", "_um", "_minuto"));
  rig.speech.speakTime(2, 0);
  EXPECT_THAT(words(), ElementsAre("_duas", "_horas"));
  rig.speech.speakTime(21, 1);
  EXPECT_THAT(words(), ElementsAre("_vinte", "_e", "_uma", "_horas", "_um", "_minuto"));
  rig.speech.speakTime(0, 0);
  EXPECT_THAT(words(), ElementsAre("_zero", "_hora"));
}

}  // namespace
}  // namespace kaldro::speech::testing

// Numbers from KALDRO.INI: any digits at all give a defined value in a sane range, never an
// overflow, a runaway pause or a unit cut to nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/decimal.h"
#include "voice/speech_config.h"
#include "support/speech_rig.h"

namespace kaldro::speech::testing {
namespace {

platform::Configuration configIn(const ScratchFolder& folder, const std::string& ini) {
  writeFile(folder.file("KALDRO.INI"), ini);
  return platform::Configuration({{folder.path()}, folder.path(), folder.path()});
}

TEST(DecimalReader, SaturatesAndReportsWhereItStopped) {
  struct Case {
    std::string text;
    int64_t value;
    bool anyDigit;
    size_t end;
  };
  const Case cases[] = {
      {"", 0, false, 0},           {"-", 0, false, 1},          {"42x", 42, true, 2},
      {"-17", -17, true, 3},       {"+5", 5, true, 2},          {"99999999999999999999999", platform::DecimalLimit, true, 23},
      {"-99999999999", -99999999999, true, 12},
  };
  for (const Case& c : cases) {
    const platform::Decimal number = platform::readDecimal(c.text);
    EXPECT_EQ(number.value, c.value) << c.text;
    EXPECT_EQ(number.anyDigit, c.anyDigit) << c.text;
    EXPECT_EQ(number.end, c.end) << c.text;
  }
  EXPECT_EQ(platform::leadingIntegerIn("2147483648", 0, 100), 100);
  EXPECT_EQ(platform::leadingIntegerIn("-2147483649", -5, 5), -5);
}

TEST(SpeechConfigRanges, HugeValuesAreHeldInsideTheirRanges) {
  ScratchFolder folder;
  const SynthSettings huge = readSynthSettings(
      configIn(folder, "[SINTETIZADOR]\nCORTEFON3=-99999999999\nSOBRAFON3=99999999999\nINTERPAL3=2147483647\n"
                       "PAUSAPONTO3=2147483647\nPAUSAVIRG3=-5\nPAUSADOISPONTOS3=99999999999999999999\n"),
      3);
  EXPECT_EQ(huge.unitCut, -65535);
  EXPECT_EQ(huge.unitMinimum, 65535);
  EXPECT_EQ(huge.wordGap, 65535);
  EXPECT_EQ(huge.pauseFullStop, 10000);
  EXPECT_EQ(huge.pauseComma, 0);
  EXPECT_EQ(huge.pauseColon, 10000);
  auto external = readExternalSettings(configIn(
      folder, "[TRADUTOR]\nSAPI=S\n[SERVFALA]\nVOZ=99999999999\nVELOCIDADE=-99999999999\nTOM=2147483648\nTIPOSAPI=4\n"));
  ASSERT_TRUE(external);
  EXPECT_EQ(external->voice, 9999);
  EXPECT_EQ(external->rate, -1000);
  EXPECT_EQ(external->pitch, 1000);
  EXPECT_EQ(external->kind, 4);
  EXPECT_EQ(chooseSpeedLevel(configIn(folder, "[TRADUTOR]\nVELOCIDADE=4294967298\n"), 0), 3);
}

// End to end: the speech of kaldro-fala into a WAV file under settings at the ends of int.
TEST(SpeechConfigRanges, ExtremeSettingsNeitherStallNorSilenceTheVoice) {
  auto wavBytes = [](const std::string& settings) {
    Voice voice("[SINTETIZADOR]\nDIFONES3=TESTE\n" + settings);
    auto result = kaldro::testing::runProgram("kaldro-fala", {"-w", "fala.wav", "ba. ba"}, "", voice.folder);
    EXPECT_EQ(result.status, 0) << result.standardError;
    return voice.folder.read("fala.wav").size();
  };
  const size_t plain = wavBytes("");
  ASSERT_GT(plain, 44u);
  // A negative cut lengthens nothing beyond the recording: the units sound whole.
  EXPECT_EQ(wavBytes("CORTEFON3=-99999999999\n"), plain);
  // Pauses and gaps at INT_MAX are held to ten seconds and 64 K samples.
  const size_t longest = wavBytes("PAUSAPONTO3=2147483647\nINTERPAL3=2147483647\nPAUSAVIRG3=2147483647\n");
  EXPECT_GE(longest, plain);
  EXPECT_LT(longest, plain + 16000u * 2u * 16u);
}

}  // namespace
}  // namespace kaldro::speech::testing

// The console settings of KALDRO.INI: the colour table, colours, braille mode, magnifier, font, window.
#include <gtest/gtest.h>

#include "console/fake_host.h"

namespace kaldro::console::testing {
namespace {

using Table = std::array<uint8_t, 16>;
constexpr Table kIdentity{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

Table parsed(const std::string& value) {
  Table table = kIdentity;
  parseColourTable(value, table);
  return table;
}

ConsoleSettings settingsOf(const std::string& ini, platform::WorkArea work = {1024, 734}) {
  ConsoleBench bench(ini, true);
  return readConsoleSettings(bench.config, work);
}

TEST(ConsoleSettingsColourTable, ItemsUntilTheFirstThatFails) {
  // The items read replace the first entries; the others keep their colour.
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"7,0", {7, 0}},
      {"3, 5, 7", {3, 5}},  // a blank after a comma shifts the next item so that its conversion fails after the digit
      {"1,4x,9", {1, 4}},   // digits before the failing character still count
      {"", {0}},
      {"300", {44}},  // the low byte of 300
      {"15,14,13,12,11,10,9,8,7,6,5,4,3,2,1,0,99", {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
  };
  for (const auto& [value, items] : cases) {
    Table expected = kIdentity;
    std::copy(items.begin(), items.end(), expected.begin());
    EXPECT_EQ(parsed(value), expected) << value;
  }
}

TEST(ConsoleSettingsFile, DefaultsWithoutFileOrKeys) {
  for (const std::string& ini : {std::string(), std::string("[VIDEO]\n")}) {
    ConsoleSettings settings = settingsOf(ini);
    EXPECT_EQ(settings.colourTable, kIdentity);
    EXPECT_FALSE(settings.coloursFixed);
    EXPECT_FALSE(settings.copyPixelsOnScroll);
    EXPECT_EQ(settings.initialAttribute, 0x0F);
    EXPECT_EQ(settings.brailleMode, 0);
    EXPECT_EQ(settings.magnifierFactor, 2);
    EXPECT_EQ(settings.fontFace, "Lucida Console");
    EXPECT_EQ(settings.fontWidth, 13);
    EXPECT_EQ(settings.fontHeight, 28);
    EXPECT_FALSE(settings.maximized);
  }
  ConsoleSettings wide = settingsOf("", {1920, 1040});
  EXPECT_EQ(wide.fontWidth, 24);
  EXPECT_EQ(wide.fontHeight, 39);
}

TEST(ConsoleSettingsFile, ConfiguredValues) {
  ConsoleSettings settings = settingsOf(
      "[VIDEO]\nTABCORES=7,0\nCORESFIXAS=sim\nLENTO=S\nCORFUNDO=1\nCORLETRA=\nAMPLIF=10\n"
      "FONTE=DejaVu Sans Mono\nLARGURALETRA=\nALTURALETRA=20\nCANTOTELA=nao\n[BRAILLE]\nMODO=3\n",
      {1920, 1040});
  EXPECT_EQ(settings.colourTable[0], 7);
  EXPECT_TRUE(settings.coloursFixed);
  EXPECT_TRUE(settings.copyPixelsOnScroll);
  EXPECT_EQ(settings.initialAttribute, 0x17);  // an empty CORLETRA leaves the starting 7
  EXPECT_EQ(settings.magnifierFactor, 1);      // only the first character of 10
  EXPECT_EQ(settings.brailleMode, 3);  // acts as 1 when the window opens
  EXPECT_EQ(settings.fontFace, "DejaVu Sans Mono");
  EXPECT_EQ(settings.fontWidth, 24);  // empty: from the work area
  EXPECT_EQ(settings.fontHeight, 20);
  EXPECT_TRUE(settings.maximized);

  ConsoleSettings zero = settingsOf("[VIDEO]\nAMPLIF=0\nCORESFIXAS=N\nCANTOTELA=Sim\n");
  EXPECT_EQ(zero.magnifierFactor, 0);  // kept: the window treats it as 1
  EXPECT_FALSE(zero.coloursFixed);
  EXPECT_FALSE(zero.maximized);
}

}  // namespace
}  // namespace kaldro::console::testing

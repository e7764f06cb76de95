// The console settings of KALDRO.INI: the colour table, colours, braille mode, magnifier, font, window.
#include <gtest/gtest.h>

#include <cstdio>

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

// Every setting on one line, to compare a whole reading at once.
std::string describe(const ConsoleSettings& s) {
  std::string table;
  for (uint8_t colour : s.colourTable) table += std::to_string(colour) + ",";
  char text[200];
  std::snprintf(text, sizeof text, "table %sfixed %d slow %d attribute %02X braille %d magnifier %d font %s %dx%d maximized %d",
                table.c_str(), s.coloursFixed, s.copyPixelsOnScroll, s.initialAttribute, s.brailleMode,
                s.magnifierFactor, s.fontFace.c_str(), s.fontWidth, s.fontHeight, s.maximized);
  return text;
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

// The font size follows the work area unless given; numbers of any size stay in their ranges.
TEST(ConsoleSettingsFile, EveryKeyAndItsAbsence) {
  const std::string identity = "table 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,";
  struct Case {
    std::string ini;
    platform::WorkArea work;
    std::string settings;
  };
  const Case cases[] = {
      {"", {1024, 734}, identity + "fixed 0 slow 0 attribute 0F braille 0 magnifier 2 font Lucida Console 13x28 maximized 0"},
      {"[VIDEO]\n", {1024, 734}, identity + "fixed 0 slow 0 attribute 0F braille 0 magnifier 2 font Lucida Console 13x28 maximized 0"},
      {"", {1920, 1040}, identity + "fixed 0 slow 0 attribute 0F braille 0 magnifier 2 font Lucida Console 24x39 maximized 0"},
      // An empty CORLETRA leaves the starting 7; AMPLIF takes only its first character; MODO 3 acts
      // as 1 when the window opens; an empty LARGURALETRA comes from the work area.
      {"[VIDEO]\nTABCORES=7,0\nCORESFIXAS=sim\nLENTO=S\nCORFUNDO=1\nCORLETRA=\nAMPLIF=10\n"
       "FONTE=DejaVu Sans Mono\nLARGURALETRA=\nALTURALETRA=20\nCANTOTELA=nao\n[BRAILLE]\nMODO=3\n",
       {1920, 1040},
       "table 7,0,2,3,4,5,6,7,8,9,10,11,12,13,14,15,fixed 1 slow 1 attribute 17 braille 3 magnifier 1 "
       "font DejaVu Sans Mono 24x20 maximized 1"},
      // AMPLIF=0 is kept: the window treats it as 1.
      {"[VIDEO]\nAMPLIF=0\nCORESFIXAS=N\nCANTOTELA=Sim\n", {1024, 734},
       identity + "fixed 0 slow 0 attribute 0F braille 0 magnifier 0 font Lucida Console 13x28 maximized 0"},
      {"[VIDEO]\nCORFUNDO=300000000\nCORLETRA=15\n", {1024, 734},
       identity + "fixed 0 slow 0 attribute FF braille 0 magnifier 2 font Lucida Console 13x28 maximized 0"},
      {"[VIDEO]\nCORFUNDO=1\nCORLETRA=99999999999999\nLARGURALETRA=2147483647\nALTURALETRA=-2147483648\n", {1024, 734},
       identity + "fixed 0 slow 0 attribute 0F braille 0 magnifier 2 font Lucida Console 512x-512 maximized 0"},
      {"[VIDEO]\nLARGURALETRA=99999999999\nALTURALETRA=-20\n", {1024, 734},
       identity + "fixed 0 slow 0 attribute 0F braille 0 magnifier 2 font Lucida Console 512x-20 maximized 0"},
  };
  for (const Case& c : cases) {
    ConsoleBench bench(c.ini, true);
    EXPECT_EQ(describe(readConsoleSettings(bench.config, c.work)), c.settings) << c.ini;
  }
}

}  // namespace
}  // namespace kaldro::console::testing

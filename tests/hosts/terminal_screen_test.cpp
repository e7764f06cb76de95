// The terminal's colours and frames: palette through the colour table, only changed cells sent.
#include <gtest/gtest.h>

#include <string>

#include "platform/host/host_terminal.h"

namespace kaldro::platform {
namespace {

TEST(TerminalColoursTest, ChosenFromColorterm) {
  EXPECT_EQ(terminalColoursFor("truecolor"), TerminalColours::TrueColour);
  EXPECT_EQ(terminalColoursFor("24bit"), TerminalColours::TrueColour);
  EXPECT_EQ(terminalColoursFor(nullptr), TerminalColours::Standard16);
  EXPECT_EQ(terminalColoursFor("yes"), TerminalColours::Standard16);
}

TEST(TerminalColoursTest, TheSystemsColoursFindTheirNearestStandardColour) {
  // Logical colours the system uses: black, blue, green, cyan, red, magenta, grey, dark grey, yellow, white.
  const std::pair<int, int> nearest[] = {{0, 0}, {1, 4}, {2, 10}, {3, 14},  {4, 9},
                                         {5, 5}, {7, 7}, {8, 8},  {14, 11}, {15, 15}};
  for (const auto& [logical, standard] : nearest)
    EXPECT_EQ(nearestStandardColour(paletteColour(logical)), standard) << logical;
}

TEST(TerminalColoursTest, AttributeGoesThroughTheColourTable) {
  std::array<uint8_t, 16> table{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_EQ(attributeSequence(0x0F, table, TerminalColours::Standard16), "\x1b[0;97;40m");
  EXPECT_EQ(attributeSequence(0x14, table, TerminalColours::Standard16), "\x1b[0;91;44m");
  EXPECT_EQ(attributeSequence(0x5E, table, TerminalColours::TrueColour),
            "\x1b[0;38;2;255;255;0;48;2;142;0;142m");
  table[0] = 7;   // TABCORES=7,0
  table[1] = 0;
  table[15] = 20;  // above 15: black
  EXPECT_EQ(attributeSequence(0x10, table, TerminalColours::Standard16), "\x1b[0;37;40m");
  EXPECT_EQ(attributeSequence(0x0F, table, TerminalColours::TrueColour), "\x1b[0;38;2;0;0;0;48;2;192;192;192m");
}

class TerminalScreenTest : public ::testing::Test {
 protected:
  TerminalScreenTest() : screen(WindowSettings{}, TerminalColours::Standard16) {
    grid.chars.fill(' ');
    grid.attrs.fill(0x0F);
    screen.resize(80, 25);
  }
  std::string paint(int column = 0, int row = 0) {
    std::string frame;
    screen.paint(grid, column, row, frame);
    return frame;
  }
  TextGrid grid;
  TerminalScreen screen;
};

TEST_F(TerminalScreenTest, SendsOnlyTheCellsThatChanged) {
  const std::string first = paint();
  EXPECT_GT(first.size(), 2000u);
  grid.chars[3 * 80 + 10] = 'o';
  grid.chars[3 * 80 + 11] = 'i';
  grid.chars[24 * 80 + 79] = 0xE9;  // é, as UTF-8
  EXPECT_EQ(paint(12, 3), "\x1b[4;11Hoi\x1b[25;80H\xc3\xa9\x1b[4;13H");
  EXPECT_EQ(paint(12, 3), "\x1b[4;13H") << "nothing changed: only the cursor is placed";
}

TEST_F(TerminalScreenTest, ColourChangesOnlyWhereTheAttributeChanges) {
  paint();
  grid.chars[0] = 'a';
  grid.attrs[1] = 0x4F;
  grid.chars[1] = 'b';
  grid.chars[2] = 'c';
  grid.attrs[2] = 0x4F;
  EXPECT_EQ(paint(), "\x1b[1;1Ha\x1b[0;97;101mbc\x1b[1;1H");
}

TEST_F(TerminalScreenTest, ControlBytesShowAsBlanks) {
  paint();
  grid.chars[0] = 0x07;
  grid.chars[1] = 0x81;  // undefined in CP1252
  grid.chars[2] = 0x80;  // the euro sign
  EXPECT_EQ(paint(), "\x1b[1;1H  \xe2\x82\xac\x1b[1;1H");
}

TEST_F(TerminalScreenTest, ScrollMovesTheTerminalsLinesAndRedrawsTheLastRow) {
  grid.chars[24 * 80] = 'x';
  paint();
  std::copy(grid.chars.begin() + 80, grid.chars.end(), grid.chars.begin());
  std::fill(grid.chars.end() - 80, grid.chars.end(), ' ');
  std::string frame;
  screen.scrollUp(frame);
  screen.paint(grid, 0, 24, frame);
  EXPECT_EQ(frame.rfind("\x1b[1;25r\x1b[25;1H\n\x1b[r", 0), 0u);
  EXPECT_EQ(frame.find("\x1b[24;1H"), std::string::npos) << "row 24 came from the scroll";
  EXPECT_NE(frame.find("\x1b[25;1H" + std::string(80, ' ')), std::string::npos);
}

TEST_F(TerminalScreenTest, SmallTerminalShowsTheTopLeftAndSaysSoOnce) {
  screen.resize(40, 10);
  grid.chars[0] = 'a';
  grid.chars[50] = 'z';       // column 51: not shown
  grid.chars[9 * 80] = '#';   // row 10 is the message's line
  const std::string frame = paint(60, 20);
  EXPECT_NE(frame.find("\x1b[10;1H\x1b[0m\x1b[2KTerminal pequeno demais: são precisas 80\x1b[9;40H"), std::string::npos);
  EXPECT_EQ(frame.find('z'), std::string::npos);
  EXPECT_EQ(frame.find('#'), std::string::npos);
  EXPECT_EQ(frame.substr(frame.size() - 7), "\x1b[9;40H") << "the cursor stays inside the part shown";
  grid.chars[1] = 'b';
  EXPECT_EQ(paint(), "\x1b[1;2H\x1b[0;97;40mb\x1b[1;1H");
}

}  // namespace
}  // namespace kaldro::platform

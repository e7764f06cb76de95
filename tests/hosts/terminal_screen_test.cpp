// The terminal's colours and frames: palette through the colour table, only changed cells sent.
#include <gtest/gtest.h>

#include <algorithm>
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

// A terminal with fewer rows than the console (xterm's and tmux's 80 x 24) shows the rows around
// the cursor, follows the console's scrolling with its own, and jumps back when the cursor does.
// Each console row is marked by a letter of its own, À for row 1 to Ø for row 25.
TEST_F(TerminalScreenTest, ASmallTerminalShowsTheRowsAroundTheCursor) {
  struct Case {
    int columns, rows, cursorRow;  // cursor row 0-based
    int firstShown;                // 0-based console row on the terminal's first row
    bool saysNarrow;
  };
  const Case cases[] = {{80, 24, 24, 1, false}, {80, 20, 24, 5, false}, {80, 20, 3, 0, false},
                        {80, 25, 24, 0, false}, {40, 10, 20, 12, true}, {40, 10, 24, 16, true}};
  auto mark = [](int row) { return std::string("\xc3") + static_cast<char>(0x80 + row); };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.rows) + " cursor row " + std::to_string(c.cursorRow));
    TerminalScreen small(WindowSettings{}, TerminalColours::Standard16);
    for (int row = 0; row < 25; ++row) grid.chars[row * 80] = static_cast<uint8_t>(0xC0 + row);
    small.resize(c.columns, c.rows);
    std::string frame;
    small.paint(grid, 5, c.cursorRow, frame);
    const int shown = small.visibleRows();
    EXPECT_EQ(small.firstRowShown(), c.firstShown);
    for (int row = 0; row < 25; ++row) {
      const bool visible = row >= c.firstShown && row < c.firstShown + shown;
      EXPECT_EQ(frame.find(mark(row)) != std::string::npos, visible) << "row " << row + 1;
    }
    const std::string cursor = "\x1b[" + std::to_string(c.cursorRow - c.firstShown + 1) + ";6H";
    EXPECT_EQ(frame.substr(frame.size() - cursor.size()), cursor) << "the terminal's cursor on the cursor's row";
    EXPECT_EQ(frame.find("Terminal pequeno demais") != std::string::npos, c.saysNarrow);

    if (c.cursorRow == 24) {  // a line feed on the last row: the console scrolls, so does the terminal
      std::rotate(grid.chars.begin(), grid.chars.begin() + 80, grid.chars.end());
      frame.clear();
      small.scrollUp(frame);
      small.paint(grid, 5, 24, frame);
      const std::string last = std::to_string(shown);
      EXPECT_EQ(frame.rfind("\x1b[1;" + last + "r\x1b[" + last + ";1H\n\x1b[r", 0), 0u);
      EXPECT_EQ(frame.find("\x1b[" + std::to_string(shown - 1) + ";1H"), std::string::npos) << "moved, not redrawn";
      const size_t newRow = frame.find("\x1b[" + last + ";1H");
      EXPECT_NE(newRow, std::string::npos);
      EXPECT_NE(frame.find(mark(0), newRow), std::string::npos) << "the new last row";
      std::rotate(grid.chars.rbegin(), grid.chars.rbegin() + 80, grid.chars.rend());
    }
    frame.clear();
    small.paint(grid, 0, 0, frame);  // the screen cleared: back to the top
    EXPECT_EQ(small.firstRowShown(), 0);
    if (c.firstShown > 0) EXPECT_NE(frame.find(mark(0)), std::string::npos);
    EXPECT_EQ(frame.substr(frame.size() - 6), "\x1b[1;1H");
  }
}

}  // namespace
}  // namespace kaldro::platform

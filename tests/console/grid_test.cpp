// The console grid: writing, wrapping, scrolling, painting, colours, cells, clipboard and closing.
#include <gtest/gtest.h>

#include "console/fake_host.h"

namespace kaldro::console::testing {
namespace {

std::string rowText(const Console& console, int row) {
  std::string text;
  for (int column = 1; column <= Console::Columns; ++column) text.push_back(static_cast<char>(console.screenChar(column, row)));
  return text;
}

TEST(ConsoleGrid, DeferredWrapAndLineEnds) {
  ConsoleBench bench;
  Console& console = bench.console;
  console.writeToConsole(std::string(80, 'x'));
  EXPECT_EQ(console.cursorColumn(), 81);  // stands past the last column until the next character
  EXPECT_EQ(console.cursorRow(), 1);
  console.writeToConsole("y");
  EXPECT_EQ(rowText(console, 1), std::string(80, 'x'));
  EXPECT_EQ(console.screenChar(1, 2), 'y');
  EXPECT_EQ(console.cursorColumn(), 2);
  EXPECT_EQ(console.cursorRow(), 2);
  // Only the changed cells are painted: once per call and before the line feed.
  std::vector<DrawnRow> expected{{0, 0, 80}, {1, 0, 1}};
  EXPECT_EQ(bench.host.drawn, expected);

  // 80 characters and CR LF give one full row and no empty row.
  console.clearScreen();
  console.writeToConsole(std::string(80, 'z') + "\r\nw");
  EXPECT_EQ(console.screenChar(1, 2), 'w');
  // A line feed alone also returns to column 1.
  console.writeToConsole("\n");
  EXPECT_EQ(console.cursorColumn(), 1);
  EXPECT_EQ(console.cursorRow(), 3);
}

TEST(ConsoleGrid, ControlCodes) {
  ConsoleBench bench;
  Console& console = bench.console;
  console.writeToConsole("\b\t\x01\x1f");
  EXPECT_EQ(console.cursorColumn(), 1);
  EXPECT_EQ(console.cursorRow(), 1);
  console.writeToConsole("ab\b");
  EXPECT_EQ(console.screenChar(2, 1), ' ');
  EXPECT_EQ(console.screenChar(1, 1), 'a');
  EXPECT_EQ(console.cursorColumn(), 2);
  console.writeToConsole("\a");
  EXPECT_EQ(bench.host.beeps, 1);
  console.writeToConsole("\r");
  EXPECT_EQ(console.cursorColumn(), 1);
}

TEST(ConsoleGrid, CursorIsClampedAndUnwrittenCellsAreBlank) {
  ConsoleBench bench;
  Console& console = bench.console;
  // The grid exists before the window does.
  EXPECT_EQ(console.screenChar(80, 25), ' ');
  console.moveCursor(0, 0);
  EXPECT_EQ(console.cursorColumn(), 1);
  EXPECT_EQ(console.cursorRow(), 1);
  console.moveCursor(100, 30);
  EXPECT_EQ(console.cursorColumn(), 80);
  EXPECT_EQ(console.cursorRow(), 25);
  EXPECT_EQ(bench.host.windowsOpened, 0);
}

TEST(ConsoleGrid, LineFeedOnLastRowScrollsWithTheCurrentAttribute) {
  ConsoleBench bench;
  Console& console = bench.console;
  console.writeToConsole("first");
  console.moveCursor(1, 25);
  console.writeToConsole("last");
  console.setBackgroundColour(1);
  console.writeToConsole("\r\n");
  EXPECT_EQ(console.cursorRow(), 25);
  EXPECT_EQ(rowText(console, 1), std::string(80, ' '));
  EXPECT_EQ(rowText(console, 24).substr(0, 4), "last");
  EXPECT_EQ(rowText(console, 25), std::string(80, ' '));
  EXPECT_EQ(console.screenAttribute(40, 25), 0x1F);
  ASSERT_EQ(bench.host.scrolls.size(), 1u);
  EXPECT_EQ(bench.host.scrolls[0], 0x1F);
}

TEST(ConsoleGrid, ColoursAndTheColourSwitch) {
  ConsoleBench bench;
  bench.console.setBackgroundColour(5);
  bench.console.writeToConsole("A");
  EXPECT_EQ(bench.console.screenAttribute(1, 1), 5 * 16 + 15);
  bench.console.setTextColour(4);
  EXPECT_EQ(bench.console.currentAttribute(), 0x54);

  ConsoleBench fixed("[VIDEO]\nCORESFIXAS=Sim\nCORFUNDO=1\nCORLETRA=14\n");
  fixed.console.setBackgroundColour(5);
  fixed.console.setTextColour(2);
  EXPECT_EQ(fixed.console.currentAttribute(), 0x1E);
}

TEST(ConsoleGrid, ClearingAndCells) {
  ConsoleBench bench;
  Console& console = bench.console;
  console.writeToConsole("abcdef");
  console.moveCursor(3, 1);
  console.setBackgroundColour(2);
  bench.host.drawn.clear();
  console.clearToEndOfLine();
  EXPECT_EQ(rowText(console, 1).substr(0, 3), "ab ");
  EXPECT_EQ(console.screenAttribute(3, 1), 0x2F);
  EXPECT_EQ(console.cursorColumn(), 3);
  EXPECT_EQ(bench.host.drawn, (std::vector<DrawnRow>{{0, 2, 80}}));

  console.putCell(80, 25, 'Q', 0x4E);
  EXPECT_EQ(console.screenChar(80, 25), 'Q');
  EXPECT_EQ(console.screenAttribute(80, 25), 0x4E);
  console.putCell(81, 1, 'Q', 0);  // outside the grid: ignored

  console.clearScreen();
  EXPECT_EQ(console.screenChar(1, 1), ' ');
  EXPECT_EQ(console.screenAttribute(80, 25), 0x2F);
  EXPECT_EQ(console.cursorColumn(), 1);
  EXPECT_EQ(bench.host.repaints, 1);
}

TEST(ConsoleGrid, WindowOpensOnceWithTheSettings) {
  ConsoleBench bench("[VIDEO]\nCORFUNDO=1\nCORLETRA=14\nLENTO=s\n");
  Console empty(bench.host, bench.config, "/" + std::string(100, 'p'));
  empty.clearScreen();
  empty.keyPressed();
  EXPECT_EQ(bench.host.windowsOpened, 1);
  EXPECT_EQ(bench.host.opened.title.size(), 79u);
  EXPECT_TRUE(bench.host.opened.copyPixelsOnScroll);
  EXPECT_EQ(empty.screenAttribute(1, 1), 0x1E);
}

TEST(ConsoleGrid, Clipboard) {
  ConsoleBench bench;
  Console& console = bench.console;
  EXPECT_EQ(console.pasteFromClipboard(10), "");
  console.copyToClipboard("abcdef");
  EXPECT_EQ(console.pasteFromClipboard(4), "abc");
  EXPECT_EQ(console.pasteFromClipboard(0), "");
  EXPECT_EQ(console.pasteFromClipboard(100), "abcdef");
}

TEST(ConsoleGrid, ScreenDumpAndClose) {
  ConsoleBench bench;
  Console& console = bench.console;
  console.writeToConsole("\xE7");  // ç, one CP1252 byte
  bench.host.character('x');
  const std::string dump = console.screenDump();
  EXPECT_TRUE(dump.ends_with("\n"));
  const std::vector<std::string> lines = kaldro::testing::splitLines(dump);
  ASSERT_EQ(lines.size(), 51u);  // 25 rows of text, 25 of attributes, the cursor
  EXPECT_EQ(lines[0], "\xC3\xA7" + std::string(79, ' '));
  std::string attributes;
  for (int i = 0; i < 80; ++i) attributes += "0F";
  EXPECT_EQ(lines[25], attributes);
  EXPECT_EQ(lines[50], "cursor 2 1");

  console.keyPressed();
  EXPECT_EQ(kaldro::testing::runToProgramEnd([&] { console.closeConsole(); }).status, 0);
  EXPECT_EQ(console.queuedKeyCount(), 0);
  EXPECT_EQ(bench.host.windowsClosed, 1);
}

}  // namespace
}  // namespace kaldro::console::testing

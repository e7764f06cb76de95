// The terminal host's drawing: colour sequences and the frame that brings a terminal up to date.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/host/host.h"
#include "platform/run_options.h"
#include "platform/status.h"

namespace kaldro::platform {

enum class TerminalColours : uint8_t {
  Standard16,  // the terminal's own 16 colours, so its theme still applies
  TrueColour,  // 24-bit colour, when COLORTERM announces it
};

// COLORTERM's value (may be null) tells whether 24-bit colour is understood.
TerminalColours terminalColoursFor(const char* colorterm);

// The nearest of the 16 standard terminal colours (xterm's default values), numbered as SGR does:
// 0 black, 1 red, 2 green, 3 yellow, 4 blue, 5 magenta, 6 cyan, 7 white, 8..15 their bright kinds.
int nearestStandardColour(Rgb colour);

// The SGR sequence that paints a cell attribute: text colour in the low four bits, background in the
// high four, each through the colour table and the palette.
std::string attributeSequence(uint8_t attribute, const std::array<uint8_t, 16>& colourTable, TerminalColours colours);

// What a terminal shows of the console, and the bytes that bring it up to date. Only cells that
// differ from what the terminal shows are sent. A terminal with fewer rows than the console shows
// the rows around the console's cursor, so the question asked and the answer typed are always seen.
class TerminalScreen {
 public:
  TerminalScreen(const WindowSettings& settings, TerminalColours colours) : settings_(settings), colours_(colours) {}

  // The terminal's size changed (or the screen was cleared): everything is sent again.
  void resize(int columns, int rows);
  // The console's grid moved up one row: the terminal scrolls its own lines, when it shows them all.
  void scrollUp(std::string& frame);
  // Appends the bytes that make the terminal show the grid, then places the cursor.
  void paint(const TextGrid& grid, int cursorColumn, int cursorRow, std::string& frame);

  bool tooSmall() const { return narrow() || rows_ < TextGrid::Rows; }
  int visibleColumns() const;
  int visibleRows() const;
  // The console row shown on the terminal's first row.
  int firstRowShown() const { return top_; }

 private:
  // Too few columns: the last row says so, since the right of every line is missing.
  bool narrow() const { return columns_ < TextGrid::Columns; }
  void setAttribute(uint8_t attribute, std::string& frame);

  WindowSettings settings_;
  TerminalColours colours_;
  int columns_ = TextGrid::Columns;
  int rows_ = TextGrid::Rows;
  // What the terminal shows, by terminal row; an attribute above 255 marks a cell whose contents
  // are unknown.
  std::array<uint8_t, TextGrid::Columns * TextGrid::Rows> shownChars_{};
  std::array<uint16_t, TextGrid::Columns * TextGrid::Rows> shownAttrs_{};
  int currentAttribute_ = -1;  // the terminal's SGR state, -1 when unknown
  int top_ = 0;
  bool messageShown_ = false;
};

// The terminal host on a given terminal (makeTerminalHost uses standard input and output).
Made<Host> makeTerminalHostOn(Trace& trace, const RunOptions& options, int inputFd, int outputFd);

}  // namespace kaldro::platform

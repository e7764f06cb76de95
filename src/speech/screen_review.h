// Screen review: a review cursor explores the 80 x 25 console by ear without changing it.
#pragma once

#include <cstdint>
#include <string>

#include "speech/speech.h"

namespace kaldro::speech {

class ScreenReview {
 public:
  static constexpr int Columns = console::Console::Columns;
  static constexpr int Rows = console::Console::Rows;

  explicit ScreenReview(Speech& speech);
  ScreenReview(const ScreenReview&) = delete;
  ScreenReview& operator=(const ScreenReview&) = delete;

  // Runs the mode from the console cursor until Escape, then puts the console cursor back.
  void screenReview();

  // The last text searched for (Ctrl+F5 repeats it); kept from one use of the mode to the next.
  const std::string& searchText() const { return searchText_; }

 private:
  struct Span {
    int first, last;  // columns; last < first when empty
  };

  // Out-of-grid cells read as a blank with attribute 0.
  uint8_t cellChar(int column, int row) const;
  uint8_t cellAttribute(int column, int row) const;

  struct KeyAction {
    uint8_t code;
    void (*run)(ScreenReview& review);
  };
  static const KeyAction kExtendedKeys[];
  static const KeyAction kOrdinaryKeys[];
  // The key's action from the table, or the unknown-key sounds.
  void runKey(const KeyAction* table, size_t size, uint8_t code);
  void handleExtendedKey(uint8_t code);
  void handleOrdinaryKey(uint8_t code);
  void left();
  void jumpToRow(int row);  // to its first column, reading it
  void nextField();
  void speakPosition();
  void correctPosition();
  void unknownKey();

  void readingCommand(uint8_t firstLetter);
  void readRange(int firstRow, int firstColumn, int lastRow, int lastColumn, bool keepPosition);
  void readRow() { readRange(row_, 1, row_, Columns, true); }
  void speakWordAtPosition();

  Span fieldAtPosition() const;
  int endOfRow(int row) const;
  void previousWord();
  void nextWord();
  void goToLetter(bool last);
  void goToPosition();
  void askAndSearch();
  void search();
  void copyScreen();

  Speech& speech_;
  console::Console& console_;
  int row_ = 1;
  int column_ = 1;  // 81 stands just after the last column
  std::string searchText_;
};

}  // namespace kaldro::speech

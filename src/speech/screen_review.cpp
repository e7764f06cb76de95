// Screen review: reading characters, words, rows, fields and the screen; positioning, search, copy.
#include "speech/screen_review.h"

#include <iterator>
#include <string_view>

#include "console/key_codes.h"
#include "platform/latin1_classes.h"
#include "platform/words.h"

namespace kaldro::speech {

namespace key = console::key;
namespace ext = console::extended;

namespace {

constexpr uint8_t kBlank = ' ';

using platform::isAsciiLetter;
using platform::isDigit;

// The accented letters of Portuguese (and ñ).
constexpr platform::Cp1252Words kAccentedLetters = "àáâãçéêíñóôõúÀÁÂÃÇÉÊÍÑÓÔÕÚ";

bool isWordCharacter(uint8_t c) {
  return isAsciiLetter(c) || isDigit(c) || std::string_view(kAccentedLetters).find(static_cast<char>(c)) != std::string_view::npos;
}

// Field delimiters: "!", ":", "?", "|" and the symbols from "°" to "¿" and "×", where a PC text
// screen kept its frame-drawing characters. The CP1252 capitals À..ß in the same range are letters
// of the text, not frames.
bool isFieldDelimiter(uint8_t c) {
  if (c == '!' || c == ':' || c == '?' || c == '|') return true;
  return (c >= 0xB0 && c <= 0xBF) || c == 0xD7;
}

}  // namespace

ScreenReview::ScreenReview(Speech& speech) : speech_(speech), console_(speech.console()) {}

uint8_t ScreenReview::cellChar(int column, int row) const {
  if (column < 1 || column > Columns || row < 1 || row > Rows) return kBlank;
  const uint8_t c = console_.screenChar(column, row);
  return c == 0 ? kBlank : c;  // a grid never written holds zeros
}

uint8_t ScreenReview::cellAttribute(int column, int row) const {
  if (column < 1 || column > Columns || row < 1 || row > Rows) return 0;
  return console_.screenAttribute(column, row);
}

void ScreenReview::screenReview() {
  speech_.beepSound();
  const int entryColumn = console_.cursorColumn();
  const int entryRow = console_.cursorRow();
  column_ = entryColumn;
  row_ = entryRow;

  for (;;) {
    console_.moveCursor(column_, row_);
    const uint8_t code = console_.readKey();
    if (code == key::Escape) break;
    if (code == key::Extended) {
      handleExtendedKey(console_.readKey());
    } else {
      handleOrdinaryKey(code);
    }
    correctPosition();
  }

  speech_.beepSound();
  speech_.beepSound();
  console_.moveCursor(entryColumn, entryRow);
}

// Each correction beeps, and the beep throws away keys typed ahead, so a held arrow stops at the edge.
void ScreenReview::correctPosition() {
  if (column_ < 1) {
    speech_.beepSound();
    column_ = 1;
  }
  if (column_ > Columns + 1) {
    speech_.beepSound();
    column_ = Columns;
  }
  if (row_ < 1) {
    speech_.beepSound();
    row_ = 1;
  }
  if (row_ > Rows) {
    speech_.beepSound();
    row_ = Rows;
  }
}

void ScreenReview::unknownKey() {
  speech_.beepSound();
  speech_.clickSound();
  speech_.beepSound();
}

const ScreenReview::KeyAction ScreenReview::kExtendedKeys[] = {
    {ext::ShiftTab, [](ScreenReview& r) {  // previous field
       r.column_ = r.fieldAtPosition().first - 2;
       r.speech_.clickSound();
     }},
    {ext::F1, [](ScreenReview& r) {
       if (!(r.console_.keyStopsSound() && r.speech_.externalActive())) r.speakWordAtPosition();
       if (r.column_ >= Columns) {
         r.speech_.clickSound();
         r.column_ = r.endOfRow(r.row_);
       }
     }},
    {ext::F5, [](ScreenReview& r) { r.askAndSearch(); }},
    {ext::F6, [](ScreenReview& r) { r.goToPosition(); }},
    {ext::Home, [](ScreenReview& r) { r.column_ = 1; }},
    {ext::Up, [](ScreenReview& r) {  // at row 1 the correction beeps and nothing is read
       r.column_ = 1;
       --r.row_;
       if (r.row_ >= 1) r.readRow();
     }},
    {ext::PageUp, [](ScreenReview& r) { r.jumpToRow(1); }},
    {ext::Left, [](ScreenReview& r) { r.left(); }},
    {ext::Right, [](ScreenReview& r) {
       if (r.column_ > Columns + 1) {
         r.speech_.beepSound();
       } else {
         r.speech_.speakChar(r.cellChar(r.column_, r.row_));
       }
       ++r.column_;
     }},
    {ext::End, [](ScreenReview& r) { r.column_ = r.endOfRow(r.row_); }},
    {ext::Down, [](ScreenReview& r) {
       ++r.row_;
       r.column_ = 1;
       r.speech_.clickSound();
       if (r.row_ <= Rows) r.readRow();
     }},
    {ext::PageDown, [](ScreenReview& r) { r.jumpToRow(Rows); }},
    {ext::CtrlF1, [](ScreenReview& r) {  // the whole field
       const Span field = r.fieldAtPosition();
       r.readRange(r.row_, field.first, r.row_, field.last, true);
     }},
    {ext::CtrlF5, [](ScreenReview& r) { r.search(); }},
    {ext::CtrlLeft, [](ScreenReview& r) { r.previousWord(); }},
    {ext::CtrlRight, [](ScreenReview& r) { r.nextWord(); }},
    {ext::CtrlPageDown, [](ScreenReview& r) { r.goToLetter(true); }},
    {ext::CtrlPageUp, [](ScreenReview& r) { r.goToLetter(false); }},
};

// Letters are reading commands (see readingCommand); other codes not here are unknown.
const ScreenReview::KeyAction ScreenReview::kOrdinaryKeys[] = {
    {key::CtrlC, [](ScreenReview& r) { r.copyScreen(); }},
    {key::Backspace, [](ScreenReview& r) { r.left(); }},
    {key::Tab, [](ScreenReview& r) { r.nextField(); }},
    {key::CtrlK, [](ScreenReview& r) { r.speakPosition(); }},
    {key::CtrlL, [](ScreenReview& r) { r.speakPosition(); }},
    {key::Enter, [](ScreenReview& r) {
       ++r.row_;
       r.column_ = 1;
       r.speech_.clickSound();
     }},
    {key::Space, [](ScreenReview& r) { r.readRow(); }},
};

void ScreenReview::runKey(const KeyAction* table, size_t size, uint8_t code) {
  for (size_t i = 0; i < size; ++i) {
    if (table[i].code == code) return table[i].run(*this);
  }
  unknownKey();
}

void ScreenReview::handleExtendedKey(uint8_t code) { runKey(kExtendedKeys, std::size(kExtendedKeys), code); }

void ScreenReview::handleOrdinaryKey(uint8_t code) {
  if (isAsciiLetter(code)) return readingCommand(code);
  runKey(kOrdinaryKeys, std::size(kOrdinaryKeys), code);
}

void ScreenReview::left() {
  if (column_ > 1) {
    speech_.speakChar(cellChar(column_ - 1, row_));
  } else {
    speech_.beepSound();
  }
  --column_;
}

void ScreenReview::jumpToRow(int row) {
  row_ = row;
  column_ = 1;
  readRow();
}

// The console gives Shift+Tab as a Tab with Shift held: the previous field.
void ScreenReview::nextField() {
  if (console_.modifiersOfLastKey().shift) return handleExtendedKey(ext::ShiftTab);
  const int next = fieldAtPosition().last + 2;
  if (next > Columns) {
    column_ = endOfRow(row_);
  } else {
    column_ = next;
    speech_.clickSound();
  }
}

void ScreenReview::speakPosition() { speech_.speakText(std::to_string(row_) + " " + std::to_string(column_)); }

// I from the start to the position, T the whole, F from the position to the end (L is T);
// then T the screen, L the row, C the field.
void ScreenReview::readingCommand(uint8_t firstLetter) {
  char where = static_cast<char>(firstLetter & ~0x20);
  if (where == 'L') where = 'T';
  if (where != 'I' && where != 'T' && where != 'F') {
    unknownKey();
    return;
  }
  uint8_t second = console_.readKey();
  if (second == key::Extended) {
    console_.readKey();
    unknownKey();
    return;
  }
  const char what = isAsciiLetter(second) ? static_cast<char>(second & ~0x20) : '\0';
  if (what == 'T') {
    if (where == 'I') readRange(1, 1, row_, column_ - 1, false);
    if (where == 'T') readRange(1, 1, Rows, Columns, false);
    if (where == 'F') readRange(row_, column_, Rows, Columns, false);
  } else if (what == 'L') {
    if (where == 'I') readRange(row_, 1, row_, column_ - 1, true);
    if (where == 'T') readRange(row_, 1, row_, Columns, true);
    if (where == 'F') readRange(row_, column_, row_, Columns, true);
  } else if (what == 'C') {
    const Span field = fieldAtPosition();
    if (where == 'I') readRange(row_, field.first, row_, column_, true);
    if (where == 'T') readRange(row_, field.first, row_, field.last, true);
    if (where == 'F') readRange(row_, column_, row_, field.last, true);
  } else {
    unknownKey();
  }
}

void ScreenReview::readRange(int firstRow, int firstColumn, int lastRow, int lastColumn, bool keepPosition) {
  if (firstRow == lastRow && lastColumn < firstColumn) {
    speech_.beepSound();
    return;
  }
  const int savedRow = row_;
  const int savedColumn = column_;
  for (int row = firstRow; row <= lastRow; ++row) {
    row_ = row;
    const int from = row == firstRow ? firstColumn : 1;
    const int to = row == lastRow ? lastColumn : Columns;
    if (speech_.externalActive()) {
      // An external synthesizer reads a whole row better than word by word.
      std::string text;
      for (int column = from; column <= to; ++column) text.push_back(static_cast<char>(cellChar(column, row)));
      speech_.speakText(text);
    } else {
      column_ = from;
      while (column_ <= to && !console_.keyStopsSound()) {
        speakWordAtPosition();
        while (column_ <= Columns && cellChar(column_, row_) == kBlank) ++column_;
      }
    }
    if (console_.keyStopsSound()) break;
    column_ = 1;
    speech_.clickSound();  // separates the rows
  }
  speech_.speechBusy();  // stops speech when a key is waiting
  if (lastColumn >= Columns) column_ = endOfRow(row_);
  if (keepPosition) {
    row_ = savedRow;
    column_ = savedColumn;
  }
}

void ScreenReview::speakWordAtPosition() {
  while (column_ <= Columns && cellChar(column_, row_) == kBlank) ++column_;
  if (column_ > Columns) return;

  std::string word;
  auto take = [&]() {
    console_.moveCursor(column_, row_);
    word.push_back(static_cast<char>(cellChar(column_, row_)));
    ++column_;
  };
  take();
  while (column_ <= Columns && isWordCharacter(cellChar(column_, row_))) take();

  if (word.size() == 1) {
    // A row of dashes is heard as three dashes, and the position goes past all of them.
    const uint8_t repeated = static_cast<uint8_t>(word[0]);
    while (column_ <= Columns && cellChar(column_, row_) == repeated) {
      if (word.size() < 3) word.push_back(static_cast<char>(repeated));
      ++column_;
    }
    speech_.speakTextLiterally(word);
    return;
  }
  bool allConsonants = true;
  for (char c : word) allConsonants = allConsonants && platform::isConsonantWithWY(static_cast<uint8_t>(c));
  if (allConsonants) {
    speech_.spellText(word);
  } else {
    speech_.speakTextLiterally(word);
  }
}

ScreenReview::Span ScreenReview::fieldAtPosition() const {
  const int column = column_ > Columns ? Columns : column_;
  const uint8_t attribute = cellAttribute(column, row_);
  auto inField = [&](int c) {
    return c >= 1 && c <= Columns && cellAttribute(c, row_) == attribute && !isFieldDelimiter(cellChar(c, row_));
  };
  if (!inField(column)) return {column + 1, column - 1};
  Span field{column, column};
  while (inField(field.first - 1)) --field.first;
  while (inField(field.last + 1)) ++field.last;
  return field;
}

int ScreenReview::endOfRow(int row) const {
  int column = Columns;
  while (column >= 1 && cellChar(column, row) == kBlank) --column;
  return column + 1;
}

void ScreenReview::previousWord() {
  int column = column_ - 1;
  while (column >= 1 && cellChar(column, row_) == kBlank) --column;
  if (column < 1) {
    speech_.beepSound();
    column_ = 1;
    return;
  }
  while (column >= 1 && cellChar(column, row_) != kBlank) --column;
  if (column >= 1) {
    speech_.clickSound();
  } else {
    speech_.beepSound();
  }
  column_ = column + 1;
}

void ScreenReview::nextWord() {
  int column = column_;
  while (column <= Columns && cellChar(column, row_) != kBlank) ++column;
  while (column <= Columns && cellChar(column, row_) == kBlank) ++column;
  if (column > Columns) {
    speech_.beepSound();
    column_ = endOfRow(row_);
  } else {
    speech_.clickSound();
    column_ = column;
  }
}

void ScreenReview::goToLetter(bool last) {
  for (int step = 0; step < Rows * Columns; ++step) {
    const int index = last ? Rows * Columns - 1 - step : step;
    const int row = index / Columns + 1;
    const int column = index % Columns + 1;
    if (isAsciiLetter(cellChar(column, row))) {
      row_ = row;
      column_ = column;
      readRow();
      return;
    }
  }
  speech_.beepSound();  // a screen without letters
}

// Four digits: two for the row, two for the column ("1205" is row 12, column 5).
void ScreenReview::goToPosition() {
  speech_.speakText(platform::words::AskRowAndColumn);
  int digits[4] = {};
  for (int& digit : digits) {
    const uint8_t code = console_.readKey();
    if (code == key::Extended) console_.readKey();
    if (!isDigit(code)) {
      speech_.beepSound();
      speech_.beepSound();
      return;
    }
    speech_.speakChar(code);
    digit = code - '0';
  }
  row_ = digits[0] * 10 + digits[1];
  column_ = digits[2] * 10 + digits[3];
}

void ScreenReview::askAndSearch() {
  speech_.speakText(platform::words::AskSearchText);
  std::string text;
  for (;;) {
    const uint8_t code = console_.readKey();
    if (code == key::Escape) return;
    if (code == key::Enter) break;
    if (code == key::Extended) {  // a function or cursor key is not text
      console_.readKey();
      continue;
    }
    if (code == key::Backspace) {
      if (!text.empty()) {
        const uint8_t removed = static_cast<uint8_t>(text.back());
        text.pop_back();
        speech_.playWord("_DEL");
        speech_.speakChar(removed);
      }
      continue;
    }
    text.push_back(static_cast<char>(code));
    speech_.speakChar(code);
  }
  searchText_ = text;
  search();
}

// From the review position onwards: the rest of its row, then every row below, exactly as typed.
void ScreenReview::search() {
  if (!searchText_.empty()) {
    for (int row = row_; row <= Rows; ++row) {
      std::string line;
      for (int column = 1; column <= Columns; ++column) line.push_back(static_cast<char>(cellChar(column, row)));
      const size_t from = row == row_ ? static_cast<size_t>(column_ > Columns ? Columns : column_) : 0;
      const size_t found = line.find(searchText_, from);
      if (found != std::string::npos) {
        row_ = row;
        column_ = static_cast<int>(found) + 1;
        speech_.clickSound();
        return;
      }
    }
  }
  speech_.beepSound();
  speech_.beepSound();
}

void ScreenReview::copyScreen() {
  std::string screen;
  screen.reserve(Rows * (Columns + 2));
  for (int row = 1; row <= Rows; ++row) {
    for (int column = 1; column <= Columns; ++column) screen.push_back(static_cast<char>(cellChar(column, row)));
    screen += "\r\n";
  }
  console_.copyToClipboard(screen);
}

}  // namespace kaldro::speech

// The talking line editor: the system's only text input, with every key acknowledged by sound.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "speech/link_opener.h"
#include "speech/screen_review.h"
#include "speech/speech.h"

namespace kaldro::speech {

class LineEditor {
 public:
  static constexpr int LargestLength = 2048;

  // starter: how F12 starts programs (tests record instead of starting).
  explicit LineEditor(Speech& speech, LinkOpener::Starter starter = {});
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // Edits text (CP1252) in a field at column, row (1-based) showing width columns. Returns the
  // key that ended the editing: 9, 10, 13, 27, or an extended key code (72 Up, 80 Down, ...).
  // On return text holds the edited text without trailing blanks.
  uint8_t editLine(std::string& text, int column, int row, int maxLen, int width, bool editable);
  // editLine with the field ending before the console's last column.
  uint8_t editField(std::string& text, int column, int row, int maxLen, bool editable);
  // A line of at most 255 characters at the cursor; Escape gives an empty text and blanks what
  // was typed. A line end follows in every case.
  std::string readLine();

  ScreenReview& screenReview() { return review_; }

 private:
  // The state of one editing call. The text is always exactly maxLen characters, blank padded.
  struct Field {
    std::string text;
    std::string initialText;
    int column = 1, row = 1;
    int maxLen = 1, width = 1;
    bool editable = true;
    int cursor = 1;  // 1 .. maxLen + 1
    int scroll = 1;  // the text position in the field's first column
    int selectionStart = 0, selectionEnd = 0;  // 0: no selection
    bool firstKey = true;
  };

  void display();
  void writeVisible(int from, int count);
  int screenColumnOfCursor() const { return field_.column + field_.cursor - field_.scroll; }
  bool hasSelection() const;
  void clearSelection() { field_.selectionStart = field_.selectionEnd = 0; }
  // The selection's ends in order: positions first .. end - 1.
  std::pair<int, int> orderedSelection() const;
  int endOfText() const;  // the position after the last non-blank character

  // The code that ends the editing, or nothing.
  using KeyExit = std::optional<uint8_t>;
  // A key's action; alt tells whether Alt was held.
  struct KeyAction {
    uint8_t code;
    KeyExit (*run)(LineEditor& editor, bool alt);
  };
  static const KeyAction kExtendedKeys[];
  static const KeyAction kOrdinaryKeys[];
  template <size_t N>
  static const KeyAction* findAction(const KeyAction (&table)[N], uint8_t code);
  // Ordinary codes outside kOrdinaryKeys are typed (or, below the first character, do nothing).
  static bool hasOwnAction(uint8_t code);
  static bool isPaste(uint8_t code, bool extended);

  KeyExit extendedKey(uint8_t code, bool alt);
  KeyExit ordinaryKey(uint8_t code);
  // Runs change on the field when it may be edited.
  template <typename Change>
  KeyExit editing(Change change);
  void startOrClearSelection(uint8_t code, bool extended, bool shift);
  void applyFirstKeyRule(uint8_t code, bool extended);

  // One place left; at the start of the field a beep instead, and false.
  bool stepLeft();
  void cursorLeft();
  void cursorRight(bool alt);
  void backspace();
  void insertCharacter(uint8_t character);
  void deleteAtCursor(bool playDeleteWord);
  void deleteSelectionOrCharacter();
  void deleteWord();
  void speakWordAtCursor();
  bool wordLeft(bool withSound);
  bool wordRight(bool withSound);
  void copy();
  void paste();
  void changeSpeed();
  void openLinkAtCursor();

  Speech& speech_;
  console::Console& console_;
  ScreenReview review_;
  LinkOpener linkOpener_;
  Field field_;
};

}  // namespace kaldro::speech

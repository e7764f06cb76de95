// The talking line editor: editing keys, selection, clipboard, word reading and the services around them.
#include "speech/line_editor.h"

#include <algorithm>
#include <tuple>

#include "console/key_codes.h"
#include "platform/latin1_classes.h"

namespace kaldro::speech {

namespace key = console::key;
namespace ext = console::extended;

namespace {

constexpr uint8_t kBlank = ' ';
constexpr uint8_t kBackgroundOfSelection = 8;

using platform::isAsciiLetter;
using platform::isDigit;
// Letters for word moves and word reading: A..Z, a..z and every byte from 128 on.
bool isWordLetter(uint8_t c) { return isAsciiLetter(c) || c >= 128; }

// Control bytes (from a pasted text) would move the console cursor: they show as blanks.
std::string printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown)
    if (static_cast<uint8_t>(c) < 32) c = ' ';
  return shown;
}

}  // namespace

LineEditor::LineEditor(Speech& speech, LinkOpener::Starter starter)
    : speech_(speech),
      console_(speech.console()),
      review_(speech),
      linkOpener_(speech.configuration(), std::move(starter)) {}

uint8_t LineEditor::editField(std::string& text, int column, int row, int maxLen, bool editable) {
  return editLine(text, column, row, maxLen, console::Console::Columns - 1 - column, editable);
}

std::string LineEditor::readLine() {
  const int column = console_.cursorColumn();
  const int row = console_.cursorRow();
  std::string text;
  if (editField(text, column, row, 255, true) == key::Escape) {
    // Only the field's own columns are blanked: a longer text was never shown beyond them.
    const int width = std::max(1, console::Console::Columns - 1 - column);
    console_.moveCursor(column, row);
    console_.write(std::string(std::min<size_t>(text.size(), static_cast<size_t>(width)), ' '));
    console_.moveCursor(column, row);
    text.clear();
  }
  console_.writeLine();
  return text;
}

uint8_t LineEditor::editLine(std::string& text, int column, int row, int maxLen, int width, bool editable) {
  Field& f = field_;
  f = Field{};
  f.maxLen = std::clamp(maxLen, 1, LargestLength);
  f.width = std::clamp(width, 1, f.maxLen);
  // Writing the last cell of the last row would scroll the screen.
  if (row >= console::Console::Rows && column + f.width > console::Console::Columns && f.width > 1) --f.width;
  f.column = column;
  f.row = row;
  f.editable = editable;
  f.text = text.substr(0, static_cast<size_t>(f.maxLen));
  f.text.resize(static_cast<size_t>(f.maxLen), ' ');
  f.initialText = f.text;

  std::optional<uint8_t> exitCode;
  while (!exitCode) {
    display();
    uint8_t code = console_.readKey();
    speech_.stopSpeech();
    bool extended = false;
    if (code == key::Extended) {
      extended = true;
      code = console_.readKey();
      if (code == ext::AltQ || code == ext::AltW || code == ext::AltE) {
        // Ctrl+Alt+Q, W, E: on layouts where they are AltGr keys the character follows and is what
        // the user meant, so the next key is read as an ordinary one: a stray chord never submits
        // a half-typed field. Only an extended key after them ends the editing (its second code
        // goes with it, so that it is not typed into the next field).
        const uint8_t ctrlAltCode = code;
        code = console_.readKey();
        if (code == key::Extended) {
          console_.readKey();
          exitCode = ctrlAltCode;
          break;
        }
        extended = false;
      }
    }
    platform::Modifiers modifiers = console_.modifiersOfLastKey();
    // Ctrl+Alt+Shift+F9 stands in for Ctrl+Alt+F9, which Linux keeps for switching terminals: the
    // Shift that makes it reach the program must not touch the selection.
    if (extended && code == ext::CtrlF9 && modifiers.alt) modifiers.shift = false;
    startOrClearSelection(code, extended, modifiers.shift);
    if (f.firstKey) applyFirstKeyRule(code, extended);
    exitCode = extended ? extendedKey(code, modifiers.alt) : ordinaryKey(code);
    // Shift with any cursor key extends the selection. A paste keeps its own selection: the
    // pasted characters stay highlighted even though Shift+Insert holds Shift.
    if ((extended || code == key::CtrlC) && modifiers.shift && !isPaste(code, extended)) f.selectionEnd = f.cursor;
    f.firstKey = false;
  }

  // The field shows its beginning again, without highlighting.
  console_.moveCursor(f.column, f.row);
  console_.write(printable(std::string_view(f.text).substr(0, static_cast<size_t>(f.width))));
  console_.moveCursor(f.column, f.row);
  const size_t last = f.text.find_last_not_of(' ');
  text = last == std::string::npos ? std::string() : f.text.substr(0, last + 1);
  return *exitCode;
}

bool LineEditor::isPaste(uint8_t code, bool extended) {
  return extended ? code == ext::ShiftInsert : code == key::CtrlV;
}

// Shift with an extended key starts a selection; other keys drop it, except those that copy,
// paste or only report the focus.
void LineEditor::startOrClearSelection(uint8_t code, bool extended, bool shift) {
  if (extended) {
    if (!shift) {
      if (code != ext::ShiftInsert && code != ext::CtrlInsert) clearSelection();
    } else if (field_.selectionStart == 0) {
      field_.selectionStart = field_.cursor;
    }
  } else if (code != key::CtrlC && code != key::CtrlV && code != key::FocusGained && code != key::FocusLost) {
    clearSelection();
  }
}

// Typing straight away replaces a proposed value; moving the cursor first keeps it for editing.
void LineEditor::applyFirstKeyRule(uint8_t code, bool extended) {
  Field& f = field_;
  const bool paste = isPaste(code, extended);
  const bool withoutAction = !extended && !hasOwnAction(code);
  const bool character = withoutAction && code >= key::FirstCharacter;
  const bool inactiveControl = withoutAction && code < key::FirstCharacter;
  if (!(paste || character || inactiveControl)) return;
  if (f.text.find_first_not_of(' ', static_cast<size_t>(f.cursor - 1)) == std::string::npos) return;
  speech_.clickSound();
  speech_.clickSound();
  if ((character || paste) && f.editable) f.text.assign(static_cast<size_t>(f.maxLen), ' ');
}

void LineEditor::display() {
  Field& f = field_;
  if (f.cursor < f.scroll) f.scroll = f.cursor;
  if (f.scroll + f.width < f.cursor) f.scroll = f.cursor - f.width;
  console_.moveCursor(f.column, f.row);

  const int visibleEnd = f.scroll + f.width;  // positions [scroll, visibleEnd)
  if (hasSelection()) {
    const auto [first, end] = orderedSelection();
    const int selectedFrom = std::clamp(first, f.scroll, visibleEnd);
    const int selectedTo = std::clamp(end, selectedFrom, visibleEnd);
    const uint8_t attribute = console_.currentAttribute();
    writeVisible(f.scroll, selectedFrom - f.scroll);
    console_.setBackgroundColour(kBackgroundOfSelection);
    writeVisible(selectedFrom, selectedTo - selectedFrom);
    console_.setCurrentAttribute(attribute);
    writeVisible(selectedTo, visibleEnd - selectedTo);
  } else {
    writeVisible(f.scroll, f.width);
  }
  if (f.width < console::Console::Columns) console_.clearToEndOfLine();
  console_.moveCursor(screenColumnOfCursor(), f.row);
}

void LineEditor::writeVisible(int from, int count) {
  if (count <= 0 || from > field_.maxLen) return;
  console_.write(printable(std::string_view(field_.text).substr(static_cast<size_t>(from - 1), static_cast<size_t>(count))));
}

bool LineEditor::hasSelection() const {
  return field_.selectionStart > 0 && field_.selectionEnd > 0 && field_.selectionStart != field_.selectionEnd;
}

std::pair<int, int> LineEditor::orderedSelection() const {
  return {std::min(field_.selectionStart, field_.selectionEnd), std::max(field_.selectionStart, field_.selectionEnd)};
}

int LineEditor::endOfText() const {
  const size_t last = field_.text.find_last_not_of(' ');
  return last == std::string::npos ? 1 : static_cast<int>(last) + 2;
}

// Extended keys; Alt+digit does nothing, any other extended key ends the editing with its code.
const LineEditor::KeyAction LineEditor::kExtendedKeys[] = {
    {ext::F1, [](LineEditor& e, bool alt) -> KeyExit {
       if (alt) return ext::CtrlF11;
       e.speakWordAtCursor();
       return {};
     }},
    {ext::F4, [](LineEditor& e, bool) -> KeyExit {
       e.speech_.setEcho(!e.speech_.echoOn());
       e.speech_.playWord(e.speech_.echoOn() ? "_FALACI" : "_FALDLG");
       return {};
     }},
    {ext::F8, [](LineEditor& e, bool) -> KeyExit { return e.speech_.speakCurrentTime(), KeyExit{}; }},
    {ext::F12, [](LineEditor& e, bool) -> KeyExit { return e.openLinkAtCursor(), KeyExit{}; }},
    {ext::Home, [](LineEditor& e, bool) -> KeyExit { return e.field_.cursor = 1, KeyExit{}; }},
    {ext::Left, [](LineEditor& e, bool) -> KeyExit { return e.cursorLeft(), KeyExit{}; }},
    {ext::Right, [](LineEditor& e, bool alt) -> KeyExit { return e.cursorRight(alt), KeyExit{}; }},
    {ext::End, [](LineEditor& e, bool) -> KeyExit { return e.field_.cursor = e.endOfText(), KeyExit{}; }},
    {ext::Delete, [](LineEditor& e, bool) -> KeyExit {
       if (e.field_.editable) e.deleteSelectionOrCharacter();
       return {};
     }},
    // The whole text, trailing blanks included.
    {ext::CtrlF1, [](LineEditor& e, bool) -> KeyExit { return e.speech_.speakText(e.field_.text), KeyExit{}; }},
    {ext::CtrlF4, [](LineEditor& e, bool) -> KeyExit { return e.changeSpeed(), KeyExit{}; }},
    {ext::CtrlF8, [](LineEditor& e, bool) -> KeyExit { return e.speech_.speakCurrentDate(), KeyExit{}; }},
    // With Alt the screen review, then back to editing.
    {ext::CtrlF9, [](LineEditor& e, bool alt) -> KeyExit {
       if (!alt) return ext::CtrlF9;
       e.review_.screenReview();
       return {};
     }},
    {ext::CtrlLeft, [](LineEditor& e, bool) -> KeyExit { return e.wordLeft(true), KeyExit{}; }},
    {ext::CtrlRight, [](LineEditor& e, bool) -> KeyExit { return e.wordRight(true), KeyExit{}; }},
    {ext::ShiftInsert, [](LineEditor& e, bool) -> KeyExit { return e.paste(), KeyExit{}; }},
    {ext::CtrlInsert, [](LineEditor& e, bool) -> KeyExit { return e.copy(), KeyExit{}; }},
};

// Ordinary codes with an action of their own; any other code from key::FirstCharacter on is typed.
const LineEditor::KeyAction LineEditor::kOrdinaryKeys[] = {
    {key::CtrlC, [](LineEditor& e, bool) -> KeyExit { return e.copy(), KeyExit{}; }},
    // Blank from the cursor to the end.
    {key::CtrlD, [](LineEditor& e, bool) -> KeyExit {
       return e.editing([&](Field& f) {
         std::fill(f.text.begin() + (f.cursor - 1), f.text.end(), ' ');
         e.speech_.playWord("_APFCPO");
       });
     }},
    {key::Backspace, [](LineEditor& e, bool) -> KeyExit { return e.editing([&](Field&) { e.backspace(); }); }},
    {key::Tab, [](LineEditor&, bool) -> KeyExit { return key::Tab; }},
    {key::CtrlEnter, [](LineEditor&, bool) -> KeyExit { return key::CtrlEnter; }},
    {key::Enter, [](LineEditor&, bool) -> KeyExit { return key::Enter; }},
    {key::Escape, [](LineEditor&, bool) -> KeyExit { return key::Escape; }},
    // The cursor position.
    {key::CtrlK, [](LineEditor& e, bool) -> KeyExit {
       return e.speech_.speakText(std::to_string(e.field_.cursor)), KeyExit{};
     }},
    // Delete everything before the cursor.
    {key::CtrlS, [](LineEditor& e, bool) -> KeyExit {
       return e.editing([&](Field& f) {
         f.text = f.text.substr(static_cast<size_t>(f.cursor - 1));
         f.text.resize(static_cast<size_t>(f.maxLen), ' ');
         f.cursor = 1;
         e.speech_.playWord("_APICPO");
       });
     }},
    // Undo every change of this call.
    {key::CtrlU, [](LineEditor& e, bool) -> KeyExit {
       return e.editing([&](Field& f) {
         f.text = f.initialText;
         f.cursor = 1;
         for (int beep = 0; beep < 3; ++beep) e.speech_.beepSound();
       });
     }},
    {key::CtrlV, [](LineEditor& e, bool) -> KeyExit { return e.paste(), KeyExit{}; }},
    // Blank the whole text.
    {key::CtrlY, [](LineEditor& e, bool) -> KeyExit {
       return e.editing([&](Field& f) {
         f.text.assign(static_cast<size_t>(f.maxLen), ' ');
         f.cursor = 1;
         e.speech_.playWord("_CPOAPA");
       });
     }},
    // The text as telephone tones.
    {key::CtrlBackslash, [](LineEditor& e, bool) -> KeyExit { return e.speech_.playDtmf(e.field_.text), KeyExit{}; }},
    {key::CtrlBackspace, [](LineEditor& e, bool) -> KeyExit { return e.editing([&](Field&) { e.deleteWord(); }); }},
    {key::FocusGained, [](LineEditor& e, bool) -> KeyExit {
       e.speech_.waitSpeechEnd();
       e.speech_.speakText(e.field_.text);
       return {};
     }},
    {key::FocusLost, [](LineEditor&, bool) -> KeyExit { return {}; }},
};

template <size_t N>
const LineEditor::KeyAction* LineEditor::findAction(const KeyAction (&table)[N], uint8_t code) {
  for (const KeyAction& action : table)
    if (action.code == code) return &action;
  return nullptr;
}

bool LineEditor::hasOwnAction(uint8_t code) { return findAction(kOrdinaryKeys, code) != nullptr; }

LineEditor::KeyExit LineEditor::extendedKey(uint8_t code, bool alt) {
  if (const KeyAction* action = findAction(kExtendedKeys, code)) return action->run(*this, alt);
  if (ext::isAltDigit(code)) return {};
  return code;
}

LineEditor::KeyExit LineEditor::ordinaryKey(uint8_t code) {
  if (const KeyAction* action = findAction(kOrdinaryKeys, code)) return action->run(*this, false);
  if (code >= key::FirstCharacter && field_.editable) insertCharacter(code);
  return {};
}

template <typename Change>
LineEditor::KeyExit LineEditor::editing(Change change) {
  if (field_.editable) change(field_);
  return {};
}

bool LineEditor::stepLeft() {
  if (field_.cursor == 1) {
    speech_.beepSound();
    return false;
  }
  --field_.cursor;
  return true;
}

void LineEditor::cursorLeft() {
  if (stepLeft()) speech_.speakChar(static_cast<uint8_t>(field_.text[field_.cursor - 1]));
}

// With Alt a letter is heard by its phonetic-alphabet name.
void LineEditor::cursorRight(bool alt) {
  Field& f = field_;
  if (f.cursor > f.maxLen) {
    speech_.beepSound();
    return;
  }
  const uint8_t c = static_cast<uint8_t>(f.text[f.cursor - 1]);
  if (alt && isAsciiLetter(c)) {
    speech_.playWord("_FON" + std::to_string(c));
  } else {
    speech_.speakChar(c);
  }
  ++f.cursor;
}

void LineEditor::backspace() {
  if (stepLeft()) deleteAtCursor(true);
}

void LineEditor::insertCharacter(uint8_t character) {
  Field& f = field_;
  if (f.cursor > f.maxLen) {
    speech_.beepSound();
    return;
  }
  f.text.insert(f.text.begin() + (f.cursor - 1), static_cast<char>(character));
  f.text.resize(static_cast<size_t>(f.maxLen));
  console_.moveCursor(screenColumnOfCursor(), f.row);
  console_.write(std::string(1, static_cast<char>(character)));
  if (speech_.echoOn()) speech_.speakChar(character);
  ++f.cursor;
}

void LineEditor::deleteAtCursor(bool playDeleteWord) {
  Field& f = field_;
  if (f.cursor > f.maxLen) return;
  const uint8_t removed = static_cast<uint8_t>(f.text[f.cursor - 1]);
  f.text.erase(f.text.begin() + (f.cursor - 1));
  f.text.push_back(' ');
  console_.moveCursor(f.column, f.row);
  writeVisible(f.scroll, f.width);
  if (playDeleteWord) speech_.playWord("_DEL");
  speech_.speakChar(removed);
}

void LineEditor::deleteSelectionOrCharacter() {
  Field& f = field_;
  if (hasSelection()) {
    const auto [first, end] = orderedSelection();
    f.cursor = first;
    speech_.playWord("_DEL");
    for (int i = first; i < end && i <= f.maxLen; ++i) deleteAtCursor(false);
    f.selectionStart = f.selectionEnd = first;
  } else if (f.cursor > f.maxLen) {
    speech_.beepSound();
  } else {
    deleteAtCursor(true);
  }
}

// The word and the blanks after it go; from the middle of a word, the whole word.
void LineEditor::deleteWord() {
  Field& f = field_;
  if (f.cursor > 1 && f.text[f.cursor - 2] != ' ') wordLeft(false);
  const int start = f.cursor;
  wordRight(false);
  const int next = f.cursor;
  wordLeft(false);
  for (int i = 0; i < next - start; ++i) deleteAtCursor(i == 0);
}

// F1: an abbreviation without vowels is spelled; a number is read with the digits after it.
void LineEditor::speakWordAtCursor() {
  Field& f = field_;
  const std::string upper = upcaseLatin1(f.text);
  int position = f.cursor;
  while (position <= f.maxLen && upper[position - 1] == ' ') ++position;
  if (position > f.maxLen) {
    speech_.beepSound();
    return;
  }
  const uint8_t first = static_cast<uint8_t>(upper[position - 1]);
  int end = position + 1;
  if (isWordLetter(first)) {
    while (end <= f.maxLen && isWordLetter(static_cast<uint8_t>(upper[end - 1]))) ++end;
    bool anyNonConsonant = false;
    for (int i = position; i < end; ++i) anyNonConsonant = anyNonConsonant || !platform::isCapitalConsonantWithoutWY(static_cast<uint8_t>(upper[i - 1]));
    const std::string word = f.text.substr(static_cast<size_t>(position - 1), static_cast<size_t>(end - position));
    if (anyNonConsonant) {
      speech_.speakTextLiterally(word);
    } else {
      speech_.spellText(word);
    }
  } else if (isDigit(first) || first == '-') {
    while (end <= f.maxLen && isDigit(static_cast<uint8_t>(upper[end - 1]))) ++end;
    speech_.speakTextLiterally(f.text.substr(static_cast<size_t>(position - 1), static_cast<size_t>(end - position)));
  } else {
    speech_.spellText(f.text.substr(static_cast<size_t>(position - 1), 1));
  }
  f.cursor = end;
}

// Over blanks, then a run of digits or a character with the letters before it, to its start.
bool LineEditor::wordLeft(bool withSound) {
  Field& f = field_;
  auto at = [&](int position) { return position >= 1 ? static_cast<uint8_t>(f.text[position - 1]) : kBlank; };
  int position = f.cursor - 1;
  while (position >= 1 && at(position) == kBlank) --position;
  if (position < 1) {
    f.cursor = 1;
    if (withSound) speech_.beepSound();
    return false;
  }
  if (isDigit(at(position))) {
    while (position > 1 && isDigit(at(position - 1))) --position;
  } else {
    while (position > 1 && isWordLetter(at(position - 1))) --position;
  }
  f.cursor = position;
  if (withSound) speech_.clickSound();
  return true;
}

// Over a run of digits or a character with the letters after it, then over blanks.
bool LineEditor::wordRight(bool withSound) {
  Field& f = field_;
  auto at = [&](int position) { return position <= f.maxLen ? static_cast<uint8_t>(f.text[position - 1]) : kBlank; };
  int position = f.cursor;
  if (position <= f.maxLen && at(position) != kBlank) {
    if (isDigit(at(position))) {
      while (position <= f.maxLen && isDigit(at(position))) ++position;
    } else {
      ++position;
      while (position <= f.maxLen && isWordLetter(at(position))) ++position;
    }
  }
  while (position <= f.maxLen && at(position) == kBlank) ++position;
  if (position > f.maxLen) {
    f.cursor = endOfText();
    if (withSound) speech_.beepSound();
    return false;
  }
  f.cursor = position;
  if (withSound) speech_.clickSound();
  return true;
}

void LineEditor::copy() {
  Field& f = field_;
  if (hasSelection()) {
    const auto [first, end] = orderedSelection();
    const int last = std::min(end, f.maxLen + 1);
    console_.copyToClipboard(f.text.substr(static_cast<size_t>(first - 1), static_cast<size_t>(std::max(0, last - first))));
  } else {
    console_.copyToClipboard(f.text.substr(0, static_cast<size_t>(endOfText() - 1)) + "\r\n");
  }
}

// The clipboard's first line replaces the selection (or goes in at the cursor) and stays selected.
void LineEditor::paste() {
  Field& f = field_;
  std::string pasted = console_.pasteFromClipboard(static_cast<size_t>(f.maxLen) + 1);
  const size_t lineEnd = pasted.find_first_of("\r\n");
  if (lineEnd != std::string::npos) pasted.resize(lineEnd);
  if (!f.editable) return;

  int first = f.cursor, end = f.cursor;
  if (hasSelection()) {
    std::tie(first, end) = orderedSelection();
    f.cursor = first;
  }
  std::string text = f.text.substr(0, static_cast<size_t>(first - 1)) + pasted;
  if (end <= f.maxLen) text += f.text.substr(static_cast<size_t>(end - 1));
  text.resize(static_cast<size_t>(f.maxLen), ' ');
  f.text = text;
  f.selectionStart = first;
  f.selectionEnd = std::min(first + static_cast<int>(pasted.size()), f.maxLen + 1);
  f.cursor = first;
}

// The key after the prompt is the new speed level 1..5; another key takes the configured level.
void LineEditor::changeSpeed() {
  speech_.playWord("_VELOC");
  uint8_t key = 0;
  do {
    key = speech_.readKeySpeak();
  } while (console_.keyPressed());
  if (key == console::key::Escape || key == console::key::Enter) return;
  const int level = key >= '1' && key <= '5' ? key - '0' : 0;
  const std::string programSoundFolder = speech_.programSoundFolder();
  speech_.stopAndFinishSpeech();
  speech_.startSpeech(level, programSoundFolder);
}

void LineEditor::openLinkAtCursor() {
  const std::string word = linkWordAt(field_.text, static_cast<size_t>(field_.cursor));
  if (word.empty()) {
    speech_.beepSound();
    return;
  }
  speech_.waitSpeechEnd();
  linkOpener_.open(word);
  speech_.waitSpeechEnd();
}

}  // namespace kaldro::speech

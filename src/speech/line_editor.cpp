#include "speech/line_editor.h"

namespace kaldro::speech {

LineEditor::LineEditor(Speech& speech) : speech_(speech) {}

// A plain reader until the talking editor exists: printable keys are stored and echoed,
// Backspace removes, Enter ends, Escape clears the field and gives an empty text.
std::string LineEditor::readLine() {
  console::Console& console = speech_.console();
  const int startColumn = console.cursorColumn();
  const int startRow = console.cursorRow();
  std::string text;
  for (;;) {
    uint8_t key = console.readKey();
    if (key == 13) break;
    if (key == 27) {
      console.moveCursor(startColumn, startRow);
      console.write(std::string(text.size(), ' '));
      console.moveCursor(startColumn, startRow);
      text.clear();
      break;
    }
    if (key == 8) {
      if (!text.empty()) {
        text.pop_back();
        console.write("\b");
      }
      continue;
    }
    if (key == 0) {  // the second code of a function key is not text
      console.readKey();
      continue;
    }
    if (key >= 32 && text.size() < 255) {
      text.push_back(static_cast<char>(key));
      console.write(std::string(1, static_cast<char>(key)));
      speech_.speakChar(key);
    }
  }
  console.writeLine();
  return text;
}

}  // namespace kaldro::speech

namespace kaldro::speech {

// A plain field until the talking editor exists: Enter, Escape, Tab and extended keys end it.
uint8_t LineEditor::editField(std::string& text, int column, int row, int maxLen, bool) {
  console::Console& console = speech_.console();
  console.moveCursor(column, row);
  console.write(text);
  for (;;) {
    uint8_t key = console.readKey();
    if (key == 13 || key == 27 || key == 9) return key;
    if (key == 0) return console.readKey();
    if (key == 8) {
      if (!text.empty()) {
        text.pop_back();
        console.write("\b");
      }
    } else if (key >= 32 && static_cast<int>(text.size()) < maxLen) {
      text.push_back(static_cast<char>(key));
      console.write(std::string(1, static_cast<char>(key)));
      speech_.speakChar(key);
    }
  }
}

}  // namespace kaldro::speech

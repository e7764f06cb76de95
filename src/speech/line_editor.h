// The talking line editor: the system's only text input.
#pragma once

#include <cstdint>
#include <string>

#include "speech/speech.h"

namespace kaldro::speech {

class LineEditor {
 public:
  explicit LineEditor(Speech& speech);
  // Edits one line at the cursor (at most 255 characters), then ends the console line.
  // Escape gives an empty text.
  std::string readLine();
  // Edits text in a field at column, row; returns the key that ended the editing.
  uint8_t editField(std::string& text, int column, int row, int maxLen, bool editable);

 private:
  Speech& speech_;
};

}  // namespace kaldro::speech

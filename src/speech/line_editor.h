// The talking line editor: the system's only text input.
#pragma once

#include <string>

#include "speech/speech.h"

namespace kaldro::speech {

class LineEditor {
 public:
  explicit LineEditor(Speech& speech);
  // Edits one line at the cursor (at most 255 characters), then ends the console line.
  // Escape gives an empty text.
  std::string readLine();

 private:
  Speech& speech_;
};

}  // namespace kaldro::speech

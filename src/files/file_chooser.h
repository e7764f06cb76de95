// The talking file-name input and file chooser.
#pragma once

#include <string>

#include "speech/line_editor.h"
#include "speech/speech.h"

namespace kaldro::files {

class FileChooser {
 public:
  FileChooser(speech::Speech& speech, speech::LineEditor& editor);
  // Reads a file name, offering the chooser over "*.*" in a window of the given rows; the
  // name as its bytes on disk, or an empty text.
  std::string askFileName(int rows);

 private:
  speech::Speech& speech_;
  speech::LineEditor& editor_;
};

}  // namespace kaldro::files

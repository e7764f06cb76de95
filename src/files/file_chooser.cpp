#include "files/file_chooser.h"

namespace kaldro::files {

FileChooser::FileChooser(speech::Speech& speech, speech::LineEditor& editor) : speech_(speech), editor_(editor) {}

// Until the chooser exists the name is typed in a plain line. That reader ends the console line;
// the chooser does not, so the cursor goes back to the field's start for the caller.
std::string FileChooser::askFileName(int) {
  console::Console& console = speech_.console();
  const int column = console.cursorColumn();
  const int row = console.cursorRow();
  std::string name = editor_.readLine();
  if (console.cursorRow() > row) console.moveCursor(column, row);
  else console.moveCursor(column, console.cursorRow() - 1);
  return name;
}

}  // namespace kaldro::files

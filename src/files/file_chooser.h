// The talking file-name input and file chooser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "files/file_list.h"
#include "speech/line_editor.h"
#include "speech/speech.h"

namespace kaldro::files {

class FileChooser {
 public:
  // What chooseFile answers when the user leaves the list with Tab.
  static constexpr std::string_view TabAnswer = "@TAB@";

  FileChooser(speech::Speech& speech, speech::LineEditor& editor);

  // fileNameInput with the mask "*.*".
  std::string askFileName(int rows);
  // Reads a file name in the line editor at the cursor, offering the list of matching files in a
  // window from the cursor to column 80 over the given rows. The name as its bytes on disk, or empty.
  std::string fileNameInput(int rows, std::string_view mask);
  // Shows the files matching mask (an optional folder part, then a pattern) in the rectangle and
  // returns the chosen name, TabAnswer, or an empty text. The current folder is the same afterwards.
  std::string chooseFile(int left, int top, int right, int bottom, std::string_view mask, int attributeMask,
                         SortOrder order);

 private:
  struct ListWindow {
    int left = 1, top = 1, right = 80, bottom = 25, width = 80;
    int firstVisible = 0, lastVisible = 0;
    std::string prefix;
  };
  enum class Speak { Name, SpellName, SpellShortName };
  // One turn of the list: the item, the key and what it asks to hear.
  struct ListStep {
    int index;
    int key;
    bool shift = false;
    Speak speak = Speak::Name;
  };
  struct ListAction {
    int key;
    void (*run)(FileChooser& chooser, ListStep& step);
  };
  static const ListAction kListKeys[];

  int listLoop(int start, int& leavingKey);
  void showPosition(const ListStep& step, bool leaving);
  void selectAll(bool selected);
  void toFirst(ListStep& step);
  void toLast(ListStep& step);
  int readListKey();
  void drawList();
  void drawItem(int index, bool highlighted);
  void scrollIntoView(int index, bool forced);
  int rowOf(int index) const { return window_.top + index - window_.firstVisible; }
  bool inList(int index) const { return index >= 0 && index < static_cast<int>(files_.size()); }
  void moveDown(int& index, bool shift);
  void moveUp(int& index, bool shift);
  int searchFrom(int index, uint8_t letter) const;

  speech::Speech& speech_;
  speech::LineEditor& editor_;
  console::Console& console_;
  std::vector<FileEntry> files_;
  ListWindow window_;
  uint8_t searchLetter_ = ' ';
};

}  // namespace kaldro::files

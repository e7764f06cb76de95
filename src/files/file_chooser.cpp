// The talking file-name input and file chooser.
#include "files/file_chooser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "console/key_codes.h"
#include "platform/config.h"
#include "platform/text.h"

namespace kaldro::files {

namespace {
namespace key = console::key;
namespace ext = console::extended;

// Key codes of the list: plain codes as they are, extended codes (after key::Extended) as 256 + code.
constexpr int kNoAction = -1;
constexpr int kWaitForKey = -2;
constexpr int Extended = 256;
constexpr int kEnter = key::Enter, kEscape = key::Escape, kTab = key::Tab;
constexpr int kHome = Extended + ext::Home, kUp = Extended + ext::Up, kPageUp = Extended + ext::PageUp,
              kLeft = Extended + ext::Left, kRight = Extended + ext::Right, kEnd = Extended + ext::End,
              kDown = Extended + ext::Down, kPageDown = Extended + ext::PageDown,
              kCtrlPageUp = Extended + ext::CtrlPageUp, kCtrlPageDown = Extended + ext::CtrlPageDown,
              kF5 = Extended + ext::F5, kCtrlF5 = Extended + ext::CtrlF5;
constexpr int kPageItems = 10;

constexpr int kColourNormal = 15, kColourDirectory = 3, kColourSelected = 2, kColourHighlight = 14,
              kColourListBackground = 6;

// Puts the process back in the folder it was in, on every way out (the end of the program too).
class CurrentFolderGuard {
 public:
  CurrentFolderGuard() : fd_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~CurrentFolderGuard() {
    if (fd_ >= 0) {
      if (::fchdir(fd_) != 0) { /* nothing more can be done */ }
      ::close(fd_);
    }
  }
  CurrentFolderGuard(const CurrentFolderGuard&) = delete;
  CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

 private:
  int fd_;
};

// The characters and attributes of a rectangle, the attribute and the cursor, put back on leaving.
class SavedScreen {
 public:
  SavedScreen(console::Console& console, int left, int top, int right, int bottom)
      : console_(console), left_(left), top_(top), right_(right), bottom_(bottom),
        attribute_(console.currentAttribute()), column_(console.cursorColumn()), row_(console.cursorRow()) {
    for (int row = top; row <= bottom; ++row)
      for (int column = left; column <= right; ++column)
        cells_.push_back({console.screenChar(column, row), console.screenAttribute(column, row)});
  }
  ~SavedScreen() {
    size_t i = 0;
    for (int row = top_; row <= bottom_; ++row)
      for (int column = left_; column <= right_; ++column, ++i)
        console_.putCell(column, row, cells_[i].first, cells_[i].second);
    console_.setCurrentAttribute(attribute_);
    console_.moveCursor(column_, row_);
  }
  SavedScreen(const SavedScreen&) = delete;
  SavedScreen& operator=(const SavedScreen&) = delete;

 private:
  console::Console& console_;
  int left_, top_, right_, bottom_;
  uint8_t attribute_;
  int column_, row_;
  std::vector<std::pair<uint8_t, uint8_t>> cells_;
};

std::string trimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool isFolder(const std::string& path) {
  struct stat info{};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The text up to and including its last "/" (empty when there is none).
std::string folderPart(const std::string& text) {
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}
}  // namespace

FileChooser::FileChooser(speech::Speech& speech, speech::LineEditor& editor)
    : speech_(speech), editor_(editor), console_(speech.console()) {}

std::string FileChooser::askFileName(int rows) { return fileNameInput(rows, "*.*"); }

std::string FileChooser::fileNameInput(int rows, std::string_view mask) {
  const int column = console_.cursorColumn();
  const int row = console_.cursorRow();
  for (;;) {
    std::string typed;
    const uint8_t exitKey = editor_.editField(typed, column, row, 255, true);
    console_.moveCursor(column, row);
    if (exitKey == kEscape) return "";
    if (exitKey == kEnter && typed.empty()) return "";
    // Typed text is CP1252; names on disk are UTF-8.
    std::string text = platform::cp1252ToUtf8(trimBlanks(typed));
    if (isFolder(text) && text.back() != '/') text += '/';
    const std::string folder = folderPart(text);
    if (text.empty()) text = std::string(mask);
    if (exitKey != kEnter || text.find('*') != std::string::npos) {
      text = chooseFile(column, row, 80, row + rows - 1, text, attribute::Archive, SortOrder::Name);
      console_.moveCursor(column, row);
    }
    if (text == TabAnswer) {
      speech_.clickSound();
      speech_.clickSound();
      continue;
    }
    return text.find('/') != std::string::npos ? text : folder + text;
  }
}

std::string FileChooser::chooseFile(int left, int top, int right, int bottom, std::string_view mask,
                                    int attributeMask, SortOrder order) {
  CurrentFolderGuard backToStart;
  const std::string startFolder = platform::currentDirectory();
  const std::string maskText(mask);
  const std::string folder = folderPart(maskText);
  const std::string pattern = maskText.substr(folder.size());
  if (!folder.empty() && ::chdir(folder.c_str()) != 0) return "";
  const std::string listFolder = platform::currentDirectory();

  files_ = listFiles(pattern, attributeMask);
  if (files_.empty()) return "";
  sortFiles(files_, order);

  // A window that would reach below the grid is clipped to it.
  left = std::clamp(left, 1, 80);
  top = std::clamp(top, 1, 25);
  right = std::clamp(right, left, 80);
  bottom = std::clamp(bottom, top, 25);
  if (right == 80 && bottom == 25) right = 79;  // writing the last cell would scroll the screen
  window_ = ListWindow{left, top, right, bottom, right - left + 1, 0, bottom - top, bottom > top ? " " : ""};

  std::string result;
  {
    SavedScreen saved(console_, left, top, right, bottom);
    int index = 0;
    int leavingKey = kNoAction;
    for (;;) {
      index = listLoop(index, leavingKey);
      if (leavingKey == kEscape || leavingKey == kTab || leavingKey == kEnter) break;
    }
    if (leavingKey == kTab) {
      result = TabAnswer;
    } else if (leavingKey == kEnter && inList(index)) {
      result = files_[index].name;
      if (listFolder != startFolder) result = listFolder + "/" + result;
    }
  }
  files_.clear();
  return result;
}

int FileChooser::readListKey() {
  int code = console_.readKey();
  if (code == key::Extended) code = Extended + console_.readKey();
  return code;
}

void FileChooser::drawList() {
  const int textWidth = std::max(0, window_.width - static_cast<int>(window_.prefix.size()));
  for (int i = window_.firstVisible; i <= window_.lastVisible; ++i) {
    console_.moveCursor(window_.left, window_.top + i - window_.firstVisible);
    console_.setTextColour(kColourNormal);
    console_.setBackgroundColour(kColourListBackground);
    if (!inList(i)) continue;  // rows below the last item stay as they were
    if (files_[i].isDirectory()) console_.setTextColour(kColourDirectory);
    if (files_[i].selected) console_.setTextColour(kColourSelected);
    std::string name = files_[i].displayName;
    name.resize(static_cast<size_t>(textWidth), ' ');
    console_.write(window_.prefix + name);
  }
}

void FileChooser::drawItem(int index, bool highlighted) {
  if (!inList(index)) return;
  const FileEntry& entry = files_[index];
  console_.moveCursor(window_.left, rowOf(index));
  if (highlighted) console_.setTextColour(kColourHighlight);
  else if (entry.selected) console_.setTextColour(kColourSelected);
  else if (entry.isDirectory()) console_.setTextColour(kColourDirectory);
  else console_.setTextColour(kColourNormal);
  std::string name = entry.displayName;
  name.resize(std::min(name.size(), static_cast<size_t>(std::max(0, window_.width - static_cast<int>(window_.prefix.size())))));
  console_.write(window_.prefix + name);
}

void FileChooser::scrollIntoView(int index, bool forced) {
  bool moved = false;
  const int lastItem = static_cast<int>(files_.size()) - 1;
  while (index < window_.firstVisible && window_.firstVisible > 0) {
    --window_.firstVisible;
    --window_.lastVisible;
    moved = true;
  }
  while (window_.lastVisible < index && window_.lastVisible < lastItem) {
    ++window_.firstVisible;
    ++window_.lastVisible;
    moved = true;
  }
  if (moved || forced) drawList();
}

void FileChooser::moveDown(int& index, bool shift) {
  if (shift && inList(index)) {
    if (!files_[index].selected) speech_.beepSound();
    files_[index].selected = true;
    drawItem(index, false);
  }
  ++index;
  if (shift && inList(index)) {
    files_[index].selected = true;
    drawItem(index, false);
  }
}

void FileChooser::moveUp(int& index, bool shift) {
  if (shift && inList(index)) {
    if (files_[index].selected) speech_.clickSound();
    files_[index].selected = false;
    drawItem(index, false);
  }
  --index;
}

int FileChooser::searchFrom(int index, uint8_t letter) const {
  const uint8_t wanted = static_cast<uint8_t>(platform::upperAscii(std::string(1, static_cast<char>(letter)))[0]);
  for (int i = index + 1; i < static_cast<int>(files_.size()); ++i) {
    const std::string& name = files_[i].displayName;
    if (!name.empty() && static_cast<uint8_t>(platform::upperAscii(name.substr(0, 1))[0]) == wanted) return i;
  }
  return static_cast<int>(files_.size());
}

// Selection marks, moves and searches; any key not here leaves the list.
const FileChooser::ListAction FileChooser::kListKeys[] = {
    {kNoAction, [](FileChooser&, ListStep&) {}},
    {kWaitForKey, [](FileChooser& c, ListStep&) {
       c.console_.waitWhile(console::WaitSteps::messages(), [&c] { return !c.console_.keyPressed(); });
     }},
    {key::Space, [](FileChooser& c, ListStep& s) {
       if (c.inList(s.index)) c.files_[s.index].selected = !c.files_[s.index].selected;
     }},
    {'+', [](FileChooser& c, ListStep& s) {
       if (c.inList(s.index)) c.files_[s.index].selected = true;
     }},
    {'-', [](FileChooser& c, ListStep& s) {
       if (c.inList(s.index)) c.files_[s.index].selected = false;
     }},
    {'*', [](FileChooser& c, ListStep&) { c.selectAll(true); }},
    {'/', [](FileChooser& c, ListStep&) { c.selectAll(false); }},
    {kDown, [](FileChooser& c, ListStep& s) { c.moveDown(s.index, s.shift); }},
    {kUp, [](FileChooser& c, ListStep& s) { c.moveUp(s.index, s.shift); }},
    {kPageDown, [](FileChooser& c, ListStep& s) {
       for (int i = 0; i < kPageItems; ++i) c.moveDown(s.index, s.shift);
     }},
    {kPageUp, [](FileChooser& c, ListStep& s) {
       for (int i = 0; i < kPageItems; ++i) c.moveUp(s.index, s.shift);
     }},
    {kHome, [](FileChooser& c, ListStep& s) { c.toFirst(s); }},
    {kCtrlPageUp, [](FileChooser& c, ListStep& s) { c.toFirst(s); }},
    {kEnd, [](FileChooser& c, ListStep& s) { c.toLast(s); }},
    {kCtrlPageDown, [](FileChooser& c, ListStep& s) { c.toLast(s); }},
    {kLeft, [](FileChooser&, ListStep& s) { s.speak = Speak::SpellShortName; }},
    {kRight, [](FileChooser&, ListStep& s) { s.speak = Speak::SpellName; }},
    {kF5, [](FileChooser& c, ListStep& s) {
       const uint8_t letter = c.console_.readKey();
       if (letter == key::Extended) c.console_.readKey();  // an extended key: its code is no letter
       c.searchLetter_ = letter;
       s.index = c.searchFrom(s.index, c.searchLetter_);
     }},
    {kCtrlF5, [](FileChooser& c, ListStep& s) { s.index = c.searchFrom(s.index, c.searchLetter_); }},
};

void FileChooser::selectAll(bool selected) {
  for (FileEntry& entry : files_) entry.selected = selected;
  drawList();
}

void FileChooser::toFirst(ListStep& step) {
  if (step.shift) {
    for (int i = 0; i <= std::min(step.index, static_cast<int>(files_.size()) - 1); ++i) files_[i].selected = false;
    speech_.beepSound();
    drawList();
  }
  step.index = 0;
}

void FileChooser::toLast(ListStep& step) {
  const int count = static_cast<int>(files_.size());
  if (step.shift) {
    for (int i = std::max(step.index, 0); i < count; ++i) files_[i].selected = true;
    speech_.beepSound();
    drawList();
  }
  step.index = count - 1;
}

// Past either end a beep; on an item, highlighted and spoken unless the key leaves the list.
void FileChooser::showPosition(const ListStep& step, bool leaving) {
  const int count = static_cast<int>(files_.size());
  if (step.index == -1 || step.index == count) {
    speech_.beepSound();
    scrollIntoView(step.index == -1 ? 0 : count - 1, false);
    console_.moveCursor(window_.right, window_.bottom);
    return;
  }
  scrollIntoView(step.index, false);
  if (leaving) return;
  drawItem(step.index, true);
  console_.moveCursor(window_.left, rowOf(step.index));
  // On this platform a file has no short alternative name: it is the long name.
  if (step.speak == Speak::SpellName || step.speak == Speak::SpellShortName) {
    speech_.spellText(files_[step.index].displayName);
  } else {
    if (files_[step.index].selected) speech_.beepSound();
    speech_.speakText(files_[step.index].displayName);
  }
}

int FileChooser::listLoop(int start, int& leavingKey) {
  const int count = static_cast<int>(files_.size());
  ListStep step{std::clamp(start, 0, count - 1), kNoAction};
  scrollIntoView(step.index, true);
  console_.moveCursor(window_.left, rowOf(step.index));
  for (;;) {
    drawItem(step.index, false);
    step.shift = step.key >= Extended && console_.modifiersOfLastKey().shift;
    step.speak = Speak::Name;
    const auto action = std::find_if(std::begin(kListKeys), std::end(kListKeys),
                                     [&](const ListAction& a) { return a.key == step.key; });
    const bool leaving = action == std::end(kListKeys);
    if (!leaving) action->run(*this, step);
    step.index = std::clamp(step.index, -1, count);
    showPosition(step, leaving);
    if (leaving) break;
    console_.waitWhile(console::WaitSteps::messages(),
                       [this] { return speech_.speechBusy() && !console_.keyStopsSound(); });
    step.key = readListKey();
  }
  leavingKey = step.key;
  if (inList(step.index) && step.key != kEscape) {
    drawItem(step.index, true);
    console_.setTextColour(kColourNormal);
  }
  return step.index;
}

}  // namespace kaldro::files

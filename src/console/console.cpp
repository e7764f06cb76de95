// The console's window and text grid: writing, scrolling, colours, cell access, clipboard, clock.
#include "console/console.h"

#include <algorithm>
#include <cstdio>

#include "platform/text.h"

namespace kaldro::console {

namespace {
constexpr uint8_t kBlank = ' ';
constexpr size_t kTitleLimit = 79;

// Cuts a UTF-8 path to at most limit bytes without splitting a multi-byte sequence.
std::string cutTitle(const std::string& path, size_t limit) {
  if (path.size() <= limit) return path;
  size_t end = limit;
  while (end > 0 && (static_cast<uint8_t>(path[end]) & 0xC0) == 0x80) --end;
  return path.substr(0, end);
}
}  // namespace

Console::Console(platform::Host& host, const platform::Configuration& config, std::string programPath)
    : host_(host), config_(config), title_(cutTitle(programPath, kTitleLimit)) {
  grid_.chars.fill(kBlank);
  grid_.attrs.fill(attribute_);
}

Console::~Console() = default;

void Console::ensureConsoleWindow() {
  if (windowOpen_) return;
  if (!settingsRead_) {
    settings_ = readConsoleSettings(config_, host_.workArea());
    settingsRead_ = true;
    attribute_ = settings_.initialAttribute;
  }
  // A new window starts with blank grids in the current attribute.
  grid_.chars.fill(kBlank);
  grid_.attrs.fill(attribute_);

  platform::WindowSettings window;
  window.colourTable = settings_.colourTable;
  window.copyPixelsOnScroll = settings_.copyPixelsOnScroll;
  window.magnifierFactor = settings_.magnifierFactor;
  window.fontFace = settings_.fontFace;
  window.fontWidth = settings_.fontWidth;
  window.fontHeight = settings_.fontHeight;
  window.maximized = settings_.maximized;
  window.title = title_;
  host_.openWindow(window, grid_);
  windowOpen_ = true;
  cursorChanged();
  setBrailleMode(settings_.brailleMode);
}

void Console::clearScreen() {
  ensureConsoleWindow();
  grid_.chars.fill(kBlank);
  grid_.attrs.fill(attribute_);
  column_ = 0;
  row_ = 0;
  host_.repaintAll();
  cursorChanged();
}

void Console::clearToEndOfLine() {
  ensureConsoleWindow();
  if (column_ >= Columns) return;
  const int start = row_ * Columns;
  std::fill(grid_.chars.begin() + start + column_, grid_.chars.begin() + start + Columns, kBlank);
  std::fill(grid_.attrs.begin() + start + column_, grid_.attrs.begin() + start + Columns, attribute_);
  host_.drawRow(row_, column_, Columns);
}

void Console::moveCursor(int column, int row) {
  column_ = std::clamp(column, 1, Columns) - 1;
  row_ = std::clamp(row, 1, Rows) - 1;
  cursorChanged();
}

int Console::cursorColumn() const { return column_ + 1; }
int Console::cursorRow() const { return row_ + 1; }

void Console::setTextColour(int colour) {
  ensureConsoleWindow();
  if (settings_.coloursFixed) return;
  attribute_ = static_cast<uint8_t>((attribute_ & 0xF0) | (colour & 0x0F));
}

void Console::setBackgroundColour(int colour) {
  ensureConsoleWindow();
  if (settings_.coloursFixed) return;
  attribute_ = static_cast<uint8_t>((attribute_ & 0x0F) | ((colour & 0x0F) << 4));
}

uint8_t Console::screenChar(int column, int row) const {
  column = std::clamp(column, 1, Columns);
  row = std::clamp(row, 1, Rows);
  return grid_.charAt(column - 1, row - 1);
}

uint8_t Console::screenAttribute(int column, int row) const {
  column = std::clamp(column, 1, Columns);
  row = std::clamp(row, 1, Rows);
  return grid_.attrAt(column - 1, row - 1);
}

void Console::putCell(int column, int row, uint8_t character, uint8_t attribute) {
  if (column < 1 || column > Columns || row < 1 || row > Rows) return;
  const int index = (row - 1) * Columns + (column - 1);
  grid_.chars[index] = character;
  grid_.attrs[index] = attribute;
  if (windowOpen_) host_.drawRow(row - 1, column - 1, column);
}

void Console::markChanged(int column) {
  if (pendingFirst_ < 0) {
    pendingFirst_ = column;
    pendingEnd_ = column + 1;
  } else {
    pendingFirst_ = std::min(pendingFirst_, column);
    pendingEnd_ = std::max(pendingEnd_, column + 1);
  }
}

void Console::paintPending() {
  if (pendingFirst_ < 0) return;
  if (windowOpen_) host_.drawRow(row_, pendingFirst_, pendingEnd_);
  pendingFirst_ = -1;
  pendingEnd_ = -1;
}

void Console::cursorChanged() {
  if (windowOpen_) host_.cursorMoved(caretColumn(), row_);
}

void Console::lineFeed() {
  paintPending();
  if (row_ < Rows - 1) {
    ++row_;
    return;
  }
  std::copy(grid_.chars.begin() + Columns, grid_.chars.end(), grid_.chars.begin());
  std::copy(grid_.attrs.begin() + Columns, grid_.attrs.end(), grid_.attrs.begin());
  std::fill(grid_.chars.end() - Columns, grid_.chars.end(), kBlank);
  std::fill(grid_.attrs.end() - Columns, grid_.attrs.end(), attribute_);
  if (windowOpen_) host_.scrolled(attribute_);
}

void Console::writeToConsole(std::string_view bytes) {
  ensureConsoleWindow();
  for (char raw : bytes) {
    const uint8_t byte = static_cast<uint8_t>(raw);
    switch (byte) {
      case 7:
        host_.systemBeep();
        break;
      case 8:
        if (column_ > 0) {
          --column_;
          grid_.chars[row_ * Columns + column_] = kBlank;
          grid_.attrs[row_ * Columns + column_] = attribute_;
          markChanged(column_);
        }
        break;
      case 10:
        lineFeed();
        column_ = 0;
        break;
      case 13:
        column_ = 0;
        break;
      default:
        if (byte < 32) break;  // other control codes show nothing
        if (column_ >= Columns) {
          column_ = 0;
          lineFeed();
        }
        grid_.chars[row_ * Columns + column_] = byte;
        grid_.attrs[row_ * Columns + column_] = attribute_;
        markChanged(column_);
        ++column_;
        break;
    }
  }
  paintPending();
  cursorChanged();
}

void Console::writeLine(std::string_view bytes) {
  std::string line(bytes);
  line += "\r\n";
  writeToConsole(line);
}

void Console::copyToClipboard(std::string_view text) {
  // The text is zero-terminated: whatever follows a NUL is not part of it.
  host_.setClipboardText(std::string(text.substr(0, text.find('\0'))));
}

std::string Console::pasteFromClipboard(size_t capacity) {
  if (capacity == 0) return {};
  std::optional<std::string> text = host_.clipboardText();
  if (!text) return {};
  std::string result = text->substr(0, text->find('\0'));
  if (result.size() > capacity - 1) result.resize(capacity - 1);
  return result;
}

Date Console::currentDate() {
  platform::LocalDateTime now = host_.localNow();
  return {now.year, now.month, now.day, now.weekday};
}

Time Console::currentTime() {
  platform::LocalDateTime now = host_.localNow();
  return {now.hour, now.minute, now.second, now.millisecond / 10};
}

void Console::closeConsole(int status) {
  if (windowOpen_) {
    // The pending keys are discarded without pumping: nothing more is handled while closing.
    queueCount_ = 0;
    heldPaste_.clear();
    if (caretShown_) {
      host_.setCaret(false, caretColumn(), row_);
      caretShown_ = false;
    }
    host_.closeWindow();
    windowOpen_ = false;
    column_ = 0;
    row_ = 0;
  }
  throw platform::ProgramExit{status};
}

std::string Console::screenDump() const {
  std::string dump;
  for (int row = 0; row < Rows; ++row) {
    std::string line;
    for (int column = 0; column < Columns; ++column) {
      uint8_t byte = grid_.charAt(column, row);
      // A control byte stored by putCell would break the dump's line structure.
      line.push_back(static_cast<char>(byte < 32 ? '?' : byte));
    }
    dump += platform::cp1252ToUtf8(line);
    dump += '\n';
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int row = 0; row < Rows; ++row) {
    for (int column = 0; column < Columns; ++column) {
      uint8_t attribute = grid_.attrAt(column, row);
      dump += kHex[attribute >> 4];
      dump += kHex[attribute & 0x0F];
    }
    dump += '\n';
  }
  dump += "cursor " + std::to_string(column_ + 1) + " " + std::to_string(row_ + 1) + "\n";
  return dump;
}

}  // namespace kaldro::console

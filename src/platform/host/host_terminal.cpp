// The terminal host: the console drawn in a raw xterm-like terminal, keys decoded from its bytes.
#include "platform/host/host_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/host/host_factories.h"
#include "platform/host/terminal_keys.h"
#include "platform/host/timed_events.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::platform {

// ---------------------------------------------------------------- colours and frames

TerminalColours terminalColoursFor(const char* colorterm) {
  if (!colorterm) return TerminalColours::Standard16;
  std::string_view value(colorterm);
  return value == "truecolor" || value == "24bit" ? TerminalColours::TrueColour : TerminalColours::Standard16;
}

int nearestStandardColour(Rgb colour) {
  static constexpr Rgb kStandard[16] = {
      {0, 0, 0},       {205, 0, 0},   {0, 205, 0},   {205, 205, 0},   {0, 0, 238},   {205, 0, 205},
      {0, 205, 205},   {229, 229, 229}, {127, 127, 127}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
      {92, 92, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < 16; ++i) {
    const int red = colour.red - kStandard[i].red;
    const int green = colour.green - kStandard[i].green;
    const int blue = colour.blue - kStandard[i].blue;
    const int distance = red * red + green * green + blue * blue;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

std::string attributeSequence(uint8_t attribute, const std::array<uint8_t, 16>& colourTable, TerminalColours colours) {
  const Rgb text = paletteColour(colourTable[attribute & 0x0F]);
  const Rgb background = paletteColour(colourTable[attribute >> 4]);
  std::string sequence = "\x1b[0;";
  if (colours == TerminalColours::TrueColour) {
    auto rgb = [](const Rgb& c) {
      return std::to_string(c.red) + ";" + std::to_string(c.green) + ";" + std::to_string(c.blue);
    };
    sequence += "38;2;" + rgb(text) + ";48;2;" + rgb(background) + "m";
    return sequence;
  }
  const int textIndex = nearestStandardColour(text);
  const int backgroundIndex = nearestStandardColour(background);
  sequence += std::to_string(textIndex < 8 ? 30 + textIndex : 90 + textIndex - 8) + ";";
  sequence += std::to_string(backgroundIndex < 8 ? 40 + backgroundIndex : 100 + backgroundIndex - 8) + "m";
  return sequence;
}

namespace {

void appendCursorMove(std::string& frame, int column0, int row0) {
  frame += "\x1b[" + std::to_string(row0 + 1) + ";" + std::to_string(column0 + 1) + "H";
}

// A cell's byte as the terminal shows it; control codes and bytes CP1252 leaves undefined show blank.
void appendCell(std::string& frame, uint8_t byte) {
  const char32_t codePoint = cp1252ToCodePoint(byte);
  if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) {
    frame.push_back(' ');
    return;
  }
  appendUtf8(frame, codePoint);
}

}  // namespace

void TerminalScreen::resize(int columns, int rows) {
  columns_ = columns > 0 ? columns : TextGrid::Columns;
  rows_ = rows > 0 ? rows : TextGrid::Rows;
  shownAttrs_.fill(0x100);
  currentAttribute_ = -1;
  messageShown_ = false;
  top_ = std::clamp(top_, 0, TextGrid::Rows - std::max(visibleRows(), 1));
}

int TerminalScreen::visibleColumns() const { return columns_ < TextGrid::Columns ? columns_ : TextGrid::Columns; }

int TerminalScreen::visibleRows() const {
  const int usable = narrow() ? rows_ - 1 : rows_;
  return std::clamp(usable, 0, TextGrid::Rows);
}

void TerminalScreen::setAttribute(uint8_t attribute, std::string& frame) {
  if (currentAttribute_ == attribute) return;
  frame += attributeSequence(attribute, settings_.colourTable, colours_);
  currentAttribute_ = attribute;
}

void TerminalScreen::scrollUp(std::string& frame) {
  constexpr int kColumns = TextGrid::Columns;
  const int rows = visibleRows();
  if (rows <= 0) return;
  // Scrolling the terminal's own lines lets a screen reader hear one new line, not a new screen.
  // Each terminal row then shows what the row below it showed, wherever the rows shown begin.
  const std::string last = std::to_string(rows);
  frame += "\x1b[1;" + last + "r\x1b[" + last + ";1H\n\x1b[r";
  const auto shownEnd = static_cast<ptrdiff_t>(rows) * kColumns;
  std::copy(shownChars_.begin() + kColumns, shownChars_.begin() + shownEnd, shownChars_.begin());
  std::copy(shownAttrs_.begin() + kColumns, shownAttrs_.begin() + shownEnd, shownAttrs_.begin());
  std::fill(shownAttrs_.begin() + shownEnd - kColumns, shownAttrs_.begin() + shownEnd, 0x100);
}

void TerminalScreen::paint(const TextGrid& grid, int cursorColumn, int cursorRow, std::string& frame) {
  const int columns = visibleColumns();
  const int rows = visibleRows();
  // The rows shown follow the cursor: its row is always one of them.
  int top = top_;
  if (rows > 0) {
    const int row = std::clamp(cursorRow, 0, TextGrid::Rows - 1);
    if (row < top) top = row;
    if (row >= top + rows) top = row - rows + 1;
    top = std::clamp(top, 0, TextGrid::Rows - rows);
  }
  if (top != top_) {
    top_ = top;
    shownAttrs_.fill(0x100);
  }
  for (int shownRow = 0; shownRow < rows; ++shownRow) {
    int terminalColumn = -1;  // where the terminal's cursor stands after the last cell sent
    for (int column = 0; column < columns; ++column) {
      const int cell = (top_ + shownRow) * TextGrid::Columns + column;
      const int shownCell = shownRow * TextGrid::Columns + column;
      const uint8_t character = grid.chars[cell];
      const uint8_t attribute = grid.attrs[cell];
      if (shownChars_[shownCell] == character && shownAttrs_[shownCell] == attribute) continue;
      if (terminalColumn != column) appendCursorMove(frame, column, shownRow);
      setAttribute(attribute, frame);
      appendCell(frame, character);
      shownChars_[shownCell] = character;
      shownAttrs_[shownCell] = attribute;
      terminalColumn = column + 1;
    }
  }
  if (narrow() && !messageShown_ && rows_ > 0) {
    appendCursorMove(frame, 0, rows_ - 1);
    frame += "\x1b[0m\x1b[2K";
    currentAttribute_ = -1;
    const std::string utf8 = cp1252ToUtf8(words::TerminalTooSmall);
    std::string_view message(utf8);
    int shown = 0;
    for (size_t i = 0; i < message.size() && shown < columns_; ++shown) {
      size_t length = 1;
      decodeUtf8(message, i, length);
      frame.append(message.substr(i, length));
      i += length;
    }
    messageShown_ = true;
  }
  const int column = cursorColumn < columns ? cursorColumn : columns - 1;
  const int row = std::min(cursorRow - top_, rows - 1);
  appendCursorMove(frame, column < 0 ? 0 : column, row < 0 ? 0 : row);
}

// ---------------------------------------------------------------- the terminal and its signals

namespace {

// What the signal handlers must reach. A handler has no object to ask, so this one record is
// shared with them: the flags they set, the wake pipe they write to, and what restores the
// terminal when the process dies from a signal. Only one terminal host runs at a time.
struct SignalShared {
  volatile sig_atomic_t endingSignal = 0;  // a signal asking the program to end
  volatile sig_atomic_t resized = 0;
  volatile sig_atomic_t resumed = 0;
  volatile sig_atomic_t terminalModified = 0;
  volatile sig_atomic_t suspendedWhileModified = 0;
  int wakeFd = -1;
  int terminalFd = -1;  // where the restoring bytes go (the output)
  int modesFd = -1;     // whose modes are restored (the input)
  termios saved{};
  char restoreBytes[64] = {};
  size_t restoreLength = 0;
  bool atExitRegistered = false;
  // Standard error while it would write into the program's screen: held in memory, and written
  // out on the terminal's own screen when the program leaves it.
  int stderrSaved = -1;
  int stderrHeld = -1;
  // The console's last status line ("Texto gerado", or what ended the run), left on the terminal.
  char statusLine[400] = {};
  size_t statusLength = 0;
};
SignalShared gSignalShared;

// The alternate screen, no wrap, a visible cursor, bracketed paste (a paste arrives as text between
// markers, so the console can hold what does not fit in its key queue).
constexpr char kEnterBytes[] = "\x1b[?1049h\x1b[?7l\x1b[?25h\x1b[?2004h\x1b[0m\x1b[H\x1b[2J";
constexpr char kExtendedKeysOn[] = "\x1b[>4;1m";  // tmux and xterm then report Ctrl+Enter, Ctrl+Tab, Ctrl+Backspace
constexpr char kExtendedKeysOff[] = "\x1b[>4m";
constexpr char kLeaveBytes[] = "\x1b[0m\x1b[?2004l\x1b[?7h\x1b[?25h\x1b[?1049l";

// Async-signal-safe, as everything the signal handlers call.
void writeFully(int fd, const char* bytes, size_t length) {
  size_t written = 0;
  while (written < length) {
    ssize_t n = ::write(fd, bytes + written, length - written);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    written += static_cast<size_t>(n);
  }
}

// The screen and the modes as they were (also while the program is stopped).
void restoreScreenNow() {
  if (!gSignalShared.terminalModified) return;
  gSignalShared.terminalModified = 0;
  writeFully(gSignalShared.terminalFd, gSignalShared.restoreBytes, gSignalShared.restoreLength);
  ::tcsetattr(gSignalShared.modesFd, TCSAFLUSH, &gSignalShared.saved);
}

// The program leaves the terminal for good: its last status line, then what it wrote on standard
// error meanwhile, stay on the terminal's own screen.
void restoreTerminalNow() {
  restoreScreenNow();
  if (gSignalShared.statusLength > 0) {
    writeFully(gSignalShared.terminalFd, gSignalShared.statusLine, gSignalShared.statusLength);
    gSignalShared.statusLength = 0;
  }
  if (gSignalShared.stderrHeld >= 0) {
    ::dup2(gSignalShared.stderrSaved, STDERR_FILENO);
    ::close(gSignalShared.stderrSaved);
    const int held = gSignalShared.stderrHeld;
    gSignalShared.stderrHeld = gSignalShared.stderrSaved = -1;
    ::lseek(held, 0, SEEK_SET);
    char buffer[512];
    for (ssize_t n; (n = ::read(held, buffer, sizeof buffer)) > 0;) writeFully(STDERR_FILENO, buffer, static_cast<size_t>(n));
    ::close(held);
  }
}

// Whether standard error writes on the same terminal as the program's screen.
bool stderrOnTerminal(int outputFd) {
  struct stat error{}, output{};
  if (::isatty(STDERR_FILENO) != 1 || ::fstat(STDERR_FILENO, &error) != 0 || ::fstat(outputFd, &output) != 0)
    return false;
  return S_ISCHR(error.st_mode) && S_ISCHR(output.st_mode) && error.st_rdev == output.st_rdev;
}

// Holds standard error in memory while the program's screen is up; nothing if it cannot.
void holdStderr(int outputFd) {
  if (gSignalShared.stderrHeld >= 0 || !stderrOnTerminal(outputFd)) return;
  const int held = ::memfd_create("kaldro-stderr", MFD_CLOEXEC);
  if (held < 0) return;
  const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved < 0 || ::dup2(held, STDERR_FILENO) < 0) {
    if (saved >= 0) ::close(saved);
    ::close(held);
    return;
  }
  gSignalShared.stderrSaved = saved;
  gSignalShared.stderrHeld = held;
}

void wakeFromHandler() {
  if (gSignalShared.wakeFd >= 0) {
    const char byte = 's';
    [[maybe_unused]] ssize_t n = ::write(gSignalShared.wakeFd, &byte, 1);
  }
}

void onEndingSignal(int signalNumber) {
  const int savedErrno = errno;
  if (gSignalShared.endingSignal == signalNumber) {
    // Asked twice: the program is not listening, so end now with the terminal put back.
    restoreTerminalNow();
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
  }
  // A different ending signal while the first is met (a session ending sends SIGTERM and SIGHUP at
  // once) must not skip the clean-up that removes a half-written letter.
  if (gSignalShared.endingSignal == 0) gSignalShared.endingSignal = signalNumber;
  wakeFromHandler();
  errno = savedErrno;
}

void onCrashSignal(int signalNumber) {
  restoreTerminalNow();
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

void onResize(int) {
  const int savedErrno = errno;
  gSignalShared.resized = 1;
  wakeFromHandler();
  errno = savedErrno;
}

void onContinue(int) {
  const int savedErrno = errno;
  gSignalShared.resumed = 1;
  wakeFromHandler();
  errno = savedErrno;
}

void installHandler(int signalNumber, void (*handler)(int));

// Stopped from outside (kill -TSTP): the shell gets its terminal back until the program continues.
void onSuspend(int signalNumber) {
  const int savedErrno = errno;
  const bool wasModified = gSignalShared.terminalModified != 0;
  restoreScreenNow();
  gSignalShared.suspendedWhileModified = wasModified ? 1 : 0;
  ::signal(signalNumber, SIG_DFL);
  sigset_t suspend;
  sigemptyset(&suspend);
  sigaddset(&suspend, signalNumber);
  ::sigprocmask(SIG_UNBLOCK, &suspend, nullptr);
  ::raise(signalNumber);  // stops here until continued
  installHandler(signalNumber, onSuspend);
  errno = savedErrno;
}

void restoreAtExit() { restoreTerminalNow(); }

constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void installHandler(int signalNumber, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signalNumber, &action, nullptr);
}

class HostTerminal final : public Host {
 public:
  HostTerminal(Trace& trace, const RunOptions& options, int inputFd, int outputFd, int wakeRead, int wakeWrite)
      : Host(trace), inputFd_(inputFd), outputFd_(outputFd), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {
    // The Linux console misreads the request for extended keys.
    extendedKeys_ = !std::string_view(options.terminalType).starts_with("linux");
    colours_ = terminalColoursFor(options.terminalColours.empty() ? nullptr : options.terminalColours.c_str());
  }

  ~HostTerminal() override {
    leaveTerminalMode();
    for (int signalNumber : kEndingSignals) ::signal(signalNumber, SIG_DFL);
    for (int signalNumber : kCrashSignals) ::signal(signalNumber, SIG_DFL);
    ::signal(SIGWINCH, SIG_DFL);
    ::signal(SIGCONT, SIG_DFL);
    ::signal(SIGTSTP, SIG_DFL);
    gSignalShared.wakeFd = -1;
    ::close(wakeRead_);
    ::close(wakeWrite_);
  }

  std::string_view name() const override { return "terminal"; }

  void openWindow(const WindowSettings& settings, const TextGrid& grid) override {
    grid_ = &grid;
    screen_.emplace(settings, colours_);
    enterTerminalMode();
    refreshSize();
    paint();
  }

  void closeWindow() override {
    keepStatusLine();
    leaveTerminalMode();
    grid_ = nullptr;
    screen_.reset();
  }

  void drawRow(int, int, int) override { paint(); }

  void scrolled(uint8_t) override {
    if (!screen_) return;
    std::string frame;
    screen_->scrollUp(frame);
    paint(std::move(frame));
  }

  void repaintAll() override { paint(); }

  void setCaret(bool visible, int column, int row) override {
    // The terminal's cursor always shows; it only has to stand at the console's cursor.
    cursorColumn_ = column;
    cursorRow_ = row;
    paint();
  }

  // A screen reader or braille display follows the terminal's cursor. The move is sent with the
  // next frame, or before the program waits or pauses, so a burst of writes costs no extra output.
  void cursorMoved(int column, int row) override {
    if (column == cursorColumn_ && row == cursorRow_) return;
    cursorColumn_ = column;
    cursorRow_ = row;
    cursorPending_ = true;
  }

  void systemBeep() override { writeAll("\a"); }

  std::optional<HostEvent> pollEvent() override {
    if (cursorPending_) paint();
    gather(0);
    return takeEvent();
  }

  void waitForEvent() override {
    if (cursorPending_) paint();
    while (events_.empty()) {
      gather(waitTimeoutMs(nextDeadline(), monotonicMs()));
    }
  }

  void postFromAnyThread(const HostEvent& event) override {
    crossThreadEvents_.post(event);
    const char byte = 'e';
    [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &byte, 1);
  }

  void postAt(int64_t dueMs, const HostEvent& event) override { timedEvents_.post(dueMs, event); }

  void cancelTimedEvents() override { timedEvents_.clear(); }

  int64_t monotonicMs() override { return monotonicClockMs(); }

  void sleepMs(uint32_t milliseconds) override {
    if (cursorPending_) paint();
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
  }

  bool reportsKeyUps() const override { return false; }

  std::string takeNotice() override { return std::exchange(notice_, {}); }

 private:
  // The last line the console wrote, at or above its cursor, for the terminal's own screen.
  void keepStatusLine() {
    gSignalShared.statusLength = 0;
    if (!grid_) return;
    for (int row = std::clamp(cursorRow_, 0, TextGrid::Rows - 1); row >= 0; --row) {
      std::string line(reinterpret_cast<const char*>(grid_->chars.data()) + row * TextGrid::Columns, TextGrid::Columns);
      for (char& c : line)
        if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) c = ' ';
      line.erase(line.find_last_not_of(' ') + 1);
      if (line.empty()) continue;
      const std::string text = cp1252ToUtf8(line) + "\n";
      if (text.size() > sizeof gSignalShared.statusLine) return;
      std::memcpy(gSignalShared.statusLine, text.data(), text.size());
      gSignalShared.statusLength = text.size();
      return;
    }
  }

  void enterTerminalMode() {
    if (gSignalShared.terminalModified) return;
    if (!haveSaved_) {
      if (::tcgetattr(inputFd_, &saved_) != 0) return;
      haveSaved_ = true;
    }
    termios raw = saved_;
    raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 0;  // a read after poll never blocks
    raw.c_cc[VTIME] = 0;

    std::string leave;
    if (extendedKeys_) leave += kExtendedKeysOff;
    leave += kLeaveBytes;
    std::memcpy(gSignalShared.restoreBytes, leave.data(), leave.size());
    gSignalShared.restoreLength = leave.size();
    gSignalShared.saved = saved_;
    gSignalShared.terminalFd = outputFd_;
    gSignalShared.modesFd = inputFd_;
    gSignalShared.wakeFd = wakeWrite_;
    if (!gSignalShared.atExitRegistered) {
      gSignalShared.atExitRegistered = true;
      std::atexit(restoreAtExit);  // an exit() from anywhere still puts the terminal back
    }
    for (int signalNumber : kEndingSignals) installHandler(signalNumber, onEndingSignal);
    for (int signalNumber : kCrashSignals) installHandler(signalNumber, onCrashSignal);
    installHandler(SIGWINCH, onResize);
    installHandler(SIGCONT, onContinue);
    installHandler(SIGTSTP, onSuspend);

    ::tcsetattr(inputFd_, TCSAFLUSH, &raw);
    raw_ = raw;
    gSignalShared.terminalModified = 1;
    holdStderr(outputFd_);
    std::string enter = kEnterBytes;
    if (extendedKeys_) enter += kExtendedKeysOn;
    writeAll(enter);
  }

  void leaveTerminalMode() { restoreTerminalNow(); }

  void refreshSize() {
    winsize size{};
    int columns = TextGrid::Columns;
    int rows = TextGrid::Rows;
    if (::ioctl(outputFd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
      columns = size.ws_col;
      rows = size.ws_row;
    }
    if (!screen_) return;
    screen_->resize(columns, rows);
    if (screen_->tooSmall() && !noticeGiven_) {
      notice_ = words::TerminalTooSmall.str();  // said once: a listener cannot see the part that is missing
      noticeGiven_ = true;
    }
  }

  void paint(std::string frame = {}) {
    if (!grid_ || !screen_ || !gSignalShared.terminalModified) return;
    screen_->paint(*grid_, cursorColumn_, cursorRow_, frame);
    cursorPending_ = false;
    writeAll(frame);
  }

  void writeAll(std::string_view bytes) {
    while (!bytes.empty() && !hungUp_) {
      ssize_t n = ::write(outputFd_, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
          pollfd out{outputFd_, POLLOUT, 0};
          ::poll(&out, 1, 100);
          continue;
        }
        return;  // the terminal is gone; nothing left to show
      }
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  }

  std::optional<int64_t> nextDeadline() const {
    std::optional<int64_t> due = decoder_.deadline();
    if (std::optional<int64_t> timer = timedEvents_.nextDueMs(); timer && (!due || *timer < *due)) due = timer;
    return due;
  }

  // Waits up to timeoutMs for input, a wake or a signal, and turns all that is ready into events.
  void gather(int timeoutMs) {
    pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {inputFd_, POLLIN, 0}};
    const bool readInput = grid_ != nullptr && !hungUp_;
    if (::poll(fds, readInput ? 2 : 1, timeoutMs) < 0 && errno != EINTR) fds[0].revents = fds[1].revents = 0;
    if (fds[0].revents & POLLIN) {
      char drain[64];
      while (::read(wakeRead_, drain, sizeof drain) > 0) {
      }
    }
    handleSignals();
    crossThreadEvents_.moveAll(events_);
    std::vector<HostEvent> keys;
    if (readInput && (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
      char buffer[512];
      const ssize_t n = ::read(inputFd_, buffer, sizeof buffer);
      if (n > 0) {
        decoder_.feed(std::string_view(buffer, static_cast<size_t>(n)), monotonicMs(), keys);
      } else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
        // Readable yet empty: the terminal hung up, which ends the program like a quit message.
        hungUp_ = true;
        HostEvent quit;
        quit.kind = EventKind::Quit;
        events_.push_back(quit);
      }
    }
    decoder_.expire(monotonicMs(), keys);
    for (const HostEvent& key : keys) events_.push_back(key);
    timedEvents_.moveDue(monotonicMs(), events_);
  }

  void handleSignals() {
    if (gSignalShared.resumed) {
      gSignalShared.resumed = 0;
      const bool suspended = gSignalShared.suspendedWhileModified != 0;
      gSignalShared.suspendedWhileModified = 0;
      if (gSignalShared.terminalModified || suspended) {  // a shell may have reset the terminal while stopped
        ::tcsetattr(inputFd_, TCSAFLUSH, &raw_);
        gSignalShared.terminalModified = 1;
        std::string enter = kEnterBytes;
        if (extendedKeys_) enter += kExtendedKeysOn;
        writeAll(enter);
        gSignalShared.resized = 1;
      }
    }
    if (gSignalShared.resized) {
      gSignalShared.resized = 0;
      refreshSize();
      writeAll("\x1b[0m\x1b[2J");
      paint();
    }
    if (gSignalShared.endingSignal != 0 && !endingReported_) {
      endingReported_ = true;  // the console ends the program (status 255) when it meets this
      HostEvent quit;
      quit.kind = EventKind::Quit;
      events_.push_back(quit);
    }
  }

  std::optional<HostEvent> takeEvent() {
    if (events_.empty()) return std::nullopt;
    HostEvent event = events_.front();
    events_.pop_front();
    return event;
  }

  int inputFd_;
  int outputFd_;
  int wakeRead_;
  int wakeWrite_;
  bool extendedKeys_ = true;
  TerminalColours colours_ = TerminalColours::Standard16;
  termios saved_{};
  termios raw_{};
  bool haveSaved_ = false;
  bool hungUp_ = false;
  bool endingReported_ = false;
  std::string notice_;
  bool noticeGiven_ = false;

  const TextGrid* grid_ = nullptr;
  std::optional<TerminalScreen> screen_;
  int cursorColumn_ = 0;
  int cursorRow_ = 0;
  bool cursorPending_ = false;  // the cursor moved since the last frame

  TerminalKeyDecoder decoder_;
  std::deque<HostEvent> events_;
  TimedEvents timedEvents_;
  CrossThreadEvents crossThreadEvents_;
};

}  // namespace

Made<Host> makeTerminalHostOn(Trace& trace, const RunOptions& options, int inputFd, int outputFd) {
  if (::isatty(inputFd) != 1 || ::isatty(outputFd) != 1)
    return notMade<Host>(StatusCode::NotFound, words::NotATerminal.str());
  if (options.terminalType.empty() || options.terminalType == "dumb")
    return notMade<Host>(StatusCode::Refused, words::TerminalLacksControl.str());
  if (gSignalShared.terminalModified) return notMade<Host>(StatusCode::Refused, words::TerminalInUse.str());
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
    return notMade<Host>(StatusCode::Refused, std::string("pipe: ") + std::strerror(errno));
  return {std::make_unique<HostTerminal>(trace, options, inputFd, outputFd, wake[0], wake[1]), {}};
}

Made<Host> makeTerminalHost(Trace& trace, const RunOptions& options) {
  return makeTerminalHostOn(trace, options, STDIN_FILENO, STDOUT_FILENO);
}

}  // namespace kaldro::platform

// The terminal host on a pseudo-terminal: raw mode and its restoration, keys, timers and wakes.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "console/console.h"
#include "support/event_text.h"
#include "platform/config.h"
#include "platform/host/host_terminal.h"

namespace kaldro::platform {
namespace {

class TerminalHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TERM", "xterm-256color", 1);
    winsize size{};
    size.ws_row = 25;
    size.ws_col = 80;
    ASSERT_EQ(::openpty(&master_, &slave_, nullptr, nullptr, &size), 0);
    Made<Host> made = makeTerminalHostOn(trace_, RunOptions::fromEnvironment(), slave_, slave_);
    host_ = std::move(made.object);
    ASSERT_TRUE(host_) << made.status.message();
    grid_.chars.fill(' ');
    grid_.attrs.fill(0x0F);
  }
  void TearDown() override {
    host_.reset();
    if (master_ >= 0) ::close(master_);
    ::close(slave_);
  }
  // Everything the program wrote to the terminal so far.
  std::string output() {
    std::string bytes;
    char buffer[4096];
    pollfd fd{master_, POLLIN, 0};
    while (::poll(&fd, 1, 50) > 0) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
  }
  void type(std::string_view bytes) { ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
  std::string nextEvents() {
    host_->waitForEvent();
    std::vector<HostEvent> events;
    while (std::optional<HostEvent> event = host_->pollEvent()) events.push_back(*event);
    return describe(events);
  }
  bool lineMode() {
    termios modes{};
    ::tcgetattr(slave_, &modes);
    return (modes.c_lflag & ICANON) && (modes.c_lflag & ECHO) && (modes.c_lflag & ISIG);
  }

  Trace trace_;
  int master_ = -1;
  int slave_ = -1;
  std::unique_ptr<Host> host_;
  TextGrid grid_;
};

TEST_F(TerminalHostTest, OpensRawInTheAlternateScreenAndClosesAsItFoundTheTerminal) {
  ASSERT_TRUE(lineMode());
  EXPECT_FALSE(host_->reportsKeyUps());
  host_->openWindow(WindowSettings{}, grid_);
  EXPECT_FALSE(lineMode()) << "no echo, no line editing, no signals";
  const std::string opening = output();
  EXPECT_NE(opening.find("\x1b[?1049h"), std::string::npos);
  EXPECT_NE(opening.find("\x1b[>4;1m"), std::string::npos) << "extended keys asked for";

  grid_.chars[2 * 80 + 4] = 'K';
  host_->drawRow(2, 4, 5);
  EXPECT_EQ(output(), "\x1b[3;5HK\x1b[1;1H") << "the cursor goes back to the console's cursor";

  host_->closeWindow();
  EXPECT_TRUE(lineMode());
  const std::string closing = output();
  EXPECT_NE(closing.find("\x1b[>4m"), std::string::npos);
  EXPECT_NE(closing.find("\x1b[?1049l"), std::string::npos);
}

TEST_F(TerminalHostTest, TheTerminalCursorStandsAtTheConsoleCursor) {
  // Screen readers follow the terminal's cursor, also while the program speaks and no key is awaited.
  const std::string nowhere = ::testing::TempDir() + "kaldro-no-such-folder";
  Configuration config(ConfigLocations{{}, nowhere, nowhere});
  console::Console console(*host_, config, "plumar");
  console.write("abc");
  output();
  host_->pollEvent();
  EXPECT_EQ(output(), "\x1b[1;4H");
  console.moveCursor(10, 5);
  EXPECT_EQ(output(), "") << "sent with the next frame or before a wait or pause";
  console.delayMs(1);
  EXPECT_EQ(output(), "\x1b[5;10H");
  console.putCell(1, 20, 'x', 0x0F);
  EXPECT_EQ(output(), "\x1b[20;1Hx\x1b[5;10H") << "drawing elsewhere leaves it where it was";
  console.write("\r\n");
  host_->pollEvent();
  EXPECT_EQ(output(), "\x1b[6;1H");
}

TEST_F(TerminalHostTest, KeysReachTheWaitIncludingALoneEscape) {
  host_->openWindow(WindowSettings{}, grid_);
  type("\x1b[1;5A");
  EXPECT_EQ(nextEvents(), "down Up ctrl");
  type("\x03");
  EXPECT_EQ(nextEvents(), "down C ctrl; char 3 ctrl") << "Ctrl+C is a key, not a signal";
  type("\x1b");
  EXPECT_EQ(nextEvents(), "down Escape; char 27") << "settled by its timeout";
}

TEST_F(TerminalHostTest, TimersAndOtherThreadsWakeTheWait) {
  host_->openWindow(WindowSettings{}, grid_);
  HostEvent timed;
  timed.kind = EventKind::Wake;
  timed.cookie = 1;
  host_->postAt(host_->monotonicMs() + 20, timed);
  EXPECT_EQ(nextEvents(), "wake 1");

  host_->postAt(host_->monotonicMs() + 5, timed);
  host_->cancelTimedEvents();
  std::thread other([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    HostEvent done;
    done.kind = EventKind::WaveDone;
    done.cookie = 7;
    host_->postFromAnyThread(done);
  });
  EXPECT_EQ(nextEvents(), "wavedone 7") << "the cancelled timer never comes";
  other.join();
}

TEST_F(TerminalHostTest, AHangUpIsTheQuitMessage) {
  host_->openWindow(WindowSettings{}, grid_);
  output();
  ::close(master_);
  master_ = -1;
  EXPECT_EQ(nextEvents(), "quit");
}

}  // namespace
}  // namespace kaldro::platform

// plumar on a real pseudo-terminal, ended by SIGTERM, SIGHUP, SIGINT or a hang-up while it waits
// for a key: it ends promptly and leaves the terminal as it found it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/program_run.h"

namespace kaldro::testing {
namespace {

struct TerminalRun {
  int master = -1, slave = -1;
  pid_t child = -1;
  std::string output;

  // Starts plumar on the terminal and waits until it has switched to raw mode and spoken its prompt.
  bool start(const ScratchFolder& folder) {
    winsize size{};
    size.ws_row = 25;
    size.ws_col = 80;
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) return false;
    child = ::fork();
    if (child == 0) {
      ::setsid();
      ::ioctl(slave, TIOCSCTTY, 0);
      ::dup2(slave, 0);
      ::dup2(slave, 1);
      ::dup2(slave, 2);
      ::close(master);
      ::chdir(folder.path().c_str());
      ::setenv("KALDRO_HOST", "terminal", 1);
      ::setenv("KALDRO_AUDIO", "none", 1);
      ::setenv("TERM", "xterm-256color", 1);
      ::setenv("KALDRO_CONFIG_DIR", folder.path().c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", folder.file(".config").c_str(), 1);
      ::setenv("KALDRO_TRACE", folder.file("trace.txt").c_str(), 1);
      ::unsetenv("DISPLAY");
      ::unsetenv("WAYLAND_DISPLAY");
      const std::string program = std::string(KALDRO_BIN_DIR) + "/plumar";
      ::execl(program.c_str(), program.c_str(), "modelo.txt", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return readUntil("sa\xC3\xAD" "da", 10000);
  }
  bool readUntil(const std::string& text, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
      pollfd fd{master, POLLIN, 0};
      if (::poll(&fd, 1, 20) > 0) {
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) output.append(buffer, static_cast<size_t>(n));
      }
      if (output.find(text) != std::string::npos) return true;
    }
    return false;
  }
  // Waits up to 3 s for the end; the time it took, or -1.
  double waitForEnd(int& status) {
    const auto sent = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - sent < std::chrono::seconds(3)) {
      if (master >= 0) readUntil("\x01never", 10);
      if (::waitpid(child, &status, WNOHANG) == child) {
        child = -1;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  }
  bool terminalRestored() const {
    termios modes{};
    ::tcgetattr(slave, &modes);
    return (modes.c_lflag & ICANON) && (modes.c_lflag & ECHO) && (modes.c_lflag & ISIG);
  }
  ~TerminalRun() {
    if (child > 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
};

// Cut while it asks for the letter's first field, the new letter keeps what was written under a
// name that says it is unfinished, never under the name of a finished letter.
TEST(TerminalSignals, EveryEndingSignalRestoresTheTerminal) {
  for (int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
    ScratchFolder folder;
    folder.write("modelo.txt", "Oi {NOME}\n");
    TerminalRun run;
    ASSERT_TRUE(run.start(folder)) << signalNumber << ": " << run.output;
    ASSERT_FALSE(run.terminalRestored()) << "raw while it runs";
    ASSERT_EQ(::write(run.master, "carta.txt\r", 10), 10);
    ASSERT_TRUE(run.readUntil("NOME", 10000)) << run.output;
    ::kill(run.child, signalNumber);
    int status = 0;
    const double seconds = run.waitForEnd(status);
    ASSERT_GE(seconds, 0) << "still running after signal " << signalNumber;
    EXPECT_LT(seconds, 1.5);
    EXPECT_TRUE(run.terminalRestored()) << signalNumber;
    EXPECT_THAT(run.output, ::testing::HasSubstr("\x1b[?1049l")) << "left the alternate screen";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 255) << signalNumber;
    EXPECT_THAT(readFile(folder.file("trace.txt")), ::testing::HasSubstr("exit 255"));
    EXPECT_FALSE(folder.exists("carta.txt"));
    EXPECT_TRUE(folder.exists("carta.txt.inacabada"));
  }
}

TEST(TerminalSignals, AHangUpEndsTheProgram) {
  ScratchFolder folder;
  folder.write("modelo.txt", "Oi {NOME}\n");
  TerminalRun run;
  ASSERT_TRUE(run.start(folder)) << run.output;
  ::close(run.master);  // the terminal goes away
  run.master = -1;
  int status = 0;
  const double seconds = run.waitForEnd(status);
  ASSERT_GE(seconds, 0) << "still running after the hang-up";
  EXPECT_LT(seconds, 1.5);
}

}  // namespace
}  // namespace kaldro::testing

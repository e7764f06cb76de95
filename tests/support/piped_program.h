// A program run on two pipes, as a server runs a helper: written to on its standard input, read on
// its standard output, its standard error in a file; ended by its process id. Free of GoogleTest, so
// that the benchmarks drive programs with it too.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace kaldro::testing {

class PipedProgram {
 public:
  // environment adds or replaces variables of this process's own.
  PipedProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment, const std::string& errorFile) {
    int toProgram[2], fromProgram[2];
    if (::pipe2(toProgram, O_CLOEXEC) != 0) return;
    if (::pipe2(fromProgram, O_CLOEXEC) != 0) {
      ::close(toProgram[0]);
      ::close(toProgram[1]);
      return;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (!environment.contains(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : environment) env.push_back(name + "=" + value);
    std::vector<char*> envp, argv{const_cast<char*>(program.c_str())};
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toProgram[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromProgram[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(toProgram[0]);
    ::close(fromProgram[1]);
    in_ = toProgram[1];
    out_ = fromProgram[0];
  }
  ~PipedProgram() {
    closeInput();
    if (out_ >= 0) ::close(out_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  PipedProgram(const PipedProgram&) = delete;
  PipedProgram& operator=(const PipedProgram&) = delete;

  // Started, and not yet seen to end.
  bool running() const { return pid_ > 0; }

  void send(std::string_view text) {
    while (!text.empty() && in_ >= 0) {
      const ssize_t n = ::write(in_, text.data(), text.size());
      if (n <= 0) return;
      text.remove_prefix(static_cast<size_t>(n));
    }
  }
  void closeInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }

  // Appends to `into` what the program writes within this many milliseconds; false when nothing
  // came (the time ran out, or its output is closed).
  bool readSome(int timeoutMs, std::string& into) {
    pollfd fd{out_, POLLIN, 0};
    if (out_ < 0 || ::poll(&fd, 1, timeoutMs) <= 0) return false;
    char buffer[65536];
    const ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    into.append(buffer, static_cast<size_t>(n));
    return true;
  }

  // Once the program has ended: its exit status, or -1 for a signal. Nothing while it runs.
  std::optional<int> ended() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) != pid_) return std::nullopt;
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = 0;
  int in_ = -1;
  int out_ = -1;
};

}  // namespace kaldro::testing

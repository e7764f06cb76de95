// The output module as the server sees it: its replies read back (audio decoded), and the module
// program run on pipes, as the server runs it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace kaldro::testing {

struct ModuleOutput {
  std::vector<std::string> lines;  // each audio event as "705 AUDIO N"
  std::vector<int16_t> samples;    // all audio, decoded
  std::vector<size_t> audioAt;     // for each audio event, its index in lines
};

// Reads the module's output as the server does, as it comes: line by line, audio lines unescaped.
class ModuleOutputReader {
 public:
  void take(std::string_view bytes) {
    pending_.append(bytes);
    size_t start = 0;
    for (size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n', start)) {
      takeLine(std::string_view(pending_).substr(start, end - start));
      start = end + 1;
    }
    pending_.erase(0, start);
  }
  const ModuleOutput& output() const { return output_; }

 private:
  void takeLine(std::string_view line) {
    constexpr std::string_view kAudio("705-AUDIO\0", 10);
    if (line.starts_with(kAudio)) {
      std::string raw;
      for (size_t i = kAudio.size(); i < line.size(); ++i)
        raw.push_back(line[i] == 0x7d && i + 1 < line.size() ? static_cast<char>(line[++i] ^ 0x20) : line[i]);
      for (size_t i = 0; i + 1 < raw.size(); i += 2)
        output_.samples.push_back(
            static_cast<int16_t>(static_cast<uint8_t>(raw[i]) | static_cast<uint8_t>(raw[i + 1]) << 8));
      audioSamples_ = raw.size() / 2;
    } else if (line == "705 AUDIO") {
      output_.audioAt.push_back(output_.lines.size());
      output_.lines.push_back("705 AUDIO " + std::to_string(audioSamples_));
    } else if (!line.starts_with("705-")) {
      output_.lines.emplace_back(line);
    }
  }

  std::string pending_;
  ModuleOutput output_;
  size_t audioSamples_ = 0;
};

inline ModuleOutput decodeModuleOutput(std::string_view bytes) {
  ModuleOutputReader reader;
  reader.take(bytes);
  return reader.output();
}

// The module program on two pipes, ended by its process id.
class ModuleProcess {
 public:
  ModuleProcess(const std::string& program, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment, const std::string& logFile) {
    int toModule[2], fromModule[2];
    if (::pipe2(toModule, O_CLOEXEC) != 0 || ::pipe2(fromModule, O_CLOEXEC) != 0) return;
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
    posix_spawn_file_actions_adddup2(&actions, toModule[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromModule[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(toModule[0]);
    ::close(fromModule[1]);
    in_ = toModule[1];
    out_ = fromModule[0];
  }
  ~ModuleProcess() {
    closeInput();
    if (out_ >= 0) ::close(out_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
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

  // Reads until the decoded output holds a line equal to `line` after the first `from` lines, or the
  // time runs out (false). Everything read stays in output().
  bool readUntil(const std::string& line, size_t from = 0, int seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (true) {
      const ModuleOutput& now = reader_.output();
      for (size_t i = from; i < now.lines.size(); ++i)
        if (now.lines[i] == line) return true;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) return false;
    }
  }
  // Reads what comes within this many milliseconds of quiet.
  void drain(int quietMs) {
    while (readSome(quietMs)) {
    }
  }
  // Waits for the module to end: its exit status, or -1 for a signal or no end within the time.
  int waitForEnd(int seconds = 20) {
    for (int i = 0; i < seconds * 20 && pid_ > 0; ++i) {
      drain(0);
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      ::usleep(50000);
    }
    return -1;
  }
  const ModuleOutput& output() const { return reader_.output(); }

 private:
  bool readSome(int timeoutMs) {
    pollfd fd{out_, POLLIN, 0};
    if (out_ < 0 || ::poll(&fd, 1, timeoutMs) <= 0) return false;
    char buffer[65536];
    const ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    reader_.take(std::string_view(buffer, static_cast<size_t>(n)));
    return true;
  }

  pid_t pid_ = 0;
  int in_ = -1;
  int out_ = -1;
  ModuleOutputReader reader_;
};

}  // namespace kaldro::testing

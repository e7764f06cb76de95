// The output module as the server sees it: its replies read back (audio decoded), and the module
// program run on pipes, as the server runs it.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/piped_program.h"

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

// The module program on two pipes, its output read back as the server reads it.
class ModuleProcess : public PipedProgram {
 public:
  ModuleProcess(const std::string& program, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment, const std::string& logFile)
      : PipedProgram(program, arguments, environment, logFile) {}

  // Reads until the decoded output holds a line equal to `line` after the first `from` lines, or the
  // time runs out (false). Everything read stays in output().
  bool readUntil(const std::string& line, size_t from = 0, int seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (true) {
      const ModuleOutput& now = reader_.output();
      for (size_t i = from; i < now.lines.size(); ++i)
        if (now.lines[i] == line) return true;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !readMore(static_cast<int>(left.count()))) return false;
    }
  }
  // Reads what comes within this many milliseconds of quiet.
  void drain(int quietMs) {
    while (readMore(quietMs)) {
    }
  }
  // Waits for the module to end: its exit status, or -1 for a signal or no end within the time.
  int waitForEnd(int seconds = 20) {
    for (int i = 0; i < seconds * 20 && running(); ++i) {
      drain(0);
      if (const std::optional<int> status = ended()) return *status;
      ::usleep(50000);
    }
    return -1;
  }
  const ModuleOutput& output() const { return reader_.output(); }

 private:
  bool readMore(int timeoutMs) {
    std::string bytes;
    if (!readSome(timeoutMs, bytes)) return false;
    reader_.take(bytes);
    return true;
  }

  ModuleOutputReader reader_;
};

}  // namespace kaldro::testing

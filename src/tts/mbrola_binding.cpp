// MBROLA reached through a shared library (dlopen) or through the `mbrola` program on pipes.
#include "tts/mbrola_binding.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/words.h"

extern char** environ;

namespace kaldro::tts {

namespace words = platform::words;

namespace {

// ---------------------------------------------------------------- the library

class LibraryBinding final : public MbrolaBinding {
 public:
  LibraryBinding(void* handle, std::string name) : handle_(handle), name_(std::move(name)) {
    init_ = reinterpret_cast<int (*)(char*)>(dlsym(handle, "init_MBR"));
    write_ = reinterpret_cast<int (*)(char*)>(dlsym(handle, "write_MBR"));
    flush_ = reinterpret_cast<int (*)()>(dlsym(handle, "flush_MBR"));
    read_ = reinterpret_cast<int (*)(short*, int)>(dlsym(handle, "read_MBR"));
    close_ = reinterpret_cast<void (*)()>(dlsym(handle, "close_MBR"));
    reset_ = reinterpret_cast<int (*)()>(dlsym(handle, "reset_MBR"));
    lastError_ = reinterpret_cast<int (*)()>(dlsym(handle, "lastError_MBR"));
    lastErrorStr_ = reinterpret_cast<int (*)(char*, int)>(dlsym(handle, "lastErrorStr_MBR"));
    setNoError_ = reinterpret_cast<void (*)(int)>(dlsym(handle, "setNoError_MBR"));
  }
  ~LibraryBinding() override { dlclose(handle_); }

  int init(const std::string& database) override {
    std::string name = database;
    return init_(name.data());
  }
  void setNoError(int noError) override { setNoError_(noError); }
  void reset() override { reset_(); }
  int write(std::string_view line) override {
    std::string copy(line);
    return write_(copy.data());
  }
  void flush() override { flush_(); }
  int read(int16_t* samples, int capacity) override { return read_(samples, capacity); }
  int lastError() override { return lastError_(); }
  std::string lastErrorText() override {
    char buffer[256] = {};
    lastErrorStr_(buffer, sizeof buffer - 1);
    return buffer;
  }
  void close() override { close_(); }
  std::string description() const override { return words::MbrolaLibraryNamed.with({name_}); }

 private:
  void* handle_;
  std::string name_;
  int (*init_)(char*) = nullptr;
  int (*write_)(char*) = nullptr;
  int (*flush_)() = nullptr;
  int (*read_)(short*, int) = nullptr;
  void (*close_)() = nullptr;
  int (*reset_)() = nullptr;
  int (*lastError_)() = nullptr;
  int (*lastErrorStr_)(char*, int) = nullptr;
  void (*setNoError_)(int) = nullptr;
};

// ---------------------------------------------------------------- the program

using Clock = std::chrono::steady_clock;

// The voice's rate; the engine assumes 16000 Hz for every voice.
constexpr int kSampleRate = 16000;
// How long the program may take to open its database and answer the first flush.
constexpr auto kStartLimit = std::chrono::seconds(5);
// After a flush, the end of the utterance is a pause in the output: short once the expected sample
// count came, longer once most of it came (MBROLA's count may differ a little from the durations
// asked), longest before that (a busy machine may hold the program back that long).
constexpr int kQuietGapMs = 40;
constexpr int kTailGapMs = 4;
constexpr int kShortfallWaitMs = 500;
constexpr double kMostOfIt = 0.9;
// At most this long is spent waiting for the first samples of an utterance, in steps this short.
constexpr auto kFirstSoundWaitLimit = std::chrono::milliseconds(3);
constexpr long kFirstSoundStepNs = 50'000;
// A program that takes neither input nor gives output this long is taken as hung.
constexpr int kStallLimitMs = 3000;
// How long, in steps of 5 ms, a program that closed its input is given to end.
constexpr int kEndingWaitSteps = 40;

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// The duration of a .pho line in milliseconds (phone, duration, pitch points); 0 for comments,
// flushes and blank lines.
double lineDuration(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::string phone, duration;
  if (!(in >> phone) || phone[0] == ';' || phone[0] == '#') return 0;
  if (!(in >> duration)) return 0;
  char* end = nullptr;
  const double value = std::strtod(duration.c_str(), &end);
  return value > 0 && *end == '\0' ? value : 0;
}

class ProgramBinding final : public MbrolaBinding {
 public:
  ProgramBinding(std::string program, std::string stdbuf) : program_(std::move(program)), stdbuf_(std::move(stdbuf)) {}
  ~ProgramBinding() override { close(); }

  int init(const std::string& database) override {
    if (startProgram(database) == 0) return 0;
    if (stdbuf_.empty() || errorText_ == std::string_view(words::MbrolaNoAnswer)) return -1;
    // stdbuf cannot run every program (one that must be loaded first, say): without it the samples
    // still come, in blocks and at every flush.
    const std::string firstError = errorText_;
    stdbuf_.clear();
    if (startProgram(database) == 0) return 0;
    if (errorText_.empty()) errorText_ = firstError;
    return -1;
  }

  void setNoError(int noError) override { noError_ = noError; }

 private:
  // Starts the program on the database and waits for its answer to a short silence. 0 or -1.
  int startProgram(const std::string& database) {
    stop();
    database_ = database;
    if (!spawn()) return -1;
    // A short silence through the whole path proves the database was opened.
    const char probe[] = "_ 50\n#\n";
    if (!writeAll(probe, sizeof probe - 1)) return fail();
    expected_ = 50.0 * kSampleRate / 1000;
    flushed_ = true;
    const auto deadline = Clock::now() + kStartLimit;
    long long answered = 0;
    int16_t scratch[256];
    while (error_ == 0 && Clock::now() < deadline && answered < std::llround(expected_)) {
      const int n = read(scratch, 256);
      if (n > 0) answered += n;
      else if (answered > 0) break;
    }
    if (answered == 0) {
      if (error_ == 0) noteError(words::MbrolaNoAnswer.str());
      return fail();
    }
    reset();
    return error_ == 0 ? 0 : fail();
  }

 public:
  void reset() override {
    if (pid_ > 0 && !alive()) error_ = -1;
    if (error_ != 0 && !database_.empty()) {
      // A fatal error ended the program: start it again so the next lines are heard.
      const std::string text = errorText_;
      stop();
      error_ = 0;
      if (!spawn()) return;
      errorText_ = text;
    }
    if (pid_ > 0) {
      waitOutput(0);
      output_.clear();
      outputStart_ = 0;
    }
    expected_ = 0;
    delivered_ = 0;
    flushed_ = false;
    phoneLines_ = 0;
    firstSoundWaited_ = Clock::duration::zero();
  }

  int write(std::string_view line) override {
    if (pid_ <= 0) {
      noteError(words::MbrolaNotOpen.str());
      return -1;
    }
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const double duration = lineDuration(text);
    expected_ += duration * kSampleRate / 1000;
    if (duration > 0) ++phoneLines_;
    text += '\n';
    return writeAll(text.data(), text.size()) ? 0 : -1;
  }

  void flush() override {
    if (pid_ > 0 && writeAll("#\n", 2)) flushed_ = true;
  }

  int read(int16_t* samples, int capacity) override {
    if (pid_ <= 0) return 0;
    waitOutput(0);
    if (!flushed_ && delivered_ == 0 && buffered() < 2 && phoneLines_ >= 2) waitForFirstSamples();
    if (flushed_) {
      // The utterance ends when none came for a while: shortly once all its samples came (MBROLA
      // rounds durations its own way and may give a few more, which the next utterance's reset
      // would otherwise throw away), longer when only most of them came, longest before that.
      auto lastArrival = Clock::now();
      while (buffered() < 2 && error_ == 0) {
        const bool allCame = delivered_ >= std::llround(expected_);
        const bool mostCame = static_cast<double>(delivered_) >= kMostOfIt * expected_;
        const int gapMs = allCame ? kTailGapMs : mostCame ? kQuietGapMs : kShortfallWaitMs;
        const size_t before = output_.size();
        waitOutput(std::min(gapMs, 10));
        if (output_.size() != before) {
          lastArrival = Clock::now();
          continue;
        }
        if (Clock::now() - lastArrival > std::chrono::milliseconds(gapMs)) break;
      }
    }
    const int count = static_cast<int>(std::min<size_t>(buffered() / 2, static_cast<size_t>(std::max(capacity, 0))));
    if (count <= 0) return error_ != 0 ? -1 : 0;
    std::memcpy(samples, output_.data() + outputStart_, static_cast<size_t>(count) * 2);
    outputStart_ += static_cast<size_t>(count) * 2;
    delivered_ += count;
    if (outputStart_ == output_.size()) {
      output_.clear();
      outputStart_ = 0;
    }
    return count;
  }

  int lastError() override {
    if (pid_ > 0) waitOutput(0);
    return error_;
  }
  std::string lastErrorText() override {
    if (pid_ > 0) waitOutput(0);
    return errorText_;
  }

  void close() override {
    stop();
    database_.clear();  // closed for good: no restart after this
  }
  std::string description() const override { return words::MbrolaProgramNamed.with({program_}); }

 private:
  size_t buffered() const { return output_.size() - outputStart_; }

  int fail() {
    stop();
    return -1;
  }

  void noteError(std::string text) {
    error_ = -1;
    errorText_ = std::move(text);
  }

  bool spawn() {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0) return false;
    if (pipe2(out, O_CLOEXEC) != 0) {
      ::close(in[0]), ::close(in[1]);
      return false;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
      ::close(in[0]), ::close(in[1]), ::close(out[0]), ::close(out[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // Options come before the database; only -e, which prints nothing on standard output.
    std::vector<std::string> arguments;
    if (!stdbuf_.empty()) arguments = {stdbuf_, "-o0"};
    arguments.insert(arguments.end(), {program_, "-e", database_, "-", "-"});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int status = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]), ::close(out[1]), ::close(err[1]);
    if (status != 0) {
      ::close(in[1]), ::close(out[0]), ::close(err[0]);
      noteError(words::MbrolaCannotStart.str());
      return false;
    }
    pid_ = pid;
    input_ = in[1];
    outputFd_ = out[0];
    errorFd_ = err[0];
    setNonBlocking(input_);
    setNonBlocking(outputFd_);
    setNonBlocking(errorFd_);
    error_ = 0;
    errorText_.clear();
    errorLine_.clear();
    return true;
  }

  // Ends the co-process: end of input first, so it leaves on its own; then a signal.
  void stop() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (pid_ > 0) {
      int status = 0;
      bool ended = false;
      for (int i = 0; i < 20 && !ended; ++i) {
        ended = waitpid(pid_, &status, WNOHANG) == pid_;
        if (!ended) {
          // Drain its output so it is not stuck writing to a full pipe.
          drain(outputFd_, nullptr);
          usleep(5000);
        }
      }
      if (!ended) {
        kill(pid_, SIGTERM);
        waitpid(pid_, &status, 0);
      }
    }
    pid_ = -1;
    if (outputFd_ >= 0) ::close(outputFd_);
    if (errorFd_ >= 0) ::close(errorFd_);
    outputFd_ = errorFd_ = -1;
    output_.clear();
    outputStart_ = 0;
  }

  bool alive() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == 0) return true;
    exited_ = true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // Whatever it said last explains why it ended.
    drain(errorFd_, &errorLine_);
    takeErrorLines(true);
    if (errorText_.empty() || error_ == 0)
      noteError(errorText_.empty() ? words::MbrolaEnded.with({std::to_string(exitStatus_)}) : errorText_);
    // Reap once only: the process is gone.
    pid_ = -2;
    return false;
  }

  // Reads what is there without waiting; false at end of file.
  static bool drain(int fd, std::string* into) {
    if (fd < 0) return false;
    char buffer[16384];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        if (into) into->append(buffer, static_cast<size_t>(n));
        continue;
      }
      return !(n == 0);
    }
  }

  // Complete lines of standard error: warnings and errors become the last error text; a fatal one
  // also the last error.
  void takeErrorLines(bool atEnd) {
    size_t end;
    while ((end = errorLine_.find('\n')) != std::string::npos || (atEnd && !errorLine_.empty())) {
      if (end == std::string::npos) end = errorLine_.size();
      std::string line = errorLine_.substr(0, end);
      errorLine_.erase(0, std::min(end + 1, errorLine_.size()));
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      if (line.empty()) continue;
      errorText_ = line.substr(0, 255);
      std::string lower = line;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
      if (lower.find("fatal") != std::string::npos || lower.find("error") != std::string::npos) error_ = -1;
    }
  }

  // Until the first samples of an utterance come, the program is given time to read what it was
  // sent: on a busy machine it would otherwise get no processor before every line was written, and
  // the first sound would wait for all of them. Once it has read everything and still says nothing,
  // it needs more lines (MBROLA speaks a phone or two behind): waiting longer would only delay them.
  void waitForFirstSamples() {
    const auto start = Clock::now();
    while (firstSoundWaited_ + (Clock::now() - start) < kFirstSoundWaitLimit && buffered() < 2 && error_ == 0) {
      int unread = 0;
      if (ioctl(input_, FIONREAD, &unread) != 0 || unread == 0) break;
      pollfd output = {outputFd_, POLLIN, 0};
      const timespec step = {0, kFirstSoundStepNs};
      ppoll(&output, 1, &step, nullptr);
      waitOutput(0);
    }
    firstSoundWaited_ += Clock::now() - start;
  }

  // Collects output and messages; waits up to timeoutMs for output to arrive.
  void waitOutput(int timeoutMs) {
    if (pid_ <= 0) return;
    pollfd fds[2] = {{outputFd_, POLLIN, 0}, {errorFd_, POLLIN, 0}};
    if (timeoutMs > 0 && buffered() == 0) poll(fds, 2, timeoutMs);
    std::string bytes;
    const bool outputOpen = drain(outputFd_, &bytes);
    output_.insert(output_.end(), bytes.begin(), bytes.end());
    drain(errorFd_, &errorLine_);
    takeErrorLines(false);
    if (!outputOpen || timeoutMs > 0) alive();
  }

  // Writes all bytes, taking output meanwhile so neither side waits on a full pipe.
  bool writeAll(const char* data, size_t size) {
    // A dead reader must not end this process: SIGPIPE is held while writing and taken afterwards.
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    bool ok = true;
    bool refused = false;
    auto lastProgress = Clock::now();
    while (size > 0) {
      const ssize_t n = ::write(input_, data, size);
      if (n > 0) {
        data += n;
        size -= static_cast<size_t>(n);
        lastProgress = Clock::now();
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        refused = errno == EPIPE;
        ok = false;
        break;
      }
      pollfd fds[2] = {{input_, POLLOUT, 0}, {outputFd_, POLLIN, 0}};
      poll(fds, 2, 20);
      const size_t before = output_.size();
      waitOutput(0);
      if (output_.size() != before) lastProgress = Clock::now();
      if (!alive() || Clock::now() - lastProgress > std::chrono::milliseconds(kStallLimitMs)) {
        ok = false;
        break;
      }
    }
    // A refused write is the only thing that raises the signal.
    if (refused) {
      timespec none{};
      while (sigtimedwait(&pipeSignal, nullptr, &none) > 0) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!ok) {
      // A refused write means the program is ending: its closing words (a database it cannot find,
      // say) are on its standard error once it has ended.
      for (int i = 0; i < kEndingWaitSteps && alive() && refused; ++i) usleep(5000);
      if (error_ == 0) noteError(words::MbrolaTakesNoMoreLines.str());
    }
    return ok;
  }

  std::string program_;
  std::string stdbuf_;
  std::string database_;
  pid_t pid_ = -1;
  int input_ = -1;
  int outputFd_ = -1;
  int errorFd_ = -1;
  std::vector<uint8_t> output_;
  size_t outputStart_ = 0;
  std::string errorLine_;
  std::string errorText_;
  int error_ = 0;
  int noError_ = 0;
  bool exited_ = false;
  int exitStatus_ = 0;
  double expected_ = 0;
  long long delivered_ = 0;
  bool flushed_ = false;
  int phoneLines_ = 0;        // lines with a phone since the last reset
  Clock::duration firstSoundWaited_{};  // spent waiting for the utterance's first samples
};

}  // namespace

std::vector<std::string> MbrolaPlaces::defaultLibraryNames() { return {"libmbrola.so", "libmbrola.so.3", "mbrola.so"}; }

std::vector<std::string> MbrolaPlaces::pathFolders() {
  std::vector<std::string> folders;
  const char* path = std::getenv("PATH");
  std::string all = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find(':', start);
    if (end == std::string::npos) end = all.size();
    folders.push_back(end > start ? all.substr(start, end - start) : ".");
    start = end + 1;
  }
  return folders;
}

std::string findProgram(const std::string& name, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::string candidate = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::unique_ptr<MbrolaBinding> bindMbrolaLibrary(const std::string& name, std::string* problem) {
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (problem) *problem = words::MbrolaLibraryMissing.with({name});
    return nullptr;
  }
  for (const char* call : kMbrolaCalls) {
    if (!dlsym(handle, call)) {
      if (problem) *problem = words::MbrolaLibraryLacksCall.with({name, call});
      dlclose(handle);
      return nullptr;
    }
  }
  return std::make_unique<LibraryBinding>(handle, name);
}

std::unique_ptr<MbrolaBinding> bindMbrolaProgram(const std::string& programPath, bool unbufferedOutput) {
  std::string stdbuf = unbufferedOutput ? findProgram("stdbuf", MbrolaPlaces::pathFolders()) : std::string();
  return std::make_unique<ProgramBinding>(programPath, stdbuf);
}

std::unique_ptr<MbrolaBinding> bindMbrola(const MbrolaPlaces& places, std::string* problem) {
  std::string why;
  for (const std::string& name : places.libraries) {
    std::string libraryProblem;
    if (auto binding = bindMbrolaLibrary(name, &libraryProblem)) return binding;
    // A library that exists but lacks a call is worth telling about.
    if (libraryProblem != words::MbrolaLibraryMissing.with({name})) why = libraryProblem;
  }
  const std::string program = findProgram("mbrola", places.programFolders);
  if (!program.empty()) return bindMbrolaProgram(program, places.unbufferedOutput);
  if (problem) *problem = why.empty() ? words::MbrolaNotFound.str() : why;
  return nullptr;
}

}  // namespace kaldro::tts

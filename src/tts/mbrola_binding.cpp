// MBROLA reached through a shared library (dlopen) or through the `mbrola` program on pipes.
#include "tts/mbrola_binding.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/words.h"

extern char** environ;

namespace kaldro::tts {

namespace words = platform::words;

namespace {

// The duration of a .pho line in milliseconds (phone, duration, pitch points); 0 for comments,
// flushes and blank lines.
double lineDuration(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::string phone, duration;
  if (!(in >> phone) || phone[0] == ';' || phone[0] == '#') return 0;
  if (!(in >> duration)) return 0;
  char* end = nullptr;
  const double value = std::strtod(duration.c_str(), &end);
  return value > 0 && std::isfinite(value) && *end == '\0' ? value : 0;
}

// The voice's rate; the engine assumes 16000 Hz for every voice.
constexpr int kSampleRate = 16000;

// What one utterance asks for and what it has given, to stop a synthesizer that never ends.
struct UtteranceBudget {
  double asked = 0;      // samples the lines ask for
  long long given = 0;   // samples delivered

  // milliseconds: a line's duration (lineDuration).
  void take(double milliseconds) { asked += milliseconds * kSampleRate / 1000; }
  // False once the samples given pass the limit.
  bool give(int count) {
    given += count;
    return given <= mbrolaSampleLimit(asked);
  }
  void clear() { *this = {}; }
};

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
  void reset() override {
    failure_.clear();
    budget_.clear();
    reset_();
  }
  int write(std::string_view line) override {
    budget_.take(lineDuration(line));
    std::string copy(line);
    return write_(copy.data());
  }
  void flush() override { flush_(); }
  int read(int16_t* samples, int capacity) override {
    if (!failure_.empty()) return -1;
    const int count = read_(samples, capacity);
    // More than the buffer holds cannot be taken: whatever lies past it is not ours to read.
    if (count > capacity) {
      failure_ = words::MbrolaGaveTooMuch.with({std::to_string(count), std::to_string(capacity)});
      return -1;
    }
    if (count > 0 && !budget_.give(count)) {
      failure_ = words::MbrolaFlooded.str();
      return -1;
    }
    return count;
  }
  int lastError() override { return failure_.empty() ? lastError_() : -1; }
  std::string lastErrorText() override {
    if (!failure_.empty()) return failure_;
    char buffer[256] = {};
    lastErrorStr_(buffer, sizeof buffer - 1);
    return buffer;
  }
  bool synthesizerFailed() const override { return !failure_.empty(); }
  void close() override { close_(); }
  std::string description() const override { return words::MbrolaLibraryNamed.with({name_}); }

 private:
  void* handle_;
  std::string name_;
  std::string failure_;  // the library misbehaved in this utterance
  UtteranceBudget budget_;
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
using std::chrono::milliseconds;

// The end of an utterance on the pipe. After the utterance's flush the program is sent a phone no
// voice has, of no duration, and a second flush: MBROLA (run with -e) warns on standard error that
// the diphones into and out of it are unknown, makes no sample of it, and by then has written every
// sample before it (a flush writes them out before the next line is read). The warning naming this
// phone first, "Warning: kaldro-fim-_ unknown", is the end.
constexpr std::string_view kEndPhone = "kaldro-fim";
constexpr std::string_view kEndLines = "kaldro-fim 0\n#\n";
bool announcesEnd(std::string_view line) {
  const size_t at = line.find(kEndPhone);
  return at != std::string_view::npos && at + kEndPhone.size() < line.size() && line[at + kEndPhone.size()] == '-';
}
bool mentionsEndPhone(std::string_view line) { return line.find(kEndPhone) != std::string_view::npos; }

// At most this long is spent waiting for the first samples of an utterance, in steps this short.
constexpr auto kFirstSoundWaitLimit = milliseconds(3);
// Queued lines are written once they pass this size even before a read or a flush.
constexpr size_t kPendingLimit = 16384;
// Between flushes, lines are sent and samples taken at most this often (MBROLA makes about a
// second of sound in that time, in its own pieces of a few kilobytes).
constexpr auto kExchangeInterval = milliseconds(2);
// MBROLA's output pipe is asked to hold this much (32 s of sound); the system may refuse.
constexpr int kOutputPipeBytes = 1 << 20;
constexpr long kFirstSoundStepNs = 50'000;
// Ending the program: it leaves on its own at the end of its input; one that does not is sent
// SIGTERM, and one that ignores that SIGKILL. Each step is given this long; the first two together
// stay under half a second, so a program's end never holds its user longer.
constexpr auto kOwnEndGrace = milliseconds(200);
constexpr auto kTermGrace = milliseconds(250);
constexpr auto kKillGrace = milliseconds(1000);

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

class ProgramBinding final : public MbrolaBinding {
 public:
  ProgramBinding(std::string program, int answerLimitMs)
      : program_(std::move(program)), answerLimit_(milliseconds(std::max(answerLimitMs, 1))) {}
  ~ProgramBinding() override { close(); }

  int init(const std::string& database) override { return startProgram(database); }

  void setNoError(int noError) override { noError_ = noError; }
  void setPatience(std::function<bool()> goOn) override { goOn_ = std::move(goOn); }

 private:
  // Starts the program on the database and waits for its answer to the end phone. 0 or -1.
  int startProgram(const std::string& database) {
    stop();
    database_ = database;
    hung_ = false;
    if (!spawn()) return -1;
    if (!askForEnd() || !send()) return fail();
    awaitEnd(true);
    if (!ended()) {
      if (error_ == 0) {
        hung_ = true;
        noteError(words::MbrolaNoAnswer.str());
      }
      return fail();
    }
    output_.clear();
    outputStart_ = 0;
    return error_ == 0 ? 0 : fail();
  }

 public:
  void reset() override {
    if (pid_ > 0 && !alive()) error_ = -1;
    if ((error_ != 0 || failed_ || abandoned_) && !database_.empty()) {
      // The program ended, or was ended, or was left waiting (it may be stopped): start it again so
      // the next lines are heard.
      const std::string text = errorText_;
      stop();
      error_ = 0;
      if (!spawn()) return;
      errorText_ = text;
    } else if (pid_ > 0 && (openLines_ || !ended())) {
      // Lines of an utterance said only in part: its samples are let through and dropped. The flush
      // comes first: MBROLA holds samples in its output buffer until one.
      if (openLines_) {
        pending_ += "#\n";
        askForEnd();
      }
      send();
      awaitEnd(false);
    }
    if (pid_ > 0) {
      collect(0);
      output_.clear();
      outputStart_ = 0;
    }
    budget_.clear();
    failed_ = false;
    abandoned_ = false;
    openLines_ = false;
    phoneLines_ = 0;
    firstSoundWaited_ = Clock::duration::zero();
  }

  int write(std::string_view line) override {
    if (pid_ <= 0) {
      if (error_ == 0) noteError(words::MbrolaNotOpen.str());
      return -1;
    }
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // A line naming the end phone would end the utterance early; no voice has it.
    if (mentionsEndPhone(text)) return 0;
    const double milliseconds = lineDuration(text);
    budget_.take(milliseconds);
    if (milliseconds > 0) ++phoneLines_;
    openLines_ = true;
    pending_ += text;
    pending_ += '\n';
    return pending_.size() < kPendingLimit || send() ? 0 : -1;
  }

  void flush() override {
    if (pid_ <= 0) return;
    pending_ += "#\n";
    askForEnd();
    send();
  }

  int read(int16_t* samples, int capacity) override {
    if (pid_ <= 0 && buffered() < 2) return error_ != 0 ? -1 : 0;
    const bool flushed = !openLines_ && !ended();
    const bool firstSound = budget_.given == 0 && phoneLines_ >= 2;
    // The engine reads after every line; the pipes are looked at only when the utterance is flushed,
    // its first sound is awaited, or a few milliseconds have passed: a piece's lines go in a write or
    // two and its samples come in MBROLA's own large pieces.
    if (buffered() < 2 && (flushed || firstSound || Clock::now() - lastExchange_ >= kExchangeInterval)) {
      lastExchange_ = Clock::now();
      if (!send()) return -1;
      collect(0);
    }
    if (flushed) {
      // Flushed: the rest of the utterance comes, however long MBROLA takes, until its end.
      awaitSamplesOrEnd();
    } else if (firstSound && buffered() < 2) {
      waitForFirstSamples();
    }
    const int count = static_cast<int>(std::min<size_t>(buffered() / 2, static_cast<size_t>(std::max(capacity, 0))));
    if (count <= 0) return error_ != 0 ? -1 : 0;
    if (!budget_.give(count)) {
      // A program that sends far more than its lines ask for would fill the disk or the memory.
      noteError(words::MbrolaFlooded.str());
      failed_ = true;
      stop();
      return -1;
    }
    std::memcpy(samples, output_.data() + outputStart_, static_cast<size_t>(count) * 2);
    outputStart_ += static_cast<size_t>(count) * 2;
    if (outputStart_ == output_.size()) {
      output_.clear();
      outputStart_ = 0;
    }
    return count;
  }

  // Lines are sent in one write when samples are read or the utterance flushed, and MBROLA's words
  // are read with its samples: no look at the pipes here.
  int lastError() override { return error_; }
  std::string lastErrorText() override {
    if (pid_ > 0) collect(0);
    return errorText_;
  }
  bool synthesizerFailed() const override { return failed_; }

  void close() override {
    stop();
    database_.clear();  // closed for good: no restart after this
  }
  std::string description() const override { return words::MbrolaProgramNamed.with({program_}); }

 private:
  size_t buffered() const { return output_.size() - outputStart_; }
  bool ended() const { return endsAnswered_ >= endsAsked_; }

  int fail() {
    stop();
    return -1;
  }

  void noteError(std::string text) {
    error_ = -1;
    errorText_ = std::move(text);
  }

  // Closes the utterance in MBROLA's stream with the end phone (sent with the pending lines).
  bool askForEnd() {
    pending_ += kEndLines;
    ++endsAsked_;
    openLines_ = false;
    return true;
  }

  // Writes the queued lines in one go: one system call for a piece's lines, not one per line.
  bool send() {
    if (pending_.empty()) return true;
    const bool ok = writeAll(pending_.data(), pending_.size());
    pending_.clear();
    return ok;
  }

  // Takes output until the program has answered every end phone (kept: true; else dropped), it
  // ended, or it answered nothing for the answer limit (then it is ended: it hangs).
  void awaitEnd(bool keep) {
    auto lastProgress = Clock::now();
    while (pid_ > 0 && !ended()) {
      const size_t before = output_.size() + errorLine_.size() + endsAnswered_;
      collect(10);
      if (!keep) {
        output_.clear();
        outputStart_ = 0;
      }
      if (output_.size() + errorLine_.size() + endsAnswered_ != before) lastProgress = Clock::now();
      else if (Clock::now() - lastProgress > answerLimit_) return hangs();
      if (keep && givenUp()) return;
    }
  }

  // Until a sample or the end is there; a program that answers nothing for the limit is ended.
  void awaitSamplesOrEnd() {
    auto lastProgress = Clock::now();
    while (pid_ > 0 && buffered() < 2 && !ended()) {
      const size_t before = output_.size() + errorLine_.size();
      collect(10);
      if (output_.size() + errorLine_.size() != before) lastProgress = Clock::now();
      else if (Clock::now() - lastProgress > answerLimit_) return hangs();
      if (givenUp()) return;
    }
  }

  // Whether nobody wants the utterance any more; then the program is started afresh at the next
  // reset rather than waited for (it may be stopped).
  bool givenUp() {
    if (!goOn_ || goOn_()) return false;
    abandoned_ = true;
    return true;
  }

  void hangs() {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g",
                  static_cast<double>(std::chrono::duration_cast<milliseconds>(answerLimit_).count()) / 1000);
    noteError(words::MbrolaStoppedAnswering.with({seconds}));
    failed_ = true;
    hung_ = true;
    stop();
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
    // Options come before the database; -e makes an unknown diphone a warning, which the end
    // phone relies on.
    // MBROLA's output keeps its own buffering: it writes pieces of a few kilobytes and everything at
    // each flush, so the samples cost a few system calls a second of sound.
    std::vector<std::string> arguments = {program_, "-e", database_, "-", "-"};
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
    // Room for many seconds of sound: while MBROLA is behind the lines, it keeps making samples
    // without waiting for us, and we wait for it to read more rather than for each of its writes.
    largeOutputPipe_ = fcntl(outputFd_, F_SETPIPE_SZ, kOutputPipeBytes) >= kOutputPipeBytes;
    setNonBlocking(errorFd_);
    error_ = 0;
    errorText_.clear();
    errorLine_.clear();
    seriousText_ = false;
    hung_ = false;
    endsAsked_ = endsAnswered_ = 0;
    openLines_ = false;
    return true;
  }

  // Waits up to limit for the program to end, draining its output so it is never stuck writing.
  bool reapWithin(Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
      }
      if (Clock::now() >= deadline) return false;
      drain(outputFd_, nullptr);
      drain(errorFd_, nullptr);
      const timespec step = {0, 2'000'000};
      nanosleep(&step, nullptr);
    }
  }

  // Ends the co-process: end of input first, so it leaves on its own; then SIGTERM; then SIGKILL.
  // Never waits without a bound: a process that outlives even SIGKILL is left behind.
  void stop() {
    pending_.clear();
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    // One known to answer nothing is not waited for; a stopped one (SIGSTOP) is continued, or
    // SIGTERM would wait for it.
    if (pid_ > 0 && (hung_ || abandoned_ || !reapWithin(kOwnEndGrace))) {
      kill(pid_, SIGTERM);
      kill(pid_, SIGCONT);
      if (!reapWithin(kTermGrace)) {
        kill(pid_, SIGKILL);
        reapWithin(kKillGrace);
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
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // Whatever it said last explains why it ended; samples it wrote before are still taken.
    drain(errorFd_, &errorLine_);
    takeErrorLines(true);
    std::string bytes;
    drain(outputFd_, &bytes);
    output_.insert(output_.end(), bytes.begin(), bytes.end());
    if (errorText_.empty() || error_ == 0)
      noteError(errorText_.empty() ? words::MbrolaEnded.with({std::to_string(exitStatus_)}) : errorText_);
    // It owed samples or an answer: the utterance is incomplete.
    if (openLines_ || !ended()) failed_ = true;
    // Reap once only: the process is gone.
    pid_ = -2;
    return false;
  }

  // Reads what is there without waiting; false at end of file.
  static bool drain(int fd, std::string* into) {
    if (fd < 0) return false;
    char buffer[65536];  // a whole pipe's worth
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        if (into) into->append(buffer, static_cast<size_t>(n));
        // Less than asked: the pipe is empty for now (no extra call to hear EAGAIN).
        if (static_cast<size_t>(n) < sizeof buffer) return true;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      return !(n == 0);
    }
  }

  // Complete lines of standard error: the end phone's warnings are counted; other warnings and
  // errors become the last error text, a fatal one also the last error.
  void takeErrorLines(bool atEnd) {
    size_t end;
    while ((end = errorLine_.find('\n')) != std::string::npos || (atEnd && !errorLine_.empty())) {
      if (end == std::string::npos) end = errorLine_.size();
      std::string line = errorLine_.substr(0, end);
      errorLine_.erase(0, std::min(end + 1, errorLine_.size()));
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      if (line.empty()) continue;
      if (mentionsEndPhone(line)) {
        if (announcesEnd(line)) ++endsAnswered_;
        continue;
      }
      std::string lower = line;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
      const bool serious = lower.find("fatal") != std::string::npos || lower.find("error") != std::string::npos ||
                           lower.find("panic") != std::string::npos;
      // MBROLA follows a fatal error with lines of advice (its web address last): the error is the cause.
      if (serious || !seriousText_) errorText_ = line.substr(0, 255);
      // The program ends after a fatal error or a PANIC: it has failed even while its end is not yet
      // seen (a loaded machine), and must not be restarted as if it had only refused a line.
      if (serious) {
        error_ = -1;
        seriousText_ = true;
        failed_ = true;
      }
    }
    // A flood of text with no line end is cut: only its last words matter.
    if (errorLine_.size() > 4096) errorLine_.erase(0, errorLine_.size() - 256);
  }

  // Until the first samples of an utterance come, the program is given time to read what it was
  // sent: on a busy machine it would otherwise get no processor before every line was written, and
  // the first sound would wait for all of them. Once it has read everything and still says nothing,
  // it needs more lines (MBROLA speaks a phone or two behind): waiting longer would only delay them.
  void waitForFirstSamples() {
    const auto start = Clock::now();
    while (firstSoundWaited_ + (Clock::now() - start) < kFirstSoundWaitLimit && buffered() < 2 && error_ == 0 &&
           pid_ > 0) {
      int unread = 0;
      if (ioctl(input_, FIONREAD, &unread) != 0 || unread == 0) break;
      pollfd output = {outputFd_, POLLIN, 0};
      const timespec step = {0, kFirstSoundStepNs};
      ppoll(&output, 1, &step, nullptr);
      collect(0);
    }
    firstSoundWaited_ += Clock::now() - start;
  }

  // Collects output and messages; waits up to timeoutMs for either to arrive.
  void collect(int timeoutMs) {
    if (pid_ <= 0) return;
    pollfd fds[2] = {{outputFd_, POLLIN, 0}, {errorFd_, POLLIN, 0}};
    const int ready = poll(fds, 2, timeoutMs);
    takeReady(fds[0].revents, fds[1].revents, ready == 0 && timeoutMs > 0);
  }

  // Reads the pipes poll found ready; looks whether the program still runs when one ended or a wait
  // found nothing (one system call a pipe with something in it, none for an empty one).
  void takeReady(short outputEvents, short errorEvents, bool quiet) {
    constexpr short kReady = POLLIN | POLLHUP | POLLERR;
    bool ended = false;
    // Messages first: every sample written before the end phone's warning is then in the pipe.
    if (errorEvents & kReady) {
      ended = !drain(errorFd_, &errorLine_) || ended;
      takeErrorLines(false);
    }
    if (outputEvents & kReady) {
      std::string bytes;
      ended = !drain(outputFd_, &bytes) || ended;
      output_.insert(output_.end(), bytes.begin(), bytes.end());
    }
    if (ended || quiet || ((outputEvents | errorEvents) & (POLLHUP | POLLERR))) alive();
  }

  // Writes all bytes, taking output meanwhile so neither side waits on a full pipe.
  bool writeAll(const char* data, size_t size) {
    if (input_ < 0) return false;
    // A dead reader must not end this process: SIGPIPE is held while writing and taken afterwards.
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    bool ok = true;
    bool refused = false;
    bool stalled = false;
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
      const size_t before = output_.size() + errorLine_.size();
      if (largeOutputPipe_) collect(0);
      pollfd fds[3] = {{input_, POLLOUT, 0}, {errorFd_, POLLIN, 0}, {outputFd_, POLLIN, 0}};
      const int ready = poll(fds, largeOutputPipe_ ? 2 : 3, 20);
      takeReady(largeOutputPipe_ ? 0 : fds[2].revents, fds[1].revents,
                ready == 0 || (fds[0].revents & (POLLERR | POLLHUP)));
      if (output_.size() + errorLine_.size() != before) lastProgress = Clock::now();
      if (pid_ <= 0) {
        ok = false;
        break;
      }
      if (Clock::now() - lastProgress > answerLimit_) {
        stalled = true;
        ok = false;
        break;
      }
      if (givenUp()) {
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
    if (!ok && abandoned_) return false;  // not a failure: the lines are no longer wanted
    if (!ok) noteWriteFailure(refused, stalled);
    return ok;
  }

  void noteWriteFailure(bool refused, bool stalled) {
    // A refused write means the program is ending: its closing words (a database it cannot find,
    // say) are on its standard error once it has ended.
    if (refused && pid_ > 0 && reapWithin(kOwnEndGrace)) {
      pid_ = -2;
      drain(errorFd_, &errorLine_);
      takeErrorLines(true);
      if (error_ == 0 || errorText_.empty())
        noteError(errorText_.empty() ? words::MbrolaEnded.with({std::to_string(exitStatus_)}) : errorText_);
    }
    if (stalled) hangs();
    if (error_ == 0) noteError(words::MbrolaTakesNoMoreLines.str());
    failed_ = true;
  }

  std::string program_;
  std::string pending_;  // lines not yet written
  Clock::time_point lastExchange_{};  // when the pipes were last written and read
  Clock::duration answerLimit_;
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
  int exitStatus_ = 0;
  bool seriousText_ = false;  // the error text is an error's, not a warning's or advice
  bool failed_ = false;       // the program failed this utterance (ended, hung or flooded)
  bool hung_ = false;         // it was ended for answering nothing
  bool abandoned_ = false;    // a wait on it was given up: it may be stopped
  bool largeOutputPipe_ = false;  // its output pipe holds kOutputPipeBytes
  std::function<bool()> goOn_;  // asked during the waits (setPatience)
  bool openLines_ = false;    // lines written since the last end phone
  long long endsAsked_ = 0;   // end phones sent
  long long endsAnswered_ = 0;
  UtteranceBudget budget_;
  int phoneLines_ = 0;        // lines with a phone since the last reset
  Clock::duration firstSoundWaited_{};  // spent waiting for the utterance's first samples
};

}  // namespace

std::vector<std::string> MbrolaPlaces::defaultLibraryNames() { return {"libmbrola.so", "libmbrola.so.3", "mbrola.so"}; }

long long mbrolaSampleLimit(double samplesAsked) {
  // MBROLA places pitch periods its own way (a few hundred samples either side); a voice recorded
  // at 22050 Hz gives 1.38 times the samples of the engine's 16000.
  constexpr double kMostAsked = 1e15;  // a duration no line means: past it, no bound is needed
  return static_cast<long long>(std::clamp(samplesAsked, 0.0, kMostAsked) * 1.5) + 16000;
}

namespace {
bool isRegularFile(const std::string& path, bool executable) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (!executable || access(path.c_str(), X_OK) == 0);
}

// dlopen blocks for ever on a FIFO and fails oddly on folders and devices: it is handed only
// regular files (a bare name is looked for as the loader would, in LD_LIBRARY_PATH's folders).
bool safeToOpen(const std::string& name, const std::vector<std::string>& libraryFolders) {
  if (name.find('/') != std::string::npos) return isRegularFile(name, false);
  for (const std::string& folder : libraryFolders) {
    const std::string candidate = folder + "/" + name;
    struct stat info {};
    if (::stat(candidate.c_str(), &info) == 0) return S_ISREG(info.st_mode);
  }
  return true;
}
}  // namespace

std::string findProgram(const std::string& name, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::string candidate = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + name;
    if (isRegularFile(candidate, true)) return candidate;
  }
  return {};
}

MbrolaBound bindMbrolaLibrary(const std::string& name, const std::vector<std::string>& libraryFolders) {
  using platform::Status, platform::StatusCode;
  if (!safeToOpen(name, libraryFolders))
    return {nullptr, Status::failure(StatusCode::Malformed, words::MbrolaLibraryNotAFile.with({name}))};
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return {nullptr, Status::failure(StatusCode::NotFound, words::MbrolaLibraryMissing.with({name}))};
  for (const char* call : kMbrolaCalls) {
    if (!dlsym(handle, call)) {
      dlclose(handle);
      return {nullptr, Status::failure(StatusCode::Malformed, words::MbrolaLibraryLacksCall.with({name, call}))};
    }
  }
  return {std::make_unique<LibraryBinding>(handle, name), {}};
}

std::unique_ptr<MbrolaBinding> bindMbrolaProgram(const std::string& programPath, const MbrolaPlaces& places) {
  return std::make_unique<ProgramBinding>(programPath, places.answerLimitMs);
}

MbrolaBound bindMbrola(const MbrolaPlaces& places) {
  platform::Status why = platform::Status::failure(platform::StatusCode::NotFound, words::MbrolaNotFound.str());
  for (const std::string& name : places.libraries) {
    MbrolaBound library = bindMbrolaLibrary(name, places.libraryFolders);
    if (library.binding) return library;
    // A library that exists but cannot be used is worth telling about.
    if (library.status.code() != platform::StatusCode::NotFound) why = std::move(library.status);
  }
  const std::string program = findProgram("mbrola", places.programFolders);
  if (!program.empty()) return {bindMbrolaProgram(program, places), {}};
  return {nullptr, std::move(why)};
}

}  // namespace kaldro::tts

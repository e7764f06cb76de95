// The output module's command line, places and loop.
#include "sd_kaldro/module_loop.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string_view>

#include "platform/standard_options.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::app {

namespace {

constexpr size_t kLineLimit = ModuleProtocol::MaxMessageBytes;
// After QUIT, a job still running (MBROLA not answering) is given this long before the module ends
// without it.
constexpr std::chrono::milliseconds kQuitGrace{300};

// False when the server is gone.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The server's lines as they come, each handed to the protocol; a line without end that outgrows
// any message is dropped as it comes.
class LineReader {
 public:
  // False when the server has gone.
  bool read(ModuleProtocol& protocol, std::string& reply) {
    char chunk[65536];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return false;
    if (n > 0) pending_.append(chunk, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n', start)) {
      if (overlong_) {
        reply += protocol.takeOverlongLine();
        overlong_ = false;
      } else {
        reply += protocol.takeLine(std::string_view(pending_).substr(start, end - start));
      }
      start = end + 1;
      if (protocol.quitRequested()) break;
    }
    pending_.erase(0, start);
    if (pending_.size() > kLineLimit) {
      pending_.clear();
      overlong_ = true;
    }
    return true;
  }

 private:
  std::string pending_;
  bool overlong_ = false;
};

// Ends the module's own child processes (MBROLA), which a quick end would otherwise leave behind,
// stopped or waiting.
void endChildren() {
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return;
  while (const dirent* task = ::readdir(tasks)) {
    if (task->d_name[0] == '.') continue;
    std::ifstream children(std::string("/proc/self/task/") + task->d_name + "/children");
    for (pid_t child = 0; children >> child;) ::kill(child, SIGKILL);
  }
  ::closedir(tasks);
}

}  // namespace

std::optional<int> answerModuleCommandLine(const std::vector<std::string>& arguments) {
  if (platform::answerStandardOption(arguments, "sd_kaldro", platform::words::ModuleHelp)) return 0;
  if (arguments.size() == 1 && arguments[0] == "-h") {
    std::cout << platform::utf8Lines(platform::words::ModuleHelp);
    return 0;
  }
  if (arguments.size() > 1) {
    std::cerr << platform::utf8Lines(platform::words::ModuleHelp);
    return 2;
  }
  return std::nullopt;
}

platform::ConfigLocations moduleLocations(const platform::RunOptions& run) {
  platform::ConfigLocations locations = platform::configLocations(run);
  const std::string exeFolderParent = locations.prefix;  // the folder above the executable's
  if (platform::executablePath().find("/speech-dispatcher-modules/") != std::string::npos) {
    const size_t slash = exeFolderParent.rfind('/');
    const std::string prefix = slash == std::string::npos || slash == 0 ? "/" : exeFolderParent.substr(0, slash);
    for (std::string& folder : locations.systemFolders)
      if (folder == exeFolderParent + "/etc/kaldro") folder = prefix + "/etc/kaldro";
    locations.prefix = prefix;
  }
  return locations;
}

tts::EnginePlaces moduleEnginePlaces(const platform::RunOptions& run) {
  tts::EnginePlaces places;
  places.mbrola.programFolders = run.programFolders;
  places.mbrola.libraryFolders = run.libraryFolders;
  return places;
}

// A regular file of at most 1 MB, opened without waiting (a FIFO never written to would keep INIT
// from being answered; /dev/zero has no end). Anything else is said on standard error and the
// module runs on its defaults.
std::string readModuleConfiguration(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return {};
  constexpr off_t kLargestConfiguration = 1 << 20;
  const std::string& path = arguments.front();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};  // none: the defaults, as always
  struct stat info{};
  std::string why;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    why = platform::words::ModuleConfigNotRegular.utf8();
  else if (info.st_size > kLargestConfiguration)
    why = platform::words::ModuleConfigTooLarge.utf8();
  std::string text;
  char buffer[8192];
  while (why.empty()) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (text.size() > static_cast<size_t>(kLargestConfiguration)) why = platform::words::ModuleConfigTooLarge.utf8();
  }
  ::close(fd);
  if (why.empty()) return text;
  const std::string line = "sd_kaldro: " + platform::words::ModuleConfigIgnored.utf8({path, why}) + "\n";
  [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
  return {};
}

WakePipe::WakePipe() {
  if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
    status_ = platform::Status::failure(platform::StatusCode::Refused, "pipe: " + std::string(std::strerror(errno)));
}

WakePipe::~WakePipe() {
  for (const int fd : fds_)
    if (fd >= 0) ::close(fd);
}

void WakePipe::signal() const {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(fds_[1], &byte, 1);
}

void WakePipe::drain() const {
  char chunk[256];
  while (::read(fds_[0], chunk, sizeof chunk) > 0) {
  }
}

void logModuleLine(const std::string& cp1252) {
  const std::string line = "sd_kaldro: " + platform::cp1252ToUtf8(cp1252) + "\n";
  [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

int runModuleLoop(ModuleProtocol& protocol, SpeechWorker& worker, const WakePipe& wake) {
  LineReader lines;
  int status = 0;
  while (!protocol.quitRequested()) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake.readEnd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      status = 1;
      break;
    }
    std::string reply;
    if (fds[1].revents & POLLIN) {
      wake.drain();
      reply += deliverWorkerOutput(protocol, worker.take(), logModuleLine);
    }
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) && !lines.read(protocol, reply)) break;
    if (!reply.empty() && !writeAll(STDOUT_FILENO, reply)) {
      status = 1;
      break;
    }
  }
  worker.cancel(UINT64_MAX);
  // A module whose voices never started has failed, whatever ended it.
  if (!protocol.initialised()) status = 1;
  if (!worker.idleWithin(kQuitGrace)) {
    endChildren();
    std::_Exit(status);
  }
  return status;
}

}  // namespace kaldro::app

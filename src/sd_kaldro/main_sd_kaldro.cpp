// sd_kaldro: the Speech Dispatcher output module of kaldro's voices, speaking the module protocol on
// standard input and output and sending its sound to the server.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "sd_kaldro/module_protocol.h"
#include "sd_kaldro/module_voices.h"
#include "sd_kaldro/module_worker.h"
#include "platform/config.h"
#include "platform/text.h"
#include "platform/words.h"

namespace {

using namespace kaldro;

constexpr size_t kLineLimit = app::ModuleProtocol::MaxMessageBytes;

void logLine(const std::string& cp1252) {
  const std::string line = "sd_kaldro: " + platform::cp1252ToUtf8(cp1252) + "\n";
  [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

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

// The module lives in PREFIX/lib/speech-dispatcher-modules: its tree is two folders up, not one.
platform::ConfigLocations moduleLocations(const platform::RunOptions& run) {
  platform::ConfigLocations locations = platform::configLocations(run);
  const std::string exeFolderParent = locations.prefix;  // the folder above the executable's
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  const std::string exe = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  if (exe.find("/speech-dispatcher-modules/") != std::string::npos) {
    const size_t slash = exeFolderParent.rfind('/');
    const std::string prefix = slash == std::string::npos || slash == 0 ? "/" : exeFolderParent.substr(0, slash);
    for (std::string& folder : locations.systemFolders)
      if (folder == exeFolderParent + "/etc/kaldro") folder = prefix + "/etc/kaldro";
    locations.prefix = prefix;
  }
  return locations;
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << platform::utf8Lines(platform::words::ModuleHelp);
    return 0;
  }
  if (argc > 2) {
    std::cerr << platform::utf8Lines(platform::words::ModuleHelp);
    return 2;
  }
  ::signal(SIGPIPE, SIG_IGN);  // a server gone is a failed write, not a killed module

  const app::ModuleOptions options = app::readModuleOptions(argc > 1 ? readFile(argv[1]) : std::string());
  const platform::RunOptions run = platform::RunOptions::fromEnvironment();
  const platform::Configuration config(moduleLocations(run));

  int wakePipe[2];
  if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    logLine("pipe: " + std::string(std::strerror(errno)));
    return 1;
  }
  // The run's folders, where MBROLA is looked for.
  tts::EnginePlaces places;
  places.mbrola.programFolders = run.programFolders;
  places.mbrola.libraryFolders = run.libraryFolders;
  app::ModuleSpeaker speaker(config, options, std::move(places));
  app::SpeechWorker worker(speaker, [fd = wakePipe[1]] {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(fd, &byte, 1);  // a full pipe already wakes
  });
  app::SpeakingModule host(speaker, worker);
  app::ModuleProtocol protocol(host);

  std::string pending;
  bool overlong = false;
  char chunk[65536];
  int status = 0;
  while (!protocol.quitRequested()) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      status = 1;
      break;
    }
    std::string reply;
    if (fds[1].revents & POLLIN) {
      while (::read(wakePipe[0], chunk, sizeof chunk) > 0) {
      }
      reply += app::deliverWorkerOutput(protocol, worker.take(), logLine);
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
      if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;  // the server has gone
      if (n > 0) pending.append(chunk, static_cast<size_t>(n));
      size_t start = 0;
      for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
        if (overlong) {
          reply += protocol.takeOverlongLine();
          overlong = false;
        } else {
          reply += protocol.takeLine(std::string_view(pending).substr(start, end - start));
        }
        start = end + 1;
        if (protocol.quitRequested()) break;
      }
      pending.erase(0, start);
      // A line without end that outgrows any message is dropped as it comes.
      if (pending.size() > kLineLimit) {
        pending.clear();
        overlong = true;
      }
    }
    if (!reply.empty() && !writeAll(STDOUT_FILENO, reply)) {
      status = 1;
      break;
    }
  }
  worker.cancel(UINT64_MAX);
  // A module whose voices never started has failed, whatever ended it.
  return protocol.initialised() ? status : 1;
}

// A speech-dispatcher of a test's own, ended by its process id.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/program_run.h"

extern char** environ;

namespace kaldro::engines::testing {

// The modules a daemon loads: AddModule and DefaultModule lines, and each module file's text.
struct DaemonModules {
  std::string lines = "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\nDefaultModule espeak-ng\n";
  std::vector<std::pair<std::string, std::string>> files = {{"espeak-ng.conf", ""}};
};

// A speech-dispatcher of the test's own: its configuration, socket and log in a scratch folder,
// the eSpeak NG module unless told others, and ALSA's null device, so that no sound card is needed.
class SpeechDaemon {
 public:
  // logLevel 4 logs each text as it goes to the speech module ("Module speak!").
  explicit SpeechDaemon(const DaemonModules& modules = {}, int logLevel = 2) {
    const std::string program = "/usr/bin/speech-dispatcher";
    if (::access(program.c_str(), X_OK) != 0) {
      failure = "speech-dispatcher is not installed (Debian package speech-dispatcher)";
      return;
    }
    std::filesystem::create_directories(folder.file("conf/modules"));
    folder.write("conf/speechd.conf", modules.lines +
                                          "AudioOutputMethod \"alsa\"\n"
                                          "AudioALSADevice \"null\"\n"
                                          "LogLevel " + std::to_string(logLevel) + "\n");
    for (const auto& [name, text] : modules.files) folder.write("conf/modules/" + name, text);
    socket = folder.file("speechd.sock");
    start();
  }

  // Starts it (again, after it was killed), on the same socket; failure says why not.
  void start() {
    const std::string program = "/usr/bin/speech-dispatcher";
    failure.clear();
    const std::vector<std::string> arguments{program, "-s", "-t", "0", "-C", folder.file("conf"), "-S", socket,
                                             "-P", folder.file("speechd.pid"), "-L", folder.path()};
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::unlink(socket.c_str());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = folder.file("speechd.out");
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      pid_ = 0;
      failure = "speech-dispatcher could not be started";
      return;
    }
    // Ready once its socket exists (well under a second here).
    for (int tries = 0; tries < 200; ++tries) {
      struct stat info;
      if (::stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) return;
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        failure = "speech-dispatcher ended at once: " + folder.read("speechd.out").substr(0, 400);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    failure = "speech-dispatcher did not open its socket within 10 s";
  }

  // Sends it a signal (SIGSTOP, SIGCONT); SIGKILL also reaps it.
  void signal(int number) {
    if (pid_ <= 0) return;
    ::kill(pid_, number);
    if (number == SIGKILL) {
      ::waitpid(pid_, nullptr, 0);
      pid_ = 0;
    }
  }

  // Ended by its process id; it may ignore SIGTERM, so SIGKILL follows.
  ~SpeechDaemon() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGCONT);
    ::kill(pid_, SIGTERM);
    for (int tries = 0; tries < 40; ++tries) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

  // Waits (at most limitMs) until a text has gone to the speech module; needs logLevel 4.
  bool waitUntilSpeaking(int limitMs = 60000) const {
    const std::string marker = "Module speak!";
    std::string unread;
    std::streamoff offset = 0;
    for (int waited = 0; waited < limitMs; waited += 50) {
      // The log grows by megabytes while the voices are listed: only its new part is read.
      std::ifstream log(folder.file("speech-dispatcher.log"), std::ios::binary);
      if (log && log.seekg(offset)) {
        std::string added((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        offset += static_cast<std::streamoff>(added.size());
        unread = unread.substr(unread.size() > marker.size() ? unread.size() - marker.size() : 0) + added;
        if (unread.find(marker) != std::string::npos) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // What SPEECHD_ADDRESS says to reach it.
  std::string address() const { return "unix_socket:" + socket; }

  kaldro::testing::ScratchFolder folder;
  std::string socket;
  std::string failure;  // empty when it runs

 private:
  pid_t pid_ = 0;
};

}  // namespace kaldro::engines::testing

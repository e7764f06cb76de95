// sd_kaldro under a real speech-dispatcher of the test's own, reached as every desktop program
// reaches it: spd-say waits for the end, is stopped mid-way, and lists the module's voices.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engines/speech_daemon.h"
#include "support/program_run.h"

namespace kaldro::testing {
namespace {

const std::string kModule = std::string(KALDRO_BIN_DIR) + "/sd_kaldro";

// A client program started now; its status once it ends (-1: still running when given up).
class Client {
 public:
  Client(const std::vector<std::string>& arguments, const std::string& outputFile) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Client() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  int waitFor(std::chrono::milliseconds most) {
    const auto deadline = std::chrono::steady_clock::now() + most;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t pid_ = 0;
};

TEST(SdKaldroWithSpeechDispatcher, SaysWaitsStopsAndLists) {
  if (::access("/usr/bin/spd-say", X_OK) != 0)
    GTEST_SKIP() << "spd-say is not installed (Debian package speech-dispatcher; tools/install-deps.sh --tests)";
  ScratchFolder kaldroConfig;
  kaldroConfig.write("KALDRO.INI", "[ORMIATTS]\nMBROLA_DB=/nenhuma/voz/br4\n");
  ScopedEnvironment config("KALDRO_CONFIG_DIR", kaldroConfig.path().c_str());
  engines::testing::DaemonModules modules;
  modules.lines = "AddModule \"kaldro\" \"" + kModule + "\" \"kaldro.conf\"\nDefaultModule kaldro\n";
  modules.files = {{"kaldro.conf", "KaldroDefaultVoice \"kaldro-embutida\"\n"}};
  engines::testing::SpeechDaemon daemon(modules);
  if (!daemon.failure.empty()) GTEST_SKIP() << daemon.failure;
  ScopedEnvironment address("SPEECHD_ADDRESS", daemon.address().c_str());
  const std::string said = kaldroConfig.file("spd-say.out");

  // The voices as Orca asks for them.
  Client list({"/usr/bin/spd-say", "-o", "kaldro", "-L"}, said);
  ASSERT_EQ(list.waitFor(std::chrono::seconds(20)), 0) << readFile(said);
  EXPECT_NE(readFile(said).find("kaldro-embutida"), std::string::npos) << readFile(said);
  EXPECT_NE(readFile(said).find("pt-BR"), std::string::npos) << readFile(said);

  // -w returns once the module has told the end of the message.
  Client greeting({"/usr/bin/spd-say", "-w", "-o", "kaldro", "-l", "pt-BR", "Bom dia"}, said);
  ASSERT_EQ(greeting.waitFor(std::chrono::seconds(30)), 0) << readFile(said) << daemon.folder.read("kaldro.log");

  // A text of minutes, stopped by another client a moment after it starts: the waiting client
  // hears of the stop long before the text could have been read.
  std::string text;
  for (int i = 0; i < 60; ++i) text += "Esta é a frase " + std::to_string(i) + " de um texto muito comprido. ";
  Client reader({"/usr/bin/spd-say", "-w", "-o", "kaldro", text}, kaldroConfig.file("reader.out"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(reader.waitFor(std::chrono::milliseconds(0)), -1) << "the long text ended before the stop";
  Client stopper({"/usr/bin/spd-say", "-S"}, kaldroConfig.file("stopper.out"));
  EXPECT_EQ(stopper.waitFor(std::chrono::seconds(20)), 0);
  EXPECT_EQ(reader.waitFor(std::chrono::seconds(20)), 0)
      << readFile(kaldroConfig.file("reader.out")) << daemon.folder.read("kaldro.log");
}

}  // namespace
}  // namespace kaldro::testing

// Every program ends promptly on SIGTERM, SIGINT and SIGHUP, through its normal end: the trace's
// exit line is written, whatever host and sound device it runs on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/program_run.h"
#include "support/speech_rig.h"

extern char** environ;

namespace kaldro::testing {
namespace {

struct Ended {
  bool ended = false;
  int status = -1;        // exit status when it exited
  int killedBy = 0;       // the signal when it was killed
  double seconds = 0;     // from the signal to the end
};

// Starts program with the environment given (on top of this process's own, without a display),
// standard input from a pipe kept open, sends the signal after delayMs and waits up to 5 s.
Ended signalAfter(const std::string& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment, int signalNumber, int delayMs) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    std::string text(*entry);
    if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 || text.rfind("KALDRO_", 0) == 0)
      continue;
    variables.push_back(text);
  }
  variables.insert(variables.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (auto& text : variables) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<std::string> argumentTexts{std::string(KALDRO_BIN_DIR) + "/" + program};
  argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : argumentTexts) argv.push_back(text.data());
  argv.push_back(nullptr);

  int input[2];
  EXPECT_EQ(::pipe(input), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_addclose(&actions, input[1]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(input[0]);
  Ended result;
  if (error != 0) {
    ::close(input[1]);
    return result;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  ::kill(child, signalNumber);
  const auto sent = std::chrono::steady_clock::now();
  int status = 0;
  while (std::chrono::steady_clock::now() - sent < std::chrono::seconds(5)) {
    if (::waitpid(child, &status, WNOHANG) == child) {
      result.ended = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
  if (!result.ended) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
  } else if (WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.killedBy = WTERMSIG(status);
  }
  ::close(input[1]);
  return result;
}

TEST(EndingSignals, KaldroFalaEndsPromptlyOnEveryDevice) {
  speech::testing::Voice voice;
  std::string longText;
  for (int i = 0; i < 400; ++i) longText += "ba ba ba. ";
  struct Case {
    std::vector<std::string> arguments;
    std::string audio;
  };
  // Speaking a long text in real time, and waiting for lines on standard input.
  const Case cases[] = {{{longText}, "none"}, {{longText}, "device"}, {{}, "none"}, {{}, "device"}};
  for (const Case& c : cases) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
      const std::string trace = voice.folder.file("trace.txt");
      std::remove(trace.c_str());
      Ended ended = signalAfter("kaldro-fala", c.arguments,
                                {"KALDRO_CONFIG_DIR=" + voice.folder.path(), "KALDRO_AUDIO=" + c.audio,
                                 "KALDRO_TRACE=" + trace, "XDG_CONFIG_HOME=" + voice.folder.file(".config")},
                                signalNumber, 300);
      const std::string what = std::string(c.arguments.empty() ? "stdin" : "text") + " " + c.audio + " signal " +
                               std::to_string(signalNumber);
      ASSERT_TRUE(ended.ended) << what;
      EXPECT_EQ(ended.status, 255) << what;
      EXPECT_LT(ended.seconds, 1.5) << what;
      EXPECT_THAT(readFile(trace), ::testing::HasSubstr("exit 255")) << what;
    }
  }
}

TEST(EndingSignals, PlumarOnTheHeadlessHostEndsThroughItsNormalEnd) {
  ScratchFolder folder;
  folder.write("modelo.txt", "{NOME}\n");
  folder.write("carta.txt", "antiga\n");
  // The key script is standard input, which stays open: the program waits for it.
  Ended ended = signalAfter("plumar", {"modelo.txt"},
                            {"KALDRO_HOST=headless", "KALDRO_CONFIG_DIR=" + folder.path(),
                             "KALDRO_TRACE=" + folder.file("trace.txt"), "KALDRO_SCREEN=" + folder.file("tela.txt")},
                            SIGTERM, 300);
  ASSERT_TRUE(ended.ended);
  EXPECT_LT(ended.seconds, 1.5);
  EXPECT_EQ(folder.read("carta.txt"), "antiga\n");
}

}  // namespace
}  // namespace kaldro::testing

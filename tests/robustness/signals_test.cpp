// Every program ends promptly on SIGTERM, SIGINT and SIGHUP, through its normal end: the trace's
// exit line is written, whatever host and sound device it runs on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
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

// Starts program with the environment given (on top of this process's own, without a display;
// a variable given replaces this process's), standard input from a pipe kept open, sends the
// signal (and secondSignal at once after it, when given) once ready() says so (checked every 10 ms,
// at most 20 s) and waits up to 5 s.
Ended signalWhen(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, int signalNumber, const std::function<bool()>& ready,
                 int secondSignal = 0) {
  auto given = [&](const std::string& text) {
    const std::string name = text.substr(0, text.find('=') + 1);
    return std::any_of(environment.begin(), environment.end(),
                       [&](const std::string& variable) { return variable.rfind(name, 0) == 0; });
  };
  std::vector<std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    std::string text(*entry);
    if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 || text.rfind("KALDRO_", 0) == 0 ||
        given(text))
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
  for (const auto start = std::chrono::steady_clock::now();
       !ready() && std::chrono::steady_clock::now() - start < std::chrono::seconds(20);)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::kill(child, signalNumber);
  if (secondSignal != 0) ::kill(child, secondSignal);
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

Ended signalAfter(const std::string& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment, int signalNumber, int delayMs) {
  const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
  return signalWhen(program, arguments, environment, signalNumber,
                    [&] { return std::chrono::steady_clock::now() >= due; });
}

// An X server of the test's own (Xvfb on a free display) while the object lives; display() is empty
// when Xvfb is not installed or did not start.
class PrivateXServer {
 public:
  PrivateXServer() {
    int number[2];
    if (::pipe(number) != 0) return;
    const std::string fd = std::to_string(number[1]);
    std::vector<std::string> argumentTexts{"Xvfb", "-displayfd", fd, "-screen", "0", "800x600x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& text : argumentTexts) argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, number[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int error = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(number[1]);
    if (error != 0) pid_ = 0;
    // The server writes its display number once it accepts clients.
    std::string digits;
    pollfd wait{number[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && ::poll(&wait, 1, 10000) > 0 && ::read(number[0], &c, 1) == 1 && c != '\n') digits += c;
    ::close(number[0]);
    if (!digits.empty()) display_ = ":" + digits;
  }
  ~PrivateXServer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = 0;
  std::string display_;
};

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
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    ScratchFolder folder;
    folder.write("modelo.txt", "{NOME}\n");
    folder.write("carta.txt", "antiga\n");
    // The key script is standard input, which stays open: the program waits for it.
    Ended ended = signalAfter("plumar", {"modelo.txt"},
                              {"KALDRO_HOST=headless", "KALDRO_CONFIG_DIR=" + folder.path(),
                               "KALDRO_TRACE=" + folder.file("trace.txt"), "KALDRO_SCREEN=" + folder.file("tela.txt")},
                              signalNumber, 300);
    const std::string what = "signal " + std::to_string(signalNumber) + " killed by " + std::to_string(ended.killedBy);
    ASSERT_TRUE(ended.ended) << what;
    EXPECT_LT(ended.seconds, 1.5) << what;
    EXPECT_EQ(ended.status, 255) << what;
    EXPECT_THAT(folder.read("trace.txt"), ::testing::HasSubstr("exit 255")) << what;
    EXPECT_EQ(folder.read("carta.txt"), "antiga\n") << what;
  }
}

// A session ending sends SIGTERM and SIGHUP at once: the second signal must not cut the program's
// normal end short (the screen dump, the trace, a half letter removed); only the same signal twice does.
TEST(EndingSignals, PlumarMeetsTwoSignalsAtOnceThroughItsNormalEnd) {
  for (auto [first, second] : {std::pair{SIGTERM, SIGHUP}, std::pair{SIGHUP, SIGTERM}, std::pair{SIGINT, SIGTERM}}) {
    ScratchFolder folder;
    folder.write("modelo.txt", "Prezado {NOME},\n");
    folder.write("carta.txt", "antiga\n");
    const std::string trace = folder.file("trace.txt");
    // The key script is standard input, which stays open: the program waits for it.
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    Ended ended = signalWhen("plumar", {folder.file("modelo.txt")},
                             {"KALDRO_HOST=headless", "KALDRO_CONFIG_DIR=" + folder.path(), "KALDRO_TRACE=" + trace},
                             first, [&] { return std::chrono::steady_clock::now() >= due; }, second);
    const std::string what = "signals " + std::to_string(first) + " " + std::to_string(second);
    ASSERT_TRUE(ended.ended) << what;
    EXPECT_EQ(ended.killedBy, 0) << what;
    EXPECT_EQ(ended.status, 255) << what;
    EXPECT_THAT(readFile(trace), ::testing::HasSubstr("exit 255")) << what;
    EXPECT_EQ(folder.read("carta.txt"), "antiga\n") << what;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"carta.txt", "modelo.txt", "trace.txt"})) << what;
  }
}

// The window library turns SIGTERM and SIGINT into its own quit message but leaves SIGHUP (the
// session ending) to kill the program; every one of them must end it through its normal end.
TEST(EndingSignals, PlumarOnTheWindowHostEndsThroughItsNormalEnd) {
  PrivateXServer server;
  if (server.display().empty()) GTEST_SKIP() << "Xvfb is not installed or did not start";
  // Mesa's GL driver leaks and is unloaded before the leak check (see the hosts_xvfb test).
  std::string sanitizerOptions = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  if (const size_t at = sanitizerOptions.find("detect_leaks=1"); at != std::string::npos)
    sanitizerOptions.replace(at, 14, "detect_leaks=0");
  for (int signalNumber : {SIGHUP, SIGTERM, SIGINT}) {
    ScratchFolder folder;
    folder.write("modelo.txt", "{NOME}\n");
    folder.write("carta.txt", "antiga\n");
    const std::string trace = folder.file("trace.txt");
    // Signalled once it asks for the output's name: the window is open and waiting for keys.
    Ended ended = signalWhen("plumar", {folder.file("modelo.txt")},
                             {"DISPLAY=" + server.display(), "SDL_VIDEODRIVER=x11", "KALDRO_HOST=window",
                              "KALDRO_AUDIO=none", "KALDRO_CONFIG_DIR=" + folder.path(), "KALDRO_TRACE=" + trace,
                              "XDG_CONFIG_HOME=" + folder.file(".config"), "ASAN_OPTIONS=" + sanitizerOptions},
                             signalNumber, [&] { return readFile(trace).find("say ") != std::string::npos; });
    const std::string what = "signal " + std::to_string(signalNumber);
    ASSERT_TRUE(ended.ended) << what;
    EXPECT_EQ(ended.killedBy, 0) << what;
    EXPECT_EQ(ended.status, 255) << what;
    EXPECT_LT(ended.seconds, 1.5) << what;
    EXPECT_THAT(readFile(trace), ::testing::HasSubstr("exit 255")) << what;
    EXPECT_EQ(folder.read("carta.txt"), "antiga\n") << what;
  }
}

}  // namespace
}  // namespace kaldro::testing

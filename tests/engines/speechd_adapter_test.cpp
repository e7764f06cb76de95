// The Speech Dispatcher adapter: its logic against a stand-in service, then against a real
// speech-dispatcher started by the test with its own configuration and no sound card.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine_rig.h"
#include "engines/speechd_adapter.h"

extern char** environ;

namespace kaldro::engines {
namespace {

using testing::EngineRig;

// What the stand-in service was asked, and how it answers.
struct ServiceState {
  bool connects = true;
  std::vector<std::string> voices{"primeira", "segunda"};
  bool sayRefused = false;
  bool cancelWorks = true;
  // The service reports the end of the texts after this many waits; -1: never.
  int endAfterWaits = 2;

  int clientsMade = 0;
  std::vector<std::string> voicesSet;
  std::vector<int> rates;
  std::vector<std::string> said;
  int cancels = 0;
  int disconnects = 0;
  int64_t lastId = 100;
  int64_t finished = 0;
  int64_t clock = 0;
  int waitsLeft = -1;
};

class FakeService final : public SpeechServiceClient {
 public:
  explicit FakeService(ServiceState& state) : state_(state) {}
  bool connect(const std::string&) override { return state_.connects; }
  std::vector<std::string> synthesisVoices() override { return state_.voices; }
  bool setVoice(const std::string& name) override {
    state_.voicesSet.push_back(name);
    return true;
  }
  bool setRate(int rate) override {
    state_.rates.push_back(rate);
    return true;
  }
  int64_t say(const std::string& text) override {
    if (state_.sayRefused) return 0;
    state_.said.push_back(text);
    state_.waitsLeft = state_.endAfterWaits;
    return ++state_.lastId;
  }
  bool cancelAll() override {
    ++state_.cancels;
    return state_.cancelWorks;
  }
  void disconnect() override { ++state_.disconnects; }
  int64_t lastFinished() const override { return state_.finished; }
  void waitForFinished(int64_t, int milliseconds) override {
    state_.clock += milliseconds;
    if (state_.waitsLeft > 0 && --state_.waitsLeft == 0) state_.finished = state_.lastId;
  }
  int64_t nowMs() override { return state_.clock; }

 private:
  ServiceState& state_;
};

struct FakeRig : EngineRig {
  FakeRig()
      : adapter(console, "kaldro-teste", [this](std::function<void()>) {
          ++state.clientsMade;
          return std::make_unique<FakeService>(state);
        }) {}
  // The wake messages waiting for the program's thread.
  int wakes() {
    int count = 0;
    while (auto event = host.pollEvent())
      if (event->kind == platform::EventKind::Wake && event->cookie == SynthWakeMessage) ++count;
    return count;
  }
  ServiceState state;
  SpeechdAdapter adapter;
};

TEST(SpeechdAdapterLogic, HarmlessBeforeStart) {
  FakeRig rig;
  rig.adapter.speak("nada");
  rig.adapter.stop();
  EXPECT_FALSE(rig.adapter.busy(false));
  rig.adapter.finish();
  EXPECT_EQ(rig.state.clientsMade, 0);
}

TEST(SpeechdAdapterLogic, StartRefusals) {
  const struct {
    const char* why;
    bool connects;
    bool voices;
    const char* file;
    int clientsMade, disconnects;
  } cases[] = {
      {"no service", false, true, "", 1, 0},
      {"no voices", true, false, "", 1, 1},
      {"an output file", true, true, "fala.wav", 0, 0},
  };
  for (const auto& c : cases) {
    FakeRig rig;
    rig.state.connects = c.connects;
    if (!c.voices) rig.state.voices.clear();
    EXPECT_FALSE(rig.adapter.start(1, 0, 0, c.file)) << c.why;
    EXPECT_EQ(rig.state.clientsMade, c.clientsMade) << c.why;
    EXPECT_EQ(rig.state.disconnects, c.disconnects) << c.why;
    rig.adapter.speak("texto");
    EXPECT_TRUE(rig.state.said.empty()) << c.why;
    EXPECT_FALSE(rig.adapter.busy(false)) << c.why;
  }
}

TEST(SpeechdAdapterLogic, VoiceNumberAndRate) {
  const struct {
    int voice, speed;
    std::vector<std::string> voiceSet;
    int rate;
  } cases[] = {
      {1, 5, {"primeira"}, 50},  {2, -3, {"segunda"}, -30}, {2, 0, {"segunda"}, 0},
      {0, 5, {}, 0},             {3, 7, {}, 0},             {-1, 4, {}, 0},
      {1, 15, {"primeira"}, 100}, {1, -20, {"primeira"}, -100},
  };
  for (const auto& c : cases) {
    FakeRig rig;
    ASSERT_TRUE(rig.adapter.start(c.voice, c.speed, 9, ""));
    EXPECT_EQ(rig.state.voicesSet, c.voiceSet) << c.voice << " " << c.speed;
    EXPECT_EQ(rig.state.rates, std::vector<int>{c.rate}) << c.voice << " " << c.speed;
  }
}

TEST(SpeechdAdapterLogic, TextsConvertedAndEmptySpeaksABlank) {
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, ""));
  rig.adapter.speak("");
  rig.adapter.speak("a\xE7\xE3o \x80 5");
  EXPECT_EQ(rig.state.said, (std::vector<std::string>{" ", "a\xC3\xA7\xC3\xA3o \xE2\x82\xAC 5"}));
  EXPECT_EQ(rig.host.beeps, 0);
}

TEST(SpeechdAdapterLogic, RefusedTextBeepsAndLeavesItQuiet) {
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, ""));
  rig.state.sayRefused = true;
  rig.adapter.speak("recusado");
  EXPECT_EQ(rig.host.beeps, 1);
  EXPECT_FALSE(rig.adapter.busy(false));
}

TEST(SpeechdAdapterLogic, BusyUntilTheEndNoticeAndEachTrueAnswerWakes) {
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, ""));
  rig.state.endAfterWaits = 3;
  rig.adapter.speak("um");
  rig.wakes();
  EXPECT_TRUE(rig.adapter.busy(false));
  EXPECT_EQ(rig.wakes(), 1);
  EXPECT_TRUE(rig.adapter.busy(true));
  EXPECT_EQ(rig.wakes(), 1);
  EXPECT_FALSE(rig.adapter.busy(false));  // the notice came during the third wait
  EXPECT_EQ(rig.wakes(), 0);
  EXPECT_EQ(rig.state.clock, 3 * SpeechdAdapter::BusyWaitMs);
}

TEST(SpeechdAdapterLogic, ALostEndNoticeEndsAtTheTimeLimit) {
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, ""));
  rig.state.endAfterWaits = -1;
  const std::string text(40, 'x');
  rig.adapter.speak(text);
  int polls = 0;
  while (rig.adapter.busy(false) && polls < 100000) ++polls;
  const int64_t limit = SpeechdAdapter::SpeechLimitMs + SpeechdAdapter::PerCharacterLimitMs * 40;
  EXPECT_GE(rig.state.clock, limit);
  EXPECT_LT(rig.state.clock, limit + 2 * SpeechdAdapter::BusyWaitMs);
  // Later texts are awaited again.
  rig.adapter.speak("de novo");
  EXPECT_TRUE(rig.adapter.busy(false));
}

TEST(SpeechdAdapterLogic, StopCancelsAndNothingIsAwaitedAfter) {
  for (bool cancelWorks : {true, false}) {
    FakeRig rig;
    ASSERT_TRUE(rig.adapter.start(1, 0, 0, ""));
    rig.state.endAfterWaits = -1;
    rig.state.cancelWorks = cancelWorks;
    rig.adapter.speak("um");
    rig.adapter.speak("dois");
    const int64_t before = rig.host.monotonicMs();
    rig.adapter.stop();
    EXPECT_EQ(rig.state.cancels, 1);
    EXPECT_EQ(rig.host.monotonicMs() - before, cancelWorks ? SpeechdAdapter::StopPauseMs : 0);
    EXPECT_FALSE(rig.adapter.busy(false)) << cancelWorks;
  }
}

TEST(SpeechdAdapterLogic, FinishWaitsForTheEndThenDisconnects) {
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, ""));
  rig.state.endAfterWaits = 4;
  rig.adapter.speak("fim");
  rig.adapter.finish();
  EXPECT_EQ(rig.state.finished, rig.state.lastId);
  EXPECT_EQ(rig.state.disconnects, 1);
  EXPECT_FALSE(rig.adapter.busy(false));
  rig.adapter.speak("depois");
  EXPECT_EQ(rig.state.said.size(), 1u);
  // Started again after a finish, with a fresh connection.
  ASSERT_TRUE(rig.adapter.start(2, 0, 0, ""));
  EXPECT_EQ(rig.state.clientsMade, 2);
}

// A speech-dispatcher of the test's own: its configuration, socket and log in a scratch folder,
// the eSpeak NG module, and ALSA's null device, so that no sound card is needed.
class SpeechDaemon {
 public:
  SpeechDaemon() {
    const std::string program = "/usr/bin/speech-dispatcher";
    if (::access(program.c_str(), X_OK) != 0) {
      failure = "speech-dispatcher is not installed (Debian package speech-dispatcher)";
      return;
    }
    std::filesystem::create_directories(folder.file("conf/modules"));
    folder.write("conf/speechd.conf",
                 "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                 "DefaultModule espeak-ng\n"
                 "AudioOutputMethod \"alsa\"\n"
                 "AudioALSADevice \"null\"\n"
                 "LogLevel 2\n");
    folder.write("conf/modules/espeak-ng.conf", "");
    socket = folder.file("speechd.sock");
    const std::vector<std::string> arguments{program, "-s", "-t", "0", "-C", folder.file("conf"), "-S", socket,
                                             "-P", folder.file("speechd.pid"), "-L", folder.path()};
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
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

  // Ended by its process id; it may ignore SIGTERM, so SIGKILL follows.
  ~SpeechDaemon() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int tries = 0; tries < 40; ++tries) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

  kaldro::testing::ScratchFolder folder;
  std::string socket;
  std::string failure;  // empty when it runs

 private:
  pid_t pid_ = 0;
};

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(SpeechdAdapterReal, StartListSpeakBusyStop) {
  SpeechDaemon daemon;
  if (!daemon.failure.empty()) GTEST_SKIP() << daemon.failure;
  const std::string address = "unix_socket:" + daemon.socket;
  kaldro::testing::ScopedEnvironment addressed("SPEECHD_ADDRESS", address.c_str());
  EngineRig rig;
  auto adapter = makeSpeechdAdapter(rig.console);
  auto& speechd = static_cast<SpeechdAdapter&>(*adapter);

  EXPECT_FALSE(adapter->start(1, 0, 0, rig.folder.file("fala.wav")));  // the service writes no files
  Clock::time_point began = Clock::now();
  ASSERT_TRUE(adapter->start(1, 0, 0, ""));
  std::printf("connected and %zu voices listed in %.0f ms\n", speechd.voices().size(), millisecondsSince(began));
  EXPECT_GT(speechd.voices().size(), 100u);

  began = Clock::now();
  adapter->speak("Bom dia. Este \xE9 um teste da fala pelo servi\xE7o de fala da \xE1rea de trabalho.");
  EXPECT_TRUE(adapter->busy(false));
  int polls = rig.waitWhileBusy(*adapter, 1000);
  EXPECT_FALSE(adapter->busy(false));
  std::printf("first text over after %.0f ms, %d polls\n", millisecondsSince(began), polls);
  EXPECT_LT(polls, 1000);

  // Texts queue: both end.
  began = Clock::now();
  adapter->speak("um");
  adapter->speak("dois");
  polls = rig.waitWhileBusy(*adapter, 1000);
  EXPECT_LT(polls, 1000);
  std::printf("two texts over after %.0f ms\n", millisecondsSince(began));

  // An empty text is said as a blank, whose end is reported too (not left to the time limit).
  began = Clock::now();
  adapter->speak("");
  rig.waitWhileBusy(*adapter, 1000);
  EXPECT_LT(millisecondsSince(began), SpeechdAdapter::SpeechLimitMs);
  std::printf("a blank over after %.0f ms\n", millisecondsSince(began));

  // Stopped at once.
  adapter->speak(std::string(2000, 'a') + " fim");
  EXPECT_TRUE(adapter->busy(false));
  adapter->stop();
  EXPECT_FALSE(adapter->busy(false));

  began = Clock::now();
  adapter->finish();
  EXPECT_LT(millisecondsSince(began), 2000);
  EXPECT_FALSE(adapter->busy(false));
}

}  // namespace
}  // namespace kaldro::engines

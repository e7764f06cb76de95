// The Speech Dispatcher adapter: its logic against a stand-in service, then against a real
// speech-dispatcher started by the test with its own configuration and no sound card.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine_rig.h"
#include "speech_daemon.h"
#include "engines/speechd_adapter.h"

namespace kaldro::engines {
namespace {

using testing::EngineRig;
using testing::SpeechDaemon;

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
      if (event->kind == platform::EventKind::Wake && event->cookie == kSynthWakeMessage) ++count;
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

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(SpeechdAdapterReal, StartListSpeakBusyStop) {
  SpeechDaemon daemon;
  if (!daemon.failure.empty()) GTEST_SKIP() << daemon.failure;
  const std::string address = daemon.address();
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

// A service that takes the connection and never answers, as one stuck on its sound device does.
TEST(SpeechdAdapterReal, AServiceThatNeverAnswersMakesTheStartFailInTime) {
  kaldro::testing::ScratchFolder folder;
  const std::string path = folder.file("mudo.sock");
  const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listening, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listening, 4), 0);
  const std::string reach = "unix_socket:" + path;
  kaldro::testing::ScopedEnvironment addressed("SPEECHD_ADDRESS", reach.c_str());
  EngineRig rig;
  auto adapter = makeSpeechdAdapter(rig.console);
  const Clock::time_point began = Clock::now();
  EXPECT_FALSE(adapter->start(1, 0, 0, ""));
  EXPECT_LT(millisecondsSince(began), 12000);
  EXPECT_FALSE(adapter->busy(false));
  adapter->speak("nada");
  ::close(listening);  // the blocked call ends with the connection
}

}  // namespace
}  // namespace kaldro::engines

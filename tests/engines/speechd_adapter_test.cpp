// The Speech Dispatcher adapter: its logic against a stand-in service, then against a real
// speech-dispatcher started by the test with its own configuration and no sound card.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine_rig.h"
#include "speech_daemon.h"
#include "engines/speechd_adapter.h"
#include "platform/words.h"

namespace kaldro::engines {
namespace {

using testing::EngineRig;
using testing::SpeechDaemon;

// What the stand-in service was asked, and how it answers.
struct ServiceState {
  bool connects = true;
  std::vector<EngineVoice> voices{{"primeira", "af", ""}, {"Portuguese (Brazil)", "pt-BR", ""}, {"segunda", "en", ""}};
  bool sayRefused = false;
  bool cancelWorks = true;
  // The service reports the end of the texts after this many waits; -1: never.
  int endAfterWaits = 2;
  // The connection in use closes after this many waits (-1: never); whether a new one can be made then.
  int closeAfterWaits = -1;
  bool backAfterClosing = true;
  bool answersProbes = true;
  bool stuck = false;  // every call times out
  int closedClient = 0;  // the number of the connection the service closed

  int clientsMade = 0;
  std::vector<std::string> voicesSet, languagesSet;
  std::vector<int> rates;
  std::vector<std::string> said;  // "<client> <text>"
  int cancels = 0;
  int disconnects = 0;
  int probes = 0;
  int64_t lastId = 100;
  int64_t finished = 0;
  int64_t clock = 0;
  int64_t life = 0;
  int waitsLeft = -1;
};

class FakeService final : public SpeechServiceClient {
 public:
  FakeService(ServiceState& state, int number) : state_(state), number_(number) {}
  bool connect(const std::string&) override { return state_.connects; }
  std::vector<EngineVoice> synthesisVoices() override { return state_.voices; }
  bool setVoice(const std::string& name) override {
    state_.voicesSet.push_back(name);
    return true;
  }
  bool setLanguage(const std::string& code) override {
    state_.languagesSet.push_back(code);
    return true;
  }
  bool setRate(int rate) override {
    state_.rates.push_back(rate);
    return true;
  }
  int64_t say(const std::string& text) override {
    if (state_.sayRefused || state_.stuck || connectionClosed()) return 0;
    state_.said.push_back(std::to_string(number_) + " " + text);
    state_.waitsLeft = state_.endAfterWaits;
    state_.life = state_.clock;
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
    if (!connectionClosed() && state_.closeAfterWaits > 0 && --state_.closeAfterWaits == 0) {
      state_.closedClient = number_;
      state_.connects = state_.backAfterClosing;
    }
    if (!connectionClosed() && state_.waitsLeft > 0 && --state_.waitsLeft == 0) state_.finished = state_.lastId;
  }
  int64_t nowMs() override { return state_.clock; }
  bool connectionClosed() override { return state_.closedClient == number_; }
  bool stuck() const override { return state_.stuck; }
  void probe() override {
    ++state_.probes;
    if (state_.answersProbes) state_.life = state_.clock;
  }
  int64_t lastSignOfLifeMs() const override { return state_.life; }

 private:
  ServiceState& state_;
  int number_;
};

struct FakeRig : EngineRig {
  FakeRig()
      : adapter(console, "kaldro-teste", [this](std::function<void()>) {
          ++state.clientsMade;
          return std::make_unique<FakeService>(state, state.clientsMade);
        }) {}
  // The wake messages waiting for the program's thread.
  int wakes() {
    int count = 0;
    while (auto event = host.pollEvent())
      if (event->kind == platform::EventKind::Wake && event->cookie == kSynthWakeMessage) ++count;
    return count;
  }
  // Polls busy as the speech services do; the service's clock when it answered false.
  int64_t waitWhileBusy() {
    for (int polls = 0; adapter.busy(false) && polls < 100000; ++polls) {
    }
    return state.clock;
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
    platform::Cp1252Words said;
  } cases[] = {
      {"no service", false, true, "", 1, 0, platform::words::SpeechServiceMissing},
      {"no voices", true, false, "", 1, 1, platform::words::SpeechServiceWithoutVoices},
      {"an output file", true, true, "fala.wav", 0, 0, platform::words::SpeechServiceWritesNoFiles},
  };
  for (const auto& c : cases) {
    FakeRig rig;
    rig.state.connects = c.connects;
    if (!c.voices) rig.state.voices.clear();
    const platform::Status started = rig.adapter.start(1, 0, 0, c.file);
    EXPECT_FALSE(started.ok()) << c.why;
    EXPECT_EQ(rig.state.clientsMade, c.clientsMade) << c.why;
    EXPECT_EQ(rig.state.disconnects, c.disconnects) << c.why;
    EXPECT_EQ(started.message(), c.said.str()) << c.why;
    EXPECT_TRUE(rig.adapter.speechLost().ok()) << c.why;
    rig.adapter.speak("texto");
    EXPECT_TRUE(rig.state.said.empty()) << c.why;
    EXPECT_FALSE(rig.adapter.busy(false)) << c.why;
  }
}

TEST(SpeechdAdapterLogic, VoiceByNumberOrNameElseBrazilianPortuguese) {
  const struct {
    int voice;
    std::string name;
    int speed;
    std::vector<std::string> voiceSet, languageSet;
    int rate;
  } cases[] = {
      {1, "", 5, {"primeira"}, {}, 50},
      {3, "", -3, {"segunda"}, {}, -30},
      {1, "", 15, {"primeira"}, {}, 100},
      {1, "", -20, {"primeira"}, {}, -100},
      // No voice given: the service's voice for Brazilian Portuguese; one that is not there: at its own rate.
      {0, "", 5, {}, {"pt-BR"}, 50},
      {4, "", 7, {}, {"pt-BR"}, 0},
      {-1, "", 4, {}, {"pt-BR"}, 0},
      // A name takes the place of the number, whatever its case.
      {0, "portuguese (brazil)", 2, {"Portuguese (Brazil)"}, {}, 20},
      {1, "Portuguese_(Brazil)", 0, {"Portuguese (Brazil)"}, {}, 0},
      {1, "nenhuma", 3, {}, {"pt-BR"}, 0},
  };
  for (const auto& c : cases) {
    FakeRig rig;
    rig.adapter.setVoiceName(c.name);
    ASSERT_TRUE(rig.adapter.start(c.voice, c.speed, 9, "").ok());
    const std::string row = std::to_string(c.voice) + " " + c.name;
    EXPECT_EQ(rig.state.voicesSet, c.voiceSet) << row;
    EXPECT_EQ(rig.state.languagesSet, c.languageSet) << row;
    EXPECT_EQ(rig.state.rates, std::vector<int>{c.rate}) << row;
  }
}

TEST(SpeechdAdapterLogic, TextsConvertedAndEmptySpeaksABlank) {
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, "").ok());
  rig.adapter.speak("");
  rig.adapter.speak("a\xE7\xE3o \x80 5");
  EXPECT_EQ(rig.state.said, (std::vector<std::string>{"1  ", "1 a\xC3\xA7\xC3\xA3o \xE2\x82\xAC 5"}));
  EXPECT_EQ(rig.host.beeps, 0);
}

TEST(SpeechdAdapterLogic, RefusedTextBeepsAndLeavesItQuiet) {
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, "").ok());
  rig.state.sayRefused = true;
  rig.adapter.speak("recusado");
  EXPECT_EQ(rig.host.beeps, 1);
  EXPECT_FALSE(rig.adapter.busy(false));
}

TEST(SpeechdAdapterLogic, BusyUntilTheEndNoticeAndEachTrueAnswerWakes) {
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, "").ok());
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

// The service going away, or going quiet, while the first of two texts is spoken (or, without a
// second, before the end): how long the wait lasts, what is said on which connection, what is lost.
TEST(SpeechdAdapterLogic, AServiceThatGoesAwayOrStopsAnswering) {
  const std::string gone = platform::words::SpeechServiceGone.str();
  const std::string silent = platform::words::SpeechServiceSilent.str();
  const int64_t textLimit = SpeechdAdapter::SpeechLimitMs + SpeechdAdapter::PerCharacterLimitMs * 2;
  const struct {
    const char* what;
    int closeAfterWaits;
    bool back, answersProbes, second;
    int64_t firstWaitMs;  // the clock when busy turned false after the first text
    std::vector<std::string> said;
    std::string lost;
  } cases[] = {
      {"killed, back for the next text", 3, true, true, true, 60, {"1 um", "2 um", "2 dois"}, ""},
      {"killed, never back", 3, false, true, true, 60, {"1 um"}, gone},
      {"killed during the last text, back at the end", 3, true, true, false, 60, {"1 um", "2 um"}, ""},
      {"killed during the last text, never back", 3, false, true, false, 60, {"1 um"}, gone},
      {"stopped: answers nothing", -1, true, false, true, SpeechdAdapter::UnresponsiveMs, {"1 um"}, silent},
      {"alive but never tells the end", -1, true, true, true, textLimit, {"1 um", "1 dois"}, ""},
  };
  for (const auto& c : cases) {
    FakeRig rig;
    ASSERT_TRUE(rig.adapter.start(1, 0, 0, "").ok());
    rig.state.endAfterWaits = -1;
    rig.state.closeAfterWaits = c.closeAfterWaits;
    rig.state.backAfterClosing = c.back;
    rig.state.answersProbes = c.answersProbes;
    rig.adapter.speak("um");
    const int64_t firstWait = rig.waitWhileBusy();
    EXPECT_GE(firstWait, c.firstWaitMs) << c.what;
    EXPECT_LE(firstWait, c.firstWaitMs + SpeechdAdapter::BusyWaitMs) << c.what;
    rig.state.endAfterWaits = 2;  // a new connection tells the end
    if (c.second) {
      rig.adapter.speak("dois");
      rig.waitWhileBusy();
    }
    rig.adapter.finish();
    EXPECT_EQ(rig.state.said, c.said) << c.what;
    EXPECT_EQ(rig.adapter.speechLost().message(), c.lost) << c.what;
    EXPECT_EQ(!rig.adapter.speechLost().ok(), !c.lost.empty()) << c.what;
    EXPECT_EQ(rig.host.beeps, 0) << c.what;
    // A new connection is told the same voice.
    const size_t connections = c.back ? rig.state.clientsMade : 1;
    EXPECT_EQ(rig.state.voicesSet, std::vector<std::string>(connections, "primeira")) << c.what;
  }
  // Restarted while nothing was spoken: the next text goes to the new one.
  FakeRig rig;
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, "").ok());
  rig.adapter.speak("um");
  rig.waitWhileBusy();
  rig.state.closedClient = 1;
  rig.adapter.speak("dois");
  rig.waitWhileBusy();
  EXPECT_EQ(rig.state.said, (std::vector<std::string>{"1 um", "2 dois"}));
  // Stopped between texts: the text cannot be given, and that is the loss, not a beep.
  rig.state.stuck = true;
  rig.adapter.speak("tr\xEAs");
  EXPECT_EQ(rig.adapter.speechLost().message(), platform::words::SpeechServiceSilent.str());
  EXPECT_EQ(rig.host.beeps, 0);
}

TEST(SpeechdAdapterLogic, StopCancelsAndNothingIsAwaitedAfter) {
  for (bool cancelWorks : {true, false}) {
    FakeRig rig;
    ASSERT_TRUE(rig.adapter.start(1, 0, 0, "").ok());
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
  ASSERT_TRUE(rig.adapter.start(1, 0, 0, "").ok());
  rig.state.endAfterWaits = 4;
  rig.adapter.speak("fim");
  rig.adapter.finish();
  EXPECT_EQ(rig.state.finished, rig.state.lastId);
  EXPECT_EQ(rig.state.disconnects, 1);
  EXPECT_FALSE(rig.adapter.busy(false));
  rig.adapter.speak("depois");
  EXPECT_EQ(rig.state.said.size(), 1u);
  // Started again after a finish, with a fresh connection.
  ASSERT_TRUE(rig.adapter.start(2, 0, 0, "").ok());
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

  EXPECT_FALSE(adapter->start(1, 0, 0, rig.folder.file("fala.wav")).ok());  // the service writes no files
  Clock::time_point began = Clock::now();
  ASSERT_TRUE(adapter->start(1, 0, 0, "").ok());
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

// A text that keeps the service busy for seconds, even on ALSA's null device.
std::string longText() {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "Esta \xE9 uma frase longa para o teste da fala. ";
  return text;
}

// The private service killed, restarted and stopped (SIGSTOP) in the middle of a long text.
TEST(SpeechdAdapterReal, KilledRestartedAndStoppedMidSpeech) {
  SpeechDaemon daemon;
  if (!daemon.failure.empty()) GTEST_SKIP() << daemon.failure;
  const std::string address = daemon.address();
  kaldro::testing::ScopedEnvironment addressed("SPEECHD_ADDRESS", address.c_str());
  // libspeechd would start the desktop's own service in place of a missing one.
  kaldro::testing::ScopedEnvironment noSpawning("SPEECHD_CMD", "/bin/false");
  EngineRig rig;
  auto adapter = makeSpeechdAdapter(rig.console);
  ASSERT_TRUE(adapter->start(0, 0, 0, "").ok());
  // Speaks the long text and, once the service is at it, does fault to it; how long busy then
  // stayed true.
  auto midSpeech = [&](const std::function<void()>& fault) {
    adapter->speak(longText());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(adapter->busy(false));
    fault();
    const Clock::time_point began = Clock::now();
    rig.waitWhileBusy(*adapter);
    return millisecondsSince(began);
  };

  const double killedMs = midSpeech([&] { daemon.signal(SIGKILL); });
  std::printf("killed: the wait ended %.0f ms later\n", killedMs);
  EXPECT_LT(killedMs, 1000);
  EXPECT_EQ(adapter->speechLost().message(), "");
  // Back: the next text goes to the new service, after the text that was cut off.
  daemon.start();
  ASSERT_EQ(daemon.failure, "");
  Clock::time_point began = Clock::now();
  adapter->speak("De volta.");
  rig.waitWhileBusy(*adapter);
  std::printf("restarted: the cut text and the next one over after %.0f ms\n", millisecondsSince(began));
  EXPECT_EQ(adapter->speechLost().message(), "");

  const double stoppedMs = midSpeech([&] { daemon.signal(SIGSTOP); });
  std::printf("stopped: reported %.0f ms later\n", stoppedMs);
  EXPECT_EQ(adapter->speechLost().message(), platform::words::SpeechServiceSilent.str());
  EXPECT_LT(stoppedMs, SpeechdAdapter::UnresponsiveMs + 1000);
  began = Clock::now();
  adapter->finish();
  std::printf("finish after the loss: %.0f ms\n", millisecondsSince(began));
  EXPECT_LT(millisecondsSince(began), 1000);
  daemon.signal(SIGCONT);

  // Killed and never back: the next text tells the loss. The woken service first answers what
  // waited for it, which on a loaded machine can outlast one start's time limit.
  bool started = false;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    started = adapter->start(0, 0, 0, "").ok();
    if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ASSERT_TRUE(started);
  EXPECT_EQ(adapter->speechLost().message(), "");
  midSpeech([&] { daemon.signal(SIGKILL); });
  began = Clock::now();
  adapter->speak("Ningu\xE9m ouve.");
  std::printf("killed for good: loss known %.0f ms later\n", millisecondsSince(began));
  EXPECT_EQ(adapter->speechLost().message(), platform::words::SpeechServiceGone.str());
  EXPECT_FALSE(adapter->busy(false));
  adapter->finish();
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
  EXPECT_FALSE(adapter->start(1, 0, 0, "").ok());
  EXPECT_LT(millisecondsSince(began), 12000);
  EXPECT_FALSE(adapter->busy(false));
  adapter->speak("nada");
  ::close(listening);  // the blocked call ends with the connection
}

}  // namespace
}  // namespace kaldro::engines

// The engine dispatcher's routing and waits, and the Portuguese engine's adapter over the MBROLA
// stand-in: settings, factors, keys, wake messages, and the speech services driving it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engines/engine_adapters.h"
#include "engines/engine_dispatcher.h"
#include "engines/ormia_adapter.h"
#include "platform/text.h"
#include "speech/speech.h"
#include "engine_rig.h"
#include "support/mbrola_rig.h"
#include "support/speech_rig.h"

namespace kaldro::testing {
namespace {

using engines::EngineFamily;
using ::testing::ElementsAre;

const char* familyName(EngineFamily family) {
  switch (family) {
    case EngineFamily::Ormia: return "ormia";
    case EngineFamily::SpeechDispatcher: return "speechd";
    case EngineFamily::ESpeak: return "espeak";
  }
  return "?";
}

// Records every call with the adapter's family; busy answers true for busyPolls polls.
struct RecordingAdapter : engines::EngineAdapter {
  RecordingAdapter(EngineFamily family, std::vector<std::string>& calls) : family(family), calls(calls) {}
  platform::Status start(int voice, int speed, int pitch, const std::string& file) override {
    calls.push_back(std::string(familyName(family)) + " start " + std::to_string(voice) + " " + std::to_string(speed) +
                    " " + std::to_string(pitch) + " [" + file + "]");
    return startAnswer ? platform::Status() : platform::Status::failure(platform::StatusCode::Refused, {});
  }
  void finish() override { calls.push_back(std::string(familyName(family)) + " finish"); }
  void speak(std::string_view text) override { calls.push_back(std::string(familyName(family)) + " speak " + std::string(text)); }
  bool busy(bool queuedOnly) override {
    calls.push_back(std::string(familyName(family)) + (queuedOnly ? " busy queued" : " busy"));
    if (busyPolls <= 0) return false;
    --busyPolls;
    return true;
  }
  void stop() override { calls.push_back(std::string(familyName(family)) + " stop"); }

  EngineFamily family;
  std::vector<std::string>& calls;
  bool startAnswer = true;
  int busyPolls = 0;
};

struct DispatcherRig {
  DispatcherRig()
      : host(trace, ""),
        config(platform::ConfigLocations{{folder.path()}, folder.path(), folder.path()}),
        console(host, config, "kaldro-teste"),
        device(host),
        player(console, device),
        dispatcher(console, [this](EngineFamily family) {
          auto adapter = std::make_unique<RecordingAdapter>(family, calls);
          adapter->busyPolls = busyAfterStart;
          made.push_back(family);
          return adapter;
        }) {}

  ScratchFolder folder;
  platform::Trace trace;
  platform::HostHeadless host;
  platform::Configuration config;
  console::Console console;
  platform::AudioDeviceNone device;
  audio::WavPlayer player;
  std::vector<std::string> calls;
  std::vector<EngineFamily> made;
  int busyAfterStart = 0;
  engines::EngineDispatcher dispatcher;
};

TEST(EngineDispatcher, KindsGoToTheirAdapters) {
  struct Case {
    int kind;
    const char* family;
  };
  const Case cases[] = {{3, "ormia"}, {4, "espeak"}, {5, "speechd"}, {6, "espeak"}, {54, "speechd"},
                        {0, "espeak"}, {1, "espeak"}, {-3, "espeak"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    DispatcherRig rig;
    ASSERT_TRUE(rig.dispatcher.synthStart(7, 2, -1, "f.wav", c.kind));
    EXPECT_EQ(rig.dispatcher.engineKind(), c.kind);
    rig.dispatcher.synthSpeak("oi");
    rig.dispatcher.synthBusy(false);
    rig.dispatcher.synthStop();
    rig.dispatcher.synthFinish();
    const std::string f = c.family;
    EXPECT_THAT(rig.calls, ElementsAre(f + " start 7 2 -1 [f.wav]", f + " busy queued", f + " speak oi", f + " busy",
                                       f + " stop", f + " finish"));
  }
}

TEST(EngineDispatcher, BeforeAnyStartEverythingIsHarmlessAndNotBusy) {
  DispatcherRig rig;
  EXPECT_EQ(rig.dispatcher.engineKind(), 4);
  EXPECT_FALSE(rig.dispatcher.synthBusy(false));
  // The adapters of this build, with no eSpeak NG library given and Speech Dispatcher sought where
  // it cannot be (and not started by libspeechd): nothing starts and nothing speaks.
  kaldro::testing::ScopedEnvironment noService("SPEECHD_ADDRESS", "unix_socket:/nonexistent/speechd.sock");
  engines::EngineDispatcher real(rig.console, engines::builtInAdapters({rig.console, rig.config, rig.player}));
  EXPECT_FALSE(real.synthBusy(false));
  real.synthSpeak("nada");
  real.synthStop();
  EXPECT_FALSE(real.synthStart(0, 0, 0, "", 4));
  EXPECT_FALSE(real.synthStart(0, 0, 0, "", 5));
}

TEST(EngineDispatcher, StartWaitsForAQuietEngineAndAFailedStartDoesNot) {
  struct Case {
    bool starts;
    int busyPolls;
    int64_t waitedMs;
  };
  for (const Case& c : {Case{true, 0, 0}, Case{true, 3, 150}, Case{false, 3, 0}}) {
    DispatcherRig rig;
    rig.busyAfterStart = c.busyPolls;
    // The adapter is made on first use; its answer to start is set through the factory's record.
    rig.dispatcher.synthSpeak("");  // makes the kind-4 adapter, not the one started below
    auto& adapter = static_cast<RecordingAdapter&>(rig.dispatcher.selected());
    adapter.startAnswer = c.starts;
    const int64_t before = rig.host.monotonicMs();
    EXPECT_EQ(rig.dispatcher.synthStart(0, 0, 0, "", 4), c.starts);
    EXPECT_EQ(rig.host.monotonicMs() - before, c.waitedMs);
  }
}

// The adapter over the stand-in program; its voice is given by path in KALDRO.INI.
struct AdapterRig : engines::testing::EngineRig {
  explicit AdapterRig(tts::MbrolaPlaces mbrola = programOnly(), std::string_view script = "")
      : EngineRig(script), adapter(console, config, player, doublePlaces(folder, mbrola)) {}
  // The utterances speak these lines, whatever the text.
  void speakLines(std::vector<std::string> lines) {
    adapter.engine().setLineMaker([lines](std::string_view, double, double) { return lines; });
  }
  engines::OrmiaAdapter adapter;
};

TEST(OrmiaAdapter, SpeedAndPitchBecomeFactorsEvenWhenTheStartFails) {
  struct Case {
    int speed, pitch;
    double duration, pitchFactor;
  };
  // Values out of -10..10 (a KALDRO.INI may give -1000) are held at its ends.
  const Case cases[] = {{0, 0, 0.8, 1.0},
                        {3, 0, 0.6, 1.0},
                        {-3, 10, 1.0, 21 / 11.0},
                        {-1000, -1000, 0.8 + 10 / 15.0, 1 / 11.0},
                        {1000, 1000, 0.8 - 10 / 15.0, 21 / 11.0}};
  for (const tts::MbrolaPlaces& places : {programOnly(), nowhere()}) {
    for (const Case& c : cases) {
      AdapterRig rig(places);
      EXPECT_EQ(rig.adapter.start(7, c.speed, c.pitch, "").ok(), places.programFolders.size() > 0);
      EXPECT_NEAR(rig.adapter.engine().durationFactor(), c.duration, 1e-12);
      EXPECT_NEAR(rig.adapter.engine().pitchFactor(), c.pitchFactor, 1e-12);
    }
  }
}

TEST(OrmiaAdapter, BeforeStartOrAfterAFailedStartItIsQuiet) {
  AdapterRig rig(nowhere());
  EXPECT_FALSE(rig.adapter.busy(false));
  EXPECT_FALSE(rig.adapter.start(0, 0, 0, "").ok());
  rig.adapter.speak("nada");
  EXPECT_FALSE(rig.adapter.busy(false));
  rig.adapter.finish();
  EXPECT_EQ(rig.device.bytes, 0u);
}

TEST(OrmiaAdapter, SpeaksInTheBackgroundWakesTheHostAndAKeyStopsIt) {
  // A key pressed 300 ms into 0.8 s of speech: short enough to fit the player's ring of four blocks
  // however the engine's reads cut the samples (one read, or MBROLA's 4 KB pieces under load), so
  // speak never paces inside.
  AdapterRig rig(programOnly(), "wait 300\nkey A\n");
  ASSERT_TRUE(rig.adapter.start(0, 0, 0, "").ok());
  rig.adapter.engine().setLineMaker([](std::string_view, double, double) {
    return std::vector<std::string>{"a 400 0 100", "a 400 0 200", "#"};
  });
  const int64_t started = rig.host.monotonicMs();
  rig.host.wakes.clear();
  rig.adapter.speak("longo");
  // The sound is queued, not yet heard: speak returned at once.
  EXPECT_LT(rig.host.monotonicMs() - started, 100);
  EXPECT_THAT(rig.host.wakes, ElementsAre(engines::kSynthWakeMessage));
  // While it speaks, the player's finished blocks end each wait: a wake on every poll would only
  // make the wait spin (and on the headless host never let time pass).
  int polls = 0;
  size_t wakesWhileSpeaking = 0;
  for (;;) {
    const size_t before = rig.host.wakes.size();
    if (!rig.adapter.busy(false)) break;
    wakesWhileSpeaking += rig.host.wakes.size() - before;
    rig.console.waitForMessage();
    ++polls;
  }
  EXPECT_EQ(wakesWhileSpeaking, 0u);
  const int64_t stoppedAt = rig.host.monotonicMs() - started;
  EXPECT_GE(stoppedAt, 300);
  EXPECT_LT(stoppedAt, 1000);
  EXPECT_GT(polls, 0);
  EXPECT_EQ(rig.player.queuedBlocks(), 0);
  EXPECT_TRUE(rig.console.keyPressed());  // the key stays for the program to read
  EXPECT_EQ(rig.host.wakes.back(), engines::kSynthWakeMessage);
  rig.adapter.finish();
}

TEST(OrmiaAdapter, FinishLetsSpeechEndAndShutsTheEngineDown) {
  AdapterRig rig;
  const std::string file = rig.folder.file("saida.wav");
  ASSERT_TRUE(rig.adapter.start(0, 0, 0, file).ok());
  rig.adapter.engine().setLineMaker([](std::string_view, double, double) {
    return std::vector<std::string>{"_ 10", "a 90", "_ 10", "#"};
  });
  rig.adapter.speak("um");
  EXPECT_FALSE(rig.adapter.busy(false));  // writing a file is never busy
  rig.adapter.finish();
  EXPECT_EQ(readFile(file).size(), 44u + 2 * 1760);
  EXPECT_FALSE(rig.adapter.engine().bound());
}

// The samples reach the player in blocks that start early (50 ms), grow to under 16000 bytes and end
// padded to 256; the player's speed-ups are off while the engine's sound is handed over.
TEST(OrmiaAdapter, BlocksToThePlayerStartEarlyGrowToUnder16000BytesAndTheLastIsPadded) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::vector<size_t> blocks;
  };
  std::vector<std::string> tenthSeconds;  // 1600 samples, 3200 bytes each
  for (int i = 0; i < 10; ++i) tenthSeconds.push_back("a 100 50 " + std::to_string(100 + 10 * i));
  tenthSeconds.push_back("#");
  const Case cases[] = {
      {"a second in tenths: the first tenth at once, then four to a block", tenthSeconds, {3200, 12800, 12800, 3200}},
      {"a long first piece goes whole", {"a 700", "a 300", "#"}, {22400, 9600}},
      {"5 ms: 160 bytes padded to 256", {"a 5", "#"}, {256}},
      {"exactly 256 bytes", {"a 8", "#"}, {256}},
      {"silence only", {"_ 10", "#"}, {320}},
      {"no samples: nothing handed over", {"#"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AdapterRig rig(libraryOnly());
    ASSERT_TRUE(rig.adapter.start(0, 0, 0, "").ok());
    rig.player.setSpeedups(true, true);
    rig.speakLines(c.lines);
    rig.adapter.speak("texto");
    EXPECT_EQ(rig.played(), c.blocks);
    for (const platform::AudioFormat& format : rig.device.opened) {
      EXPECT_EQ(format.rate, 16000);  // not 24000 (fast rate)
      EXPECT_EQ(format.bits, 16);     // not 8 (period dropping)
    }
    EXPECT_TRUE(rig.player.fastRate());
    EXPECT_TRUE(rig.player.dropPeriods());
  }
}

// What is heard is what a file gets, sample for sample, for both ways of reaching MBROLA; writing a
// file is never busy, and stopping it leaves other sound on the player alone.
TEST(OrmiaAdapter, TheDeviceHearsExactlyWhatAFileGets) {
  std::vector<std::string> lines = {"_ 30"};
  for (int i = 0; i < 40; ++i)
    lines.push_back("a " + std::to_string(37 + i * 3) + " 0 " + std::to_string(90 + i * 5) + " 100 " + std::to_string(200 - i));
  lines.push_back("_ 45");
  lines.push_back("#");
  for (const tts::MbrolaPlaces& places : {programOnly(), libraryOnly()}) {
    AdapterRig toDevice(places), toFile(places);
    const std::string file = toFile.folder.file("saida.wav");
    ASSERT_TRUE(toDevice.adapter.start(0, 0, 0, "").ok());
    ASSERT_TRUE(toFile.adapter.start(0, 0, 0, file).ok());
    toDevice.speakLines(lines);
    toFile.speakLines(lines);
    toDevice.adapter.speak("frase");
    toFile.adapter.speak("frase");
    EXPECT_TRUE(toDevice.adapter.busy(false));
    EXPECT_FALSE(toFile.adapter.busy(false));
    const std::vector<uint8_t> other = audio::buildWaveImage(std::vector<uint8_t>(11025, 128), 11025, 8, 1);
    toFile.player.playWaveImage(other);
    toFile.adapter.stop();
    EXPECT_GT(toFile.player.queuedBlocks(), 0);
    toDevice.adapter.finish();
    toFile.adapter.finish();
    EXPECT_FALSE(toFile.adapter.outputFailed());
    const std::string bytes = readFile(file);
    const engines::testing::WaveFacts facts = engines::testing::readWave(bytes);
    EXPECT_TRUE(facts.wellFormed);
    EXPECT_EQ(facts.rate, 16000u);
    EXPECT_EQ(static_cast<long>(facts.samples), expectedSamples(lines));
    EXPECT_TRUE(std::string(toDevice.device.sound.begin(), toDevice.device.sound.end()) == bytes.substr(44));
    EXPECT_GT(toDevice.played().size(), 2u);
  }
}

// A second start finishes the first file; a file that cannot be made fails the start and says why.
TEST(OrmiaAdapter, EachStartMakesItsOwnFile) {
  AdapterRig rig;
  ASSERT_TRUE(rig.adapter.start(0, 0, 0, rig.folder.file("um.wav")).ok());
  rig.speakLines({"a 100", "#"});
  rig.adapter.speak("um");
  ASSERT_TRUE(rig.adapter.start(0, 0, 0, rig.folder.file("dois.wav")).ok());
  EXPECT_EQ(engines::testing::readWave(rig.folder.read("um.wav")).samples, 1600u);
  EXPECT_TRUE(engines::testing::readWave(rig.folder.read("dois.wav")).wellFormed);
  const platform::Status started = rig.adapter.start(0, 0, 0, rig.folder.file("sem/pasta/saida.wav"));
  EXPECT_FALSE(started.ok());
  EXPECT_THAT(platform::cp1252ToUtf8(started.message()), ::testing::HasSubstr("não pode ser criado"));
  rig.adapter.speak("nada");
  EXPECT_EQ(rig.device.bytes, 0u);
}

// The speech services over the dispatcher and the Portuguese engine: speakText hands the text over
// and returns; a character echo waits for the engine to finish first.
TEST(OrmiaAdapter, SpeechServicesHandTextOverAndWaitBeforeRecordings) {
  speech::testing::Voice voice("[SINTETIZADOR]\nDIFONES3=TESTE\n[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=3\n");
  std::filesystem::create_directories(voice.folder.file("voices/br4"));
  voice.folder.write("voices/br4/br4", doubleDatabase());
  std::string ini = readFile(voice.folder.file("KALDRO.INI"));
  writeFile(voice.folder.file("KALDRO.INI"),
            ini + "[ORMIATTS]\nDIR=" + kEngineData + "\nMBROLA_DB=" + voice.folder.file("voices/br4/br4") + "\n");
  platform::Trace trace(voice.folder.file("trace.txt"));
  platform::HostHeadless host(trace, "");
  platform::Configuration config(platform::ConfigLocations{{voice.folder.path()}, voice.folder.path(), voice.folder.path()});
  console::Console console(host, config, "kaldro-teste");
  engines::testing::KeepingDevice device(host);
  audio::WavPlayer player(console, device);
  tts::EnginePlaces places;
  places.mbrola = programOnly();
  engines::EngineDispatcher dispatcher(console, [&](EngineFamily family) -> std::unique_ptr<engines::EngineAdapter> {
    if (family != EngineFamily::Ormia) return std::make_unique<engines::UnavailableEngine>();
    auto adapter = std::make_unique<engines::OrmiaAdapter>(console, config, player, places);
    adapter->engine().setLineMaker([](std::string_view, double, double) {
      return std::vector<std::string>{"a 2000 0 150", "#"};
    });
    return adapter;
  });
  speech::Speech speech(console, config, player, dispatcher);
  speech.startSpeech(0, "");
  ASSERT_TRUE(speech.externalActive());
  EXPECT_EQ(speech.engineKind(), speech::engine_kind::Ormia);
  const int64_t before = host.monotonicMs();
  speech.speakText("bom dia");
  EXPECT_LT(host.monotonicMs() - before, 100);  // returned while two seconds of speech play
  speech.speakChar('A');
  EXPECT_GE(host.monotonicMs() - before, 2000);  // the echo came after the speech
  const std::vector<std::string> lines = splitLines(readFile(voice.folder.file("trace.txt")));
  std::vector<std::string> events;
  for (const std::string& line : lines)
    if (line.rfind("external", 0) == 0 || line.rfind("char", 0) == 0) events.push_back(line);
  EXPECT_THAT(events, ElementsAre("external bom dia", "char 65"));
  speech.stopAndFinishSpeech();
}

}  // namespace
}  // namespace kaldro::testing

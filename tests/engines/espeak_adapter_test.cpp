// The eSpeak NG adapter: what it sends, the voice it picks, its counters, its WAV files, and keys.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engines/espeak_adapter.h"
#include "engines/espeak_library.h"
#include "engine_rig.h"

namespace kaldro::engines {
namespace {

using testing::EngineRig;
using testing::readWave;
using testing::WaveFacts;

// The library is initialised once for the whole test program, as main does for a run.
EspeakLibrary& realLibrary() {
  static std::unique_ptr<EspeakLibrary> library = makeEspeakLibrary();
  return *library;
}

// Stands for eSpeak NG: records every text, gives `samplesPerText` samples of a tone in blocks of
// 2205, and notes the adapter's counters while it synthesizes.
struct FakeLibrary : EspeakLibrary {
  std::vector<std::string> voiceList{"gmw/af", "roa/pt", "roa/pt-BR"};
  std::vector<std::string> texts;
  std::string selected;
  int rate = 0, pitch = 0;
  bool synthesisFails = false;
  size_t samplesPerText = 22050;
  EspeakAdapter* adapter = nullptr;
  int pendingWhileSynthesizing = -1;
  size_t samplesTaken = 0;

  int sampleRate() override { return 22050; }
  std::vector<EngineVoice> voices() override {
    std::vector<EngineVoice> listed;
    for (const std::string& identifier : voiceList) listed.push_back({identifier, "", identifier});
    return listed;
  }
  bool selectVoice(const std::string& identifier) override {
    selected = identifier;
    return true;
  }
  void setRate(int value) override { rate = value; }
  void setPitch(int value) override { pitch = value; }
  bool synthesize(const std::string& text, const SampleSink& sink) override {
    texts.push_back(text);
    if (adapter) pendingWhileSynthesizing = adapter->pendingTexts();
    std::vector<int16_t> block(2205);
    for (size_t made = 0; made < samplesPerText; made += block.size()) {
      for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<int16_t>(8000 * std::sin((made + i) * 0.1));
      samplesTaken += block.size();
      if (!sink(block)) break;
    }
    return !synthesisFails;
  }
};

TEST(EspeakText, TrimmedAndDigitMarked) {
  const struct {
    std::string given, sent;
  } cases[] = {
      {"  Bom dia. ", "Bom dia."},
      {"\t\r\n  \x01", ""},
      {"", ""},
      {" 7\r\n", "7."},
      {"0", "0."},
      {"12", "12"},
      {"a", "a"},
      {"7a", "7a"},
      {"\x7f" "x\x7f", "x"},
      {"\xE7\xE3o", "\xE7\xE3o"},  // bytes above 127 are letters, not blanks
  };
  for (const auto& c : cases) EXPECT_EQ(espeakTextToSend(c.given), c.sent) << c.given;
}

TEST(EspeakText, SpeedAndPitchMapping) {
  const struct {
    int speed, rate;
  } rates[] = {{0, 175}, {10, 450}, {-10, 80}, {5, 303}, {-5, 101}, {3, 243}, {200, 200}, {1000, 450}, {-50, 80}, {11, 80}};
  for (const auto& c : rates) EXPECT_EQ(espeakRateForSpeed(c.speed), c.rate) << c.speed;
  const struct {
    int pitch, value;
  } pitches[] = {{0, 50}, {10, 100}, {-10, 0}, {-3, 35}, {60, 60}, {120, 100}, {-40, 0}};
  for (const auto& c : pitches) EXPECT_EQ(espeakPitchFor(c.pitch), c.value) << c.pitch;
}

TEST(EspeakAdapter, SendsWhatTheRulesLeaveAndNothingForBlanks) {
  EngineRig rig;
  FakeLibrary library;
  EspeakAdapter adapter(rig.console, rig.player, library);
  adapter.speak("antes de iniciar");  // not started: nothing
  ASSERT_TRUE(adapter.start(2, 0, 0, "").ok());
  for (const char* text : {" 7 ", "   ", "\r\n", "", "fim\xE7\xE3o"}) adapter.speak(text);
  EXPECT_EQ(library.texts, (std::vector<std::string>{"7.", "fim\xC3\xA7\xC3\xA3o"}));
}

TEST(EspeakAdapter, ChoosesTheNthVoiceAndLeavesSpeedAndPitchZeroAtNormal) {
  const struct {
    int voice;
    std::string name, chosen;
  } cases[] = {{1, "", "gmw/af"},    {0, "", "roa/pt-BR"},       {-4, "", "gmw/af"},
               {2, "", "roa/pt"},    {3, "", "roa/pt-BR"},       {99, "", "roa/pt-BR"},
               // A name (or identifier) takes the place of the number; one it lacks is Brazilian Portuguese.
               {1, "ROA/PT", "roa/pt"}, {1, "nenhuma", "roa/pt-BR"}};
  for (const auto& c : cases) {
    EngineRig rig;
    FakeLibrary library;
    EspeakAdapter adapter(rig.console, rig.player, library);
    adapter.setVoiceName(c.name);
    ASSERT_TRUE(adapter.start(c.voice, 0, 0, "").ok());
    EXPECT_EQ(library.selected, c.chosen) << c.voice;
    EXPECT_EQ(library.rate, EspeakLibrary::NormalRate);
    EXPECT_EQ(library.pitch, EspeakLibrary::NormalPitch);
  }
  EngineRig rig;
  FakeLibrary library;
  EspeakAdapter adapter(rig.console, rig.player, library);
  ASSERT_TRUE(adapter.start(1, 5, -3, "").ok());
  EXPECT_EQ(library.rate, 303);
  EXPECT_EQ(library.pitch, 35);
  library.voiceList = {"gmw/af", "roa/pt"};  // without the Brazilian voice, 0 is the first
  ASSERT_TRUE(adapter.start(0, 0, 0, "").ok());
  EXPECT_EQ(library.selected, "gmw/af");
  library.voiceList.clear();
  EXPECT_FALSE(adapter.start(1, 0, 0, "").ok());
  EXPECT_FALSE(adapter.busy(false));
}

TEST(EspeakAdapter, CountersThroughSpeakBusyAndStop) {
  EngineRig rig;
  FakeLibrary library;
  EspeakAdapter adapter(rig.console, rig.player, library);
  library.adapter = &adapter;
  library.samplesPerText = 22050 * 20;  // 20 s: still playing when speak returns
  ASSERT_TRUE(adapter.start(1, 0, 0, "").ok());
  EXPECT_FALSE(adapter.busy(false));
  adapter.onTextDone();  // a "done" without its "started" keeps the count at 0
  EXPECT_EQ(adapter.pendingTexts(), 0);
  adapter.speak("um texto longo");
  EXPECT_EQ(library.pendingWhileSynthesizing, 1);
  EXPECT_EQ(adapter.pendingTexts(), 0);
  EXPECT_TRUE(adapter.audioPlaying());
  EXPECT_FALSE(adapter.busy(true));  // the engine is done with the text; its sound still plays
  EXPECT_TRUE(adapter.busy(false));
  adapter.stop();
  EXPECT_FALSE(adapter.audioPlaying());
  EXPECT_FALSE(adapter.busy(false));
  EXPECT_EQ(rig.player.queuedBlocks(), 0);

  // A text that plays out: busy until its last block is done.
  library.samplesPerText = 22050 * 3;
  const size_t before = rig.device.bytes;
  adapter.speak("outro");
  EXPECT_GT(rig.waitWhileBusy(adapter), 0);
  EXPECT_FALSE(adapter.audioPlaying());
  EXPECT_EQ(rig.device.bytes - before, 22050u * 3 * 2);
}

TEST(EspeakAdapter, FailedSynthesisSilencesTheEngine) {
  EngineRig rig;
  FakeLibrary library;
  EspeakAdapter adapter(rig.console, rig.player, library);
  ASSERT_TRUE(adapter.start(1, 0, 0, "").ok());
  library.synthesisFails = true;
  adapter.speak("recusado");
  EXPECT_EQ(adapter.pendingTexts(), 0);
  EXPECT_FALSE(adapter.audioPlaying());
  EXPECT_FALSE(adapter.busy(false));
}

TEST(EspeakAdapter, AFailedWriteIsReported) {
  // Files of this process may grow to 20000 bytes only, as on a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 20000;
  EngineRig rig;
  FakeLibrary library;
  EspeakAdapter adapter(rig.console, rig.player, library);
  ASSERT_TRUE(adapter.start(1, 0, 0, rig.folder.file("cheio.wav")).ok());
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  adapter.speak("um segundo de som");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_TRUE(adapter.outputFailed());
  EXPECT_FALSE(adapter.busy(false));
  adapter.finish();
  EXPECT_TRUE(readWave(kaldro::testing::readFile(rig.folder.file("cheio.wav"))).wellFormed);
}

TEST(EspeakAdapter, AKeySilencesItAtOnce) {
  // The key comes one second into a text of a minute.
  EngineRig rig("wait 1000\nkey A\n");
  FakeLibrary library;
  EspeakAdapter adapter(rig.console, rig.player, library);
  library.samplesPerText = 22050 * 60;
  ASSERT_TRUE(adapter.start(1, 0, 0, "").ok());
  const int64_t began = rig.host.monotonicMs();
  adapter.speak("um texto de um minuto");
  EXPECT_LT(rig.host.monotonicMs() - began, 3000);
  EXPECT_LT(library.samplesTaken, 22050u * 10);  // the synthesis stopped too
  EXPECT_FALSE(adapter.busy(false));
  EXPECT_EQ(rig.player.queuedBlocks(), 0);
  EXPECT_TRUE(rig.console.keyPressed());  // the key stays for the program
  // While a key waits, nothing more is sent.
  adapter.speak("depois da tecla");
  EXPECT_EQ(library.texts.size(), 1u);
}

TEST(EspeakAdapterReal, WritesAWellFormedAudibleWavFile) {
  EngineRig rig;
  EspeakLibrary& library = realLibrary();
  ASSERT_GT(library.sampleRate(), 0) << "libespeak-ng could not start";
  EspeakAdapter adapter(rig.console, rig.player, library);
  const std::string file = rig.folder.file("fala.wav");
  ASSERT_TRUE(adapter.start(0, 0, 0, file).ok());
  EXPECT_EQ(adapter.voice(), "roa/pt-BR");
  adapter.speak("Bom dia, este \xE9 um teste.");
  const WaveFacts afterOne = readWave(kaldro::testing::readFile(file));
  EXPECT_TRUE(afterOne.wellFormed);  // whole after every text
  adapter.speak("   ");
  adapter.speak("7");
  EXPECT_FALSE(adapter.busy(false));
  adapter.finish();
  EXPECT_EQ(rig.device.bytes, 0u);  // nothing went to the sound device

  const WaveFacts facts = readWave(kaldro::testing::readFile(file));
  EXPECT_TRUE(facts.wellFormed);
  EXPECT_EQ(facts.rate, 22050u);
  EXPECT_EQ(facts.bits, 16);
  EXPECT_EQ(facts.channels, 1);
  EXPECT_GT(facts.samples, afterOne.samples + 22050 / 4);  // "sete" follows
  EXPECT_GT(afterOne.samples, 22050u);                     // more than a second of speech
  EXPECT_GT(facts.rms, 500.0);
  EXPECT_GT(facts.peak, 5000);
  std::printf("WAV: %zu samples (%.2f s), rms %.0f, peak %d\n", facts.samples, facts.samples / 22050.0, facts.rms,
              facts.peak);
}

// A text far past 64 000 bytes is spoken to its end: its last word is heard as in the short text.
TEST(EspeakAdapterReal, ALongTextIsSpokenWhole) {
  EngineRig rig;
  EspeakLibrary& library = realLibrary();
  ASSERT_GT(library.sampleRate(), 0) << "libespeak-ng could not start";
  EspeakAdapter adapter(rig.console, rig.player, library);
  ASSERT_TRUE(adapter.start(0, 0, 0, "").ok());
  auto bytesHeard = [&](const std::string& text) {
    const size_t before = rig.device.bytes;
    adapter.speak(text);
    rig.waitWhileBusy(adapter);
    return rig.device.bytes - before;
  };
  const size_t first = bytesHeard("Bom dia.");
  const size_t both = bytesHeard("Bom dia. Boa noite.");
  const size_t apart = bytesHeard("Bom dia." + std::string(70000, ' ') + "Boa noite.");
  std::printf("heard: %zu bytes for the first sentence, %zu for both, %zu with 70 000 blanks between\n", first,
              both, apart);
  EXPECT_GT(both, first + first / 2);
  EXPECT_GT(apart, both * 9 / 10);
  EXPECT_LT(apart, both * 11 / 10);
}

TEST(EspeakAdapterReal, NthVoiceOfTheLibrarysList) {
  EngineRig rig;
  EspeakLibrary& library = realLibrary();
  std::vector<std::string> voices;
  for (const EngineVoice& voice : library.voices()) voices.push_back(voice.identifier);
  ASSERT_GT(voices.size(), 3u);
  EspeakAdapter adapter(rig.console, rig.player, library);
  size_t brazil = 0;
  while (brazil < voices.size() && voices[brazil] != EspeakDefaultVoice) ++brazil;
  ASSERT_LT(brazil, voices.size());
  const struct {
    int number;
    size_t index;
  } cases[] = {{0, brazil}, {-1, 0}, {1, 0}, {3, 2}, {static_cast<int>(voices.size()), voices.size() - 1},
               {static_cast<int>(voices.size()) + 5, voices.size() - 1}};
  for (const auto& c : cases) {
    ASSERT_TRUE(adapter.start(c.number, 0, 0, "").ok());
    EXPECT_EQ(adapter.voice(), voices[c.index]) << c.number;
    adapter.finish();
  }
}

}  // namespace
}  // namespace kaldro::engines

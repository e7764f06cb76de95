// Time to first sound of the Portuguese engine, side by side with eSpeak NG, and the time a key takes
// to silence engine speech. Prints figures:
//   build/bin/bench_engine_first_sound [trials]
// The engine runs through the speech services, the dispatcher and the `mbrola` program: a real MBROLA
// with its br4 voice when one is installed, and the test stand-in when it was built. Its first sound
// is the first sample handed to the sound device; eSpeak NG's is the first sample its synchronous
// callback receives. The sentence's lines come from the engine's front end, and also (to measure the
// MBROLA path whatever the front end gives) from a fixed list of 150 phones with pitch targets.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "engines/engine_dispatcher.h"
#include "engines/ormia_adapter.h"
#include "platform/audio/audio_device_none.h"
#include "platform/config.h"
#include "platform/host/host_quiet.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "speech/speech.h"
#include "tts/front_end.h"
#include "tts/mbrola_binding.h"

namespace {

using namespace kaldro;
using Clock = std::chrono::steady_clock;

// Thirty words.
const char* kSentence =
    "Na manh\xC3\xA3 de segunda-feira, a pequena biblioteca do bairro abriu as portas mais cedo para receber os "
    "estudantes que preparavam o exame final de hist\xC3\xB3ria do Brasil.";

double msSince(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

void print(const char* what, std::vector<double> values) {
  if (values.empty()) {
    std::printf("%-52s no measurement\n", what);
    return;
  }
  std::sort(values.begin(), values.end());
  std::printf("%-52s median %7.2f ms  p90 %7.2f ms  worst %7.2f ms  (%zu trials)\n", what, values[values.size() / 2],
              values[values.size() * 9 / 10], values.back(), values.size());
}

// The silent device in real time, noting when it first gets sound and when it is silenced.
class TimingDevice : public platform::AudioDeviceNone {
 public:
  using AudioDeviceNone::AudioDeviceNone;
  std::atomic<int64_t> firstSoundNs{0};
  std::atomic<int64_t> silencedNs{0};
  static int64_t nowNs() { return Clock::now().time_since_epoch().count(); }
  void reset() override {
    if (silencedNs == 0) silencedNs = nowNs();
    AudioDeviceNone::reset();
  }

 protected:
  int deliver(const uint8_t*, size_t) override {
    if (firstSoundNs == 0) firstSoundNs = nowNs();
    return platform::audio_error::Ok;
  }
};

// A fixed utterance of 150 phones (about 12 s): what a 30-word sentence asks of MBROLA.
std::vector<std::string> fixedLines() {
  static const char* phones[] = {"n", "a", "m", "an", "nh", "an", "d", "e", "s", "e", "g", "un", "d", "a"};
  std::vector<std::string> lines = {"_ 50"};
  for (int i = 0; i < 150; ++i)
    lines.push_back(std::string(phones[i % 14]) + " 80 50 " + std::to_string(100 + (i * 7) % 60));
  lines.push_back("_ 200");
  lines.push_back("#");
  return lines;
}

struct EngineBench {
  std::string label;
  tts::EnginePlaces places;
  bool fixed = false;
};

// Speaks the sentence `trials` times through the speech services; returns first-sound times and
// key-to-silence times.
void runEngine(const EngineBench& bench, int trials, std::vector<double>& firstSound, std::vector<double>& keyStop) {
  platform::Trace trace;
  platform::HostQuiet host(trace);
  const std::string folder = std::filesystem::temp_directory_path() / ("kaldro-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/KALDRO.INI") << "[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=3\n[ORMIATTS]\nDIR="
                                        << KALDRO_BIN_DIR << "/../share/kaldro/ormiatts/\n";
  platform::Configuration config(platform::ConfigLocations{{folder}, folder, platform::executablePrefix()});
  console::Console console(host, config, "bench");
  TimingDevice device(host);
  audio::WavPlayer player(console, device);
  engines::OrmiaAdapter* ormia = nullptr;
  engines::EngineDispatcher dispatcher(console, [&](engines::EngineFamily family) -> std::unique_ptr<engines::EngineAdapter> {
    if (family != engines::EngineFamily::Ormia) return std::make_unique<engines::UnavailableEngine>();
    auto adapter = std::make_unique<engines::OrmiaAdapter>(console, config, player, bench.places);
    ormia = adapter.get();
    return adapter;
  });
  if (!dispatcher.synthStart(0, 0, 0, "", 3)) {
    std::printf("%s: the engine did not start (%s)\n", bench.label.c_str(),
                ormia ? platform::cp1252ToUtf8(ormia->engine().mbrolaMessage()).c_str() : "?");
    std::filesystem::remove_all(folder);
    return;
  }
  if (bench.fixed) ormia->engine().setLineMaker([](std::string_view, double, double) { return fixedLines(); });
  const std::string text = platform::utf8ToCp1252(kSentence);
  for (int trial = 0; trial < trials; ++trial) {
    device.firstSoundNs = 0;
    device.silencedNs = 0;
    // A key 150 ms after the text was handed over, while speech is still being made or played.
    std::atomic<int64_t> keyNs{0};
    const auto start = Clock::now();
    std::thread typist([&] {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(150));
      platform::HostEvent key;
      key.kind = platform::EventKind::Character;
      key.character = 'a';
      keyNs = TimingDevice::nowNs();
      host.postFromAnyThread(key);
    });
    dispatcher.synthSpeak(text);
    if (device.firstSoundNs != 0)
      firstSound.push_back(msSince(start, Clock::time_point(Clock::duration(device.firstSoundNs.load()))));
    typist.join();
    while (dispatcher.synthBusy(false)) console.waitForMessage();
    if (device.silencedNs > keyNs) keyStop.push_back((device.silencedNs - keyNs) / 1e6);
    while (console.keyPressed()) console.readKey();
  }
  dispatcher.synthFinish();
  std::filesystem::remove_all(folder);
}

// eSpeak NG's first sample for the same sentence, in synchronous mode.
std::atomic<int64_t> gEspeakFirstNs{0};
int espeakCallback(short*, int samples, espeak_EVENT*) {
  if (samples > 0 && gEspeakFirstNs == 0) gEspeakFirstNs = Clock::now().time_since_epoch().count();
  return gEspeakFirstNs != 0 ? 1 : 0;  // the first sample is all that is measured
}

std::vector<double> runEspeak(int trials) {
  std::vector<double> times;
  if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0) < 0) return times;
  espeak_SetSynthCallback(espeakCallback);
  if (espeak_SetVoiceByName("pt-br") != EE_OK && espeak_SetVoiceByName("pt") != EE_OK) return times;
  for (int trial = 0; trial < trials; ++trial) {
    gEspeakFirstNs = 0;
    const auto start = Clock::now();
    espeak_Synth(kSentence, std::strlen(kSentence) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    if (gEspeakFirstNs != 0) times.push_back(msSince(start, Clock::time_point(Clock::duration(gEspeakFirstNs.load()))));
  }
  espeak_Terminate();
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  std::vector<EngineBench> benches;
#ifdef KALDRO_MBROLA_DOUBLE_DIR
  {
    EngineBench stand{"engine, MBROLA stand-in, front-end lines", {}, false};
    stand.places.mbrola = {{}, {KALDRO_MBROLA_DOUBLE_DIR}};
    stand.places.voicePatterns = {std::string(KALDRO_MBROLA_DOUBLE_DIR) + "/%s.db"};
    std::ofstream(std::string(KALDRO_MBROLA_DOUBLE_DIR) + "/br4.db") << "kaldro mbrola stand-in\n";
    benches.push_back(stand);
    stand.label = "engine, MBROLA stand-in, 150 fixed phones";
    stand.fixed = true;
    benches.push_back(stand);
    // The same through the stand-in library, for those who build MBROLA as one.
    stand.label = "engine, stand-in library, 150 fixed phones";
    stand.places.mbrola = {{std::string(KALDRO_MBROLA_DOUBLE_DIR) + "/libmbrola-double.so"}, {}};
    benches.push_back(stand);
  }
#endif
  tts::EnginePlaces installed;
  installed.mbrola.programFolders = platform::RunOptions::fromEnvironment().programFolders;
  if (!tts::findProgram("mbrola", installed.mbrola.programFolders).empty()) {
    benches.push_back({"engine, installed MBROLA, front-end lines", installed, false});
    benches.push_back({"engine, installed MBROLA, 150 fixed phones", installed, true});
  }
  const std::vector<double> espeak = runEspeak(trials);
  print("eSpeak NG, first sample (synchronous callback)", espeak);
  {
    // The share of the engine's own front end (text to MBROLA lines) in its first sound.
    const std::string data = std::string(KALDRO_BIN_DIR) + "/../share/kaldro/ormiatts/portug";
    tts::FrontEnd frontEnd;
    std::vector<double> lines;
    if (frontEnd.load({data + ".nrl", data + ".exc", data + ".abr", data + ".pro", data + ".dfn"}).ok()) {
      const std::string text = platform::utf8ToCp1252(kSentence);
      for (int trial = 0; trial < trials; ++trial) {
        const auto start = Clock::now();
        const std::vector<std::string> made = frontEnd.mbrolaLines(text, 0.8, 1.0);
        lines.push_back(msSince(start, Clock::now()));
      }
    }
    print("engine front end alone, text to MBROLA lines", lines);
  }
  for (const EngineBench& bench : benches) {
    std::vector<double> first, stop;
    runEngine(bench, trials, first, stop);
    print((bench.label + ", first sound").c_str(), first);
    print((bench.label + ", key to silence").c_str(), stop);
  }
  return 0;
}

// Time to the first sample and to the end of each utterance, the engine's MBROLA program beside
// eSpeak NG driving the same MBROLA voice (mb-br4). Prints figures:
//   build/bin/bench_mbrola_utterances [TEXT_FILE]   (default bench/pagina.txt, one utterance a line)
// The engine side is its front end and the binding to the `mbrola` program, as the engine drives
// them; eSpeak NG's times come from its synchronous callback. Needs MBROLA and its br4 voice.
#include <espeak-ng/speak_lib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/run_options.h"
#include "platform/text.h"
#include "tts/front_end.h"
#include "tts/mbrola_binding.h"

namespace {

using namespace kaldro;
using Clock = std::chrono::steady_clock;

struct Times {
  double firstMs = -1;
  double endMs = 0;
  long samples = 0;
};

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The engine's way: every line written, what is there read after each, the rest after the flush.
Times speakThroughBinding(tts::MbrolaBinding& binding, const std::vector<std::string>& lines) {
  Times times;
  std::vector<int16_t> scratch(16000);
  const auto start = Clock::now();
  binding.reset();
  auto take = [&] {
    for (int n; (n = binding.read(scratch.data(), static_cast<int>(scratch.size()))) > 0;) {
      if (times.firstMs < 0) times.firstMs = msSince(start);
      times.samples += n;
    }
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    binding.write(lines[i] + "\r\n");
    if (i + 1 == lines.size()) binding.flush();
    take();
  }
  times.endMs = msSince(start);
  return times;
}

Times* espeakTimes = nullptr;
Clock::time_point espeakStart;
int espeakCallback(short*, int samples, espeak_EVENT*) {
  if (samples > 0 && espeakTimes->firstMs < 0) espeakTimes->firstMs = msSince(espeakStart);
  espeakTimes->samples += samples;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string textFile = argc > 1 ? argv[1] : std::string(KALDRO_SOURCE_DIR) + "/bench/pagina.txt";
  const std::string voice = "/usr/share/mbrola/br4/br4";
  tts::MbrolaPlaces places;
  places.programFolders = platform::RunOptions::fromEnvironment().programFolders;
  const std::string program = tts::findProgram("mbrola", places.programFolders);
  if (program.empty() || !std::filesystem::exists(voice)) {
    std::printf("MBROLA or its br4 voice is not installed: nothing to measure\n");
    return 0;
  }
  std::vector<std::string> utterances;
  std::ifstream in(textFile);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) utterances.push_back(line);

  tts::FrontEnd frontEnd;
  if (!frontEnd.load(tts::dataFilesIn(std::string(KALDRO_BIN_DIR) + "/../share/kaldro/ormiatts/")).ok()) {
    std::printf("the engine's data is not built\n");
    return 1;
  }
  const auto startUp = Clock::now();
  std::unique_ptr<tts::MbrolaBinding> binding = tts::bindMbrolaProgram(program, places);
  if (binding->init(voice) < 0) {
    std::printf("mbrola did not start: %s\n", binding->lastErrorText().c_str());
    return 1;
  }
  binding->setNoError(1);
  const double engineStartMs = msSince(startUp);
  std::vector<Times> engine;
  for (const std::string& text : utterances) {
    const auto start = Clock::now();
    const std::vector<std::string> lines = frontEnd.mbrolaLines(platform::utf8ToCp1252(text), 0.8, 1.0);
    const double frontMs = msSince(start);
    Times times = speakThroughBinding(*binding, lines);
    times.firstMs += frontMs;
    times.endMs += frontMs;
    engine.push_back(times);
  }
  binding->close();

  std::vector<Times> espeak(utterances.size());
  double espeakStartMs = -1;
  {
    const auto start = Clock::now();
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0) >= 0 && espeak_SetVoiceByName("mb-br4") == EE_OK) {
      espeak_SetSynthCallback(espeakCallback);
      espeakStartMs = msSince(start);
      for (size_t i = 0; i < utterances.size(); ++i) {
        espeakTimes = &espeak[i];
        espeakStart = Clock::now();
        espeak_Synth(utterances[i].c_str(), utterances[i].size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     nullptr);
        espeak[i].endMs = msSince(espeakStart);
      }
      espeak_Terminate();
    }
  }

  std::printf("start-up: engine's mbrola %.1f ms, eSpeak NG with mb-br4 %.1f ms\n", engineStartMs, espeakStartMs);
  std::printf("%3s %6s | %26s | %26s\n", "", "chars", "engine: first / end / s", "eSpeak NG: first / end / s");
  double engineFirst = 0, espeakFirst = 0, engineEnd = 0, espeakEnd = 0;
  for (size_t i = 0; i < utterances.size(); ++i) {
    std::printf("%3zu %6zu | %7.1f ms %7.1f ms %5.2f | %7.1f ms %7.1f ms %5.2f\n", i + 1, utterances[i].size(),
                engine[i].firstMs, engine[i].endMs, engine[i].samples / 16000.0, espeak[i].firstMs, espeak[i].endMs,
                espeak[i].samples / 16000.0);
    engineFirst += engine[i].firstMs, espeakFirst += espeak[i].firstMs;
    engineEnd += engine[i].endMs, espeakEnd += espeak[i].endMs;
  }
  const double n = static_cast<double>(utterances.size());
  std::printf("mean first sample: engine %.1f ms, eSpeak NG %.1f ms; all utterances: engine %.1f ms, eSpeak NG %.1f ms "
              "(ratio %.2f)\n",
              engineFirst / n, espeakFirst / n, engineEnd, espeakEnd, espeakEnd > 0 ? engineEnd / espeakEnd : 0.0);
  return 0;
}

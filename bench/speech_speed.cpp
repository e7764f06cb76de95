// Speed of the built-in speech: writing a paragraph to a WAV file against eSpeak NG, and the time from
// handing a sentence to speakText until its first sound reaches the device.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "platform/audio_device_none.h"
#include "platform/config.h"
#include "platform/host_headless.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "speech/speech.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace kaldro;

const char* const kParagraph =
    "A carta padronizada ajuda quem n\xC3\xA3o enxerga a escrever com rapidez. O programa l\xC3\xAA o modelo linha "
    "por linha, pergunta o valor de cada campo, insere a data de hoje e grava o texto pronto num arquivo. Cada "
    "tecla digitada \xC3\xA9 repetida pela voz, e qualquer tecla interrompe a fala que estiver em andamento, para "
    "que o usu\xC3\xA1rio nunca precise esperar o fim de uma frase longa.";
const char* const kSentence = "Nome do arquivo de entrada";

// Wall milliseconds of one run of a program, or nothing when it fails.
std::optional<double> runOnce(const std::vector<std::string>& command) {
  std::vector<char*> arguments;
  for (const std::string& part : command) arguments.push_back(const_cast<char*>(part.c_str()));
  arguments.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, arguments[0], &actions, nullptr, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The median of several runs.
std::optional<double> medianMs(const std::vector<std::string>& command, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto ms = runOnce(command);
    if (!ms) return std::nullopt;
    times.push_back(*ms);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::string shown(const std::vector<std::string>& command) {
  std::string text;
  for (const std::string& part : command) text += (text.empty() ? "" : " ") + ("'" + part + "'");
  return text;
}

// The silent device that notes when the first block arrives.
class FirstBlockDevice : public platform::AudioDeviceNone {
 public:
  using AudioDeviceNone::AudioDeviceNone;
  std::optional<Clock::time_point> first;

 protected:
  int deliver(const uint8_t*, size_t) override {
    if (!first) first = Clock::now();
    return platform::audio_error::Ok;
  }
};

// Started speech on the headless host (virtual time) with a device that notes the first block.
struct SpeechBench {
  SpeechBench()
      : host(trace, std::string_view()),
        config(platform::configLocationsFromEnvironment()),
        console(host, config, "bench"),
        device(host),
        player(console, device),
        speech(console, config, player, external) {
    startError = speech.tryStartSpeech(0, "");
  }
  ~SpeechBench() { speech.stopAndFinishSpeech(); }

  platform::Trace trace;
  platform::HostHeadless host;
  platform::Configuration config;
  console::Console console;
  FirstBlockDevice device;
  audio::WavPlayer player;
  speech::NoExternalSynth external;
  speech::Speech speech;
  int startError = 0;
};

// Wall milliseconds that speakText takes for the whole text (pauses and playing are virtual), median of 5.
std::optional<double> synthesisOnlyMs(const char* utf8Text) {
  SpeechBench bench;
  if (bench.startError != 0) return std::nullopt;
  const std::string text = platform::utf8ToCp1252(utf8Text);
  std::vector<double> times;
  int64_t heardMs = 0;
  for (int i = 0; i < 5; ++i) {
    const int64_t virtualStart = bench.host.monotonicMs();
    const auto start = Clock::now();
    bench.speech.speakText(text);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    heardMs = bench.host.monotonicMs() - virtualStart;
  }
  std::printf("(the paragraph is heard in %.1f s)\n", static_cast<double>(heardMs) / 1000);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void compareWithEspeak() {
  const int runs = 5;
  const std::vector<std::string> espeak{"espeak-ng", "-v", "pt-br", "-w", "/tmp/kaldro-bench-espeak.wav", kParagraph};
  const std::vector<std::string> ours{std::string(KALDRO_BIN_DIR) + "/kaldro-fala", "-w", "/tmp/kaldro-bench-fala.wav",
                                      kParagraph};
  const auto espeakMs = medianMs(espeak, runs);
  const auto oursMs = medianMs(ours, runs);
  std::printf("paragraph to WAV, median of %d runs (process start included):\n", runs);
  if (espeakMs)
    std::printf("  %8.2f ms  %s\n", *espeakMs, shown(espeak).c_str());
  else
    std::printf("  (failed)    %s\n", shown(espeak).c_str());
  if (oursMs)
    std::printf("  %8.2f ms  %s\n", *oursMs, shown(ours).c_str());
  else
    std::printf("  (failed)    %s\n", shown(ours).c_str());
  if (espeakMs && oursMs) std::printf("  ratio eSpeak NG / kaldro-fala = %.1fx (goal >= 20x)\n", *espeakMs / *oursMs);
  // eSpeak NG's synthesis alone: the paragraph less an empty text, both as whole processes.
  std::vector<std::string> espeakEmpty = espeak;
  espeakEmpty.back() = "";
  const auto espeakStartMs = medianMs(espeakEmpty, runs);
  const auto synthesisMs = synthesisOnlyMs(kParagraph);
  if (espeakMs && espeakStartMs && synthesisMs) {
    std::printf("synthesis only: eSpeak NG %.2f ms (paragraph less %s)\n", *espeakMs - *espeakStartMs,
                shown(espeakEmpty).c_str());
    std::printf("                kaldro %.2f ms (Speech::speakText of the paragraph in process, silent device)\n",
                *synthesisMs);
    std::printf("  ratio = %.1fx (goal >= 20x)\n", (*espeakMs - *espeakStartMs) / *synthesisMs);
  }
}

void timeToFirstSound() {
  SpeechBench bench;
  if (bench.startError != 0) {
    std::printf("time to first sound: speech did not start (error %d; is the voice built?)\n", bench.startError);
    return;
  }
  FirstBlockDevice& device = bench.device;
  speech::Speech& speech = bench.speech;
  const std::string sentence = platform::utf8ToCp1252(kSentence);
  std::vector<double> times;
  for (int i = 0; i < 20; ++i) {
    device.first.reset();
    const auto start = Clock::now();
    speech.speakText(sentence);
    if (device.first) times.push_back(std::chrono::duration<double, std::milli>(*device.first - start).count());
  }
  if (times.empty()) {
    std::printf("time to first sound: no sound reached the device\n");
    return;
  }
  std::sort(times.begin(), times.end());
  std::printf("time to first sound, speakText(\"%s\") to the first block at the device, median of %zu: %.3f ms "
              "(goal <= 5 ms)\n",
              kSentence, times.size(), times[times.size() / 2]);
}

}  // namespace

int main() {
  compareWithEspeak();
  timeToFirstSound();
  return 0;
}

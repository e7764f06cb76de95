// Speed of the built-in speech: writing one and ten paragraphs to a WAV file against eSpeak NG (whole
// processes, start-up included), the synthesis alone, and the time from handing a sentence to
// speakText until its first sound reaches the device.
//   build/bin/bench_speech_speed [rounds]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/wav_player.h"
#include "process_timing.h"
#include "console/console.h"
#include "platform/audio/audio_device_none.h"
#include "platform/config.h"
#include "platform/host/host_headless.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "speech/speech.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace kaldro;
using bench::median;
using bench::runOnce;

const char* const kParagraph =
    "A carta padronizada ajuda quem n\xC3\xA3o enxerga a escrever com rapidez. O programa l\xC3\xAA o modelo linha "
    "por linha, pergunta o valor de cada campo, insere a data de hoje e grava o texto pronto num arquivo. Cada "
    "tecla digitada \xC3\xA9 repetida pela voz, e qualquer tecla interrompe a fala que estiver em andamento, para "
    "que o usu\xC3\xA1rio nunca precise esperar o fim de uma frase longa.";
const char* const kSentence = "Nome do arquivo de entrada";
const char* const kEspeakWav = "/tmp/kaldro-bench-espeak.wav";
const char* const kFalaWav = "/tmp/kaldro-bench-fala.wav";

std::string paragraphs(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? " " : "") + std::string(kParagraph);
  return text;
}

struct Figures {
  double espeakMs = 0, falaMs = 0;            // the text
  double espeakStartMs = 0, falaStartMs = 0;  // the same commands with an empty text
  double ratio = 0;                           // median of each round's eSpeak NG / kaldro-fala
};

// In each round the four runs go in turn (eSpeak NG and kaldro-fala, with an empty text and with
// the text), after one round of warm-up, so that a drift in the machine's speed reaches all of
// them; the medians of the rounds.
std::optional<Figures> measure(const std::string& text, int rounds) {
  auto espeak = [](const std::string& t) {
    return std::vector<std::string>{"espeak-ng", "-v", "pt-br", "-w", kEspeakWav, t};
  };
  auto fala = [](const std::string& t) {
    return std::vector<std::string>{std::string(KALDRO_BIN_DIR) + "/kaldro-fala", "-w", kFalaWav, t};
  };
  std::vector<double> e, f, es, fs, ratios;
  for (int i = -1; i < rounds; ++i) {
    const auto espeakStart = runOnce(espeak(""), kEspeakWav);
    const auto falaStart = runOnce(fala(""), kFalaWav);
    const auto espeakText = runOnce(espeak(text), kEspeakWav);
    const auto falaText = runOnce(fala(text), kFalaWav);
    if (!espeakStart || !falaStart || !espeakText || !falaText) return std::nullopt;
    if (i < 0) continue;
    es.push_back(*espeakStart);
    fs.push_back(*falaStart);
    e.push_back(*espeakText);
    f.push_back(*falaText);
    ratios.push_back(*espeakText / *falaText);
  }
  return Figures{median(e), median(f), median(es), median(fs), median(ratios)};
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

// Started speech on the headless host (virtual time), with a device that notes the first block or
// with the wav: device.
struct SpeechBench {
  explicit SpeechBench(const std::string& audio = {})
      : host(trace, std::string_view()),
        config(platform::configLocationsFromEnvironment()),
        console(host, config, "bench"),
        device(audio.empty() ? std::make_unique<FirstBlockDevice>(host) : platform::makeAudioDevice(host, audio).object),
        player(console, *device),
        speech(console, config, player, external) {
    startError = speech.tryStartSpeech(0, "");
  }
  ~SpeechBench() { speech.stopAndFinishSpeech(); }

  platform::Trace trace;
  platform::HostHeadless host;
  platform::Configuration config;
  console::Console console;
  std::unique_ptr<platform::AudioDevice> device;
  audio::WavPlayer player;
  speech::NoExternalSynth external;
  speech::Speech speech;
  int startError = 0;
};

// Wall milliseconds that speakText takes for the whole text in this process (the pauses and the
// playing are virtual; audio: where the sound goes, empty for nowhere), median of 5.
std::optional<double> inProcessMs(const std::string& utf8Text, const std::string& audio, double* heardSeconds) {
  SpeechBench bench(audio);
  if (bench.startError != 0) return std::nullopt;
  const std::string text = platform::utf8ToCp1252(utf8Text);
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    const int64_t virtualStart = bench.host.monotonicMs();
    const auto start = Clock::now();
    bench.speech.speakText(text);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    *heardSeconds = static_cast<double>(bench.host.monotonicMs() - virtualStart) / 1000;
  }
  return median(times);
}

void compareWithEspeak(int rounds) {
  const std::string fala = std::string(KALDRO_BIN_DIR) + "/kaldro-fala";
  std::printf("commands (TEXT: the paragraph below, or ten of them joined by spaces, or empty for start-up):\n"
              "  espeak-ng -v pt-br -w %s TEXT\n  %s -w %s TEXT\n"
              "each output file is removed before each run (not timed); the runs take turns.\n"
              "TEXT = %s\n\n",
              kEspeakWav, fala.c_str(), kFalaWav, kParagraph);
  for (int count : {1, 10}) {
    const std::string text = paragraphs(count);
    const int n = count == 1 ? rounds : std::max(3, rounds / 2);
    const std::optional<Figures> m = measure(text, n);
    double heard = 0;
    const std::optional<double> synthesis = inProcessMs(text, "", &heard);
    const std::optional<double> toFile = inProcessMs(text, std::string("wav:") + kFalaWav, &heard);
    std::printf("%s (heard in %.1f s), whole process, median wall time of %d rounds:\n",
                count == 1 ? "one paragraph" : "ten paragraphs", heard, n);
    if (!m) {
      std::printf("  a run failed (is espeak-ng installed, the voice built?)\n\n");
      continue;
    }
    std::printf("  eSpeak NG   %8.2f ms\n  kaldro-fala %8.2f ms\n  ratio       %8.1fx (median of the rounds' ratios; "
                "goal >= 20x)\n",
                m->espeakMs, m->falaMs, m->ratio);
    std::printf("  start-up (empty text): eSpeak NG %.2f ms, kaldro-fala %.2f ms (%.0f%% of kaldro-fala's time)\n",
                m->espeakStartMs, m->falaStartMs, 100 * m->falaStartMs / m->falaMs);
    const double espeakWork = m->espeakMs - m->espeakStartMs, falaWork = m->falaMs - m->falaStartMs;
    std::printf("  without start-up (text less empty text): eSpeak NG %.2f ms, kaldro-fala %.2f ms, ratio %.1fx\n",
                espeakWork, falaWork, espeakWork / falaWork);
    if (synthesis && toFile)
      std::printf("  kaldro in this process, Speech::speakText of the text: %.2f ms to the wav: device (synthesis, "
                  "resampling to 16000 Hz, file), %.2f ms to a silent device (synthesis only)\n",
                  *toFile, *synthesis);
    std::printf("\n");
  }
}

void timeToFirstSound() {
  SpeechBench bench;
  if (bench.startError != 0) {
    std::printf("time to first sound: speech did not start (error %d; is the voice built?)\n", bench.startError);
    return;
  }
  auto& device = static_cast<FirstBlockDevice&>(*bench.device);
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
  std::printf("time to first sound, speakText(\"%s\") to the first block at the device, median of %zu: %.3f ms "
              "(goal <= 5 ms)\n",
              kSentence, times.size(), median(times));
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
  std::printf("command: %s %d\n", argv[0], rounds);
  compareWithEspeak(rounds);
  timeToFirstSound();
  ::unlink(kEspeakWav);
  ::unlink(kFalaWav);
  return 0;
}

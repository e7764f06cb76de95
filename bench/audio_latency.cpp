// Latency of the sound device: from playWaveData to the first sample handed to SDL's callback,
// and from a key notification to the silence of a playing sound. Run on SDL's dummy driver:
//   SDL_AUDIODRIVER=dummy build/bin/bench_audio_latency [trials]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "platform/audio/audio_device_sdl.h"
#include "platform/config.h"
#include "platform/host/host.h"
#include "platform/host/host_quiet.h"
#include "platform/trace.h"

namespace {

using namespace kaldro;
using Clock = std::chrono::steady_clock;

int64_t nowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

struct Figures {
  double median, p90, worst;
};

Figures summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values[values.size() * 9 / 10], values.back()};
}

void print(const char* what, const std::vector<double>& values) {
  if (values.empty()) {
    std::printf("%-44s no measurement\n", what);
    return;
  }
  const Figures f = summarise(values);
  std::printf("%-44s median %6.2f ms  p90 %6.2f ms  worst %6.2f ms  (%zu trials)%s\n", what, f.median, f.p90, f.worst,
              values.size(), f.median < 30 ? "" : "  ABOVE 30 ms");
}

// Waits until the callback has changed a measurement away from its old value.
bool waitForChange(const platform::AudioDeviceSdl& device, int64_t (platform::AudioDeviceSdl::*reading)() const,
                   int64_t old, int64_t& value) {
  const int64_t deadline = nowNs() + 1'000'000'000;
  while (nowNs() < deadline) {
    value = (device.*reading)();
    if (value != old) return true;
    std::this_thread::yield();
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  std::printf("command: SDL_AUDIODRIVER=%s %s %d\n", std::getenv("SDL_AUDIODRIVER"), argv[0], trials);

  platform::Trace trace;
  platform::HostQuiet host(trace);
  platform::Configuration config(platform::ConfigLocations{{}, "/nonexistent", "/nonexistent"});
  console::Console console(host, config, "bench_audio_latency");
  platform::AudioDeviceSdl device(host);
  audio::WavPlayer player(console, device);

  // A full slot (65534 bytes, about six seconds) of a 440 Hz square wave, 8-bit mono 11025 Hz,
  // the largest block the synthesizers hand over.
  std::vector<uint8_t> sound(65534);
  for (size_t i = 0; i < sound.size(); ++i) sound[i] = (i * 440 / 11025) % 2 ? 160 : 96;

  std::vector<double> toFirstSample;
  std::vector<double> toSilence;
  for (int trial = 0; trial < trials; ++trial) {
    const int64_t oldStart = device.lastBlockStartNs();
    const int64_t played = nowNs();
    const int result = player.playWaveData(sound.data(), sound.size(), 11025, 8, 1);
    if (result != 0) {
      std::printf("the sound device did not open (error %d)\n", result);
      return 1;
    }
    int64_t started = 0;
    if (!waitForChange(device, &platform::AudioDeviceSdl::lastBlockStartNs, oldStart, started)) {
      std::printf("no sample reached the callback within a second\n");
      return 1;
    }
    toFirstSample.push_back((started - played) / 1e6);

    // A key arrives from another thread, as a window system delivers it, while the program waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + trial % 7));
    const int64_t oldSilence = device.lastSilenceStartNs();
    int64_t pressed = 0;
    std::thread keyboard([&] {
      platform::HostEvent key;
      key.kind = platform::EventKind::Character;
      key.character = 'x';
      pressed = nowNs();
      host.postFromAnyThread(key);
    });
    while (player.waveBusy()) console.waitForMessage();
    keyboard.join();
    int64_t silent = 0;
    if (waitForChange(device, &platform::AudioDeviceSdl::lastSilenceStartNs, oldSilence, silent))
      toSilence.push_back((silent - pressed) / 1e6);
    while (console.keyPressed()) console.readKey();
  }
  print("playWaveData -> first sample in the callback", toFirstSample);
  print("key notification -> silence", toSilence);
  return 0;
}

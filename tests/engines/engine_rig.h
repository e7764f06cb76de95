// A console and wave player on the headless host, for driving the external engines' adapters.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "audio/wav_player.h"
#include "console/console.h"
#include "platform/audio/audio_device_none.h"
#include "platform/config.h"
#include "platform/host/host_headless.h"
#include "platform/trace.h"
#include "platform/wave_header.h"
#include "support/program_run.h"

namespace kaldro::engines::testing {

// Counts the beeps the adapters make instead of speaking.
class BeepCountingHost : public platform::HostHeadless {
 public:
  using HostHeadless::HostHeadless;
  void systemBeep() override { ++beeps; }
  int beeps = 0;
};

// The silent device with virtual timing, keeping how many bytes it was given.
class CountingDevice : public platform::AudioDeviceNone {
 public:
  using AudioDeviceNone::AudioDeviceNone;
  size_t bytes = 0;

 protected:
  int deliver(const uint8_t*, size_t length) override {
    bytes += length;
    return platform::audio_error::Ok;
  }
};

struct EngineRig {
  explicit EngineRig(std::string_view script = "")
      : trace(folder.file("trace.txt")),
        host(trace, script),
        config(platform::ConfigLocations{{folder.path()}, folder.path(), folder.path()}),
        console(host, config, "kaldro-teste"),
        device(host),
        player(console, device) {}

  // Waits the way the speech services do: while busy, the next message.
  template <typename Adapter>
  int waitWhileBusy(Adapter& adapter, int limit = 100000) {
    int polls = 0;
    while (adapter.busy(false) && polls < limit) {
      console.waitForMessage();
      ++polls;
    }
    return polls;
  }

  kaldro::testing::ScratchFolder folder;
  platform::Trace trace;
  BeepCountingHost host;
  platform::Configuration config;
  console::Console console;
  CountingDevice device;
  audio::WavPlayer player;
};

struct WaveFacts {
  bool wellFormed = false;
  uint32_t rate = 0;
  uint16_t bits = 0, channels = 0;
  size_t samples = 0;
  double rms = 0;
  int peak = 0;
};

// A 16-bit mono WAV file as the eSpeak NG adapter writes it: its header checked, its loudness measured.
inline WaveFacts readWave(const std::string& bytes) {
  WaveFacts facts;
  if (bytes.size() < platform::WaveHeaderBytes || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 8, "WAVEfmt ") != 0 ||
      bytes.compare(36, 4, "data") != 0)
    return facts;
  auto le32 = [&](size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
  };
  auto le16 = [&](size_t at) {
    uint16_t value;
    std::memcpy(&value, bytes.data() + at, 2);
    return value;
  };
  facts.channels = le16(22);
  facts.rate = le32(24);
  facts.bits = le16(34);
  const uint32_t dataLength = le32(40);
  facts.wellFormed = le32(4) == bytes.size() - 8 && dataLength == bytes.size() - platform::WaveHeaderBytes &&
                     le32(28) == facts.rate * 2 && le16(32) == 2;
  facts.samples = dataLength / 2;
  double sum = 0;
  for (size_t i = 0; i < facts.samples; ++i) {
    int16_t sample;
    std::memcpy(&sample, bytes.data() + platform::WaveHeaderBytes + 2 * i, 2);
    sum += double(sample) * sample;
    facts.peak = std::max(facts.peak, std::abs(int(sample)));
  }
  facts.rms = facts.samples ? std::sqrt(sum / facts.samples) : 0;
  return facts;
}

}  // namespace kaldro::engines::testing

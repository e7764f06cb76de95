// A console and wave player on the headless host, for driving the external engines' adapters.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "platform/audio/audio_device_none.h"
#include "platform/config.h"
#include "platform/host/host_headless.h"
#include "platform/trace.h"
#include "platform/wave_file.h"
#include "support/program_run.h"

namespace kaldro::engines::testing {

// Counts the beeps the adapters make instead of speaking, and keeps the wake messages posted to it.
class BeepCountingHost : public platform::HostHeadless {
 public:
  using HostHeadless::HostHeadless;
  void systemBeep() override { ++beeps; }
  void postFromAnyThread(const platform::HostEvent& event) override {
    if (event.kind == platform::EventKind::Wake) wakes.push_back(event.cookie);
    HostHeadless::postFromAnyThread(event);
  }
  int beeps = 0;
  std::vector<uint64_t> wakes;
};

// The silent device with virtual timing, keeping the formats it opened and the bytes it was given.
class KeepingDevice : public platform::AudioDeviceNone {
 public:
  using AudioDeviceNone::AudioDeviceNone;
  std::vector<platform::AudioFormat> opened;
  size_t bytes = 0;
  std::vector<uint8_t> sound;  // every byte delivered, in order

 protected:
  int prepare(const platform::AudioFormat& format) override {
    opened.push_back(format);
    return platform::audio_error::Ok;
  }
  int deliver(const uint8_t* data, size_t length) override {
    bytes += length;
    sound.insert(sound.end(), data, data + length);
    return platform::audio_error::Ok;
  }
};

struct EngineRig {
  explicit EngineRig(std::string_view script = "")
      : tracePath(folder.file("trace.txt")),
        trace(tracePath),
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

  // The sizes of the sounds handed to the player ("play - RATE BITS CHANNELS BYTES").
  std::vector<size_t> played() const {
    std::vector<size_t> sizes;
    for (const std::string& line : kaldro::testing::splitLines(kaldro::testing::readFile(tracePath)))
      if (line.rfind("play - ", 0) == 0) sizes.push_back(std::stoul(line.substr(line.rfind(' ') + 1)));
    return sizes;
  }

  kaldro::testing::ScratchFolder folder;
  std::string tracePath;
  platform::Trace trace;
  BeepCountingHost host;
  platform::Configuration config;
  console::Console console;
  KeepingDevice device;
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

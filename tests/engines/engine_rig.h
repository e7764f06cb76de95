// A console and wave player on the headless host, for driving the external engines' adapters.
#pragma once

#include <string>
#include <string_view>

#include "audio/wav_player.h"
#include "console/console.h"
#include "platform/audio_device_none.h"
#include "platform/config.h"
#include "platform/host_headless.h"
#include "platform/trace.h"
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

}  // namespace kaldro::engines::testing

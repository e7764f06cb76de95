// A console on the headless host with a wave player, and a device that records what it is given.
#pragma once

#include "support/program_run.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/wav_player.h"
#include "console/console.h"
#include "platform/audio/audio_device_none.h"
#include "platform/config.h"
#include "platform/host/host_headless.h"
#include "platform/trace.h"

namespace kaldro::audio::testing {

// The silent device with virtual timing, keeping every format opened and every block written.
class RecordingDevice : public platform::AudioDeviceNone {
 public:
  using AudioDeviceNone::AudioDeviceNone;

  int busyOpens = 0;     // this many opens answer "busy" first
  int releaseError = 0;  // what release answers
  int openAttempts = 0;
  std::vector<platform::AudioFormat> opened;
  std::vector<std::vector<uint8_t>> blocks;

  int release(uint64_t) override { return releaseError; }

 protected:
  int prepare(const platform::AudioFormat& format) override {
    ++openAttempts;
    if (busyOpens > 0) {
      --busyOpens;
      return platform::audio_error::Allocated;
    }
    opened.push_back(format);
    return platform::audio_error::Ok;
  }
  int deliver(const uint8_t* bytes, size_t length) override {
    blocks.emplace_back(bytes, bytes + length);
    return platform::audio_error::Ok;
  }
};

inline void append(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }
inline void append32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Files of one test program live in one scratch folder, removed when the program ends.
inline std::string tempPath(const std::string& name) {
  static const kaldro::testing::ScratchFolder folder;
  return folder.file(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" + name);
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The player on a console on the headless host; keys come from the script.
struct PlayerRig {
  explicit PlayerRig(std::string_view script = "", std::unique_ptr<platform::AudioDevice> chosen = nullptr)
      : tracePath(tempPath("trace.txt")),
        trace((std::remove(tracePath.c_str()), tracePath)),
        host(trace, script),
        config(platform::ConfigLocations{{}, "/nonexistent", "/nonexistent"}),
        console(host, config, "kaldro-test"),
        device(chosen ? std::move(chosen) : std::make_unique<RecordingDevice>(host)),
        player(console, *device) {}

  RecordingDevice& recorder() { return static_cast<RecordingDevice&>(*device); }
  std::string traceText() const { return readFile(tracePath); }
  int64_t now() { return host.monotonicMs(); }
  void waitForEnd() {
    while (player.waveBusy()) console.waitForMessage();
  }

  std::string tracePath;
  platform::Trace trace;
  platform::HostHeadless host;
  platform::Configuration config;
  console::Console console;
  std::unique_ptr<platform::AudioDevice> device;
  WavPlayer player;
};

}  // namespace kaldro::audio::testing

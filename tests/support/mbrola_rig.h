// The MBROLA stand-in reached the ways the engine looks for MBROLA, and the Portuguese engine on the
// headless host with a recording sound device: for the engine, dispatcher and whole-run tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "platform/audio/audio_device_none.h"
#include "platform/config.h"
#include "platform/host/host_headless.h"
#include "platform/trace.h"
#include "support/program_run.h"
#include "tts/ormia_engine.h"

namespace kaldro::testing {

inline const std::string kDoubleDir = KALDRO_MBROLA_DOUBLE_DIR;
inline const std::string kDoubleLibrary = kDoubleDir + "/libmbrola-double.so";
inline const std::string kPartialLibrary = kDoubleDir + "/libmbrola-double-partial.so";
// The engine's data in the build tree.
inline const std::string kEngineData = std::string(KALDRO_BIN_DIR) + "/../share/kaldro/ormiatts/";

// Only the stand-in program (no library); only a library; nothing at all.
inline tts::MbrolaPlaces programOnly() { return {{}, {kDoubleDir}, true}; }
inline tts::MbrolaPlaces libraryOnly(const std::string& library = kDoubleLibrary) { return {{library}, {}, true}; }
inline tts::MbrolaPlaces nowhere() { return {{"libmbrola-absent.so"}, {}, true}; }

// A voice database of the stand-in: phones (empty: any phone) and the diphones it lacks.
inline std::string doubleDatabase(const std::string& phones = "", const std::string& missing = "") {
  std::string text = "kaldro mbrola stand-in\n";
  if (!phones.empty()) text += "phones: " + phones + "\n";
  if (!missing.empty()) text += "missing: " + missing + "\n";
  return text;
}

// The samples MBROLA lines ask for: every phone's duration at 16000 Hz.
inline long expectedSamples(const std::vector<std::string>& lines) {
  long total = 0;
  for (const std::string& line : lines) {
    std::istringstream words(line);
    std::string phone;
    double duration = 0;
    if (words >> phone && phone[0] != ';' && phone[0] != '#' && words >> duration)
      total += std::lround(duration * 16000 / 1000.0);
  }
  return total;
}

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

// The headless host that also keeps the numbers of the wake messages posted to it.
class WakeHost : public platform::HostHeadless {
 public:
  using HostHeadless::HostHeadless;
  std::vector<uint64_t> wakes;
  void postFromAnyThread(const platform::HostEvent& event) override {
    if (event.kind == platform::EventKind::Wake) wakes.push_back(event.cookie);
    HostHeadless::postFromAnyThread(event);
  }
};

// A console, player and engine in a scratch folder; the voice "br4" of the stand-in is in
// folder/voices/br4/br4, which the engine finds as an installed voice, and KALDRO.INI names the
// build tree's engine data.
struct EngineRig {
  explicit EngineRig(tts::MbrolaPlaces mbrola = programOnly(), std::string_view script = "")
      : tracePath(folder.file("trace.txt")),
        trace(tracePath),
        host(trace, script),
        config(platform::ConfigLocations{{folder.path()}, folder.path(), folder.path()}),
        console(host, config, "kaldro-teste"),
        device(host),
        player(console, device),
        engine(player, places(std::move(mbrola))) {}

  tts::EnginePlaces places(tts::MbrolaPlaces mbrola) {
    std::filesystem::create_directories(folder.file("voices/br4"));
    folder.write("voices/br4/br4", doubleDatabase());
    // An adapter built on this rig finds the engine's data of the build tree.
    folder.write("KALDRO.INI", "[ORMIATTS]\nDIR=" + kEngineData + "\n");
    tts::EnginePlaces result;
    result.mbrola = std::move(mbrola);
    result.voicePatterns = {folder.path() + "/voices/%s/%s"};
    result.engineFolder = kEngineData;
    return result;
  }
  bool start(const std::string& database = "") {
    return engine.startEngine(database, kEngineData + "portug.nrl", kEngineData + "portug.exc",
                              kEngineData + "portug.abr", kEngineData + "portug.pro", kEngineData + "portug.dfn");
  }
  // The utterances speak these lines, whatever the text.
  void speakLines(std::vector<std::string> lines) {
    engine.setLineMaker([lines](std::string_view, double, double) { return lines; });
  }
  // The sizes of the sounds handed to the player ("play - 16000 16 1 BYTES").
  std::vector<size_t> images() const {
    std::vector<size_t> sizes;
    for (const std::string& line : splitLines(readFile(tracePath)))
      if (line.rfind("play - ", 0) == 0) sizes.push_back(std::stoul(line.substr(line.rfind(' ') + 1)));
    return sizes;
  }

  ScratchFolder folder;
  std::string tracePath;
  platform::Trace trace;
  WakeHost host;
  platform::Configuration config;
  console::Console console;
  KeepingDevice device;
  audio::WavPlayer player;
  tts::OrmiaEngine engine;
};

}  // namespace kaldro::testing

// The MBROLA stand-in reached the ways the engine looks for MBROLA, and the Portuguese engine handing
// its samples to a recording sink: for the engine, dispatcher and whole-run tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sound_sink.h"
#include "support/program_run.h"
#include "tts/ormia_engine.h"

namespace kaldro::testing {

inline const std::string kDoubleDir = KALDRO_MBROLA_DOUBLE_DIR;
inline const std::string kDoubleLibrary = kDoubleDir + "/libmbrola-double.so";
inline const std::string kPartialLibrary = kDoubleDir + "/libmbrola-double-partial.so";

// Only the stand-in program (no library); only a library; nothing at all.
inline tts::MbrolaPlaces programOnly() { return {{}, {kDoubleDir}}; }
inline tts::MbrolaPlaces libraryOnly(const std::string& library = kDoubleLibrary) { return {{library}, {}}; }
inline tts::MbrolaPlaces nowhere() { return {{"libmbrola-absent.so"}, {}}; }

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

// Keeps every sample handed to it and the size of each block.
struct RecordingSink : platform::SoundSink {
  std::vector<int16_t> samples;
  std::vector<size_t> blocks;
  int utterances = 0;  // begun and ended
  int rate = 0;
  void beginUtterance(int utteranceRate) override { rate = utteranceRate; }
  bool takeSamples(std::span<const int16_t> given) override {
    samples.insert(samples.end(), given.begin(), given.end());
    blocks.push_back(given.size());
    return true;
  }
  bool endUtterance() override {
    ++utterances;
    return true;
  }
};

// Writes the voice "br4" of the stand-in in folder/voices/br4/br4, which the engine finds as an
// installed voice, and a KALDRO.INI that names the build tree's engine data; answers those places.
inline tts::EnginePlaces doublePlaces(const ScratchFolder& folder, tts::MbrolaPlaces mbrola) {
  std::filesystem::create_directories(folder.file("voices/br4"));
  folder.write("voices/br4/br4", doubleDatabase());
  folder.write("KALDRO.INI", "[ORMIATTS]\nDIR=" + kEngineData + "\n");
  tts::EnginePlaces result;
  result.mbrola = std::move(mbrola);
  result.voicePatterns = {folder.path() + "/voices/%s/%s"};
  result.engineFolder = kEngineData;
  return result;
}

// The engine in a scratch folder, speaking into a recording sink.
struct EngineRig {
  explicit EngineRig(tts::MbrolaPlaces mbrola = programOnly()) : engine(doublePlaces(folder, std::move(mbrola))) {}
  bool start(const std::string& database = "") {
    started = engine.startEngine(database, kEngineData + "portug.nrl", kEngineData + "portug.exc",
                                 kEngineData + "portug.abr", kEngineData + "portug.pro", kEngineData + "portug.dfn");
    return started.ok();
  }
  // The utterances speak these lines, whatever the text.
  void speakLines(std::vector<std::string> lines) {
    engine.setLineMaker([lines](std::string_view, double, double) { return lines; });
  }
  bool speak(std::string_view text) { return engine.speakUtterance(text, sink); }

  ScratchFolder folder;
  tts::OrmiaEngine engine;
  platform::Status started;  // of the last start
  RecordingSink sink;
};

}  // namespace kaldro::testing

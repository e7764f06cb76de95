// A console, speech and line editor on the headless host, driven by a key script, for the editor tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "platform/audio_device.h"
#include "platform/config.h"
#include "platform/host_headless.h"
#include "platform/trace.h"
#include "speech/external_synth.h"
#include "speech/line_editor.h"
#include "speech/speech.h"
#include "support/program_run.h"

namespace kaldro::speech::rig {

// Records every single cell the console paints, so that an echo can be seen where it was written
// even though the field is redrawn right after.
class RecordingHost : public platform::HostHeadless {
 public:
  struct Cell {
    int column, row;
    uint8_t character;
  };

  using HostHeadless::HostHeadless;
  void openWindow(const platform::WindowSettings&, const platform::TextGrid& grid) override { grid_ = &grid; }
  void drawRow(int row, int first, int end) override {
    if (grid_ && end - first == 1) singleCells.push_back({first + 1, row + 1, grid_->charAt(first, row)});
  }

  std::vector<Cell> singleCells;

 private:
  const platform::TextGrid* grid_ = nullptr;
};

// An external synthesizer that starts at once and only remembers what it was given.
class RecordingExternalSynth : public ExternalSynth {
 public:
  bool synthStart(int, int, int, const std::string&, int) override { return true; }
  void synthFinish() override {}
  void synthSpeak(std::string_view text) override { spoken.emplace_back(text); }
  bool synthBusy(bool) override { return false; }
  void synthStop() override {}

  std::vector<std::string> spoken;
};

// Without a voice speech is never started; the others can start (an empty diphone database),
// External with an external synthesizer that records what it is given.
enum class Voice { None, BuiltIn, External };

class EditorRig {
 public:
  // extraIni: more of KALDRO.INI (its section KALDRO).
  explicit EditorRig(std::string_view script, Voice voice = Voice::None, const std::string& extraIni = "")
      : iniWritten_(writeIni(voice, extraIni)),
        trace(folder.file("trace.txt")),
        host(trace, script),
        config(platform::ConfigLocations{{folder.path()}, folder.path(), folder.path()}),
        console(host, config, "teste"),
        device(platform::makeAudioDeviceNone(host)),
        player(console, *device),
        speech(console, config, player, external),
        editor(speech, [this](const Launch& launch) {
          launches.push_back(launch);
          return true;
        }) {
    console.clearScreen();
    if (voice != Voice::None) {
      EXPECT_EQ(speech.tryStartSpeech(0, ""), 0);
    }
  }

  // Runs an action that ends only when the key script runs out; the screen then shows the last turn.
  int runOut(const std::function<void()>& action) {
    ::testing::internal::CaptureStderr();
    int status = -1;
    try {
      action();
    } catch (const platform::ProgramExit& exit) {
      status = exit.status;
    }
    ::testing::internal::GetCapturedStderr();
    return status;
  }

  // The trace lines that the editor and review make: say, char, word, beep and click.
  std::vector<std::string> sounds() const {
    std::vector<std::string> lines;
    std::string text = kaldro::testing::readFile(folder.file("trace.txt"));
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      for (const char* keyword : {"say ", "char ", "word ", "beep", "click"})
        if (line.rfind(keyword, 0) == 0) lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }
  size_t count(const std::string& line) const {
    auto lines = sounds();
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
  }
  // Whether expected appear in the sounds in this order (others may come between).
  bool heardInOrder(const std::vector<std::string>& expected) const {
    auto lines = sounds();
    auto at = lines.begin();
    for (const std::string& line : expected) {
      at = std::find(at, lines.end(), line);
      if (at == lines.end()) return false;
      ++at;
    }
    return true;
  }

  std::string row(int number) const {
    std::string text;
    for (int column = 1; column <= console::Console::Columns; ++column)
      text.push_back(static_cast<char>(console.screenChar(column, number)));
    return text;
  }
  std::string clipboard() { return host.clipboardText().value_or(""); }

  kaldro::testing::ScratchFolder folder;

 private:
  bool writeIni(Voice voice, const std::string& extraIni) {
    std::string ini;
    if (voice != Voice::None) {
      // The smallest voice the built-in synthesizer starts with: empty database, rules and exceptions.
      for (const char* name : {"vazio.IND", "vazio.DIF", "regras.rgr", "portug.exc"}) folder.write(name, "");
      ini += "[TRADUTOR]\nDIRLETRAS=" + folder.path() + "\nDIRDIFONES=" + folder.path() + "\n";
      if (voice == Voice::External) ini += "SAPI=S\n[SERVFALA]\nTIPOSAPI=5\n";
      ini += "[SINTETIZADOR]\n";
      for (int level = 1; level <= 5; ++level) ini += "DIFONES" + std::to_string(level) + "=vazio\n";
    }
    if (!extraIni.empty()) ini += "[KALDRO]\n" + extraIni;
    if (!ini.empty()) folder.write("KALDRO.INI", ini);
    return true;
  }
  bool iniWritten_;

 public:
  platform::Trace trace;
  RecordingHost host;
  platform::Configuration config;
  console::Console console;
  std::unique_ptr<platform::AudioDevice> device;
  audio::WavPlayer player;
  RecordingExternalSynth external;
  Speech speech;
  std::vector<Launch> launches;
  LineEditor editor;
};

}  // namespace kaldro::speech::rig

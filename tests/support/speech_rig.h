// A talking console and line editor on the headless host with a small voice of its own, driven by a
// key script: for the speech, editor and file chooser tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "diphone/database_writer.h"
#include "platform/audio/audio_device_none.h"
#include "platform/config.h"
#include "platform/host/host_headless.h"
#include "platform/trace.h"
#include "speech/external_synth.h"
#include "speech/line_editor.h"
#include "speech/speech.h"
#include "support/program_run.h"
#include "support/wave_bytes.h"

namespace kaldro::speech::testing {

using kaldro::testing::readFile;
using kaldro::testing::ScratchFolder;
using kaldro::testing::splitLines;
using kaldro::testing::waveFile;
using kaldro::testing::writeFile;

// A voice in a scratch folder: letters/ holds every character and word recording (100 samples each
// unless told otherwise), difones/ a database "TESTE" with rules; KALDRO.INI points at both and
// asks for the literal reading, whose signs and recorded words these tests follow.
struct Voice {
  explicit Voice(const std::string& iniExtra = "[SINTETIZADOR]\nDIFONES3=TESTE\n") {
    letters = folder.path() + "/letras/";
    diphones = folder.path() + "/difones/";
    std::filesystem::create_directories(letters);
    std::filesystem::create_directories(diphones);
    for (int code = 0; code < 256; ++code) record("_" + std::to_string(code));
    for (const char* word :
         {"_zero", "_MENOS", "_um", "_uma", "_dois", "_duas", "_tres", "_quatro", "_cinco", "_seis", "_sete", "_oito",
          "_nove", "_dez", "_onze", "_dezesse", "_dezeset", "_vinte", "_trinta", "_cinquen", "_noventa", "_quinze",
          "_cem", "_cento", "_duzentos", "_quatroc", "_novecen", "_mil", "_milhao", "_milhoes", "_e", "_de",
          "_primeir", "_hora", "_horas", "_minuto", "_minutos", "_Sexta", "_Sabado", "_Segunda", "_Marco",
          "_Janeiro", "dtmf_1", "dtmf_X", "dtmf_#"})
      record(word);
    diphone::writeDiphoneDatabase(diphones + "TESTE", {{"$A", std::vector<uint8_t>(300, 20)},
                                                       {"$BA", std::vector<uint8_t>(300, 30)}});
    std::string rules;
    for (char c = 'A'; c <= 'Z'; ++c) rules += std::string("(") + c + ")=" + static_cast<char>(c + 32) + "|\n";
    writeFile(diphones + "regras.rgr", rules);
    writeFile(diphones + "portug.exc", "");
    writeFile(folder.file("KALDRO.INI"), "[TRADUTOR]\nLEITURA=LITERAL\nDIRLETRAS=" + letters + "\nDIRDIFONES=" + diphones + "\n" +
                                              iniExtra);
  }
  void record(const std::string& name, size_t samples = 100) { writeFile(letters + name + ".wav", waveFile(samples, 140)); }

  ScratchFolder folder;
  std::string letters, diphones;
};

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

// Stands for the engine dispatcher: records its calls; speaks for `busyPolls` busy tests.
struct FakeExternal : ExternalSynth {
  platform::Host* host = nullptr;
  bool startAnswer = true;
  std::vector<std::string> calls;
  int busyPolls = 0;
  bool synthStart(int voice, int speed, int pitch, const std::string& file, int kind) override {
    calls.push_back("start " + std::to_string(voice) + " " + std::to_string(speed) + " " + std::to_string(pitch) +
                    " [" + file + "] " + std::to_string(kind));
    return startAnswer;
  }
  void synthFinish() override { calls.push_back("finish"); }
  void synthSpeak(std::string_view text) override {
    calls.push_back("speak " + std::string(text));
    busyPolls = 3;
    if (!loseAtSpeak.empty()) lostCause = loseAtSpeak;
  }
  void synthSetVoiceName(std::string name) override { voiceName = std::move(name); }
  std::string synthFailureText() const override { return lostCause; }
  bool synthSpeechLost() const override { return !lostCause.empty(); }
  std::string voiceName;
  // Set: the synthesizer is lost (loseAtSpeak: when it is next handed a text).
  std::string lostCause, loseAtSpeak;
  // Like the real engines, a busy answer posts a wake message so that a wait never outlasts a poll.
  bool synthBusy(bool) override {
    if (busyPolls <= 0) return false;
    --busyPolls;
    platform::HostEvent wake;
    wake.kind = platform::EventKind::Wake;
    if (host) host->postFromAnyThread(wake);
    return true;
  }
  void synthStop() override { calls.push_back("stop"); }
};

// The speech services and the line editor on the headless host, tracing into the voice folder.
// Speech is not started until a test asks.
struct SpeechRig {
  explicit SpeechRig(const std::string& iniExtra = "[SINTETIZADOR]\nDIFONES3=TESTE\n", std::string_view script = "")
      : voice(iniExtra),
        tracePath(voice.folder.file("trace.txt")),
        trace(tracePath),
        host(trace, script),
        config(platform::ConfigLocations{{voice.folder.path()}, voice.folder.path(), voice.folder.path()}),
        console(host, config, "kaldro-teste"),
        device(host),
        player(console, device),
        speech(console, config, player, external),
        editor(speech, [this](const Launch& launch) {
          launches.push_back(launch);
          return true;
        }) {
    external.host = &host;
    console.clearScreen();
  }

  void start(int speed = 0) {
    speech.startSpeech(speed, "");
    newTrace();
  }
  // The trace lines written since the last call.
  std::vector<std::string> newTrace() {
    const std::string text = readFile(tracePath);
    std::vector<std::string> lines = splitLines(text.substr(consumed));
    consumed = text.size();
    return lines;
  }
  // Only the lines that begin with one of the keywords.
  std::vector<std::string> newTrace(std::initializer_list<std::string_view> keywords) {
    return only(newTrace(), keywords);
  }
  static std::vector<std::string> only(const std::vector<std::string>& lines,
                                       std::initializer_list<std::string_view> keywords) {
    std::vector<std::string> kept;
    for (const std::string& line : lines)
      for (std::string_view keyword : keywords)
        if (line.rfind(std::string(keyword) + " ", 0) == 0 || line == keyword) kept.push_back(line);
    return kept;
  }
  // Every trace line the editor and review make with say, char, word, beep and click.
  std::vector<std::string> sounds() const {
    return only(splitLines(readFile(tracePath)), {"say", "char", "word", "beep", "click"});
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
  // Runs an action that ends only when the key script runs out; the screen then shows the last turn.
  int runOut(const std::function<void()>& action) { return kaldro::testing::runToProgramEnd(action).status; }

  std::string row(int number) const {
    std::string text;
    for (int column = 1; column <= console::Console::Columns; ++column)
      text.push_back(static_cast<char>(console.screenChar(column, number)));
    return text;
  }
  std::string clipboard() { return host.clipboardText().value_or(""); }

  Voice voice;
  std::string tracePath;
  platform::Trace trace;
  RecordingHost host;
  platform::Configuration config;
  console::Console console;
  platform::AudioDeviceNone device;
  audio::WavPlayer player;
  FakeExternal external;
  Speech speech;
  std::vector<Launch> launches;
  LineEditor editor;
  size_t consumed = 0;
};

// The editor tests' rig: the key script first, and a speech start only when asked for.
enum class Speaking { No, BuiltIn, External };
struct EditorRig : SpeechRig {
  explicit EditorRig(std::string_view script, Speaking speaking = Speaking::No, const std::string& ini = "")
      : SpeechRig((speaking == Speaking::External ? "[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=5\n" : "") +
                      std::string("[SINTETIZADOR]\nDIFONES2=TESTE\nDIFONES3=TESTE\n") + ini,
                  script) {
    if (speaking != Speaking::No) {
      EXPECT_EQ(speech.tryStartSpeech(0, ""), 0);
    }
  }
};

}  // namespace kaldro::speech::testing

// A talking console on the headless host with a small voice of its own: recordings, diphones, rules.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "diphone/database_writer.h"
#include "platform/audio_device_none.h"
#include "platform/config.h"
#include "platform/host_headless.h"
#include "platform/trace.h"
#include "speech/speech.h"
#include "support/program_run.h"

namespace kaldro::speech::testing {

using kaldro::testing::readFile;
using kaldro::testing::ScratchFolder;

inline std::string le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

// An 8-bit mono 11025 Hz WAV file of count samples of one value.
inline std::string waveFile(size_t count, uint8_t value) {
  const std::string format = "fmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(11025, 4) + le(11025, 4) + le(1, 2) + le(8, 2);
  const std::string body = "WAVE" + format + "data" + le(static_cast<uint32_t>(count), 4) +
                           std::string(count, static_cast<char>(value));
  return "RIFF" + le(static_cast<uint32_t>(body.size()), 4) + body;
}

// A voice in a scratch folder: letters/ holds every character and word recording (100 samples each
// unless told otherwise), difones/ a database "TESTE" with rules; KALDRO.INI points at both.
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
    writeText(diphones + "regras.rgr", rules);
    writeText(diphones + "portug.exc", "");
    writeText(folder.file("KALDRO.INI"), "[TRADUTOR]\nDIRLETRAS=" + letters + "\nDIRDIFONES=" + diphones + "\n" + iniExtra);
  }
  void record(const std::string& name, size_t samples = 100) { writeText(letters + name + ".wav", waveFile(samples, 140)); }
  static void writeText(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  ScratchFolder folder;
  std::string letters, diphones;
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
  }
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

// The speech services on the headless host, tracing into the voice folder.
struct SpeechRig {
  explicit SpeechRig(const std::string& iniExtra = "[SINTETIZADOR]\nDIFONES3=TESTE\n", const std::string& script = "")
      : voice(iniExtra),
        tracePath(voice.folder.file("trace.txt")),
        trace(tracePath),
        host(trace, script),
        config(platform::ConfigLocations{{voice.folder.path()}, voice.folder.path(), voice.folder.path()}),
        console(host, config, "kaldro-teste"),
        device(host),
        player(console, device),
        speech(console, config, player, external) {
    external.host = &host;
  }

  // The trace lines written since the last call.
  std::vector<std::string> newTrace() {
    std::vector<std::string> lines;
    std::istringstream in(readFile(tracePath).substr(consumed));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    consumed = readFile(tracePath).size();
    return lines;
  }
  // Only the lines that begin with one of the keywords.
  std::vector<std::string> newTrace(std::initializer_list<std::string_view> keywords) {
    std::vector<std::string> kept;
    for (const std::string& line : newTrace())
      for (std::string_view keyword : keywords)
        if (line.rfind(std::string(keyword) + " ", 0) == 0 || line == keyword) kept.push_back(line);
    return kept;
  }
  void start(int speed = 0) {
    speech.startSpeech(speed, "");
    newTrace();
  }

  Voice voice;
  std::string tracePath;
  platform::Trace trace;
  platform::HostHeadless host;
  platform::Configuration config;
  console::Console console;
  platform::AudioDeviceNone device;
  audio::WavPlayer player;
  FakeExternal external;
  Speech speech;
  size_t consumed = 0;
};

}  // namespace kaldro::speech::testing

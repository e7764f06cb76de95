// Speed of the built-in synthesizer: words translated per second, and seconds of speech assembled per CPU second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "diphone/database_writer.h"
#include "diphone/diphone_synth.h"
#include "platform/text.h"

namespace {

using namespace kaldro::diphone;

const char* const kParagraph =
    "Prezado senhor, venho por meio desta solicitar a renova\xE7\xE3o do contrato de loca\xE7\xE3o do "
    "im\xF3vel situado na rua das Flores, conforme combinado em nossa \xFAltima conversa. Aguardo sua "
    "resposta com brevidade e agrade\xE7o desde j\xE1 a aten\xE7\xE3o dispensada. Atenciosamente, "
    "Jo\xE3o da Silva, morador do Paraguai e amigo de longa data da fam\xEDlia.";

int countWords(const std::string& text) {
  int words = 0;
  bool inWord = false;
  for (char c : text) {
    bool letter = c != ' ' && c != ',' && c != '.';
    if (letter && !inWord) ++words;
    inWord = letter;
  }
  return words;
}

// Counts what would be played, plays nothing.
class CountingOutput : public DiphoneOutput {
 public:
  void playImageWait(const uint8_t*, size_t bytes) override { samples += bytes - kWaveHeaderSize; }
  void waitSpeechEnd() override {}
  size_t samples = 0;
};

// The installed voice when the tree has one, else a small voice made here.
class Voice {
 public:
  Voice() {
    std::string installed = std::string(KALDRO_BIN_DIR) + "/../share/kaldro/som/difones/";
    if (std::filesystem::exists(installed + "regras.rgr")) {
      folders_ = {std::string(KALDRO_BIN_DIR) + "/../share/kaldro/som/letras/", installed};
      return;
    }
    root_ = std::filesystem::temp_directory_path() / ("kaldro-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root_ / "letras");
    std::filesystem::create_directories(root_ / "difones");
    folders_ = {(root_ / "letras").string() + "/", (root_ / "difones").string() + "/"};
    const std::string vowels = "aeiouAEIOU";
    const std::string consonants = "bcdfgjklmnprstvxz";
    std::vector<DiphoneUnit> units;
    auto add = [&](const std::string& written) {
      const std::string name = kaldro::platform::upperAscii(written);
      for (const auto& unit : units)
        if (unit.name == name) return;
      units.push_back({name, std::vector<uint8_t>(900, static_cast<uint8_t>(100 + units.size() % 50))});
    };
    for (char v : vowels) add(std::string("$") + v);
    for (char c : consonants) {
      add(std::string("$") + c);
      for (char v : vowels) add(std::string("$") + c + v);
    }
    add("$NN");
    writeDiphoneDatabase(folders_.diphones + "DIFONES2", units);
    std::ofstream rules(folders_.diphones + "regras.rgr");
    for (char c = 'A'; c <= 'Z'; ++c) rules << "(" << c << ")=" << static_cast<char>(c - 'A' + 'a') << "|\n";
    rules << "(')=|\n(~)=~|\n(^)=^|\n";
    std::ofstream exceptions(folders_.diphones + "portug.exc");
    exceptions << "de=dji\nda=da\n";
  }
  ~Voice() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  const DiphoneFolders& folders() const { return folders_; }

 private:
  std::filesystem::path root_;
  DiphoneFolders folders_;
};

void translation(benchmark::State& state) {
  Voice voice;
  CountingOutput output;
  DiphoneSynth synth(output);
  if (synth.startDiphoneSynth(voice.folders()) != kStartReady) {
    state.SkipWithError("the voice does not start");
    return;
  }
  const std::string text = kParagraph;
  const int words = countWords(text);
  for (auto _ : state) benchmark::DoNotOptimize(synth.translateText(text));
  state.counters["words/s"] = benchmark::Counter(static_cast<double>(words) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(translation);

void soundAssembly(benchmark::State& state) {
  Voice voice;
  CountingOutput output;
  DiphoneSynth synth(output);
  if (synth.startDiphoneSynth(voice.folders()) != kStartReady) {
    state.SkipWithError("the voice does not start");
    return;
  }
  const std::string phonemes = synth.translateText(kParagraph);
  for (auto _ : state) synth.speakPhonemes(phonemes);
  state.counters["speech s/s"] =
      benchmark::Counter(static_cast<double>(output.samples) / kSampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK(soundAssembly);

}  // namespace

BENCHMARK_MAIN();

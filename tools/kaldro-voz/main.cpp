// kaldro-voz: builds the built-in voice (diphone database, letters, words, tones) and checks the rule files.
//
//   kaldro-voz --inventory unidades.txt --letters letras.txt --words palavras.txt
//              --diphones-out DIR --base DIFONES2 --letters-out DIR
//   kaldro-voz --check --rules regras.rgr --exceptions portug.exc
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "diphone/database_writer.h"
#include "diphone/rule_file.h"
#include "diphone/unit_phones.h"
#include "platform/text.h"
#include "espeak_voice.h"
#include "sound_shaping.h"
#include "voice_builder.h"

namespace {

using namespace kaldro;

struct Options {
  std::string mode = "build";
  std::map<std::string, std::string> values;
  std::string get(const std::string& key) const {
    auto found = values.find(key);
    return found == values.end() ? "" : found->second;
  }
};

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--check") {
      options.mode = arg.substr(2);
    } else {
      if (!arg.starts_with("--") || i + 1 >= argc) return false;
      options.values[arg.substr(2)] = argv[++i];
    }
  }
  return true;
}

std::string readFile(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int reportFaults(const std::vector<std::string>& faults) {
  for (const std::string& fault : faults) std::cerr << "kaldro-voz: " << fault << "\n";
  return faults.empty() ? 0 : 1;
}

int checkRuleFiles(const Options& options) {
  std::vector<std::string> faults;
  for (const auto& fault : diphone::checkRules(options.get("rules")))
    faults.push_back(diphone::describeFault(options.get("rules"), fault));
  for (const auto& fault : diphone::checkExceptions(options.get("exceptions")))
    faults.push_back(diphone::describeFault(options.get("exceptions"), fault));
  return reportFaults(faults);
}

int buildVoice(const Options& options) {
  for (const char* key : {"inventory", "letters", "words", "diphones-out", "base", "letters-out"}) {
    if (options.get(key).empty()) {
      std::cerr << "kaldro-voz: falta a opção --" << key << "\n";
      return 2;
    }
  }
  std::vector<std::string> faults;
  diphone::UnitPhones inventory;
  if (const platform::Status loaded = inventory.load(options.get("inventory")); !loaded.ok()) {
    std::istringstream lines(platform::cp1252ToUtf8(loaded.message()));
    for (std::string fault; std::getline(lines, fault);) faults.push_back(fault);
  }
  bool ok = false;
  const std::string lettersText = readFile(options.get("letters"), ok);
  if (!ok) faults.push_back(options.get("letters") + ": não foi possível ler o arquivo");
  const auto letters = voz::parseRecordings(lettersText, "letras.txt", faults);
  const std::string wordsText = readFile(options.get("words"), ok);
  if (!ok) faults.push_back(options.get("words") + ": não foi possível ler o arquivo");
  const auto words = voz::parseRecordings(wordsText, "palavras.txt", faults);
  if (int status = reportFaults(faults)) return status;

  std::string error;
  auto voice = voz::EspeakVoice::open(error);
  if (!voice) {
    std::cerr << "kaldro-voz: " << error << "\n";
    return 1;
  }
  if (voice->sampleRate() != 2 * voz::kOutputRate) {
    std::cerr << "kaldro-voz: o eSpeak NG fala a " << voice->sampleRate() << " Hz; esperava 22050 Hz\n";
    return 1;
  }
  voz::VoiceBuilder builder(*voice);
  const auto units = builder.makeUnits(inventory, faults);
  const auto letterSounds = builder.makeLetters(letters, faults);
  const auto wordSounds = builder.makeWords(words);
  if (int status = reportFaults(faults)) return status;
  const auto tones = voz::VoiceBuilder::makeTelephoneTones();

  const float gain = voz::commonGain({&units, &letterSounds, &wordSounds});
  std::vector<diphone::DiphoneUnit> database;
  for (const voz::SoundPiece& unit : units) database.push_back({unit.name, voz::toUnsigned8(unit.samples, gain)});

  std::filesystem::create_directories(options.get("diphones-out"));
  std::filesystem::create_directories(options.get("letters-out"));
  error = diphone::writeDiphoneDatabase(options.get("diphones-out") + "/" + options.get("base"), std::move(database));
  if (error.empty()) voz::writeWaveFiles(options.get("letters-out"), letterSounds, gain, error);
  if (error.empty()) voz::writeWaveFiles(options.get("letters-out"), wordSounds, gain, error);
  if (error.empty()) voz::writeWaveFiles(options.get("letters-out"), tones, 1.0f, error);
  if (!error.empty()) {
    std::cerr << "kaldro-voz: " << error << "\n";
    return 1;
  }
  std::cout << "kaldro-voz: " << units.size() << " unidades, " << letterSounds.size() << " letras, "
            << wordSounds.size() << " palavras, " << tones.size() << " tons\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::cerr << "kaldro-voz: esperava opções --nome valor (falta um valor ou sobra um argumento)\n";
    return 2;
  }
  if (options.mode == "check") return checkRuleFiles(options);
  return buildVoice(options);
}

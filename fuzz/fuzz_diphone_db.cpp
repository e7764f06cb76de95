// The diphone database: an index and a data file of any bytes (split by a "%%" line), then
// phoneme strings spoken through it, those of the input after a second "%%" line included.
#include <filesystem>

#include "diphone/diphone_index.h"
#include "diphone/diphone_output.h"
#include "diphone/diphone_synth.h"
#include "targets.h"

namespace kaldro::fuzz {

namespace {
class SilentOutput : public diphone::DiphoneOutput {
 public:
  void playImageWait(const uint8_t*, size_t) override {}
  void waitSpeechEnd() override {}
};
}  // namespace

void fuzzDiphoneDatabase(std::span<const uint8_t> input) {
  const std::string_view all(reinterpret_cast<const char*>(input.data()), input.size());
  const auto [index, rest] = splitInput(all);
  const auto [data, phonemes] = splitInput(rest);

  static const std::string folder = scratchFolder() + "/diphone/";
  static const bool prepared = [] {
    std::filesystem::create_directories(folder + "letras");
    std::filesystem::copy_file(KALDRO_SOURCE_DIR "/data/regras.rgr", folder + "regras.rgr",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(KALDRO_SOURCE_DIR "/data/portug.exc", folder + "portug.exc",
                               std::filesystem::copy_options::overwrite_existing);
    return true;
  }();
  (void)prepared;
  writeScratchFile(folder + "FUZZ.IND", index);
  writeScratchFile(folder + "FUZZ.DIF", data);

  const diphone::DiphoneIndex parsed{std::string(index)};
  for (size_t record = 0; record < std::min<size_t>(parsed.size(), 64); ++record)
    (void)parsed.find(parsed.nameAt(record));

  SilentOutput output;
  diphone::DiphoneSynth synth(output);
  synth.setDiphoneBase("FUZZ");
  if (synth.startDiphoneSynth(diphone::DiphoneFolders{folder + "letras/", folder}) != 0) return;
  synth.setConcatSettings(-65535, 65535, 65535);
  synth.speakPhonemes(synth.translateText("Bom dia, Maria. S\xE3o 15 horas."));
  synth.setConcatSettings(400, 0, 100);
  if (!phonemes.empty()) synth.speakPhonemes(phonemes.substr(0, 512));
  // Every unit of the index by its own name.
  std::string units;
  for (size_t record = 0; record < std::min<size_t>(parsed.size(), 64); ++record)
    units += "[" + parsed.nameAt(record) + "] ";
  synth.speakPhonemes(units);
}

}  // namespace kaldro::fuzz

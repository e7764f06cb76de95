// The Portuguese engine's readers: the abbreviations file with the normaliser, the prosody file
// and diphone list with tokenising, patterns and buildProsody, and the whole front end on texts.
#include <filesystem>

#include "targets.h"
#include "tts/front_end.h"
#include "tts/normaliser.h"
#include "tts/prosody.h"

namespace kaldro::fuzz {

namespace {
constexpr const char* kSentence = "Dr. Jo\xE3o chegou \xE0s 15h30 de 07/03/2005 com R$ 1.234,56 e 3\xBA lugar; 2 km.";
}  // namespace

// Abbreviations file %% a text to normalise with it.
void fuzzAbbreviations(std::span<const uint8_t> input) {
  const auto [table, text] = splitInput(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  tts::Normaliser normaliser;
  normaliser.setAbbreviations(table);
  for (const tts::Abbreviation& entry : normaliser.abbreviations()) (void)entry;
  (void)normaliser.normaliseText(kSentence);
  (void)normaliser.normaliseText(text.substr(0, 2048));
}

// Any text through the normaliser with the shipped abbreviations.
void fuzzNormaliser(std::span<const uint8_t> input) {
  static const tts::Normaliser normaliser = [] {
    tts::Normaliser loaded;
    loaded.loadAbbreviations(engineDataFolder() + "portug.abr");
    return loaded;
  }();
  (void)normaliser.normaliseText(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
}

// Prosody file %% diphone list %% blank-separated phones to give durations and pitch.
void fuzzProsody(std::span<const uint8_t> input) {
  const auto [prosodyText, rest] = splitInput(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  const auto [diphoneList, phoneText] = splitInput(rest);
  static const std::string folder = makeScratchSubfolder("prosody") + "/";
  writeScratchFile(folder + "portug.pro", prosodyText);
  writeScratchFile(folder + "portug.dfn", diphoneList);
  tts::Prosody prosody([](const std::string&) {});
  if (!prosody.loadProsody(folder + "portug.pro").ok()) return;
  prosody.loadDiphones(folder + "portug.dfn");
  const std::vector<std::string> tokens = prosody.tokenise(kSentence);
  (void)prosody.assignPatterns(tokens, true);
  (void)prosody.assignPatterns(prosody.tokenise(phoneText.substr(0, 1024)), true);
  std::vector<std::string> phones;
  for (size_t pos = 0; pos < phoneText.size() && phones.size() < 400;) {
    size_t end = phoneText.find_first_of(" \n", pos);
    if (end == std::string_view::npos) end = phoneText.size();
    if (end > pos) phones.emplace_back(phoneText.substr(pos, end - pos));
    pos = end + 1;
  }
  (void)prosody.buildProsody(phones, 1.0, 1.0);
  (void)prosody.buildProsody(phones, 0.01, 10.0);
  (void)prosody.hasDiphone("a", "b");
}

// Any text through the whole front end, as the engine speaks it.
void fuzzFrontEnd(std::span<const uint8_t> input) {
  static tts::FrontEnd* frontEnd = [] {
    auto* loaded = new tts::FrontEnd([](const std::string&) {});
    loaded->load(tts::dataFilesIn(engineDataFolder()));
    return loaded;
  }();
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  (void)frontEnd->normalise(text);
  (void)frontEnd->mbrolaLines(text, 1.0, 1.0);
  (void)frontEnd->phones(text);
}

}  // namespace kaldro::fuzz

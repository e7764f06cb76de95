// The Portuguese engine's transcription: its letter-to-sound rules and word exceptions read from
// any text, and any words transcribed and given durations and pitch with the shipped files.
#include <cstdio>
#include <filesystem>

#include "targets.h"
#include "tts/prosody.h"
#include "tts/transcriber.h"

namespace kaldro::fuzz {

namespace {

// Words that reach the exceptions (plural and -m forms included), every stress state and the
// liaison, with the pauses that stress short words.
const std::vector<std::string> kTokenLines = {
    "555|HOMENS", "555|AINDA", "555|T\xC1XIS",  "555|PR\xD3XIMOS", "555|CASAS", "555|JOGAM",   "555|,",
    "555|QUE",    "555|\xD3RG\xC3O", "555|PIAU\xCD", "555|GUERRA",  "555|QUAIS", "555|N\xC3O", "555|?",
    "555|POR",    "555|AMOR",  "555|ETERNO", "555|MAS",  "555|OUTROS", "555|RITMO",  "555|Y", "555|.",
    "53?|",       "555|A\xC7\xC3O", "555|P\xC3" "ES", "555|BCDFG", "555|!"};

const tts::Prosody& shippedProsody() {
  static const tts::Prosody prosody = [] {
    tts::Prosody loaded([](const std::string&) {});
    if (!loaded.loadProsody(engineDataFolder() + "portug.pro").ok() ||
        !loaded.loadDiphones(engineDataFolder() + "portug.dfn").ok())
      std::fprintf(stderr, "fuzz: the engine's prosody files are missing in %s\n", engineDataFolder().c_str());
    return loaded;
  }();
  return prosody;
}

const tts::Transcriber& shippedTranscriber() {
  static const tts::Transcriber transcriber = [] {
    tts::Transcriber loaded;
    if (!loaded.loadLexicons(engineDataFolder() + "portug.nrl", engineDataFolder() + "portug.exc").ok())
      std::fprintf(stderr, "fuzz: the engine's rules are missing in %s\n", engineDataFolder().c_str());
    return loaded;
  }();
  return transcriber;
}

// Transcription, then prosody at the usual factors and at extreme ones.
void speakTokens(const tts::Transcriber& transcriber, const std::vector<std::string>& tokenLines) {
  const std::vector<std::string> phones = transcriber.transcribe(tokenLines);
  (void)tts::joinPhones(phones);
  (void)shippedProsody().buildProsody(phones, 1.0, 1.0);
  (void)shippedProsody().buildProsody(phones, 0.01, 10.0);
}

}  // namespace

// Rules file %% exceptions file %% a text, transcribed after the fixed words.
void fuzzEngineRules(std::span<const uint8_t> input) {
  const auto [rules, rest] = splitInput(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  const auto [exceptions, text] = splitInput(rest);
  static const std::string folder = makeScratchSubfolder("tts_rules") + "/";
  writeScratchFile(folder + "portug.nrl", rules);
  writeScratchFile(folder + "portug.exc", exceptions);
  tts::Transcriber transcriber;
  if (!transcriber.loadLexicons(folder + "portug.nrl", folder + "portug.exc").ok()) return;
  (void)transcriber.ruleCount();
  (void)transcriber.skippedLines();
  speakTokens(transcriber, kTokenLines);
  (void)tts::phonesOfText(transcriber, "Bom dia, Maria! S\xE3o 15h30; a\xE7\xE3o, p\xE3" "es e CPF.");
  (void)tts::phonesOfText(transcriber, text.substr(0, 1024));
}

// One token line per input line: "PPP|word" as it is (any pattern), any other line as a word of the
// neutral pattern. Words of any bytes and any length.
void fuzzTranscribe(std::span<const uint8_t> input) {
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  std::vector<std::string> tokenLines;
  for (size_t pos = 0; pos <= text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    tokenLines.push_back(line.size() >= 4 && line[3] == '|' ? std::string(line) : "555|" + std::string(line));
    pos = end + 1;
  }
  speakTokens(shippedTranscriber(), tokenLines);
  (void)tts::phonesOfText(shippedTranscriber(), text);
}

}  // namespace kaldro::fuzz

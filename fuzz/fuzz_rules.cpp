// The built-in synthesizer's rules and exceptions (the input's two parts, split by "%%" lines),
// then texts translated with them: a fixed one and the input's third part.
#include <filesystem>

#include "diphone/rule_file.h"
#include "diphone/translator.h"
#include "targets.h"

namespace kaldro::fuzz {

void fuzzRules(std::span<const uint8_t> input) {
  const auto [rules, rest] = splitInput(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  const auto [exceptions, text] = splitInput(rest);
  for (std::string_view line : diphone::splitLines(rules)) (void)diphone::parseRuleLine(line);
  for (std::string_view line : diphone::splitLines(exceptions)) (void)diphone::parseExceptionLine(line);

  static const std::string folder = makeScratchSubfolder("rules") + "/";
  writeScratchFile(folder + "regras.rgr", rules);
  writeScratchFile(folder + "portug.exc", exceptions);
  diphone::Translator translator;
  if (!translator.loadRules(folder + "regras.rgr").ok() || !translator.loadExceptions(folder + "portug.exc").ok()) return;
  (void)translator.translateText("Bom dia, Maria! S\xE3o 15h30 de 07/03/2005; a\xE7\xE3o, p\xE3" "es e CPF.");
  (void)translator.translateText(text.substr(0, 1024));
}

}  // namespace kaldro::fuzz

// The programs answer --help and --version on standard output with status 0, as Linux programs do,
// without opening a console or speaking.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/program_run.h"

namespace kaldro::testing {
namespace {

TEST(StandardOptions, HelpAndVersionAnswerOnStandardOutput) {
  struct Case {
    const char* program;
    const char* option;
    std::string firstLine;  // how the first line begins
    std::vector<std::string> within = {};
  };
  const Case cases[] = {
      // The second chords of the keys Linux keeps for itself.
      {"plumar", "--help", "uso: plumar [MODELO]", {"Ctrl+Alt+Shift+F9", "Ctrl+Alt+Shift+F11", "Ctrl+Alt+Shift+F12"}},
      {"plumar", "--version", "plumar (kaldro) "},
      {"kaldro-fala", "--help", "uso: kaldro-fala [-v N] [-w ARQUIVO.wav] [--phonemes | --phones] [TEXTO...]",
       {"C\xC3\xB3" "digo de sa\xC3\xAD" "da"}},  // the exit statuses
      {"kaldro-fala", "--version", "kaldro-fala (kaldro) "},
      {"sd_kaldro", "--help", "Uso: sd_kaldro [ARQUIVO_DE_CONFIGURA\xC3\x87\xC3\x83O]"},
      {"sd_kaldro", "--version", "sd_kaldro (kaldro) "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.option);
    ScratchFolder folder;
    ProgramResult result = runProgram(c.program, {c.option}, "", folder);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(splitLines(result.standardOutput).at(0).substr(0, c.firstLine.size()), c.firstLine);
    for (const std::string& text : c.within) EXPECT_NE(result.standardOutput.find(text), std::string::npos) << text;
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.trace, "") << "spoke or opened the console";
  }
}

// A wrong command line says what is wrong in one line and where the options are, not the whole help.
TEST(StandardOptions, WrongCommandLineSaysWhatAndPointsToHelp) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--bogus"}, "kaldro-fala: op\xC3\xA7\xC3\xA3o desconhecida: --bogus\n"},
      {{"texto", "-v"}, "kaldro-fala: falta o valor de -v\n"},
      {{"--engine", "nenhum", "x"}, "kaldro-fala: motor desconhecido: nenhum\n"},
  };
  for (const auto& [arguments, reason] : cases) {
    ScratchFolder folder;
    ProgramResult result = runProgram("kaldro-fala", arguments, "", folder);
    EXPECT_EQ(result.status, 2) << reason;
    EXPECT_EQ(result.standardError, reason + "kaldro-fala: veja as op\xC3\xA7\xC3\xB5" "es com kaldro-fala --help\n");
    EXPECT_EQ(result.standardOutput, "");
  }
}

}  // namespace
}  // namespace kaldro::testing

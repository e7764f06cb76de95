// Both programs answer --help and --version on standard output with status 0, as Linux programs do,
// without opening a console or speaking.
#include <gtest/gtest.h>

#include <string>

#include "support/program_run.h"

namespace kaldro::testing {
namespace {

TEST(StandardOptions, HelpAndVersionAnswerOnStandardOutput) {
  struct Case {
    const char* program;
    const char* option;
    std::string firstLine;  // how the first line begins
  };
  const Case cases[] = {
      {"plumar", "--help", "uso: plumar [MODELO]"},
      {"plumar", "--version", "plumar (kaldro) "},
      {"kaldro-fala", "--help", "uso: kaldro-fala [-v N] [-w ARQUIVO.wav] [--phonemes | --phones] [TEXTO...]"},
      {"kaldro-fala", "--version", "kaldro-fala (kaldro) "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.option);
    ScratchFolder folder;
    ProgramResult result = runProgram(c.program, {c.option}, "", folder);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(splitLines(result.standardOutput).at(0).substr(0, c.firstLine.size()), c.firstLine);
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.trace, "") << "spoke or opened the console";
  }
}

}  // namespace
}  // namespace kaldro::testing

// The example templates of examples/, each answered by its key script as a person would, give the
// letters kept in tests/data/exemplos.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/program_run.h"

namespace kaldro::testing {
namespace {

// The instruction lines of a template, as the program speaks them ("{*" and a final "}" and "*" off).
std::vector<std::string> instructions(const std::string& templateText) {
  std::vector<std::string> spoken;
  for (std::string line : splitLines(templateText)) {
    if (line.rfind("{*", 0) != 0) continue;
    line.erase(0, 2);
    if (!line.empty() && line.back() == '}') line.pop_back();
    if (!line.empty() && line.back() == '*') line.pop_back();
    spoken.push_back(line);
  }
  return spoken;
}

TEST(Examples, EachTemplateAnsweredByItsKeyScriptGivesItsLetter) {
  struct Case {
    const char* example;
    const char* letter;  // the output name its key script types
  };
  const Case cases[] = {
      {"declaracao", "declaracao-pronta.txt"},
      {"requerimento", "requerimento-pronto.txt"},
      {"pedido-itens", "pedido-pronto.txt"},
      {"recibo", "recibo-pronto.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.example);
    const std::string base = std::string(KALDRO_SOURCE_DIR) + "/examples/" + c.example;
    ScratchFolder folder;
    ProgramResult result = runProgram("plumar", {base + ".txt"}, readFile(base + ".teclas"), folder,
                                      {{"KALDRO_NOW", "2027-03-07T10:00:00"}});
    EXPECT_EQ(result.status, 0) << result.standardError;
    EXPECT_EQ(folder.read(c.letter), readFile(std::string(KALDRO_TEST_DATA) + "/exemplos/" + c.letter));

    std::vector<std::string> said;
    for (const std::string& line : result.traceLines())
      if (line.rfind("say ", 0) == 0) said.push_back(line.substr(4));
    size_t next = 0;  // every instruction is spoken, in the template's order
    for (const std::string& instruction : instructions(readFile(base + ".txt"))) {
      while (next < said.size() && said[next] != instruction) ++next;
      EXPECT_LT(next, said.size()) << "not spoken: " << instruction;
    }
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), "Texto gerado");
  }
}

// The example that ./run.sh answers by itself where nobody is at the keyboard.
TEST(Examples, TheRunScriptsExampleWritesItsLetter) {
  ScratchFolder folder;
  ::mkdir(folder.file("build").c_str(), 0755);
  const std::string base = std::string(KALDRO_SOURCE_DIR) + "/examples/carta-modelo";
  ProgramResult result = runProgram("plumar", {base + ".txt"}, readFile(base + ".teclas"), folder);
  EXPECT_EQ(result.status, 0) << result.standardError;
  const std::string letter = folder.read("build/carta-gerada.txt");
  EXPECT_NE(letter.find("Prezado(a) Maria da Silva,"), std::string::npos) << letter;
  EXPECT_NE(letter.find("- vencimento 10/02/2027, valor R$ 150,00"), std::string::npos) << letter;
  EXPECT_NE(letter.find("Jo\xC3\xA3o Pereira"), std::string::npos) << letter;
}

}  // namespace
}  // namespace kaldro::testing

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

    const std::vector<std::string> said = result.spokenLines();
    size_t next = 0;  // every instruction is spoken, in the template's order
    for (const std::string& instruction : instructions(readFile(base + ".txt"))) {
      while (next < said.size() && said[next] != instruction) ++next;
      EXPECT_LT(next, said.size()) << "not spoken: " << instruction;
    }
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), "Texto gerado");
  }
}

// The code blocks of the manual's part on a complete template: the template, then the letter.
std::vector<std::string> manualExample() {
  const std::string manual = readFile(std::string(KALDRO_SOURCE_DIR) + "/docs/manual.md");
  std::vector<std::string> blocks;
  size_t at = manual.find("### Um modelo completo");
  while (at != std::string::npos && blocks.size() < 2) {
    size_t open = manual.find("```\n", at);
    if (open == std::string::npos) break;
    size_t close = manual.find("```\n", open + 4);
    if (close == std::string::npos) break;
    blocks.push_back(manual.substr(open + 4, close - open - 4));
    at = close + 4;
  }
  return blocks;
}

TEST(Examples, TheManualsCompleteTemplateGivesTheLetterItShows) {
  const std::vector<std::string> blocks = manualExample();
  ASSERT_EQ(blocks.size(), 2u);
  ScratchFolder folder;
  folder.write("pedido.txt", blocks[0]);
  ProgramResult result = runProgram("plumar", {"pedido.txt"},
                                    "type carta.txt\nkey Enter\ntype Curitiba\nkey Enter\n"
                                    "type papel para braille\nkey Enter\ntype 10 resmas\nkey Enter\nkey S\n"
                                    "type reglete de mesa\nkey Enter\ntype 2\nkey Enter\nkey N\n"
                                    "type Ana Souza\nkey Enter\n",
                                    folder, {{"KALDRO_NOW", "2027-03-07T10:00:00"}});
  EXPECT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(folder.read("carta.txt"), blocks[1]);
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

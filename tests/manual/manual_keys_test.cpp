// The user's manual names every key of the line editor, the file list, screen review and the braille
// keyboard in the part where the user looks for it, and the second chord of each Ctrl+Alt+F-key.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace kaldro::testing {
namespace {

// The manual's "##" parts by their titles.
std::map<std::string, std::string> manualParts() {
  std::map<std::string, std::string> parts;
  std::string title;
  for (const std::string& line : splitLines(readFile(std::string(KALDRO_SOURCE_DIR) + "/docs/manual.md"))) {
    if (line.rfind("## ", 0) == 0)
      title = line.substr(3);
    else
      parts[title] += line + "\n";
  }
  return parts;
}

TEST(Manual, EveryKeyIsInItsPart) {
  struct Case {
    const char* part;
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {"O editor de linha",
       {"Enter", "Esc", "Tab", "Ctrl+Enter", "Seta para cima", "Seta para baixo", "Page Up", "Page Down",
        "Insert", "F2", "F3", "F5", "F6", "F7", "F9", "F10", "F11", "Seta para a esquerda",
        "Seta para a direita", "Alt+Seta para a direita", "Home", "End", "Ctrl+Seta para a direita",
        "Ctrl+Seta para a esquerda", "F1:", "Ctrl+F1", "Ctrl+K", "F8", "Ctrl+F8", "F4", "Backspace", "Delete",
        "Ctrl+Backspace", "Ctrl+D", "Ctrl+S", "Ctrl+Y", "Ctrl+U", "Ctrl+Insert", "Ctrl+C", "Shift+Insert",
        "Ctrl+V", "Ctrl+F4", "F12", "Ctrl+\\\\", "Ctrl+Alt+F9", "Ctrl+Alt+Shift+F9", "Alt+F1", "AltGr"}},
      {"A lista de arquivos",
       {"Seta para baixo", "Seta para cima", "Page Down", "Page Up", "Home", "Ctrl+Page Up", "End",
        "Ctrl+Page Down", "Seta para a direita", "Seta para a esquerda", "F5", "Ctrl+F5", "Enter", "Esc", "Tab",
        "Espaço", "Mais", "Menos", "Asterisco", "Barra", "Shift+Seta para baixo", "Shift+Seta para cima"}},
      {"A revisão de tela",
       {"Ctrl+Alt+F9", "Ctrl+Alt+Shift+F9", "Esc", "Seta para a direita", "Seta para a esquerda", "Backspace",
        "Seta para baixo", "Seta para cima", "Enter", "Home", "End", "Page Up", "Page Down", "Ctrl+Page Up",
        "Ctrl+Page Down", "Ctrl+Seta para a direita", "Ctrl+Seta para a esquerda", "F1:", "Espaço", "Ctrl+K",
        "Ctrl+L", "Ctrl+F1", "Tab", "Shift+Tab", "F6", "F5", "Ctrl+F5", "Ctrl+C", "- I:", "- T:", "- F:",
        "- L:", "- C:", "primeira letra L vale como T"}},
      {"O teclado braille",
       {"F é\no ponto 1", "D o ponto 2", "S o ponto 3", "J o ponto 4", "K o ponto 5", "L o ponto 6",
        "Ctrl+Alt+F11", "Ctrl+Alt+F12", "pontos 3, 4, 5 e 6", "pontos 4 e 6", "`MODO=1`"}},
      {"Teclas que o Linux guarda para si",
       {"Ctrl+Alt+Shift+F9 é o mesmo que Ctrl+Alt+F9", "Ctrl+Alt+Shift+F11 é o mesmo que Ctrl+Alt+F11",
        "Ctrl+Alt+Shift+F12 é o mesmo que Ctrl+Alt+F12"}},
      {"Velocidade da fala", {"Ctrl+F4", "`VELOCIDADE=`", "`PAUSAPONTO`", "`CORTAFALA`", "`RAPIDINHO`"}},
      {"Outra voz", {"`SAPI=S`", "TIPOSAPI=5", "TIPOSAPI=4", "TIPOSAPI=3", "`mbrola-br4`"}},
      {"Como os textos são lidos", {"`LEITURA=LITERAL`", "`--literal`", "`--normal`"}},
  };
  const std::map<std::string, std::string> parts = manualParts();
  for (const Case& c : cases) {
    auto part = parts.find(c.part);
    ASSERT_NE(part, parts.end()) << "no part " << c.part;
    for (const std::string& key : c.keys)
      EXPECT_NE(part->second.find(key), std::string::npos) << c.part << " lacks " << key;
  }
}

}  // namespace
}  // namespace kaldro::testing

// kaldro-manual: writes a manual page from one of our Markdown manuals (used by the build).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "man_page.h"

constexpr const char* kUsage =
    "uso: kaldro-manual --name NOME [--version V] MANUAL.md SAIDA.1\n"
    "Escreve a página de manual NOME(1) a partir de um manual em Markdown (docs/manual.md).\n";

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && arguments[0] == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::string name, version;
  std::vector<std::string> files;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if ((arguments[i] == "--name" || arguments[i] == "--version") && i + 1 < arguments.size()) {
      (arguments[i] == "--name" ? name : version) = arguments[i + 1];
      ++i;
    } else {
      files.push_back(arguments[i]);
    }
  }
  if (name.empty() || files.size() != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::ifstream input(files[0], std::ios::binary);
  if (!input) {
    std::fprintf(stderr, "kaldro-manual: não foi possível ler %s\n", files[0].c_str());
    return 1;
  }
  std::string markdown((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
  std::ofstream output(files[1], std::ios::binary);
  output << kaldro::manual::markdownToMan(markdown, name, version);
  if (!output.flush()) {
    std::fprintf(stderr, "kaldro-manual: não foi possível gravar %s\n", files[1].c_str());
    return 1;
  }
  return 0;
}

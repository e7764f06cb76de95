// Checks the floors of the source tree at build time: every #include "unit/..." must name a unit the
// including folder builds on, no chain of includes may come back to the file it started from,
// every file of src/ opens with a comment line saying what it is for, and no file of src/ but the
// words table holds a message (messages.h says what reads as one).
//
//   kaldro-camadas RULES ROOT
//
// RULES, written by CMake from the units' link dependencies, holds lines of two kinds:
//   unit NAME PREFIX          an include path beginning with PREFIX belongs to unit NAME
//   folder PATH NAME...       files below ROOT/PATH may include the units NAME...
//   deps NAME DEP...          unit NAME declares the units DEP... as its direct dependencies
// ROOT/docs/arquitetura.md, the architecture page, must tell the same dependencies and the names of
// the host, sound device and voice tables (page.h).
// A file follows the longest folder line that holds it; a path matches the longest unit prefix.
// Includes of no unit (the standard library, a test's own helpers) are not checked.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "messages.h"
#include "page.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kWordsTable = "src/platform/words.h";

struct Rules {
  std::map<std::string, std::string> unitOfPrefix;  // "platform/window/" -> "window"
  std::map<std::string, std::set<std::string>> allowedInFolder;
  kaldro::layers::DirectDeps directDeps;
};

struct Include {
  int line;
  std::string path;
};

Rules readRules(std::istream& in) {
  Rules rules;
  std::string text;
  while (std::getline(in, text)) {
    std::istringstream words(text);
    std::string kind, first;
    words >> kind >> first;
    std::string word;
    if (kind == "unit" && words >> word) rules.unitOfPrefix[word] = first;
    if (kind == "deps") {
      auto& below = rules.directDeps[first];
      while (words >> word) below.insert(word);
    }
    if (kind == "folder") {
      auto& allowed = rules.allowedInFolder[first];
      while (words >> word) allowed.insert(word);
    }
  }
  return rules;
}

// The longest key of the map that begins `path`, or "" when none does.
template <typename Map>
std::string longestPrefix(const Map& map, const std::string& path) {
  std::string best;
  for (const auto& [prefix, value] : map) {
    if (path.starts_with(prefix) && prefix.size() > best.size()) best = prefix;
  }
  return best;
}

std::vector<Include> quotedIncludes(const fs::path& file) {
  static const std::regex directive(R"(^\s*#\s*include\s*"([^"]+)\")");
  std::vector<Include> includes;
  std::ifstream in(file);
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    std::smatch match;
    if (std::regex_search(text, match, directive)) includes.push_back({line, match[1]});
  }
  return includes;
}

class Checker {
 public:
  Checker(Rules rules, fs::path root) : rules_(std::move(rules)), root_(std::move(root)) {}

  int run() {
    for (const auto& [folder, allowed] : rules_.allowedInFolder) {
      if (!fs::is_directory(root_ / folder)) continue;
      for (const auto& entry : fs::recursive_directory_iterator(root_ / folder)) {
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".h" || extension == ".cpp")) {
          files_.insert(fs::relative(entry.path(), root_).generic_string());
        }
      }
    }
    for (const std::string& file : files_) checkFloors(file);
    for (const std::string& file : files_) {
      if (!file.starts_with("src/")) continue;
      checkPurposeLine(file);
      checkMessages(file);
    }
    for (const std::string& file : files_) findCycle(file);
    faults_ += kaldro::layers::checkArchitecturePage(rules_.directDeps, root_);
    return faults_ == 0 ? 0 : 1;
  }

 private:
  // A reader who hears the code learns what a file is for from its first line.
  void checkPurposeLine(const std::string& file) {
    std::ifstream in(root_ / file);
    std::string first;
    std::getline(in, first);
    if (first.starts_with("// ")) return;
    std::cerr << file << ":1: falta a primeira linha, um comentário que diga para que o arquivo serve\n";
    ++faults_;
  }

  // One table of messages is one place to read, correct and translate them; a word list of the
  // reading rules is data, not a message.
  void checkMessages(const std::string& file) {
    if (file == kWordsTable) return;
    for (const kaldro::layers::WordList& list : kaldro::layers::kWordLists)
      if (file == list.path) return;
    std::ifstream in(root_ / file, std::ios::binary);
    std::ostringstream source;
    source << in.rdbuf();
    for (const kaldro::layers::Literal& literal : kaldro::layers::stringLiterals(source.str())) {
      if (!kaldro::layers::readsAsMessage(literal.bytes)) continue;
      std::string shown = literal.bytes;
      for (size_t at = shown.find('\n'); at != std::string::npos; at = shown.find('\n', at))
        shown.replace(at, 1, "\\n");
      std::cerr << file << ":" << literal.line << ": uma mensagem fora de " << kWordsTable << ": \"" << shown
                << "\"\n";
      ++faults_;
    }
  }

  void checkFloors(const std::string& file) {
    const std::string folder = longestPrefix(rules_.allowedInFolder, file);
    const std::set<std::string>& allowed = rules_.allowedInFolder.at(folder);
    for (const Include& include : quotedIncludes(root_ / file)) {
      const std::string unit = unitOf(include.path);
      if (unit.empty() || allowed.count(unit)) continue;
      std::cerr << file << ":" << include.line << ": a camada de " << folder << " inclui \""
                << include.path << "\", da unidade " << unit << ", que não está abaixo dela\n";
      ++faults_;
    }
  }

  std::string unitOf(const std::string& includePath) const {
    const std::string prefix = longestPrefix(rules_.unitOfPrefix, includePath);
    return prefix.empty() ? "" : rules_.unitOfPrefix.at(prefix);
  }

  // The tracked file an include names: beside the includer first, then under each scanned root.
  std::string resolve(const std::string& includer, const std::string& path) const {
    const std::string beside =
        (fs::path(includer).parent_path() / path).lexically_normal().generic_string();
    if (files_.count(beside)) return beside;
    for (const char* top : {"src/", "tests/"}) {
      if (files_.count(top + path)) return top + path;
    }
    return "";
  }

  // Depth-first walk; a file met again while still on the path closes a cycle.
  void findCycle(const std::string& file) {
    if (done_.count(file)) return;
    const auto onPath = std::find(path_.begin(), path_.end(), file);
    if (onPath != path_.end()) {
      std::cerr << "ciclo de inclusões:";
      for (auto step = onPath; step != path_.end(); ++step) std::cerr << " " << *step << " ->";
      std::cerr << " " << file << "\n";
      ++faults_;
      return;
    }
    path_.push_back(file);
    for (const Include& include : quotedIncludes(root_ / file)) {
      const std::string target = resolve(file, include.path);
      if (!target.empty()) findCycle(target);
    }
    path_.pop_back();
    done_.insert(file);
  }

  Rules rules_;
  fs::path root_;
  std::set<std::string> files_;
  std::set<std::string> done_;
  std::vector<std::string> path_;
  int faults_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::cout << "uso: kaldro-camadas REGRAS RAIZ\n"
                 "Confere que cada #include \"unidade/...\" da árvore em RAIZ nomeia uma unidade\n"
                 "de que a pasta depende (as REGRAS vêm do CMake), que nenhuma inclusão fecha ciclo,\n"
                 "que cada arquivo de src/ começa com um comentário que diz para que serve e que\n"
                 "nenhum arquivo de src/ fora de src/platform/words.h tem uma mensagem: um texto\n"
                 "com duas palavras seguidas e uma letra acentuada, ou com duas palavras seguidas,\n"
                 "a primeira de três letras ou mais e a segunda em minúsculas. As listas de\n"
                 "palavras lidas em voz alta (nomes de teclas e sinais, palavras da leitura\n"
                 "natural) ficam de fora.\n";
    return 0;
  }
  if (argc != 3) {
    std::cerr << "uso: kaldro-camadas REGRAS RAIZ (kaldro-camadas --help explica)\n";
    return 2;
  }
  std::ifstream rulesFile(argv[1]);
  if (!rulesFile) {
    std::cerr << "kaldro-camadas: não consegui abrir " << argv[1] << "\n";
    return 2;
  }
  return Checker(readRules(rulesFile), argv[2]).run();
}

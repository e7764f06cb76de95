// The architecture page against the build: its unit table, its host, device and voice names.
#include "page.h"

#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <vector>

namespace kaldro::layers {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPage = "docs/arquitetura.md";

std::string readText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The names between backquotes in text.
std::set<std::string> quotedNames(const std::string& text) {
  std::set<std::string> names;
  static const std::regex quoted("`([^`]+)`");
  for (std::sregex_iterator it(text.begin(), text.end(), quoted), end; it != end; ++it) names.insert((*it)[1]);
  return names;
}

// Every capture of a pattern over a source file (each non-empty first and second group).
std::set<std::string> tableNames(const fs::path& source, const std::regex& row) {
  const std::string text = readText(source);
  std::set<std::string> names;
  for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it)
    for (size_t group = 1; group < it->size(); ++group)
      if ((*it)[group].matched && (*it)[group].length() > 0) names.insert((*it)[group]);
  return names;
}

std::string joined(const std::set<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out.empty() ? "nada" : out;
}

// The page's unit table: "| `unit` | `dep`, `dep` |" rows.
int checkUnitTable(const std::string& page, const DirectDeps& deps) {
  static const std::regex row(R"(\n\| `([a-z_]+)` \| ([^|\n]*) \|)");
  DirectDeps told;
  for (std::sregex_iterator it(page.begin(), page.end(), row), end; it != end; ++it)
    told[(*it)[1]] = quotedNames((*it)[2]);
  int faults = 0;
  for (const auto& [unit, below] : deps) {
    const auto found = told.find(unit);
    if (found == told.end()) {
      std::cerr << kPage << ": a unidade " << unit << " falta na tabela das unidades\n";
      ++faults;
    } else if (found->second != below) {
      std::cerr << kPage << ": a tabela diz que " << unit << " se apoia em " << joined(found->second)
                << ", e o DEPS diz " << joined(below) << "\n";
      ++faults;
    }
  }
  for (const auto& [unit, below] : told)
    if (!deps.count(unit)) {
      std::cerr << kPage << ": a tabela das unidades tem " << unit << ", que o CMake não declara\n";
      ++faults;
    }
  return faults;
}

// The names the page gives after `lead` (up to the end of that sentence) against a source table's.
int checkNames(const std::string& flatPage, const std::string& lead, const fs::path& source, const std::regex& row) {
  const size_t start = flatPage.find(lead);
  if (start == std::string::npos) {
    std::cerr << kPage << ": falta a frase que começa com \"" << lead << "\"\n";
    return 1;
  }
  const size_t from = start + lead.size();
  const std::set<std::string> told = quotedNames(flatPage.substr(from, flatPage.find(". ", from) - from));
  const std::set<std::string> table = tableNames(source, row);
  if (told == table) return 0;
  std::cerr << kPage << ": a página diz " << joined(told) << ", e a tabela de " << source.filename().string()
            << " tem " << joined(table) << "\n";
  return 1;
}

}  // namespace

int checkArchitecturePage(const DirectDeps& deps, const fs::path& root) {
  const std::string page = readText(root / kPage);
  if (page.empty()) return 0;  // a tree without the page (a test's scratch tree)
  std::string flat = page;
  for (char& c : flat)
    if (c == '\n') c = ' ';
  flat = std::regex_replace(flat, std::regex("  +"), " ");
  int faults = checkUnitTable(page, deps);
  faults += checkNames(flat, "`src/platform/host/host_select.cpp`:", root / "src/platform/host/host_select.cpp",
                       std::regex(R"re(\{"([a-z]+)", \[\]\(Trace)re"));
  faults += checkNames(flat, "`src/platform/audio/audio_select.cpp`:", root / "src/platform/audio/audio_select.cpp",
                       std::regex(R"re(\{"([a-z:]+)", \[\]\(Host)re"));
  faults += checkNames(flat, "`src/voice/voice_table.cpp`):", root / "src/voice/voice_table.cpp",
                       std::regex(R"re(\{"([^"]*)", "([^"]*)", \{)re"));
  return faults;
}

}  // namespace kaldro::layers

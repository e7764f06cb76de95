// Reading the unit inventory's names and phones, and mapping phoneme strings to phones.
#include "diphone/unit_phones.h"

#include <algorithm>
#include <sstream>

#include "diphone/rule_file.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::diphone {

namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> out;
  std::istringstream in{std::string(text)};
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool isUpperVowel(char c) { return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U'; }

constexpr std::string_view kSymbolPrefix = "símbolo ";
constexpr char kSpokenByName = '\x02';  // stands for "_" once the punctuation is gone

}  // namespace

platform::Status UnitPhones::load(const std::string& path) {
  using platform::Status, platform::StatusCode;
  const auto text = readWholeFile(path);
  if (!text)
    return Status::failure(StatusCode::Unreadable,
                           platform::utf8ToCp1252(platform::words::InventoryFileUnreadable.utf8({path})));
  std::string faults;
  for (const std::string& fault : parse(*text, path.substr(path.find_last_of('/') + 1)))
    faults += (faults.empty() ? "" : "\n") + fault;
  if (faults.empty()) return {};
  return Status::failure(StatusCode::Malformed, platform::utf8ToCp1252(faults));
}

platform::Status UnitPhones::loadFromFolder(const std::string& folder) {
  const std::string name(kInventoryFileName);
  return load(platform::findFileIgnoringCase(folder, name).value_or(folder + name));
}

std::vector<std::string> UnitPhones::parse(std::string_view text, const std::string& fileName) {
  units_.clear();
  symbols_.clear();
  std::vector<std::string> faults;
  size_t number = 0;
  std::istringstream in{std::string(text)};
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    std::string_view line = trim(raw);
    auto fault = [&](const std::string& problem) {
      faults.push_back(fileName + ":" + std::to_string(number) + ": " + problem);
    };
    if (line.empty() || line.front() == '#') continue;
    if (line.starts_with(kSymbolPrefix)) {
      line.remove_prefix(kSymbolPrefix.size());
      size_t equals = line.find('=');
      if (equals == std::string_view::npos) {
        fault(platform::words::InventorySymbolLacksEquals.utf8());
        continue;
      }
      std::string symbol(trim(line.substr(0, equals)));
      auto phones = words(line.substr(equals + 1));
      if (symbol.empty() || phones.empty()) fault(platform::words::InventorySymbolEmpty.utf8());
      else if (!symbols_.emplace(symbol, phones).second) fault(platform::words::InventorySymbolRepeated.utf8({symbol}));
      continue;
    }
    if (line.front() != '$') {
      fault(platform::words::InventoryLineUnknown.utf8());
      continue;
    }
    InventoryUnit unit;
    unit.line = number;
    if (std::string problem = parseUnit(line, unit); !problem.empty()) {
      fault(problem);
      continue;
    }
    units_.push_back(std::move(unit));
  }
  for (InventoryUnit& unit : units_) {
    if (unit.sameAs.empty()) continue;
    const InventoryUnit* target = find(unit.sameAs);
    if (!target || !target->sameAs.empty()) {
      faults.push_back(fileName + ":" + std::to_string(unit.line) + ": " +
                       platform::words::InventoryBadCopy.utf8({unit.name, unit.sameAs}));
      continue;
    }
    unit.phones = target->phones;
  }
  return faults;
}

std::string UnitPhones::parseUnit(std::string_view line, InventoryUnit& unit) const {
  size_t first = line.find('=');
  if (first == std::string_view::npos) return platform::words::InventoryUnitLacksEquals.utf8();
  unit.name = std::string(trim(line.substr(0, first)));
  std::string_view rest = trim(line.substr(first + 1));
  if (rest.starts_with("como ")) {
    unit.sameAs = std::string(trim(rest.substr(5)));
  } else {
    size_t second = rest.find('=');
    if (second == std::string_view::npos) return platform::words::InventoryUnitLacksSecondEquals.utf8();
    unit.carrier = std::string(trim(rest.substr(0, second)));
    unit.phones = words(rest.substr(second + 1));
    if (unit.phones.empty()) return platform::words::InventoryUnitWithoutPhones.utf8({unit.name});
  }
  if (unit.name.size() < 2 || unit.name.size() > 8) return platform::words::InventoryUnitNameLength.utf8({unit.name});
  if (find(unit.name)) return platform::words::UnitRepeated.utf8({unit.name});
  return "";
}

const InventoryUnit* UnitPhones::find(std::string_view name) const {
  for (const InventoryUnit& unit : units_)
    if (unit.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), unit.name.begin(), [](char a, char b) { return lower(a) == lower(b); }))
      return &unit;
  return nullptr;
}

std::vector<std::string> UnitPhones::phonesOf(std::string_view phonemeString) const {
  std::string flat;  // the units' characters without the word and unit punctuation
  for (size_t i = 0; i < phonemeString.size(); ++i) {
    char c = phonemeString[i];
    if (c == '_' && i + 1 < phonemeString.size()) {
      flat += kSpokenByName;
      flat += phonemeString[++i];
    } else if (c != '[' && c != ']' && c != '/' && c != ' ') {
      flat += c;
    }
  }
  std::vector<std::string> phones;
  size_t longest = 0;
  for (const auto& entry : symbols_) longest = std::max(longest, entry.first.size());
  for (size_t i = 0; i < flat.size();) {
    if (flat[i] == kSpokenByName) {
      phones.push_back(std::string("<") + flat[i + 1] + ">");
      i += 2;
      continue;
    }
    bool matched = false;
    for (size_t length = std::min(longest, flat.size() - i); length > 0 && !matched; --length) {
      std::string piece = flat.substr(i, length);
      const bool stressed = isUpperVowel(piece.front());
      std::transform(piece.begin(), piece.end(), piece.begin(), lower);
      auto found = symbols_.find(piece);
      if (found == symbols_.end()) continue;
      for (size_t p = 0; p < found->second.size(); ++p)
        phones.push_back((stressed && p == 0 ? std::string(kStressMark) : std::string()) + found->second[p]);
      i += length;
      matched = true;
    }
    if (!matched) {
      phones.push_back("?");
      ++i;
    }
  }
  return phones;
}

}  // namespace kaldro::diphone

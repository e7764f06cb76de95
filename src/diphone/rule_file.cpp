// Parsing and checking of the rules file and the exceptions file.
#include "diphone/rule_file.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::diphone {

namespace words = platform::words;

namespace {

bool isBlank(std::string_view line) {
  for (char c : line)
    if (c != ' ' && c != '\t') return false;
  return true;
}

// Keeps the first width characters; tells whether anything was dropped.
std::string cut(std::string_view field, size_t width, bool& wasCut) {
  if (field.size() > width) {
    wasCut = true;
    return std::string(field.substr(0, width));
  }
  return std::string(field);
}

}  // namespace

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = next;
  }
  return lines;
}

std::optional<std::string> readWholeFile(const std::string& path) {
  // A device or a pipe could be read forever or never end.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return contents.str();
}

std::optional<std::string> readTextFile(const std::string& path) {
  auto bytes = readWholeFile(path);
  if (!bytes) return std::nullopt;
  return platform::textFileToCp1252(*bytes);
}

RuleLine parseRuleLine(std::string_view line) {
  RuleLine result;
  if (isBlank(line) || line.front() == ';') return result;
  size_t open = line.find('(');
  if (open == std::string_view::npos) {
    result.fault = words::RuleLacksOpening.utf8();
    return result;
  }
  size_t close = line.find(')', open + 1);
  if (close == std::string_view::npos) {
    result.fault = words::RuleLacksClosing.utf8();
    return result;
  }
  size_t equals = line.find('=', close + 1);
  if (equals == std::string_view::npos) {
    result.fault = words::RuleLacksEquals.utf8();
    return result;
  }
  std::string_view match = line.substr(open + 1, close - open - 1);
  if (match.empty()) {
    result.fault = words::RuleWithoutLetters.utf8();
    return result;
  }
  auto first = static_cast<unsigned char>(match.front());
  if (first < 32 || first > 95) {
    result.fault = words::RuleLettersBadStart.utf8();
    return result;
  }
  size_t bar = line.find('|', equals + 1);
  std::string_view output =
      line.substr(equals + 1, (bar == std::string_view::npos ? line.size() : bar) - equals - 1);
  Rule rule;
  rule.left = cut(line.substr(0, open), kContextWidth, result.fieldsCut);
  rule.match = cut(match, kMatchWidth, result.fieldsCut);
  rule.right = cut(line.substr(close + 1, equals - close - 1), kContextWidth, result.fieldsCut);
  rule.output = cut(output, kOutputWidth, result.fieldsCut);
  result.rule = std::move(rule);
  return result;
}

ExceptionLine parseExceptionLine(std::string_view line) {
  ExceptionLine result;
  if (line.empty() || line.front() == ';') return result;
  if (line.size() > kMaxExceptionLine) {
    result.fault = words::ExceptionLineTooLong.utf8();
    return result;
  }
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    result.fault = words::ExceptionLacksEquals.utf8();
    return result;
  }
  if (equals == 0) {
    result.fault = words::ExceptionLacksWord.utf8();
    return result;
  }
  size_t bar = line.find('|', equals + 1);
  Exception entry;
  entry.key = std::string(line.substr(0, equals));
  entry.replacement =
      std::string(line.substr(equals + 1, (bar == std::string_view::npos ? line.size() : bar) - equals - 1));
  result.entry = std::move(entry);
  return result;
}

namespace {
// Runs check on every line of the file, numbered from 1, gathering what it finds; one fault at line
// 0 when the file cannot be read.
using LineCheck = std::function<void(std::string_view line, size_t number, std::vector<LineFault>& faults)>;
std::vector<LineFault> checkEachLine(const std::string& path, const LineCheck& check) {
  auto text = readTextFile(path);
  if (!text) return {{0, words::FileUnreadable.utf8()}};
  std::vector<LineFault> faults;
  size_t number = 0;
  for (std::string_view line : splitLines(*text)) check(line, ++number, faults);
  return faults;
}
}  // namespace

std::vector<LineFault> checkRules(const std::string& path) {
  return checkEachLine(path, [](std::string_view line, size_t number, std::vector<LineFault>& faults) {
    RuleLine parsed = parseRuleLine(line);
    if (!parsed.fault.empty()) {
      faults.push_back({number, parsed.fault});
    } else if (parsed.fieldsCut) {
      faults.push_back({number, words::RuleFieldCut.utf8()});
    }
  });
}

std::vector<LineFault> checkExceptions(const std::string& path) {
  size_t entries = 0;
  return checkEachLine(path, [&](std::string_view line, size_t number, std::vector<LineFault>& faults) {
    ExceptionLine parsed = parseExceptionLine(line);
    if (!parsed.fault.empty()) faults.push_back({number, parsed.fault});
    if (parsed.entry && ++entries == kMaxExceptions + 1)
      faults.push_back({number, words::ExceptionsTooMany.utf8()});
  });
}

std::string describeFault(const std::string& path, const LineFault& fault) {
  if (fault.line == 0) return path + ": " + fault.problem;
  return path + ":" + std::to_string(fault.line) + ": " + fault.problem;
}

}  // namespace kaldro::diphone

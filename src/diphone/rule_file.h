// The two text files of the translator: letter-to-sound rules and word exceptions, parsed and checked.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::diphone {

// One line of the rules file:  left ( match ) right = output | comment
struct Rule {
  std::string left;    // at most 5 characters, written left to right
  std::string match;   // 1 to 5 characters; the first one (code 32..95) picks the bucket
  std::string right;   // at most 5 characters
  std::string output;  // at most 11 characters, the unit written for the match
};

struct Exception {
  std::string key;          // the word as the translator sees it (lower case, accents as marks)
  std::string replacement;  // may be empty: the word is then silent
};

constexpr size_t kContextWidth = 5;
constexpr size_t kMatchWidth = 5;
constexpr size_t kOutputWidth = 11;
constexpr size_t kMaxExceptions = 15000;
// The longest exception line the format holds.
constexpr size_t kMaxExceptionLine = 252;

// A line that does not follow its file's format, with the reason in Portuguese.
struct LineFault {
  size_t line = 0;  // 1-based; 0 when the file itself could not be read
  std::string problem;  // Portuguese, UTF-8, for printing
};

// What one line of a rules file holds: a rule, nothing (blank line or a comment starting with ";"),
// or a fault. Over-long fields are cut and fieldsCut is set.
struct RuleLine {
  std::optional<Rule> rule;
  std::string fault;  // empty when the line is usable or a comment
  bool fieldsCut = false;
};
RuleLine parseRuleLine(std::string_view line);

// One line of the exceptions file:  key = replacement | comment. Empty lines and lines starting
// with ";" hold nothing.
struct ExceptionLine {
  std::optional<Exception> entry;
  std::string fault;
};
ExceptionLine parseExceptionLine(std::string_view line);

// Splits a file's text (already CP1252) into lines; "\r\n" and "\n" both end a line.
std::vector<std::string_view> splitLines(std::string_view text);

// Reads a whole regular file; nothing when it cannot be opened or is not a regular file.
std::optional<std::string> readWholeFile(const std::string& path);
// Reads a rules or exceptions file as CP1252 (the file may be UTF-8 or Latin-1).
std::optional<std::string> readTextFile(const std::string& path);

// Every fault of a rules file, for a --check mode: malformed lines (skipped when loading) and
// over-long fields (cut when loading). A file that cannot be read gives one fault with line 0.
std::vector<LineFault> checkRules(const std::string& path);
// Every fault of an exceptions file: lines without "=", with an empty key, or too long.
std::vector<LineFault> checkExceptions(const std::string& path);

// "regras.rgr:12: ..." lines for printing.
std::string describeFault(const std::string& path, const LineFault& fault);

}  // namespace kaldro::diphone

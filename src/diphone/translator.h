// The built-in synthesizer's front half: Latin-1 text to a phoneme string, by exceptions, stress and rules.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "diphone/rule_file.h"
#include "platform/status.h"

namespace kaldro::diphone {

// The character that stands for anything that cannot be spoken; it is spelled by name.
constexpr char kUnknownMark = '\x01';
// The word state holds this many characters; longer words are cut.
constexpr size_t kMaxWordLength = 256;

// Holds the rule buckets and the exception table. A phoneme string has, for each word, "[" then
// its units joined by "/" then "]"; a unit is a rule's output (its first vowel in upper case when
// it renders the stressed vowel) or " /_" + a character to be spoken by name.
class Translator {
 public:
  Translator() = default;

  // Empties the buckets and appends each usable rule of the file to the bucket of its match's first
  // character, in file order; malformed lines are skipped (checkRules names them). A file that is
  // not there is NotFound, one that cannot be read Unreadable, each naming the file.
  platform::Status loadRules(const std::string& path);
  // Reads at most 15000 entries and sorts them by key in byte order; malformed and over-long lines
  // are skipped. Fails as loadRules does.
  platform::Status loadExceptions(const std::string& path);
  // Releases the rules and the exceptions.
  void freeRules();

  // For tests and tools: the same as loading files with these contents.
  void setRules(const std::vector<Rule>& rules);
  void setExceptions(std::vector<Exception> entries);

  std::string translateText(std::string_view text) const;

  // The stages, exposed so that each can be tested alone.
  static std::string normalise(std::string_view text);
  // The exception lookup with the s/m suffix retry; the word unchanged when nothing matches.
  std::string applyExceptions(const std::string& word) const;
  // Writes the stressed vowel of word in upper case (1-based scan of the state table).
  static void markStress(std::string& word);

  size_t ruleCount() const;
  size_t exceptionCount() const { return exceptions_.size(); }

 private:
  struct Word {
    std::string text;  // lower case (A-Z lowered), accent marks kept
    int vowelCount = 0;
    bool accented = false;  // ' ^ ` or ~ after the first character
  };

  // Reads the word starting at or after pos; false when only blanks are left.
  static bool nextWord(std::string_view text, size_t& pos, Word& word);
  void appendWord(const Word& word, std::string& out) const;
  static bool shouldSpell(const std::string& word);
  void convertByRules(const std::string& word, std::string& out) const;
  bool ruleApplies(const Rule& rule, const std::string& word, size_t position) const;

  std::array<std::vector<Rule>, 64> buckets_;
  std::vector<Exception> exceptions_;  // sorted by key
};

}  // namespace kaldro::diphone

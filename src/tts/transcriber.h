// The engine's transcription stage: token lines to MBROLA phone names with the stress mark, through
// a word-exception lexicon, a stress finder and context-sensitive letter-to-phone rules. Text is
// CP1252 bytes; the data files may be UTF-8 or Latin-1.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::tts {

// One line of the rule file:  left ( middle ) right = output | comment
struct LetterRule {
  std::string left;    // matched leftwards from the letter before the middle, at most 5 characters
  std::string middle;  // the upper-case letters consumed, 1 to 5 characters
  std::string right;   // matched rightwards from the letter after the middle, at most 5 characters
  std::string output;  // phones separated by '&', at most 20 characters (11 are used)
};

struct WordException {
  std::string word;   // upper case
  std::string alias;  // the respelling transcribed instead
};

// The prosody mark '¨' (CP1252) a rule's output may put before a phone: it ends the lengthening of a
// stressed syllable.
inline constexpr char kProsodyMark = '\xA8';

// Phone-list lines that are not phones: word headers start with ';', pauses with '_', and an empty
// line closes each word.
bool isPhoneLine(std::string_view line);

class Transcriber {
 public:
  static constexpr size_t kContextWidth = 5;
  static constexpr size_t kMiddleWidth = 5;
  static constexpr size_t kOutputWidth = 20;
  static constexpr size_t kOutputUsed = 11;
  static constexpr size_t kMaxExceptions = 15000;
  static constexpr size_t kMaxExceptionLine = 255;

  // Empties the rule chains and reads the rule file; false when it cannot be opened. Lines that
  // hold no rule (no middle) are skipped and counted in skippedLines().
  bool loadLetterRules(const std::string& path);
  // Reads the exception file into the table (at most 15000 entries) and sorts it; false when it
  // cannot be opened. Lines too long for the format are skipped and counted.
  bool loadWordExceptions(const std::string& path);
  // Empties the exceptions, loads the rules and, only if that worked, the exceptions.
  bool loadLexicons(const std::string& rulesPath, const std::string& exceptionsPath);
  // Forgets every rule and exception.
  void clear();

  // Replaces an upper-case word by its alias; a trailing S or M is stripped and kept when only the
  // shorter form is known (CASAS finds CASA and keeps its S).
  void applyExceptions(std::string& word) const;
  // Words of one or two letters and a few function words carry no stress.
  static bool isUnstressed(std::string_view word);
  // 1-based position of the tonic vowel, 0 when the word has no vowel.
  static int findStress(std::string_view word);
  // Appends the word's phones and its closing empty line; stress below 1 means no stress mark.
  void transcribeWord(std::string_view word, int stress, std::vector<std::string>& list) const;
  // Appends the pause code of ! ( ) , . : ; ? and nothing for any other character.
  static void pauseFor(char c, std::vector<std::string>& list);
  // Token lines ("PPP|token") to the phone list, liaison applied. A short or function word is
  // stressed all the same where a pause follows it.
  std::vector<std::string> transcribe(const std::vector<std::string>& tokenLines) const;
  // A word-final r2 or s2 before a word starting with a vowel phone (one whose name starts with
  // a vowel letter, or the nasal a "@") becomes r or z.
  static void applyLiaison(std::vector<std::string>& list);

  size_t ruleCount() const;
  size_t exceptionCount() const { return exceptions_.size(); }
  // Lines of the last loaded files that held nothing usable (rules without a middle, over-long
  // exception lines).
  size_t skippedLines() const { return skippedRuleLines_ + skippedExceptionLines_; }

 private:
  // Index of the rule that matches the word at pos (1-based), or nullptr.
  const LetterRule* matchingRule(std::string_view word, size_t pos) const;

  std::array<std::vector<LetterRule>, 224> chains_;  // one per byte value 32..255
  std::vector<WordException> exceptions_;            // sorted by word
  size_t skippedRuleLines_ = 0;
  size_t skippedExceptionLines_ = 0;
};

// The phones of one line of text (CP1252), each of its words read as a token line of the neutral
// pattern "555": blank-separated, '>' before the stressed vowel, pauses, word headers and the
// prosody mark '¨' left out.
std::string phonesOfText(const Transcriber& transcriber, std::string_view text);
// The same from a phone list made by transcribe.
std::string joinPhones(const std::vector<std::string>& list);

}  // namespace kaldro::tts

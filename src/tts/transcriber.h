// The engine's transcription stage: token lines to MBROLA phone names with the stress mark, through
// a word-exception lexicon, a stress finder and context-sensitive letter-to-phone rules. Text is
// CP1252 bytes; the data files may be UTF-8 or Latin-1.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "tts/phrasing.h"

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

// One line of the phone list: a word's header (its token and pattern), a phone or a pause with
// their marks, or the end of a word.
struct PhoneLine {
  enum class Kind { WordHeader, Comment, Phone, Pause, WordEnd };
  Kind kind = Kind::WordEnd;
  std::string name;       // the phone or pause ("_", "__", "_," ...), a header's token, a comment's text
  std::string pattern;    // a word header's intonation pattern
  bool stressed = false;  // the stressed vowel's phone ('>' in the text form)
  bool marked = false;    // ends the lengthening of the stressed syllable (kProsodyMark)

  static PhoneLine header(const PhrasedToken& token) { return {Kind::WordHeader, token.text, token.pattern}; }
  static PhoneLine pause(std::string name) { return {Kind::Pause, std::move(name), {}}; }
  // The text form: ";pattern|token", ";comment", marks then the phone, "" for a word end.
  static PhoneLine fromText(std::string_view line);
  std::string text() const;
};
std::vector<std::string> textLines(const std::vector<PhoneLine>& list);

// What transcribing one piece of an utterance needs of the pieces around it.
struct PieceNeighbours {
  bool continuing = false;               // an earlier piece has been transcribed
  std::optional<std::string> following;  // the first token of the next piece; none in the last piece
};

class Transcriber {
 public:
  static constexpr size_t kContextWidth = 5;
  static constexpr size_t kMiddleWidth = 5;
  static constexpr size_t kOutputWidth = 20;
  static constexpr size_t kOutputUsed = 11;
  static constexpr size_t kMaxExceptions = 15000;
  static constexpr size_t kMaxExceptionLine = 255;

  // Empties the rule chains and reads the rule file. Lines that hold no rule (no middle) are
  // skipped and counted in skippedLines(). A file missing (NotFound) or that cannot be read
  // (Unreadable) fails with the engine's message for its lexicon.
  platform::Status loadLetterRules(const std::string& path);
  // Reads the exception file into the table (at most 15000 entries) and sorts it; fails as
  // loadLetterRules does. Lines too long for the format are skipped and counted.
  platform::Status loadWordExceptions(const std::string& path);
  // Empties the exceptions, loads the rules and, only if that worked, the exceptions.
  platform::Status loadLexicons(const std::string& rulesPath, const std::string& exceptionsPath);
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
  void transcribeWord(std::string_view word, int stress, std::vector<PhoneLine>& list) const;
  void transcribeWord(std::string_view word, int stress, std::vector<std::string>& list) const;
  // Appends the pause code of ! ( ) , . : ; ? and nothing for any other character.
  static void pauseFor(char c, std::vector<std::string>& list);
  // Patterned tokens of one piece to its phone list, liaison applied; the last piece ends with the
  // final pause. A short or function word is stressed all the same where a pause follows it.
  std::vector<PhoneLine> transcribe(const std::vector<PhrasedToken>& tokens, const PieceNeighbours& neighbours) const;
  // The same for token lines ("PPP|token") of a whole utterance, in the text form.
  std::vector<std::string> transcribe(const std::vector<std::string>& tokenLines) const;
  // A word-final r2 or s2 before a word starting with a vowel phone (one whose name starts with
  // a vowel letter, or the nasal a "@") becomes r or z. The word headers looked at start at
  // firstHeader: the first word of a whole list has no word before it.
  static void applyLiaison(std::vector<PhoneLine>& list, size_t firstHeader = 3);
  static void applyLiaison(std::vector<std::string>& list);

  size_t ruleCount() const;
  size_t exceptionCount() const { return exceptions_.size(); }
  // Lines of the last loaded files that held nothing usable (rules without a middle, over-long
  // exception lines).
  size_t skippedLines() const { return skippedRuleLines_ + skippedExceptionLines_; }

 private:
  // Index of the rule that matches the word at pos (1-based), or nullptr.
  const LetterRule* matchingRule(std::string_view word, size_t pos) const;
  // The phones of one token (a word, a pause mark, or nothing), after its header.
  void appendTokenPhones(std::string_view token, bool endsPhrase, std::vector<PhoneLine>& list) const;
  // Whether a token read as a word starts with a vowel phone, the liaison's test.
  bool startsWithVowelPhone(std::string_view token) const;

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

// The engine's phrasing: normalised text cut into tokens, every word given its prosodic class from
// the keyword table and every token an intonation pattern chosen from its own class and its
// neighbours'. Long texts go through it piece by piece. All texts are CP1252.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::tts {

// A token of the normalised text with its class: two characters, a keyword's class, "XX" for any
// other word, a punctuation mark written twice, ".-" for an ellipsis, "--" for a sentence start
// (whose text is empty).
struct Token {
  std::string text;
  std::string wordClass;
};

// A token with the intonation pattern of its word: three digits, the pitch of its first phone, of
// its stressed vowel and of its last phone.
struct PhrasedToken {
  std::string pattern;
  std::string text;
};

// What phrasing carries from one piece of an utterance to the next, so that the pieces read as
// the whole text would.
struct PhrasingCarry {
  bool started = false;         // the utterance's first sentence start is given
  bool sentenceOpening = true;  // no word of this sentence yet but those that may open a question
  bool questionWordFirst = false;  // this sentence opened with a question word
  std::optional<Token> held;    // the last token so far, waiting for its next neighbour's class
  std::string previousClass;    // the class of the token before the held one
  char lastDigit = '5';         // the last pattern digit given, for patterns that start with '?'
};

class Phrasing {
 public:
  struct Keyword {
    std::string word;       // upper case
    std::string wordClass;  // at most 2 characters
  };
  struct PatternEntry {
    std::string previous, current, next;  // classes; empty matches anything
    std::string pattern;                  // three characters; a leading '?' repeats the last digit
  };
  static constexpr size_t kMaxKeywords = 1000;
  static constexpr size_t kMaxPatterns = 300;

  // The class of a question word, and the class a question mark takes when its sentence opened
  // with one (after articles, prepositions and conjunctions only): such questions fall at their
  // end, where yes/no questions rise.
  static constexpr std::string_view kQuestionWordClass = "QU";
  static constexpr std::string_view kQuestionWordMarkClass = "?Q";

  // The tables, as the prosody file gives them (keywords in file order: the first of two equal
  // ones wins).
  void setTables(std::vector<Keyword> keywords, std::vector<PatternEntry> patterns);

  // The keyword class of a word (any case), empty when the word is not a keyword.
  std::string classOf(std::string_view word) const;

  // Normalised text to tokens: the utterance opens with a sentence start, and every sentence mark
  // (. ! ? and an ellipsis) is followed by another.
  std::vector<Token> tokenise(std::string_view normalised, PhrasingCarry& carry) const;
  // Tokens to patterned tokens. The last token of a piece waits in the carry for the first one of
  // the next piece (its neighbour); lastPiece gives every token. Without the table every token
  // gets 555.
  std::vector<PhrasedToken> assignPatterns(const std::vector<Token>& tokens, PhrasingCarry& carry, bool lastPiece,
                                           bool useTable = true) const;

 private:
  std::string patternFor(std::string_view previous, std::string_view current, std::string_view next,
                         bool useTable) const;

  std::vector<Keyword> keywords_;  // sorted by word
  std::vector<PatternEntry> patterns_;
};

// The token line of the rules' text form, "[" class "]" text, and back: a line's class is the two
// characters after its '[' (a one-character class is read with its ']').
std::string tokenLine(const Token& token);
Token tokenFromLine(std::string_view line);
// "pattern|text", the text form of a patterned token.
std::string phrasedLine(const PhrasedToken& token);

}  // namespace kaldro::tts

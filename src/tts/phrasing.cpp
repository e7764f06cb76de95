// The engine's phrasing: tokens, their classes, sentence starts, question kinds and patterns.
#include "tts/phrasing.h"

#include <algorithm>

#include "tts/latin1_text.h"

namespace kaldro::tts {

namespace {

bool endsSentence(const Token& token) {
  const char first = token.text.empty() ? '\0' : token.text.front();
  return first == '!' || first == '.' || first == '?';
}

// Words that may come before the question word of a question: "O que", "Por que", "E onde",
// "De quem".
bool mayOpenQuestion(std::string_view wordClass) { return wordClass == "AR" || wordClass == "PR" || wordClass == "CJ"; }

// Follows the opening of the sentence being read; a question mark closing a sentence that opened
// with a question word takes the class of such questions.
void noteQuestionKind(Token& token, PhrasingCarry& carry) {
  const bool word = isPortugueseLetter(token.text.front());
  if (carry.sentenceOpening && word && token.wordClass == Phrasing::kQuestionWordClass) {
    carry.questionWordFirst = true;
  } else if (token.text.front() == '?' && carry.questionWordFirst) {
    token.wordClass = Phrasing::kQuestionWordMarkClass;
  }
  if (!word || !mayOpenQuestion(token.wordClass)) carry.sentenceOpening = false;
}

}  // namespace

void Phrasing::setTables(std::vector<Keyword> keywords, std::vector<PatternEntry> patterns) {
  keywords_ = std::move(keywords);
  // Stable: of two entries for one word, the first in the file wins.
  std::stable_sort(keywords_.begin(), keywords_.end(),
                   [](const Keyword& a, const Keyword& b) { return a.word < b.word; });
  patterns_ = std::move(patterns);
}

std::string Phrasing::classOf(std::string_view word) const {
  const std::string key = upperLatin1(word);
  auto found = std::lower_bound(keywords_.begin(), keywords_.end(), key,
                                [](const Keyword& entry, const std::string& k) { return entry.word < k; });
  return found != keywords_.end() && found->word == key ? found->wordClass : std::string();
}

std::vector<Token> Phrasing::tokenise(std::string_view text, PhrasingCarry& carry) const {
  std::vector<Token> tokens;
  if (!carry.started) {
    tokens.push_back({"", "--"});
    carry.started = true;
  }
  size_t pos = 0;
  while (pos < text.size()) {
    // A hyphen joins the parts of a compound ("sexta-feira", "disse-me"): each part is a word of
    // its own. As a token its class would be "--", that of a sentence start, and the first part
    // would fall as at the end of a sentence.
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '-')) ++pos;
    if (pos >= text.size()) break;
    Token token;
    const char c = text[pos];
    if (c == '.' && pos + 1 < text.size() && text[pos + 1] == '.') {
      token = {".", ".-"};
      while (pos < text.size() && text[pos] == '.') ++pos;
    } else if (!isPortugueseLetter(c)) {
      token = {std::string(1, c), std::string(2, c)};
      ++pos;
    } else {
      const size_t start = pos;
      while (pos < text.size() && isPortugueseLetter(text[pos])) ++pos;
      token.text = std::string(text.substr(start, pos - start));
      token.wordClass = classOf(token.text);
      if (token.wordClass.empty()) token.wordClass = "XX";
    }
    noteQuestionKind(token, carry);
    const bool sentenceEnd = endsSentence(token);
    tokens.push_back(std::move(token));
    if (sentenceEnd) {
      tokens.push_back({"", "--"});
      carry.sentenceOpening = true;
      carry.questionWordFirst = false;
    }
  }
  return tokens;
}

std::string Phrasing::patternFor(std::string_view previous, std::string_view current, std::string_view next,
                                 bool useTable) const {
  if (useTable) {
    auto matches = [](const std::string& entry, std::string_view value) { return entry.empty() || entry == value; };
    for (const PatternEntry& entry : patterns_)
      if (matches(entry.previous, previous) && matches(entry.current, current) && matches(entry.next, next))
        return entry.pattern;
  }
  return "555";
}

std::vector<PhrasedToken> Phrasing::assignPatterns(const std::vector<Token>& tokens, PhrasingCarry& carry,
                                                   bool lastPiece, bool useTable) const {
  std::vector<PhrasedToken> out;
  out.reserve(tokens.size() + 1);
  auto give = [&](const Token& token, std::string_view next) {
    std::string pattern = patternFor(carry.previousClass, token.wordClass, next, useTable);
    if (pattern[0] == '?') pattern[0] = carry.lastDigit;
    carry.lastDigit = pattern[2];
    carry.previousClass = token.wordClass;
    out.push_back({std::move(pattern), token.text});
  };
  std::optional<Token> waiting = std::move(carry.held);
  carry.held.reset();
  for (const Token& token : tokens) {
    if (waiting) give(*waiting, token.wordClass);
    waiting = token;
  }
  if (waiting && lastPiece)
    give(*waiting, "");
  else
    carry.held = std::move(waiting);
  return out;
}

std::string tokenLine(const Token& token) { return "[" + token.wordClass + "]" + token.text; }

Token tokenFromLine(std::string_view line) {
  Token token;
  token.wordClass = std::string(line.size() > 1 ? line.substr(1, 2) : "");
  if (line.size() >= 4 && line[3] == ']') {
    token.text = std::string(line.substr(4));
  } else if (const size_t close = line.find(']', 1); close != std::string_view::npos) {
    token.text = std::string(line.substr(close + 1));
  }
  return token;
}

std::string phrasedLine(const PhrasedToken& token) { return token.pattern + "|" + token.text; }

}  // namespace kaldro::tts

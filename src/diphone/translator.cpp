// Text to phonemes: normalisation, words, exceptions, stress marking, spelling and rule conversion.
#include "diphone/translator.h"

#include <algorithm>
#include <filesystem>

#include "platform/latin1_classes.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::diphone {

namespace {

bool oneOf(char c, std::string_view set) { return c != '\0' && set.find(c) != std::string_view::npos; }

bool isVowel(char c) { return oneOf(c, "AEIOUaeiou"); }
bool isConsonant(char c) { return platform::isConsonantWithWY(static_cast<unsigned char>(c)); }
bool isLetter(char c) { return platform::isAsciiLetter(static_cast<unsigned char>(c)); }
bool isAccentMark(char c) { return oneOf(c, "\"'^`~"); }
bool isWordChar(char c) { return isLetter(c) || isAccentMark(c); }
bool isPause(char c) { return oneOf(c, " !,.:;?"); }
bool isFrontVowel(char c) { return oneOf(c, "EIei"); }
bool isOpenBackVowel(char c) { return oneOf(c, "AOao"); }
bool isVowelOrMark(char c) { return isVowel(c) || isAccentMark(c); }

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// What a byte from 128 up becomes: DOS letter positions for 128..175, Latin-1 from 192 up.
// Empty: the byte cannot be spoken.
std::string_view highReplacement(unsigned char c) {
  switch (c) {
    case 128: case 135: case 199: case 231: return "ss";
    case 129: case 154: return "u\"";
    case 130: case 144: case 201: case 233: return "e'";
    case 131: case 194: case 226: return "a^";
    case 132: case 142: case 195: case 196: case 227: case 228: return "a~";
    case 133: case 192: case 224: return "a`";
    case 134: case 143: case 160: case 193: case 225: return "a'";
    case 136: case 202: case 234: return "e^";
    case 137: case 203: case 235: return "e\"";
    case 138: case 200: case 232: return "e`";
    case 139: case 207: case 239: return "i\"";
    case 140: case 206: case 238: return "i^";
    case 141: case 204: case 236: return "i`";
    case 161: case 205: case 237: return "i'";
    case 145: case 198: case 230: return "ae";
    case 146: return "-";
    case 147: case 212: case 244: return "o^";
    case 148: case 153: case 213: case 245: return "o~";
    case 149: case 210: case 214: case 242: case 246: return "o`";
    case 162: case 211: case 243: return "o'";
    case 150: case 219: case 251: return "u^";
    case 151: case 217: case 249: return "u`";
    case 163: case 218: case 250: return "u'";
    case 152: return "y-";
    case 164: case 165: case 209: case 241: return "nh";
    case 197: case 229: return "a";
    case 220: case 252: return "u";
    case 215: case 247: return "x";
    case 216: case 248: return "0";
    case 168: case 191: return "?";
    case 173: return "!";
    case 174: case 175: return "\"";
    case 167: return "\xA7";  // section sign
    case 171: return "\xAA";  // feminine ordinal
    case 187: return "\xBA";  // masculine ordinal
    default: return "";
  }
}

// The word's characters, 1-based; '\0' outside it, which belongs to no class.
struct WordView {
  const std::string& text;
  int length() const { return static_cast<int>(text.size()); }
  bool inside(int i) const { return i >= 1 && i <= length(); }
  char at(int i) const { return inside(i) ? text[static_cast<size_t>(i - 1)] : '\0'; }
  char upperAt(int i) const { return upperAscii(at(i)); }
};

// One step of a left context, scanning leftwards from i.
bool matchLeftSymbol(char symbol, const WordView& w, int& i) {
  switch (symbol) {
    case '#':
      if (!isVowelOrMark(w.at(i))) return false;
      while (isVowelOrMark(w.at(i))) --i;
      return true;
    case '%':
      return !w.inside(i);
    case ']':
      if (isOpenBackVowel(w.at(i))) { --i; return true; }
      if (isAccentMark(w.at(i)) && isOpenBackVowel(w.at(i - 1))) { i -= 2; return true; }
      return false;
    case '_':
      if (isVowel(w.at(i))) { --i; return true; }
      if (isAccentMark(w.at(i)) && isVowel(w.at(i - 1))) { i -= 2; return true; }
      return false;
    case '|':
      if (!oneOf(lowerAscii(w.at(i)), "nrs")) return false;
      --i;
      return true;
    default:
      if (!w.inside(i) || w.upperAt(i) != symbol) return false;
      --i;
      return true;
  }
}

// One step of a right context, scanning rightwards from i.
bool matchRightSymbol(char symbol, const WordView& w, int& i) {
  switch (symbol) {
    case '#':
      if (!isVowelOrMark(w.at(i))) return false;
      while (isVowelOrMark(w.at(i))) ++i;
      return true;
    case '%':
      return !w.inside(i);
    case '&':
      if (!oneOf(lowerAscii(w.at(i)), "lmnrz")) return false;
      ++i;
      return true;
    case '*':
      return isConsonant(w.at(i)) && !oneOf(lowerAscii(w.at(i)), "rl");
    case '+':
      if (!isFrontVowel(w.at(i))) return false;
      ++i;
      if (isAccentMark(w.at(i))) ++i;
      return true;
    case '[':
      return !w.inside(i) || (isConsonant(w.at(i)) && lowerAscii(w.at(i)) != 'h');
    case '\\':
      if (lowerAscii(w.at(i)) == 's') ++i;
      return true;
    default:
      if (!w.inside(i) || w.upperAt(i) != symbol) return false;
      ++i;
      return true;
  }
}

int bucketOf(char c) {
  auto code = static_cast<unsigned char>(c);
  return (code >= 32 && code <= 95) ? code - 32 : -1;
}

// Why a rules or exceptions file gave nothing: not there, or there but unreadable.
platform::Status readFailure(const std::string& path) {
  namespace words = platform::words;
  std::error_code error;
  const std::filesystem::file_status file = std::filesystem::status(path, error);
  std::string_view why = words::DataFileReadError;
  if (!std::filesystem::exists(file)) why = words::DataFileMissing;
  else if (std::filesystem::is_directory(file)) why = words::DataFileIsFolder;
  else if (!std::filesystem::is_regular_file(file)) why = words::DataFileNotRegular;
  return platform::Status::failure(
      std::filesystem::exists(file) ? platform::StatusCode::Unreadable : platform::StatusCode::NotFound,
      words::DataFileUnreadable.with({platform::utf8ToCp1252(path), why}));
}

}  // namespace

platform::Status Translator::loadRules(const std::string& path) {
  for (auto& bucket : buckets_) bucket.clear();
  auto text = readTextFile(path);
  if (!text) return readFailure(path);
  for (std::string_view line : splitLines(*text)) {
    RuleLine parsed = parseRuleLine(line);
    if (parsed.rule) buckets_[static_cast<size_t>(bucketOf(parsed.rule->match.front()))].push_back(*parsed.rule);
  }
  return {};
}

platform::Status Translator::loadExceptions(const std::string& path) {
  auto text = readTextFile(path);
  if (!text) return readFailure(path);
  std::vector<Exception> entries;
  for (std::string_view line : splitLines(*text)) {
    if (entries.size() >= kMaxExceptions) break;
    ExceptionLine parsed = parseExceptionLine(line);
    if (parsed.entry) entries.push_back(std::move(*parsed.entry));
  }
  setExceptions(std::move(entries));
  return {};
}

void Translator::freeRules() {
  for (auto& bucket : buckets_) {
    bucket.clear();
    bucket.shrink_to_fit();
  }
  exceptions_.clear();
  exceptions_.shrink_to_fit();
}

void Translator::setRules(const std::vector<Rule>& rules) {
  for (auto& bucket : buckets_) bucket.clear();
  for (const Rule& rule : rules) {
    if (rule.match.empty() || rule.match.size() > kMatchWidth) continue;
    int bucket = bucketOf(rule.match.front());
    if (bucket >= 0) buckets_[static_cast<size_t>(bucket)].push_back(rule);
  }
}

void Translator::setExceptions(std::vector<Exception> entries) {
  if (entries.size() > kMaxExceptions) entries.resize(kMaxExceptions);
  // Stable, so that of two equal keys the first in the file is found.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Exception& a, const Exception& b) { return a.key < b.key; });
  exceptions_ = std::move(entries);
}

size_t Translator::ruleCount() const {
  size_t count = 0;
  for (const auto& bucket : buckets_) count += bucket.size();
  return count;
}

std::string Translator::normalise(std::string_view input) {
  std::string text(input);  // W and Y are rewritten in place so that later characters see the change
  std::string out;
  out.reserve(text.size() + 8);
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    char before = i > 0 ? text[i - 1] : '\0';
    char after = i + 1 < n ? text[i + 1] : '\0';
    char& c = text[i];
    if (c == 'W' || c == 'w') {
      if (isLetter(before) || isLetter(after)) c = 'u';
    } else if (c == 'Y' || c == 'y') {
      bool alone = (i == 0 || before == ' ') && (i + 1 == n || after == ' ');
      if (isLetter(before) || isLetter(after) || alone) c = 'i';
    } else if (c == '\'' && (before == 'd' || before == 'D')) {
      continue;
    }
    auto code = static_cast<unsigned char>(c);
    std::string_view yields;
    if (code >= 128) {
      yields = highReplacement(code);
    } else if (code >= 32) {
      yields = std::string_view(&c, 1);
    }
    if (yields.empty()) {
      out += ' ';
      out += kUnknownMark;
      out += ' ';
    } else {
      out += yields;
    }
  }
  return out;
}

bool Translator::nextWord(std::string_view text, size_t& pos, Word& word) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos >= text.size()) return false;
  word = Word{};
  char c = lowerAscii(text[pos]);
  if (!isLetter(c)) {
    word.text.assign(1, c);
    ++pos;
    return true;
  }
  while (true) {
    // Characters past the word state's capacity are read and dropped.
    if (word.text.size() < kMaxWordLength) {
      word.text += c;
      if (isVowel(c)) ++word.vowelCount;
    }
    ++pos;
    if (pos >= text.size()) break;
    c = lowerAscii(text[pos]);
    if (isAccentMark(c) && c != '"') word.accented = true;
    if (!isWordChar(c)) break;
  }
  return true;
}

std::string Translator::applyExceptions(const std::string& original) const {
  if (exceptions_.empty()) return original;
  std::string word = original;
  std::string suffix;
  auto byKey = [](const Exception& entry, const std::string& key) { return entry.key < key; };
  while (!word.empty()) {
    auto found = std::lower_bound(exceptions_.begin(), exceptions_.end(), word, byKey);
    if (found != exceptions_.end() && found->key == word) {
      word = found->replacement;
      break;
    }
    char last = word.back();
    if (last != 's' && last != 'm') break;
    suffix.insert(suffix.begin(), last);
    word.pop_back();
  }
  return word + suffix;
}

void Translator::markStress(std::string& text) {
  enum State { S0, S1, S2, S3, S4, S5, S6, S7, S8 };
  WordView w{text};
  auto uAfterGq = [&](int k) { return w.at(k) == 'u' && oneOf(w.at(k - 1), "gq"); };
  State state = S0;
  for (int k = w.length(); k >= 1; --k) {
    if (state == S6 || state == S7) {
      int mark = k + (state == S6 ? 1 : 2);
      text[static_cast<size_t>(mark - 1)] = upperAscii(text[static_cast<size_t>(mark - 1)]);
      return;
    }
    char c = w.at(k);
    switch (state) {
      case S0:
        if (oneOf(c, "lnrxz")) state = S1;
        else if (c == 'm') state = S2;
        else if (oneOf(c, "iu")) state = S3;
        else if (c == 's') state = S4;
        else if (oneOf(c, "aeo")) state = S5;
        break;
      case S1:
        if (isVowel(c)) state = S6;
        break;
      case S2:
        if (oneOf(c, "ae")) state = S5;
        else if (oneOf(c, "iu")) state = S3;
        else if (c == 'o') state = S6;
        break;
      case S3:
        state = (isConsonant(c) || uAfterGq(k)) ? S7 : S6;
        break;
      case S4:
        if (oneOf(c, "aeo")) state = S5;
        else if (oneOf(c, "iu")) state = S3;
        break;
      case S5:
        if (oneOf(c, "aeo")) state = S6;
        else if (oneOf(c, "iu")) state = S8;
        break;
      case S8:
        if (isConsonant(c) || uAfterGq(k)) {
          state = S7;
        } else if (oneOf(w.at(k + 2), "lmnrz")) {
          char first = w.at(k + 2);
          char second = w.at(k + 3);
          bool closes = (first == 'n' && second == 'h') || (first == 'r' && second == 'r') ||
                        (isConsonant(second) && lowerAscii(second) != 'h');
          state = closes ? S7 : S6;
        } else {
          state = S6;
        }
        break;
      case S6:
      case S7:
        break;
    }
  }
}

bool Translator::shouldSpell(const std::string& word) {
  if (!word.empty() && word.front() == kUnknownMark) return true;
  return std::all_of(word.begin(), word.end(), [](char c) { return isConsonant(c) || isPause(c); });
}

bool Translator::ruleApplies(const Rule& rule, const std::string& text, size_t position) const {
  WordView w{text};
  const int p = static_cast<int>(position);
  const int matchLength = static_cast<int>(rule.match.size());
  if (p + matchLength - 1 > w.length()) return false;
  for (int j = 0; j < matchLength; ++j)
    if (w.upperAt(p + j) != rule.match[static_cast<size_t>(j)]) return false;
  int i = p - 1;
  for (auto symbol = rule.left.rbegin(); symbol != rule.left.rend(); ++symbol)
    if (!matchLeftSymbol(*symbol, w, i)) return false;
  i = p + matchLength;
  for (char symbol : rule.right)
    if (!matchRightSymbol(symbol, w, i)) return false;
  return true;
}

void Translator::convertByRules(const std::string& text, std::string& out) const {
  out += '[';
  WordView w{text};
  size_t p = 1;
  while (p <= text.size()) {
    char original = w.at(static_cast<int>(p));
    char c = upperAscii(original);
    std::string unit = std::string(" /_") + c;
    size_t advance = 1;
    if (int bucket = bucketOf(c); bucket >= 0) {
      for (const Rule& rule : buckets_[static_cast<size_t>(bucket)]) {
        if (ruleApplies(rule, text, p)) {
          unit = rule.output;
          advance = rule.match.size();
          break;
        }
      }
    }
    if (oneOf(original, "AEIOU")) {
      auto vowel = std::find_if(unit.begin(), unit.end(), isVowel);
      if (vowel != unit.end()) *vowel = upperAscii(*vowel);
    }
    out += unit;
    p += advance;
    if (p <= text.size()) out += '/';
  }
  out += ']';
}

void Translator::appendWord(const Word& read, std::string& out) const {
  std::string word = applyExceptions(read.text);
  if (word.size() > kMaxWordLength) word.resize(kMaxWordLength);
  bool stressWanted = read.vowelCount >= 2 || (read.vowelCount == 1 && !word.empty() && word.back() == 'l');
  if (!read.accented && stressWanted) markStress(word);
  if (shouldSpell(word)) {
    for (char c : word) {
      out += "[ /_";
      out += c;
      out += ']';
    }
  } else {
    convertByRules(word, out);
  }
}

std::string Translator::translateText(std::string_view text) const {
  const std::string normal = normalise(text);
  std::string result;
  size_t pos = 0;
  Word word;
  while (nextWord(normal, pos, word)) appendWord(word, result);
  return result;
}

}  // namespace kaldro::diphone

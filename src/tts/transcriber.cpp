// The engine's transcription: exceptions, stress, letter-to-phone rules, pauses and liaison.
#include "tts/transcriber.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <optional>

#include "platform/words.h"
#include "tts/latin1_text.h"

namespace kaldro::tts {

namespace {

using Byte = unsigned char;

bool isIn(char c, std::string_view set) { return set.find(upperLatin1(c)) != std::string_view::npos; }

// The classes of the rule contexts, on upper-cased letters (both cases accepted).
constexpr platform::Cp1252Words kVowels = "AEIOUÀÁÂÃÉÊÌÍÓÔÕÙÚÜ";
constexpr platform::Cp1252Words kConsonants = "BCDFGHJKLMNPQRSTVWXYZÇÑ";
constexpr platform::Cp1252Words kAOrO = "AOÁÂÓÔ";
constexpr platform::Cp1252Words kEOrI = "EIÉÍ";
constexpr std::string_view kLiquidOrNasal = "LMNRZ";
constexpr std::string_view kNRS = "NRS";

bool isVowel(char c) { return c != '\0' && isIn(c, kVowels); }
bool isConsonant(char c) { return c != '\0' && isIn(c, kConsonants); }

// The stress finder's sets, on lower-cased letters.
constexpr platform::Cp1252Words kAccentedVowels = "àáâãéêíóôõú";
constexpr platform::Cp1252Words kPlainVowels = "aeiouwyü";

bool inLower(char c, std::string_view set) { return c != '\0' && set.find(c) != std::string_view::npos; }

// Right context from the letter at index `at` (0-based; at == word.size() is beyond the word).
bool rightMatches(std::string_view context, std::string_view word, size_t at) {
  for (char symbol : context) {
    const bool beyond = at >= word.size();
    const char c = beyond ? '\0' : upperLatin1(word[at]);
    switch (symbol) {
      case '%':
        if (!beyond) return false;
        break;
      case '[':
        if (!beyond && !(isConsonant(c) && c != 'H')) return false;
        break;
      case '*':
        if (beyond || !isConsonant(c) || c == 'L' || c == 'R') return false;
        break;
      case '+':
        if (beyond || !isIn(c, kEOrI)) return false;
        ++at;
        break;
      case '#':
        if (beyond || !isVowel(c)) return false;
        ++at;
        break;
      case '&':
        if (beyond || !isIn(c, kLiquidOrNasal)) return false;
        ++at;
        break;
      case '\\':
        if (!beyond && c == 'S') ++at;
        break;
      default:
        if (beyond || c != symbol) return false;
        ++at;
    }
  }
  return true;
}

// Left context read from its last symbol; `before` counts the letters left of the middle (the
// cursor is at the word's start when it is 0).
bool leftMatches(std::string_view context, std::string_view word, size_t before) {
  for (auto symbol = context.rbegin(); symbol != context.rend(); ++symbol) {
    const bool atStart = before == 0;
    const char c = atStart ? '\0' : upperLatin1(word[before - 1]);
    switch (*symbol) {
      case '%':
        if (!atStart) return false;
        break;
      case '_':
        if (atStart) break;
        if (!isVowel(c)) return false;
        --before;
        break;
      case '#':
        if (atStart || !isVowel(c)) return false;
        --before;
        break;
      case ']':
        if (atStart || !isIn(c, kAOrO)) return false;
        --before;
        break;
      case '|':
        if (atStart || !isIn(c, kNRS)) return false;
        --before;
        break;
      default:
        if (atStart || c != *symbol) return false;
        --before;
    }
  }
  return true;
}

// The text from `from` up to the next `stop` (or the end); `from` moves past the stop character.
std::string cutUntil(std::string_view line, size_t& from, char stop) {
  if (from >= line.size()) return {};
  size_t end = line.find(stop, from);
  if (end == std::string_view::npos) end = line.size();
  std::string part(line.substr(from, end - from));
  from = end + 1;
  return part;
}

std::string limited(std::string text, size_t width) {
  if (text.size() > width) text.resize(width);
  return text;
}

// The stress is found by reading the word backwards through a table of states: each letter class
// moves to the next state and may mark a letter (this one, or one or two after it) as stressed.
enum class StressState { Start, AfterVowel, Penult, PenultIU, AfterUVowel, PenultUIU, AfterU, AfterI, AfterUI,
                         AfterConsonant, AfterM, Stop };
enum class StressClass { AE, O, I, U, M, S, GQ, OtherVowel, Other };
constexpr int kStressClasses = 9;
enum class StressMark { Keep = -1, Here = 0, OneAfter = 1, TwoAfter = 2 };

struct StressStep {
  StressMark mark;
  StressState next;
};

StressClass stressClass(char c) {
  switch (c) {
    case 'a':
    case 'e': return StressClass::AE;
    case 'o': return StressClass::O;
    case 'i': return StressClass::I;
    case 'u': return StressClass::U;
    case 'm': return StressClass::M;
    case 's': return StressClass::S;
    case 'g':
    case 'q': return StressClass::GQ;
    default: return inLower(c, kPlainVowels) ? StressClass::OtherVowel : StressClass::Other;
  }
}

// Short names keep the table one state to a row; they stay inside this namespace.
namespace stress_table {
using enum StressState;
constexpr StressMark K = StressMark::Keep, H = StressMark::Here, P1 = StressMark::OneAfter, P2 = StressMark::TwoAfter;
// Columns: a/e, o, i, u, m, s, g/q, other vowel, other letter.
constexpr StressStep kStressSteps[][kStressClasses] = {
    /* Start */ {{H, AfterVowel}, {H, AfterVowel}, {H, AfterI}, {H, AfterU}, {K, AfterM}, {K, Start},
                 {K, AfterConsonant}, {K, AfterConsonant}, {K, AfterConsonant}},
    /* AfterVowel */ {{H, Stop}, {H, Stop}, {H, Stop}, {K, AfterUVowel}, {K, Penult}, {K, Penult}, {K, Penult},
                      {H, Stop}, {K, Penult}},
    /* Penult */ {{H, Stop}, {H, Stop}, {H, PenultIU}, {H, PenultIU}, {K, Penult}, {K, Penult}, {K, Penult},
                  {K, Penult}, {K, Penult}},
    /* PenultIU */ {{H, Stop}, {H, Stop}, {K, Stop}, {K, PenultUIU}, {K, Stop}, {K, Stop}, {K, Stop}, {K, Stop},
                    {K, Stop}},
    /* AfterUVowel */ {{P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P2, Penult},
                       {P1, Stop}, {P1, Stop}},
    /* PenultUIU */ {{P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P2, Stop}, {P1, Stop},
                     {P1, Stop}},
    /* AfterU */ {{H, Stop}, {H, Stop}, {H, Stop}, {K, Stop}, {K, Stop}, {K, Stop}, {K, Stop}, {K, Stop}, {K, Stop}},
    /* AfterI */ {{H, AfterI}, {H, AfterI}, {K, Stop}, {K, AfterUI}, {K, Stop}, {K, Stop}, {K, Stop}, {K, Stop},
                  {K, Stop}},
    /* AfterUI */ {{P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P1, Stop}, {P2, Stop}, {P1, Stop},
                   {P1, Stop}},
    /* AfterConsonant */ {{H, Stop}, {H, Stop}, {H, Stop}, {H, Stop}, {K, AfterConsonant}, {K, AfterConsonant},
                          {K, AfterConsonant}, {H, Stop}, {K, AfterConsonant}},
    /* AfterM */ {{H, AfterVowel}, {H, Stop}, {H, Stop}, {H, Stop}, {K, Start}, {K, Start}, {K, Start}, {K, Start},
                  {K, Start}},
};
}  // namespace stress_table
static_assert(std::size(stress_table::kStressSteps) == static_cast<size_t>(StressState::Stop));

}  // namespace

bool isPhoneLine(std::string_view line) {
  return !line.empty() && line.front() != ';' && line.front() != '_';
}

namespace {
// A lexicon file's text; a file missing or unreadable fails with the lexicon's own message, which
// is all the engine tells of either.
std::optional<std::string> readLexiconFile(const std::string& path, platform::Status& status) {
  std::optional<std::string> text = readDataFile(path, status, platform::words::EngineLexiconFailed);
  if (!text) status = platform::Status::failure(status.code(), platform::words::EngineLexiconFailed.str());
  return text;
}
}  // namespace

platform::Status Transcriber::loadLetterRules(const std::string& path) {
  for (auto& chain : chains_) chain.clear();
  skippedRuleLines_ = 0;
  platform::Status status;
  const std::optional<std::string> text = readLexiconFile(path, status);
  if (!text) return status;
  for (std::string_view line : splitLines(*text)) {
    if (line.empty() || line.front() == ';') continue;
    size_t at = 0;
    LetterRule rule;
    rule.left = limited(cutUntil(line, at, '('), kContextWidth);
    rule.middle = limited(upperLatin1(cutUntil(line, at, ')')), kMiddleWidth);
    rule.right = limited(cutUntil(line, at, '='), kContextWidth);
    rule.output = limited(cutUntil(line, at, '|'), kOutputWidth);
    const Byte first = rule.middle.empty() ? 0 : static_cast<Byte>(rule.middle.front());
    if (line.find('(') == std::string_view::npos || first < 32) {
      ++skippedRuleLines_;
      continue;
    }
    chains_[first - 32].push_back(std::move(rule));
  }
  return status;
}

platform::Status Transcriber::loadWordExceptions(const std::string& path) {
  skippedExceptionLines_ = 0;
  platform::Status status;
  const std::optional<std::string> text = readLexiconFile(path, status);
  if (!text) return status;
  for (std::string_view line : splitLines(*text)) {
    if (line.empty()) continue;
    if (exceptions_.size() >= kMaxExceptions) break;
    // The separators must survive in the line buffer with the appended "|=|".
    if (line.size() + 3 > kMaxExceptionLine) {
      ++skippedExceptionLines_;
      continue;
    }
    const std::string full = upperLatin1(line) + "|=|";
    const size_t equals = full.find('=');
    const size_t bar = full.find('|', equals + 1);
    exceptions_.push_back({full.substr(0, equals), full.substr(equals + 1, bar - equals - 1)});
  }
  std::stable_sort(exceptions_.begin(), exceptions_.end(),
                   [](const WordException& a, const WordException& b) { return a.word < b.word; });
  return status;
}

platform::Status Transcriber::loadLexicons(const std::string& rulesPath, const std::string& exceptionsPath) {
  exceptions_.clear();
  if (platform::Status status = loadLetterRules(rulesPath); !status.ok()) return status;
  return loadWordExceptions(exceptionsPath);
}

void Transcriber::clear() {
  for (auto& chain : chains_) {
    chain.clear();
    chain.shrink_to_fit();
  }
  exceptions_.clear();
  exceptions_.shrink_to_fit();
}

size_t Transcriber::ruleCount() const {
  size_t count = 0;
  for (const auto& chain : chains_) count += chain.size();
  return count;
}

void Transcriber::applyExceptions(std::string& word) const {
  // The stem is a view of the word that loses its last letter at each try: a long tail of S and M
  // costs one lookup a letter, and the word is rebuilt once.
  std::string_view stem = word;
  while (!stem.empty()) {
    auto found = std::lower_bound(exceptions_.begin(), exceptions_.end(), stem,
                                  [](const WordException& entry, std::string_view key) { return entry.word < key; });
    if (found != exceptions_.end() && found->word == stem) {
      word = found->alias + word.substr(stem.size());
      return;
    }
    const char last = stem.back();
    if (last != 'S' && last != 'M') return;
    stem.remove_suffix(1);
  }
}

bool Transcriber::isUnstressed(std::string_view word) {
  if (word.size() < 3) return true;
  // "N\xC3O" is NÃO in CP1252.
  static constexpr std::string_view kFunctionWords[] = {"POR", "DAS", "DOS", "COM", "N\xC3O", "SIM"};
  return std::find(std::begin(kFunctionWords), std::end(kFunctionWords), word) != std::end(kFunctionWords);
}

int Transcriber::findStress(std::string_view word) {
  const std::string lower = lowerLatin1(word);
  const int length = static_cast<int>(lower.size());
  bool anyVowel = false;
  for (int p = length; p >= 1; --p) {
    if (inLower(lower[p - 1], kAccentedVowels)) return p;
    anyVowel = anyVowel || inLower(lower[p - 1], kPlainVowels);
  }
  if (!anyVowel) return 0;

  StressState state = StressState::Start;
  int candidate = 0;
  for (int p = length; p >= 1 && state != StressState::Stop; --p) {
    const StressClass letter = stressClass(lower[p - 1]);
    const StressStep step = stress_table::kStressSteps[static_cast<int>(state)][static_cast<int>(letter)];
    if (step.mark != StressMark::Keep) candidate = p + static_cast<int>(step.mark);
    state = step.next;
  }
  return candidate;
}

const LetterRule* Transcriber::matchingRule(std::string_view word, size_t pos) const {
  const Byte first = static_cast<Byte>(upperLatin1(word[pos - 1]));
  if (first < 32) return nullptr;
  for (const LetterRule& rule : chains_[first - 32]) {
    const size_t start = pos - 1;
    if (start + rule.middle.size() > word.size()) continue;
    bool middle = true;
    for (size_t k = 0; k < rule.middle.size() && middle; ++k)
      middle = upperLatin1(word[start + k]) == rule.middle[k];
    if (middle && leftMatches(rule.left, word, start) &&
        rightMatches(rule.right, word, start + rule.middle.size()))
      return &rule;
  }
  return nullptr;
}

void Transcriber::transcribeWord(std::string_view word, int stress, std::vector<PhoneLine>& list) const {
  // Once the mark is placed no later rule may take it again, however long the word.
  size_t stressAt = stress < 1 ? std::numeric_limits<size_t>::max() : static_cast<size_t>(stress);
  // A phone is made in the rules' own text (marks, then the name) and read into its line when done.
  std::string phone;
  size_t pos = 1;
  while (pos <= word.size()) {
    const LetterRule* rule = matchingRule(word, pos);
    if (!rule) {
      ++pos;
      continue;
    }
    const std::string_view output = std::string_view(rule->output).substr(0, kOutputUsed);
    for (char c : output) {
      if (pos >= stressAt) {
        phone += '>';
        stressAt = std::numeric_limits<size_t>::max();
      }
      if (c == '&') {
        list.push_back(PhoneLine::fromText(phone));
        phone.clear();
      } else {
        phone += c;
      }
    }
    if (!output.empty()) {
      list.push_back(PhoneLine::fromText(phone));
      phone.clear();
    }
    pos += rule->middle.size();
  }
  list.push_back(PhoneLine::fromText(phone));
}

void Transcriber::transcribeWord(std::string_view word, int stress, std::vector<std::string>& list) const {
  std::vector<PhoneLine> lines;
  transcribeWord(word, stress, lines);
  for (const PhoneLine& line : lines) list.push_back(line.text());
}

void Transcriber::pauseFor(char c, std::vector<std::string>& list) {
  if (std::string_view("!(),.:;?").find(c) != std::string_view::npos && c != '\0')
    list.push_back(std::string("_") + c);
}

namespace {
// The characters that make a token a pause (the space never begins one).
constexpr std::string_view kPauses = " !(),.:;?";
bool isPauseToken(std::string_view token) { return !token.empty() && kPauses.find(token.front()) != std::string_view::npos; }
}  // namespace

void Transcriber::appendTokenPhones(std::string_view text, bool endsPhrase, std::vector<PhoneLine>& list) const {
  std::string token = upperLatin1(text);
  if (token.empty()) {
    list.push_back(PhoneLine::pause("__"));
    list.push_back({});
  } else if (isPauseToken(token)) {
    if (token.front() != ' ') list.push_back(PhoneLine::pause(std::string("_") + token.front()));
  } else {
    applyExceptions(token);
    // The word before a pause carries the phrase's last accent, however short: "Vou lá?" and
    // "Acho que não." rise or fall on it, which only a stressed vowel can do.
    transcribeWord(token, isUnstressed(token) && !endsPhrase ? 0 : findStress(token), list);
  }
}

namespace {
// The phone's name as the liaison reads it: marks left in the name do not hide its vowel.
bool isVowelPhone(const PhoneLine& line) {
  if (line.kind != PhoneLine::Kind::Phone) return false;
  std::string_view name = line.name;
  while (!name.empty() && (name.front() == '>' || name.front() == kProsodyMark)) name.remove_prefix(1);
  // The vowel phones start with a vowel letter, but for the nasal a of br4, "@".
  return !name.empty() && std::string_view("aeiouwy@").find(name.front()) != std::string_view::npos;
}

// A word's last phone before a vowel: r2 and s2 join it as r and z.
void joinToVowel(PhoneLine& last) {
  if (last.kind != PhoneLine::Kind::Phone || last.stressed || last.marked) return;
  if (last.name == "r2") last.name = "r";
  else if (last.name == "s2") last.name = "z";
}
}  // namespace

bool Transcriber::startsWithVowelPhone(std::string_view text) const {
  if (text.empty() || isPauseToken(text)) return false;
  std::vector<PhoneLine> phones;
  appendTokenPhones(text, false, phones);
  return isVowelPhone(phones.front());
}

std::vector<PhoneLine> Transcriber::transcribe(const std::vector<PhrasedToken>& tokens,
                                               const PieceNeighbours& neighbours) const {
  std::vector<PhoneLine> list;
  list.reserve(tokens.size() * 6 + 1);
  for (size_t i = 0; i < tokens.size(); ++i) {
    list.push_back(PhoneLine::header(tokens[i]));
    const std::string_view next = i + 1 < tokens.size() ? std::string_view(tokens[i + 1].text)
                                  : neighbours.following ? std::string_view(*neighbours.following)
                                                         : std::string_view();
    appendTokenPhones(tokens[i].text, isPauseToken(next), list);
  }
  // The first word of the next piece may join this piece's last word.
  if (neighbours.following && list.size() >= 2 && startsWithVowelPhone(*neighbours.following))
    joinToVowel(list[list.size() - 2]);
  if (!neighbours.following) list.push_back(PhoneLine::pause("__"));
  // The first header of a later piece was looked at with the piece before.
  applyLiaison(list, neighbours.continuing ? 2 : 3);
  return list;
}

std::vector<std::string> Transcriber::transcribe(const std::vector<std::string>& tokenLines) const {
  std::vector<PhoneLine> list;
  for (size_t i = 0; i < tokenLines.size(); ++i) {
    const std::string& line = tokenLines[i];
    list.push_back(PhoneLine::fromText(";" + line));
    const bool endsPhrase = i + 1 < tokenLines.size() && tokenLines[i + 1].size() > 4 &&
                            isPauseToken(std::string_view(tokenLines[i + 1]).substr(4));
    appendTokenPhones(line.size() > 4 ? std::string_view(line).substr(4) : std::string_view(), endsPhrase, list);
  }
  list.push_back(PhoneLine::pause("__"));
  applyLiaison(list);
  return textLines(list);
}

void Transcriber::applyLiaison(std::vector<PhoneLine>& list, size_t firstHeader) {
  size_t i = firstHeader;
  while (i + 1 < list.size()) {
    if (list[i].kind != PhoneLine::Kind::WordHeader && list[i].kind != PhoneLine::Kind::Comment) {
      ++i;
      continue;
    }
    if (isVowelPhone(list[i + 1])) joinToVowel(list[i - 2]);
    i += 2;
  }
}

void Transcriber::applyLiaison(std::vector<std::string>& list) {
  std::vector<PhoneLine> lines;
  lines.reserve(list.size());
  for (const std::string& line : list) lines.push_back(PhoneLine::fromText(line));
  applyLiaison(lines);
  list = textLines(lines);
}

PhoneLine PhoneLine::fromText(std::string_view line) {
  if (line.empty()) return {};
  if (line.front() == ';') {
    if (line.size() >= 5 && line[4] == '|')
      return {Kind::WordHeader, std::string(line.substr(5)), std::string(line.substr(1, 3))};
    return {Kind::Comment, std::string(line.substr(1)), {}};
  }
  PhoneLine phone;
  phone.stressed = line.front() == '>';
  if (phone.stressed) line.remove_prefix(1);
  phone.marked = !line.empty() && line.front() == kProsodyMark;
  if (phone.marked) line.remove_prefix(1);
  phone.kind = !line.empty() && line.front() == '_' ? Kind::Pause : Kind::Phone;
  phone.name = std::string(line);
  return phone;
}

std::string PhoneLine::text() const {
  switch (kind) {
    case Kind::WordEnd: return {};
    case Kind::WordHeader: return ";" + pattern + "|" + name;
    case Kind::Comment: return ";" + name;
    case Kind::Phone:
    case Kind::Pause: break;
  }
  std::string out;
  if (stressed) out += '>';
  if (marked) out += kProsodyMark;
  return out + name;
}

std::vector<std::string> textLines(const std::vector<PhoneLine>& list) {
  std::vector<std::string> lines;
  lines.reserve(list.size());
  for (const PhoneLine& line : list) lines.push_back(line.text());
  return lines;
}

std::string joinPhones(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& line : list) {
    if (!isPhoneLine(line)) continue;
    std::string phone;
    for (char c : line)
      if (c != kProsodyMark) phone += c;
    if (phone.empty() || phone == ">") continue;
    if (!out.empty()) out += ' ';
    out += phone;
  }
  return out;
}

std::string phonesOfText(const Transcriber& transcriber, std::string_view text) {
  auto isLetter = [](char c) {
    const Byte b = static_cast<Byte>(c);
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= 0xC0 && b != 0xD7 && b != 0xF7);
  };
  std::vector<std::string> tokenLines;
  size_t at = 0;
  while (at < text.size()) {
    if (!isLetter(text[at])) {
      ++at;
      continue;
    }
    const size_t start = at;
    while (at < text.size() && isLetter(text[at])) ++at;
    tokenLines.push_back("555|" + std::string(text.substr(start, at - start)));
  }
  return joinPhones(transcriber.transcribe(tokenLines));
}

}  // namespace kaldro::tts

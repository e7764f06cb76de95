// Prosody of the Portuguese engine: tokens, classes, patterns, durations, pitch targets, fillers.
#include "tts/prosody.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <iterator>
#include <optional>

#include "platform/text.h"
#include "platform/words.h"
#include "tts/latin1_text.h"
#include "tts/transcriber.h"

namespace kaldro::tts {

namespace {

// The file's section names, as its CP1252 bytes.
constexpr platform::Cp1252Words kDurationSection = "[DURAÇÃO]";
constexpr std::string_view kKeywordSection = "[CHAVES]";
constexpr platform::Cp1252Words kPatternSection = "[PROSÓDIA]";

// Half the engine's 16000 Hz: the highest pitch a target may ask for.
constexpr double kHighestPitchHz = 8000;

std::optional<int> parseInteger(std::string_view text) {
  text = trimBlanks(text);
  int value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// The lines of one section: after the line reading exactly its name, up to the next line starting
// with '[' or the end. Comments (';' or '*' first) and blank lines are left out. Nothing when the
// file has no such section.
std::optional<std::vector<std::string_view>> sectionLines(const std::vector<std::string_view>& lines,
                                                          std::string_view name) {
  auto heading = std::find_if(lines.begin(), lines.end(),
                              [&](std::string_view line) { return trimBlanks(line) == name; });
  if (heading == lines.end()) return std::nullopt;
  std::vector<std::string_view> body;
  for (auto line = std::next(heading); line != lines.end() && !line->starts_with('['); ++line) {
    if (trimBlanks(*line).empty() || line->front() == ';' || line->front() == '*') continue;
    body.push_back(*line);
  }
  return body;
}

// The class of a token line: the two characters after its '['.
std::string_view classOfLine(std::string_view line) { return line.size() > 1 ? line.substr(1, 2) : ""; }

// The text of a token line: after the ']' closing its class.
std::string_view textOfLine(std::string_view line) {
  if (line.size() >= 4 && line[3] == ']') return line.substr(4);
  const size_t close = line.find(']', 1);
  return close == std::string_view::npos ? std::string_view() : line.substr(close + 1);
}

// Name characters of the diphone list: letters, '@', '2' and '_'.
bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '@' || c == '2' || c == '_';
}

}  // namespace

Prosody::Prosody(std::function<void(const std::string&)> showMessage) : showMessage_(std::move(showMessage)) {}

void Prosody::report(std::string_view message, std::string_view line) const {
  if (showMessage_) showMessage_(std::string(message) + platform::cp1252ToUtf8(line));
}

bool Prosody::loadProsody(const std::string& path, std::string* readError) {
  hertz_ = 230;
  durations_.clear();
  keywords_.clear();
  patterns_.clear();
  std::string problem;
  const std::optional<std::string> text = readDataFile(path, &problem);
  if (!text) {
    if (problem.empty()) report("Configuração da prosódia não foi achada");
    if (readError) *readError = problem;
    return false;
  }
  const std::vector<std::string_view> lines = splitLines(*text);
  const auto durations = sectionLines(lines, kDurationSection);
  if (!durations) {
    report("Duração dos difones errada ou ausente");
    return false;
  }
  if (!readDurations(*durations)) return false;
  const auto keywords = sectionLines(lines, kKeywordSection);
  if (!keywords) {
    report("Prosódia: palavras chaves ausentes");
    return false;
  }
  if (!readKeywords(*keywords)) return false;
  const auto patterns = sectionLines(lines, kPatternSection);
  if (!patterns) {
    report("Prosódia: especificações ausentes");
    return false;
  }
  return readPatterns(*patterns);
}

bool Prosody::readDurations(const std::vector<std::string_view>& lines) {
  for (std::string_view line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      report("Configuração da prosódia: fonema errado: ", line);
      return false;
    }
    Duration entry{std::string(trimBlanks(line.substr(0, equals)).substr(0, 2)), 100};
    // A negative duration would make MBROLA reject the whole utterance.
    const std::optional<int> milliseconds = parseInteger(line.substr(equals + 1));
    if (milliseconds && *milliseconds >= 0)
      entry.milliseconds = *milliseconds;
    else
      report("Configuração da prosódia: fonema errado: ", line);
    if (durations_.size() < kMaxDurations) durations_.push_back(std::move(entry));
  }
  return true;
}

bool Prosody::readKeywords(const std::vector<std::string_view>& lines) {
  for (std::string_view line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      report("Configuração da prosódia: chave errada: ", line);
      return false;
    }
    if (keywords_.size() < kMaxKeywords)
      keywords_.push_back({upperLatin1(trimBlanks(line.substr(0, equals))), upperLatin1(trimBlanks(line.substr(equals + 1))).substr(0, 2)});
  }
  // Stable: of two entries for one word, the first in the file wins.
  std::stable_sort(keywords_.begin(), keywords_.end(),
                   [](const Keyword& a, const Keyword& b) { return a.word < b.word; });
  return true;
}

bool Prosody::readPatterns(const std::vector<std::string_view>& lines) {
  for (std::string_view original : lines) {
    const std::string line = upperLatin1(original);
    const std::string_view view = line;
    if (view.starts_with("HERTZ=")) {
      const std::optional<int> hertz = parseInteger(view.substr(6));
      if (hertz && *hertz > 0)
        hertz_ = *hertz;
      else
        report("Configuração da prosódia: chave errada: ", original);
      continue;
    }
    if (view.starts_with("TABHERTZ=")) {
      // Up to ten percentages for the digits 0 to 9; digits not given keep their values.
      std::array<int, 10> table = tabHertz_;
      std::string_view rest = view.substr(9);
      bool valid = true;
      for (size_t digit = 0; valid && !trimBlanks(rest).empty(); ++digit) {
        const size_t comma = rest.find(',');
        const std::optional<int> percent = parseInteger(rest.substr(0, comma));
        valid = digit < table.size() && percent && *percent >= 0;
        if (valid) table[digit] = *percent;
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      }
      if (valid)
        tabHertz_ = table;
      else
        report("Configuração da prosódia: chave errada: ", original);
      continue;
    }
    const size_t equals = view.find('=');
    const std::string_view pattern = equals == std::string_view::npos ? "" : trimBlanks(view.substr(equals + 1));
    // Later stages read exactly three pattern characters before the '|' of a token line.
    if (pattern.size() != 3) {
      report("Configuração da prosódia: chave errada: ", original);
      return false;
    }
    if (patterns_.size() >= kMaxPatterns) continue;
    PatternEntry entry;
    entry.pattern = std::string(pattern);
    std::string_view contexts = trimBlanks(view.substr(0, equals));
    std::string* fields[] = {&entry.previous, &entry.current, &entry.next};
    for (std::string* field : fields) {
      const size_t bar = contexts.find('|');
      *field = std::string(trimBlanks(contexts.substr(0, bar)).substr(0, 3));
      if (bar == std::string_view::npos) break;
      contexts = contexts.substr(bar + 1);
    }
    patterns_.push_back(std::move(entry));
  }
  return true;
}

bool Prosody::loadDiphones(const std::string& path, std::string* readError) {
  diphones_.clear();
  const std::optional<std::string> text = readDataFile(path, readError);
  if (!text) return false;
  for (std::string_view line : splitLines(*text)) {
    line = trimBlanks(line);
    if (line.empty() || line.front() == '!' || line.front() == '*' || line.front() == ';') continue;
    size_t end = 0;
    while (end < line.size() && isNameChar(line[end])) ++end;
    const std::string_view first = line.substr(0, end);
    size_t start = std::min(end + 1, line.size());
    while (start < line.size() && !isNameChar(line[start])) ++start;
    end = start;
    while (end < line.size() && isNameChar(line[end])) ++end;
    const std::string_view second = line.substr(start, end - start);
    if (first.empty() || second.empty()) continue;
    diphones_.push_back(lowerLatin1(first) + "-" + lowerLatin1(second));
  }
  std::sort(diphones_.begin(), diphones_.end());
  diphones_.erase(std::unique(diphones_.begin(), diphones_.end()), diphones_.end());
  return true;
}

void Prosody::discardDiphones() { diphones_.clear(); }

bool Prosody::hasDiphone(std::string_view first, std::string_view second) const {
  if (diphones_.empty()) return true;
  const std::string key = lowerLatin1(first) + "-" + lowerLatin1(second);
  return std::binary_search(diphones_.begin(), diphones_.end(), key);
}

std::vector<std::string> Prosody::tokenise(std::string_view text) const {
  std::vector<std::string> tokens{"[--]"};
  size_t pos = 0;
  while (pos < text.size()) {
    // A hyphen joins the parts of a compound ("sexta-feira", "disse-me"): each part is a word of
    // its own. As a token its class would be "--", that of a sentence start, and the first part
    // would fall as at the end of a sentence.
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '-')) ++pos;
    if (pos >= text.size()) break;
    std::string wordClass, token;
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c == '.' && pos + 1 < text.size() && text[pos + 1] == '.') {
      wordClass = ".-";
      token = ".";
      while (pos < text.size() && text[pos] == '.') ++pos;
    } else if (!isPortugueseLetter(static_cast<char>(c))) {
      wordClass = std::string(2, static_cast<char>(c));
      token = std::string(1, static_cast<char>(c));
      ++pos;
    } else {
      const size_t start = pos;
      while (pos < text.size() && isPortugueseLetter(text[pos])) ++pos;
      token = std::string(text.substr(start, pos - start));
      wordClass = classOf(token);
      if (wordClass.empty()) wordClass = "XX";
    }
    tokens.push_back("[" + wordClass + "]" + token);
    if (token.front() == '!' || token.front() == '.' || token.front() == '?') tokens.push_back("[--]");
  }
  return tokens;
}

std::string Prosody::classOf(std::string_view word) const {
  const std::string key = upperLatin1(word);
  auto found = std::lower_bound(keywords_.begin(), keywords_.end(), key,
                                [](const Keyword& entry, const std::string& k) { return entry.word < k; });
  return found != keywords_.end() && found->word == key ? found->wordClass : std::string();
}

std::vector<std::string> Prosody::assignPatterns(const std::vector<std::string>& tokens, bool useTable) const {
  std::vector<std::string> lines;
  lines.reserve(tokens.size());
  char last = '5';
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view previous = i > 0 ? classOfLine(tokens[i - 1]) : "";
    const std::string_view current = classOfLine(tokens[i]);
    const std::string_view next = i + 1 < tokens.size() ? classOfLine(tokens[i + 1]) : "";
    std::string pattern = "555";
    if (useTable) {
      auto matches = [](const std::string& entry, std::string_view value) { return entry.empty() || entry == value; };
      for (const PatternEntry& entry : patterns_) {
        if (matches(entry.previous, previous) && matches(entry.current, current) && matches(entry.next, next)) {
          pattern = entry.pattern;
          break;
        }
      }
    }
    if (pattern[0] == '?') pattern[0] = last;
    last = pattern[2];
    lines.push_back(pattern + "|" + std::string(textOfLine(tokens[i])));
  }
  return lines;
}

int Prosody::durationOf(std::string_view code) const {
  for (const Duration& entry : durations_)
    if (entry.code == code) return entry.milliseconds;
  return 100;
}

std::string Prosody::targetFor(char digit, int position, double pitchFactor) const {
  if (digit < '0' || digit > '9') return {};
  const int percent = tabHertz_[static_cast<size_t>(digit - '0')];
  if (percent == 0) return {};
  const double hundredths = std::trunc(percent * pitchFactor * hertz_);
  if (!(hundredths >= 100)) return {};  // MBROLA cannot sound a pitch of zero or less
  // The prosody file's HERTZ and TABHERTZ may ask for any pitch; none above half the voice's rate
  // can be sounded (and their product may not even fit a long).
  const long frequency = static_cast<long>(std::min(hundredths, kHighestPitchHz * 100.0)) / 100;
  return std::to_string(position) + " " + std::to_string(frequency);
}

std::string Prosody::pitchTarget(WordPitch& pitch, bool wordEnd, double pitchFactor) const {
  switch (pitch.state) {
    case 0:
      pitch.state = 1;
      return targetFor(pitch.pattern[0], 50, pitchFactor);
    case 2:
      pitch.state = 3;
      return targetFor(pitch.pattern[1], 80, pitchFactor);
    case 3:
      return wordEnd ? targetFor(pitch.pattern[2], 50, pitchFactor) : std::string();
    default:
      return {};
  }
}

void Prosody::checkDiphone(const std::string& previous, const std::string& current,
                           std::vector<std::string>& out) const {
  if (current.empty() || hasDiphone(previous, current)) return;
  if (previous == "r2" && hasDiphone("r2", "_"))
    out.push_back("_ 50");
  else if (hasDiphone(previous, "y"))
    out.push_back("y 50");
  else
    out.push_back("_ 50");
}

int Prosody::baseDuration(std::string& line, const WordPitch& pitch, size_t headerLength) const {
  if (line.front() == '_') {
    // "_" alone, "_ N" with its own length, or a named pause of the table.
    const int base = line == "_"      ? 100
                     : line[1] == ' ' ? parseInteger(std::string_view(line).substr(2)).value_or(100)
                                      : durationOf(line);
    line = "_";
    return base;
  }
  const int base = durationOf(line);
  // The phones before the stress of a long word are said faster. In 64 bits: the prosody file may
  // give a phone any duration an int holds.
  if (pitch.state < 2 && headerLength > 13) return static_cast<int>(int64_t{base} * 80 / 100);
  if (pitch.state < 2 && headerLength > 9) return static_cast<int>(int64_t{base} * 90 / 100);
  return base;
}

std::vector<std::string> Prosody::buildProsody(const std::vector<std::string>& phones, double durationFactor,
                                               double pitchFactor) const {
  std::vector<std::string> out;
  out.reserve(phones.size() + phones.size() / 4);
  int stressFactor = 100;
  size_t headerLength = 0;
  WordPitch pitch;
  // Word headers and empty lines are transparent to the diphone check: the voice joins the last
  // phone of one word to the first phone of the next.
  std::string previous = "_";
  for (size_t i = 0; i < phones.size(); ++i) {
    std::string line = phones[i];
    const bool wordEnd = i + 1 == phones.size() || phones[i + 1].empty();
    if (line.empty()) {
      stressFactor = 100;
      out.push_back(line);
      continue;
    }
    if (line.front() == ';') {
      // A word header ";pattern|token" becomes the comment ";token"; any other ';' line passes as a
      // comment.
      if (line.size() >= 5 && line[4] == '|') {
        pitch.pattern = line.substr(1, 3);
        line = ";" + line.substr(5);
        headerLength = line.size();
        pitch.state = 0;
      }
      out.push_back(line);
      continue;
    }
    if (line.front() == '>') {
      line.erase(0, 1);
      if (!line.empty() && line.front() == kProsodyMark) line.erase(0, 1);
      stressFactor = 145;
      pitch.state = 2;
    } else if (line.front() == kProsodyMark) {
      line.erase(0, 1);
      stressFactor = 100;
    }
    if (line.empty()) continue;  // a mark without a phone
    const int base = baseDuration(line, pitch, headerLength);
    const std::string current = line;
    // At least 1 ms: MBROLA rejects a line whose duration is zero or negative, as very high speeds
    // would give.
    const long duration =
        std::max(1L, static_cast<long>(std::trunc(base * static_cast<double>(stressFactor) * durationFactor)) / 100);
    line += " " + std::to_string(duration);
    if (std::string target = pitchTarget(pitch, wordEnd, pitchFactor); !target.empty()) line += " " + target;
    checkDiphone(previous, current, out);
    previous = current;
    out.push_back(std::move(line));
  }
  return out;
}

}  // namespace kaldro::tts

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

// Name characters of the diphone list: letters, '@', '2' and '_'.
bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '@' || c == '2' || c == '_';
}

}  // namespace

Prosody::Prosody(std::function<void(const std::string&)> showMessage) : showMessage_(std::move(showMessage)) {}

void Prosody::report(const platform::Cp1252Words& message, std::string_view line) const {
  if (showMessage_) showMessage_(message.utf8({platform::cp1252ToUtf8(line)}));
}

platform::Status Prosody::loadProsody(const std::string& path) {
  hertz_ = 230;
  durations_.clear();
  phrasing_.setTables({}, {});
  platform::Status status;
  const std::optional<std::string> text = readDataFile(path, status, platform::words::EngineProsodyFailed);
  if (!text) {
    if (status.code() == platform::StatusCode::NotFound) report(platform::words::ProsodyNotFound);
    return status;
  }
  const platform::Status malformed =
      platform::Status::failure(platform::StatusCode::Malformed, platform::words::EngineProsodyFailed.str());
  const std::vector<std::string_view> lines = splitLines(*text);
  const auto durations = sectionLines(lines, kDurationSection);
  if (!durations) {
    report(platform::words::ProsodyDurationsMissing);
    return malformed;
  }
  if (!readDurations(*durations)) return malformed;
  const auto keywords = sectionLines(lines, kKeywordSection);
  if (!keywords) {
    report(platform::words::ProsodyKeywordsMissing);
    return malformed;
  }
  std::vector<Phrasing::Keyword> keywordTable;
  if (!readKeywords(*keywords, keywordTable)) return malformed;
  const auto patterns = sectionLines(lines, kPatternSection);
  if (!patterns) {
    phrasing_.setTables(std::move(keywordTable), {});
    report(platform::words::ProsodyPatternsMissing);
    return malformed;
  }
  std::vector<Phrasing::PatternEntry> patternTable;
  const bool read = readPatterns(*patterns, patternTable);
  phrasing_.setTables(std::move(keywordTable), std::move(patternTable));
  return read ? platform::Status() : malformed;
}

bool Prosody::readDurations(const std::vector<std::string_view>& lines) {
  for (std::string_view line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      report(platform::words::ProsodyBadPhoneme, line);
      return false;
    }
    Duration entry{std::string(trimBlanks(line.substr(0, equals)).substr(0, 2)), 100};
    // A negative duration would make MBROLA reject the whole utterance.
    const std::optional<int> milliseconds = parseInteger(line.substr(equals + 1));
    if (milliseconds && *milliseconds >= 0)
      entry.milliseconds = *milliseconds;
    else
      report(platform::words::ProsodyBadPhoneme, line);
    if (durations_.size() < kMaxDurations) durations_.push_back(std::move(entry));
  }
  return true;
}

bool Prosody::readKeywords(const std::vector<std::string_view>& lines, std::vector<Phrasing::Keyword>& keywords) {
  for (std::string_view line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      report(platform::words::ProsodyBadKey, line);
      return false;
    }
    if (keywords.size() < kMaxKeywords)
      keywords.push_back({upperLatin1(trimBlanks(line.substr(0, equals))), upperLatin1(trimBlanks(line.substr(equals + 1))).substr(0, 2)});
  }
  return true;
}

bool Prosody::readPatterns(const std::vector<std::string_view>& lines, std::vector<Phrasing::PatternEntry>& patterns) {
  for (std::string_view original : lines) {
    const std::string line = upperLatin1(original);
    const std::string_view view = line;
    if (view.starts_with("HERTZ=")) {
      const std::optional<int> hertz = parseInteger(view.substr(6));
      if (hertz && *hertz > 0)
        hertz_ = *hertz;
      else
        report(platform::words::ProsodyBadKey, original);
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
        report(platform::words::ProsodyBadKey, original);
      continue;
    }
    const size_t equals = view.find('=');
    const std::string_view pattern = equals == std::string_view::npos ? "" : trimBlanks(view.substr(equals + 1));
    // Later stages read exactly three pattern characters before the '|' of a token line.
    if (pattern.size() != 3) {
      report(platform::words::ProsodyBadKey, original);
      return false;
    }
    if (patterns.size() >= kMaxPatterns) continue;
    Phrasing::PatternEntry entry;
    entry.pattern = std::string(pattern);
    std::string_view contexts = trimBlanks(view.substr(0, equals));
    std::string* fields[] = {&entry.previous, &entry.current, &entry.next};
    for (std::string* field : fields) {
      const size_t bar = contexts.find('|');
      *field = std::string(trimBlanks(contexts.substr(0, bar)).substr(0, 3));
      if (bar == std::string_view::npos) break;
      contexts = contexts.substr(bar + 1);
    }
    patterns.push_back(std::move(entry));
  }
  return true;
}

platform::Status Prosody::loadDiphones(const std::string& path) {
  diphones_.clear();
  platform::Status status;
  const std::optional<std::string> text = readDataFile(path, status, platform::words::EngineProsodyFailed);
  if (!text) return status;
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
  return status;
}

void Prosody::discardDiphones() { diphones_.clear(); }

bool Prosody::hasDiphone(std::string_view first, std::string_view second) const {
  if (diphones_.empty()) return true;
  const std::string key = lowerLatin1(first) + "-" + lowerLatin1(second);
  return std::binary_search(diphones_.begin(), diphones_.end(), key);
}

std::vector<std::string> Prosody::tokenise(std::string_view text) const {
  PhrasingCarry carry;
  std::vector<std::string> lines;
  for (const Token& token : phrasing_.tokenise(text, carry)) lines.push_back(tokenLine(token));
  return lines;
}

std::vector<std::string> Prosody::assignPatterns(const std::vector<std::string>& tokenLines, bool useTable) const {
  std::vector<Token> tokens;
  tokens.reserve(tokenLines.size());
  for (const std::string& line : tokenLines) tokens.push_back(tokenFromLine(line));
  PhrasingCarry carry;
  std::vector<std::string> lines;
  for (const PhrasedToken& token : phrasing_.assignPatterns(tokens, carry, true, useTable))
    lines.push_back(phrasedLine(token));
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

std::string Prosody::pitchTarget(ProsodyCarry& word, bool wordEnd, double pitchFactor) const {
  switch (word.pitchState) {
    case 0:
      word.pitchState = 1;
      return targetFor(word.pattern[0], 50, pitchFactor);
    case 2:
      word.pitchState = 3;
      return targetFor(word.pattern[1], 80, pitchFactor);
    case 3:
      return wordEnd ? targetFor(word.pattern[2], 50, pitchFactor) : std::string();
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

int Prosody::baseDuration(std::string& line, const ProsodyCarry& word) const {
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
  if (word.pitchState < 2 && word.headerLength > 13) return static_cast<int>(int64_t{base} * 80 / 100);
  if (word.pitchState < 2 && word.headerLength > 9) return static_cast<int>(int64_t{base} * 90 / 100);
  return base;
}

std::vector<std::string> Prosody::buildProsody(const std::vector<PhoneLine>& phones, ProsodyCarry& carry,
                                               bool lastPiece, double durationFactor, double pitchFactor) const {
  using Kind = PhoneLine::Kind;
  std::vector<std::string> out;
  out.reserve(phones.size() + phones.size() / 4);
  for (size_t i = 0; i < phones.size(); ++i) {
    const PhoneLine& phone = phones[i];
    // The next piece starts with a word header, never with a word's end.
    const bool wordEnd = i + 1 < phones.size() ? phones[i + 1].kind == Kind::WordEnd : lastPiece;
    switch (phone.kind) {
      case Kind::WordEnd:
        carry.stressFactor = 100;
        out.emplace_back();
        continue;
      case Kind::WordHeader:
        carry.pattern = phone.pattern;
        out.push_back(";" + phone.name);
        carry.headerLength = out.back().size();
        carry.pitchState = 0;
        continue;
      case Kind::Comment:
        out.push_back(";" + phone.name);
        continue;
      case Kind::Phone:
      case Kind::Pause:
        break;
    }
    if (phone.stressed) {
      carry.stressFactor = 145;
      carry.pitchState = 2;
    } else if (phone.marked) {
      carry.stressFactor = 100;
    }
    if (phone.name.empty()) continue;  // a mark without a phone
    std::string line = phone.name;
    const int base = baseDuration(line, carry);
    const std::string current = line;
    // At least 1 ms: MBROLA rejects a line whose duration is zero or negative, as very high speeds
    // would give.
    const long duration = std::max(
        1L, static_cast<long>(std::trunc(base * static_cast<double>(carry.stressFactor) * durationFactor)) / 100);
    line += " " + std::to_string(duration);
    if (std::string target = pitchTarget(carry, wordEnd, pitchFactor); !target.empty()) line += " " + target;
    // Word headers and empty lines are transparent to the diphone check: the voice joins the last
    // phone of one word to the first phone of the next.
    checkDiphone(carry.previous, current, out);
    carry.previous = current;
    out.push_back(std::move(line));
  }
  return out;
}

std::vector<std::string> Prosody::buildProsody(const std::vector<std::string>& phones, double durationFactor,
                                               double pitchFactor) const {
  std::vector<PhoneLine> lines;
  lines.reserve(phones.size());
  for (const std::string& line : phones) lines.push_back(PhoneLine::fromText(line));
  ProsodyCarry carry;
  return buildProsody(lines, carry, true, durationFactor, pitchFactor);
}

}  // namespace kaldro::tts

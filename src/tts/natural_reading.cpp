// The natural reading: a scan of the text that recognises what a reader says otherwise than it is
// written, and says it with the engine's number words. This file holds the scan and the word lists;
// the word rules and the number rules have a file each.
#include "tts/natural_reading_pass.h"

#include <algorithm>

#include "platform/character_names.h"
#include "platform/config.h"
#include "platform/text.h"
#include "tts/normaliser.h"
#include "tts/reading_lists.h"

namespace kaldro::tts {

using namespace reading_rules;
using platform::isDigit;

Reading readingFromConfig(const platform::Configuration& configuration) {
  const std::string value = configuration.readConfig("TRADUTOR", "LEITURA");
  const std::string_view trimmed = trimBlanks(value);
  return !trimmed.empty() && (trimmed[0] == 'L' || trimmed[0] == 'l') ? Reading::Literal : Reading::Natural;
}

namespace reading_rules {

bool isQuote(unsigned char c) {
  return c == '"' || c == 0x93 || c == 0x94 || c == 0xAB || c == 0xBB || c == 0x84 || c == 0x91 || c == 0x92 ||
         c == '\'';
}

std::string cp(const char* utf8) { return platform::utf8ToCp1252(utf8); }

}  // namespace reading_rules

namespace {

// The lines of a list that hold something: no blank lines, no comments.
std::vector<std::string> listLines(std::string_view utf8) {
  std::vector<std::string> lines;
  const std::string text = platform::utf8ToCp1252(utf8);
  for (std::string_view line : splitLines(text)) {
    line = trimBlanks(line);
    if (!line.empty() && line.front() != '#') lines.emplace_back(line);
  }
  return lines;
}

}  // namespace

NaturalReading::NaturalReading(const Normaliser& names) : names_(names) {
  for (const std::string& line : listLines(ReadingLists::genders)) {
    if (line.size() < 3 || line[1] != ' ') continue;
    const Gender gender = line[0] == 'f' ? Gender::Feminine : Gender::Masculine;
    const std::string word = lowerLatin1(trimBlanks(std::string_view(line).substr(2)));
    if (word.size() > 1 && word[0] == '-')
      endingGenders_[word.substr(1)] = gender;
    else
      nounGenders_[word] = gender;
  }
  for (const std::string& line : listLines(ReadingLists::acronyms)) {
    const std::vector<std::string> words = platform::splitWords(line);
    if (words.size() != 2) continue;
    (words[0] == "palavra" ? acronymWords_ : acronymLetters_).insert(words[1]);
  }
  for (const std::string& line : listLines(ReadingLists::units)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::vector<std::string> names = platform::splitWords(line.substr(equals + 1));
    if (names.size() < 2) continue;
    Unit unit{names[0], names[1], names.size() > 2 && names[2] == "f" ? Gender::Feminine : Gender::Masculine};
    units_[std::string(trimBlanks(std::string_view(line).substr(0, equals)))] = unit;
  }
  for (const std::string& line : listLines(ReadingLists::slashes)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string_view said = trimBlanks(std::string_view(line).substr(equals + 1));
    const size_t bar = said.find('|');
    SlashAbbreviation entry{std::string(trimBlanks(said.substr(0, bar))), {}};
    entry.otherwise = bar == std::string_view::npos ? entry.beforeNumber : std::string(trimBlanks(said.substr(bar + 1)));
    slashes_[lowerLatin1(trimBlanks(std::string_view(line).substr(0, equals)))] = entry;
  }
  for (const std::string& line : listLines(ReadingLists::abbreviations)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    WrittenAbbreviation entry{lowerLatin1(trimBlanks(std::string_view(line).substr(0, equals))),
                              std::string(trimBlanks(std::string_view(line).substr(equals + 1)))};
    if (entry.said.ends_with('|')) {
      entry.onlyBeforeNumber = true;
      entry.said = std::string(trimBlanks(std::string_view(entry.said).substr(0, entry.said.size() - 1)));
    }
    if (!entry.written.empty() && !entry.said.empty()) abbreviations_.push_back(entry);
  }
  std::stable_sort(abbreviations_.begin(), abbreviations_.end(),
                   [](const auto& a, const auto& b) { return a.written.size() > b.written.size(); });
  const char* months[] = {"",      "janeiro", "fevereiro", "março",    "abril",    "maio",    "junho",
                          "julho", "agosto",  "setembro",  "outubro", "novembro", "dezembro"};
  for (size_t i = 0; i < months_.size(); ++i) months_[i] = cp(months[i]);
}

Gender NaturalReading::genderOf(const std::string& noun) const {
  // The noun and its singulars: cartas carta, mulheres mulher, prestações prestação.
  std::vector<std::string> forms = {noun};
  if (noun.ends_with("s")) forms.push_back(noun.substr(0, noun.size() - 1));
  if (noun.ends_with("es")) forms.push_back(noun.substr(0, noun.size() - 2));
  if (noun.ends_with("\xF5" "es")) forms.push_back(noun.substr(0, noun.size() - 3) + "\xE3o");
  if (noun.ends_with("ns")) forms.push_back(noun.substr(0, noun.size() - 2) + "m");
  for (const std::string& form : forms)
    if (auto found = nounGenders_.find(form); found != nounGenders_.end()) return found->second;
  // The longest listed ending of the noun or one of its singulars decides.
  size_t longest = 0;
  Gender gender = Gender::Masculine;
  for (const std::string& form : forms)
    for (const auto& [ending, endingGender] : endingGenders_)
      if (ending.size() > longest && form.ends_with(ending)) {
        longest = ending.size();
        gender = endingGender;
      }
  return gender;
}

bool NaturalReading::acronymIsWord(const std::string& acronym) const {
  if (acronymWords_.count(acronym)) return true;
  if (acronymLetters_.count(acronym) || acronym.size() <= 2) return false;
  auto isVowel = [](char c) { return std::string_view("AEIOUY").find(c) != std::string_view::npos; };
  auto isOnset = [](std::string_view pair) {
    static const std::set<std::string_view> kOnsets = {"BR", "CR", "DR", "FR", "GR", "PR", "TR", "VR", "BL",
                                                       "CL", "FL", "GL", "PL", "CH", "LH", "NH"};
    return pair.size() == 1 || kOnsets.count(pair) > 0;
  };
  auto isCoda = [](char c) { return std::string_view("SRLMNZ").find(c) != std::string_view::npos; };
  // The consonant clusters before, between and after the vowels must each begin or end a syllable.
  std::vector<std::string> clusters(1);
  bool anyVowel = false;
  for (char c : acronym) {
    if (isVowel(c)) {
      anyVowel = true;
      if (!clusters.back().empty()) clusters.emplace_back();
    } else {
      clusters.back() += c;
    }
  }
  if (!anyVowel) return false;
  const bool startsWithVowel = isVowel(acronym.front()), endsWithVowel = isVowel(acronym.back());
  for (size_t i = 0; i < clusters.size(); ++i) {
    const std::string& cluster = clusters[i];
    if (cluster.empty()) continue;
    const bool first = i == 0 && !startsWithVowel, last = i + 1 == clusters.size() && !endsWithVowel;
    if (first && last) return false;
    if (first) {
      if (!isOnset(cluster)) return false;
    } else if (last) {
      if (!(cluster.size() == 1 && isCoda(cluster[0])) && cluster != "NS" && cluster != "RS") return false;
    } else if (cluster.size() >= 2) {
      const bool codaThenOnset = isCoda(cluster[0]) && isOnset(std::string_view(cluster).substr(1));
      if (!codaThenOnset && !(cluster.size() == 2 && isOnset(cluster))) return false;
    }
  }
  return true;
}

std::string NaturalReading::spelled(std::string_view letters) const {
  std::string out;
  for (char c : letters) {
    const std::string_view name = trimBlanks(names_.charName(static_cast<unsigned char>(c)));
    if (name.empty()) continue;
    if (!out.empty()) out += ' ';
    out += name;
  }
  return out;
}

// ---- one pass over a text ----

std::string NaturalReading::Pass::run() {
  while (pos_ < text_.size()) step();
  return tidy(out_);
}

void NaturalReading::Pass::step() {
  const char c = text_[pos_];
  const auto b = static_cast<unsigned char>(c);
  if (isDigit(c)) return number();
  if (isLetter(c)) return word();
  if (c == '(' && digitAt(pos_ + 1) && digitAt(pos_ + 2) && at(pos_ + 3) == ')' && areaCodePhone()) return;
  if (b == kEuro && digitAt(skipBlanks(pos_ + 1))) return money(pos_ + 1, {"euro", "euros"});
  if (signBeforeNumber(c, b)) return;
  ++pos_;
  if (isQuote(b) || b == kNoBreakSpace || c == '{' || c == '}' || c == '\t' || c == '\n' || c == '\r') {
    out_ += ' ';  // silent, but still between the words it separates
  } else if (c == '[' || c == ']') {
    out_ += c == '[' ? '(' : ')';
  } else if (c == '-' && pos_ >= 2 && isLetter(at(pos_ - 2)) && digitAt(pos_)) {
    out_ += ' ';  // BR-116, COVID-19
  } else if (b == kEnDash || b == kEmDash || (c == '-' && pos_ >= 2 && at(pos_ - 2) == ' ' && at(pos_) == ' ')) {
    out_ += ", ";  // a dash in prose is a pause
  } else if (b == kEllipsis) {
    out_ += "...";
  } else if (c == '&') {
    say("e");
  } else if (c == '@') {
    say("arroba");
  } else if (c == '%') {
    say("por cento");
  } else if (c == '+') {
    say("mais");
  } else if (c == '=') {
    say("igual");
  } else if (b == kSection) {
    // § 1º, §§ 1º e 2º: the paragraph of a law, and what follows it counts as its number.
    const bool plural = byteAt(pos_) == kSection;
    if (plural) ++pos_;
    say(plural ? cp("parágrafos") : cp("parágrafo"));
    previousWord_ = cp("parágrafo");
    return;
  } else if (c == '/' && pos_ >= 2 && (isLetter(at(pos_ - 2)) || isDigit(at(pos_ - 2))) && letterAt(pos_)) {
    say("barra");  // gov.br/receita, 7/2025/SEGES
  } else if (c == '.' && pos_ < text_.size() && pos_ >= 2 && (isLetter(at(pos_ - 2)) || isDigit(at(pos_ - 2))) &&
             (letterAt(pos_) || digitAt(pos_))) {
    say("ponto");  // site.com.br, versão 2.1
  } else {
    out_ += c;
    if (!isPause(c) && c != ' ') forgetWord();
    return;
  }
  if (c != '\t' && c != '\n' && c != '\r' && !isQuote(b) && b != kNoBreakSpace) forgetWord();
}

// €, a minus before digits, ½ ¼ ¾: said, and the sign passed.
bool NaturalReading::Pass::signBeforeNumber(char c, unsigned char b) {
  std::string words;
  if (b == kEuro) {
    words = "euros";  // 50 €
  } else if (c == '-' && digitAt(pos_ + 1) &&
             (pos_ == 0 || std::string_view(" (\t\n").find(at(pos_ - 1)) != std::string_view::npos)) {
    words = "menos";
  } else if (b == kHalf || b == kQuarter || b == kThreeQuarters) {
    words = b == kHalf ? (r_.genderOf(nextWordFrom(pos_ + 1)) == Gender::Feminine ? "meia" : "meio")
                       : b == kQuarter ? "um quarto" : cp("três quartos");
  } else {
    return false;
  }
  say(words);
  ++pos_;
  return true;
}

// Blanks collapsed, none before a pause mark or after an opening bracket, none at the ends.
std::string NaturalReading::Pass::tidy(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ' || out.back() == '(')) continue;
    if ((c == ',' || c == '.' || c == ';' || c == ':' || c == '!' || c == '?' || c == ')') && !out.empty() &&
        out.back() == ' ')
      out.pop_back();
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Signs the reading leaves as written and a reader names (× ± ‰ ²) are named last.
std::string NaturalReading::read(std::string_view text) const {
  return platform::CharacterNames::nameCp1252Signs(Pass(*this, text).run());
}

}  // namespace kaldro::tts

// The natural reading: a scan of the text that recognises what a reader says otherwise than it is
// written, and says it with the engine's number words.
#include "tts/natural_reading.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/character_names.h"
#include "platform/config.h"
#include "platform/latin1_classes.h"
#include "platform/text.h"
#include "tts/latin1_text.h"
#include "tts/normaliser.h"
#include "tts/reading_lists.h"

namespace kaldro::tts {

Reading readingFromConfig(const platform::Configuration& configuration) {
  const std::string value = configuration.readConfig("TRADUTOR", "LEITURA");
  const std::string_view trimmed = trimBlanks(value);
  return !trimmed.empty() && (trimmed[0] == 'L' || trimmed[0] == 'l') ? Reading::Literal : Reading::Natural;
}

namespace {

using platform::isDigit;

constexpr unsigned char kEuro = 0x80, kEllipsis = 0x85, kEnDash = 0x96, kEmDash = 0x97;
constexpr unsigned char kFeminineSign = 0xAA, kMasculineSign = 0xBA, kDegree = 0xB0;
constexpr unsigned char kSquared = 0xB2, kCubed = 0xB3, kSection = 0xA7;
constexpr unsigned char kQuarter = 0xBC, kHalf = 0xBD, kThreeQuarters = 0xBE;

bool isLetter(char c) { return isPortugueseLetter(c); }
// The consonants of letter runs: W and Y, and Ç and Ñ, too.
constexpr std::string_view kConsonants = "BCDFGHJKLMNPQRSTVWXYZbcdfghjklmnpqrstvwxyz\xC7\xE7\xD1\xF1";
bool isCapital(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7);
}
bool isAsciiCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool isQuote(unsigned char c) {
  return c == '"' || c == 0x93 || c == 0x94 || c == 0xAB || c == 0xBB || c == 0x84 || c == 0x91 || c == 0x92 ||
         c == '\'';
}
bool isPause(char c) { return std::string_view(",.;:!?()").find(c) != std::string_view::npos; }

std::string cp(const char* utf8) { return platform::utf8ToCp1252(utf8); }

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

uint64_t valueOf(std::string_view digits) {
  uint64_t value = 0;
  for (char c : digits) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

// A roman numeral's value, 0 when the letters are not one written the usual way.
unsigned romanValue(std::string_view letters) {
  auto digit = [](char c) -> unsigned {
    switch (c) {
      case 'I': return 1;
      case 'V': return 5;
      case 'X': return 10;
      case 'L': return 50;
      case 'C': return 100;
      case 'D': return 500;
      case 'M': return 1000;
      default: return 0;
    }
  };
  unsigned value = 0;
  for (size_t i = 0; i < letters.size(); ++i) {
    const unsigned d = digit(letters[i]);
    if (d == 0) return 0;
    const unsigned next = i + 1 < letters.size() ? digit(letters[i + 1]) : 0;
    value = next > d ? value - d : value + d;
  }
  if (value == 0 || value >= 4000) return 0;
  // Only the usual spelling counts: IIII or VX are no numerals.
  static constexpr std::pair<unsigned, const char*> kParts[] = {
      {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
      {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},   {4, "IV"},  {1, "I"}};
  std::string canonical;
  unsigned rest = value;
  for (const auto& [amount, text] : kParts)
    for (; rest >= amount; rest -= amount) canonical += text;
  return canonical == letters ? value : 0;
}

bool isLeapYear(uint64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
bool validDate(uint64_t day, uint64_t month, std::optional<uint64_t> year) {
  static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  return !(month == 2 && day == 29 && year && !isLeapYear(*year));
}

// Words that make a following d/m a date rather than a fraction: "dia 3/4", "até 1/2".
bool announcesDate(const std::string& word) {
  static const std::set<std::string> kWords = {"dia",  "dias",  "em",   "at\xE9", "desde", "de",  "no",
                                               "entre", "e",    "a",    "data",   "vencimento", "prazo",
                                               "partir", "hoje", "amanh\xE3", "ontem", "para", "aos", "ao"};
  return kWords.count(word) > 0;
}

// Words after which digits are a document, an account or a telephone, read in groups of digits.
bool announcesDigits(const std::string& word) {
  static const std::set<std::string> kWords = {
      "cpf",  "cnpj",    "cep",      "rg",     "tel",      "telefone", "fone",     "celular",   "cel",
      "whatsapp", "conta", "ag\xEAncia", "ag",  "protocolo", "processo", "matr\xED" "cula", "pis", "cnh",
      "renavam", "nis",  "inscri\xE7\xE3o", "c\xF3" "digo", "pedido", "senha", "fax", "ramal", "cc"};
  return kWords.count(word) > 0;
}

// Nouns after which a roman numeral is a number said after the noun; a century says its first
// ten as ordinals (século quinto), the others as cardinals (capítulo três).
bool romanAfterCentury(const std::string& word) { return word == "s\xE9" "culo" || word == "s\xE9" "culos"; }
bool romanAfterNoun(const std::string& word) {
  static const std::set<std::string> kWords = {"cap\xEDtulo", "cap\xEDtulos", "parte", "partes", "volume",
                                               "volumes", "tomo", "tomos", "ato", "livro", "anexo", "inciso",
                                               "t\xEDtulo", "se\xE7\xE3o", "item", "fase", "cap", "vol"};
  return kWords.count(word) > 0;
}

bool isScaleWord(const std::string& word) {
  static const std::set<std::string> kWords = {"mil",        "milh\xE3o", "milh\xF5" "es", "bilh\xE3o",
                                               "bilh\xF5" "es", "trilh\xE3o", "trilh\xF5" "es"};
  return kWords.count(word) > 0;
}

struct Currency {
  std::string one, many;
};

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

class NaturalReading::Pass {
 public:
  Pass(const NaturalReading& reading, std::string_view text) : r_(reading), text_(text) {}

  std::string run() {
    while (pos_ < text_.size()) step();
    return tidy(out_);
  }

 private:
  char at(size_t p) const { return p < text_.size() ? text_[p] : '\0'; }
  unsigned char byteAt(size_t p) const { return static_cast<unsigned char>(at(p)); }
  bool digitAt(size_t p) const { return p < text_.size() && isDigit(text_[p]); }
  bool letterAt(size_t p) const { return p < text_.size() && isLetter(text_[p]); }
  size_t skipBlanks(size_t p) const {
    while (p < text_.size() && text_[p] == ' ') ++p;
    return p;
  }
  size_t digitsEnd(size_t p) const {
    while (digitAt(p)) ++p;
    return p;
  }
  // The letter word at p (hyphens and apostrophes between letters kept), and where it ends.
  std::string wordAt(size_t p, size_t* end = nullptr) const {
    size_t e = p;
    while (letterAt(e) || ((at(e) == '-' || at(e) == '\'' || byteAt(e) == 0x92) && e > p && letterAt(e + 1))) ++e;
    if (end) *end = e;
    return std::string(text_.substr(p, e - p));
  }
  // The next word after blanks from p, in small letters; empty when something else comes.
  std::string nextWordFrom(size_t p, size_t* end = nullptr) const {
    p = skipBlanks(p);
    if (!letterAt(p)) return {};
    return lowerLatin1(wordAt(p, end));
  }

  void say(const std::string& words) {
    out_ += ' ';
    out_ += words;
    out_ += ' ';
  }
  void forgetWord() {
    previousWord_.clear();
    previousCapitalised_ = false;
  }

  void step() {
    const char c = text_[pos_];
    const auto b = static_cast<unsigned char>(c);
    if (isDigit(c)) return number();
    if (isLetter(c)) return word();
    if (c == '(' && digitAt(pos_ + 1) && digitAt(pos_ + 2) && at(pos_ + 3) == ')' && areaCodePhone()) return;
    if (b == kEuro && digitAt(skipBlanks(pos_ + 1))) return money(pos_ + 1, {"euro", "euros"});
    if (b == kEuro) {
      say("euros");  // 50 €
      ++pos_;
      return;
    }
    if (c == '-' && digitAt(pos_ + 1) && (pos_ == 0 || std::string_view(" (\t\n").find(at(pos_ - 1)) != std::string_view::npos)) {
      say("menos");
      ++pos_;
      return;
    }
    if (b == kHalf || b == kQuarter || b == kThreeQuarters) {
      say(b == kHalf ? (r_.genderOf(nextWordFrom(pos_ + 1)) == Gender::Feminine ? "meia" : "meio")
                     : b == kQuarter ? "um quarto" : cp("três quartos"));
      ++pos_;
      return;
    }
    ++pos_;
    if (isQuote(b) || c == '{' || c == '}' || c == '\t' || c == '\n' || c == '\r') {
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
      say(cp("parágrafo"));
    } else if (c == '.' && pos_ < text_.size() && pos_ >= 2 && (isLetter(at(pos_ - 2)) || isDigit(at(pos_ - 2))) &&
               (letterAt(pos_) || digitAt(pos_))) {
      say("ponto");  // site.com.br, versão 2.1
    } else {
      out_ += c;
      if (!isPause(c) && c != ' ') forgetWord();
      return;
    }
    if (c != '\t' && c != '\n' && c != '\r' && !isQuote(b)) forgetWord();
  }

  // ---- words ----

  void word() {
    size_t end;
    const std::string w = wordAt(pos_, &end);
    const std::string lower = lowerLatin1(w);
    pos_ = end;
    // Money: R$ 10, US$ 5.
    if ((w == "R" || w == "US") && at(pos_) == '$' && digitAt(skipBlanks(pos_ + 1))) {
      return money(pos_ + 1, w == "R" ? Currency{"real", "reais"} : Currency{cp("dólar"), cp("dólares")});
    }
    // nº 12, n° 12, Nº 12.
    if (lower == "n" && (byteAt(pos_) == kMasculineSign || byteAt(pos_) == kDegree)) {
      const bool plural = at(pos_ + 1) == 's';
      pos_ += plural ? 2 : 1;
      if (at(pos_) == '.') ++pos_;
      say(plural ? cp("números") : cp("número"));
      previousWord_ = cp("número");
      return;
    }
    if (slashAbbreviation(lower)) return;
    // S.A., L.T.D.A. style: one letter, a dot, one letter, a dot, as the slash abbreviation.
    if (w.size() == 1 && at(pos_) == '.' && letterAt(pos_ + 1) && !letterAt(pos_ + 2) && at(pos_ + 2) == '.') {
      const auto found = r_.slashes_.find(lower + "/" + lowerLatin1(text_.substr(pos_ + 1, 1)));
      if (found != r_.slashes_.end()) {
        say(found->second.otherwise);
        pos_ += 3;
        forgetWord();
        return;
      }
    }
    // km 25 of a road: the unit before its number.
    if (lower == "km" && digitAt(skipBlanks(pos_)) && skipBlanks(pos_) > pos_) {
      say(r_.units_.at("km").singular);
      forgetWord();
      return;
    }
    if (at(pos_) == '.' && titleOrAbbreviation(w)) return;
    if (roman(w)) return;
    if (acronym(w)) return;
    if (w.find_first_not_of(kConsonants) == std::string::npos) {
      say(r_.spelled(w));  // a word without vowels cannot be said: br, www, sr
      rememberWord(w);
      return;
    }
    out_ += w;
    rememberWord(w);
  }

  void rememberWord(const std::string& w) {
    const std::string lower = lowerLatin1(w);
    if (announcesDigits(lower)) digitsAnnounced_ = true;
    else if (lower != "n\xFAmero" && lower != "n" && lower != "do" && lower != "da" && lower != "de" && lower != "o")
      digitsAnnounced_ = false;
    previousWord_ = lower;
    previousCapitalised_ = isCapital(w[0]) && w.size() > 1 && !isCapital(w[1]);
  }

  // s/n, c/c, a/c, c/ juros, e/ou: the word at pos_ is already read (in small letters).
  bool slashAbbreviation(const std::string& lower) {
    if (at(pos_) != '/') return false;
    size_t end = pos_ + 1;
    std::string after = letterAt(end) ? lowerLatin1(wordAt(end, &end)) : std::string();
    auto found = r_.slashes_.find(lower + "/" + after);
    if (found == r_.slashes_.end() && !after.empty()) {
      found = r_.slashes_.find(lower + "/");
      end = pos_ + 1;
    }
    if (found == r_.slashes_.end()) return false;
    pos_ = end;
    const bool numberFollows = digitAt(skipBlanks(pos_));
    say(numberFollows ? found->second.beforeNumber : found->second.otherwise);
    forgetWord();
    if (numberFollows && lower == "c") digitsAnnounced_ = true;  // c/c 12345-6
    return true;
  }

  // "D. Pedro" and the abbreviations of the engine's table ("Dr. Silva"); the dot is at pos_.
  bool titleOrAbbreviation(const std::string& w) {
    const bool dotEndsText = pos_ + 1 >= text_.size();
    const bool dotEndsWord = dotEndsText || at(pos_ + 1) == ' ' || isPause(at(pos_ + 1));
    if (!dotEndsWord) return false;
    if (w == "D" && at(pos_ + 1) == ' ' && isCapital(at(pos_ + 2))) {
      const std::string name = nextWordFrom(pos_ + 1);
      const bool lady = r_.genderOf(name) == Gender::Feminine || name.ends_with("a");
      say(lady ? "Dona" : "Dom");
      ++pos_;
      previousWord_ = "dom";
      previousCapitalised_ = true;
      return true;
    }
    const std::string expansion = r_.names_.lookupAbbreviation(w);
    if (expansion.empty()) return false;
    say(expansion);
    if (!dotEndsText) ++pos_;  // a dot that ends the text stays as the final full stop
    rememberWord(w);
    return true;
  }

  // A roman numeral after a name (D. Pedro II, Pio XII) or after século, capítulo, parte...
  bool roman(const std::string& w) {
    const unsigned value = romanValue(w);
    if (value == 0 || letterAt(pos_)) return false;
    const bool afterCentury = romanAfterCentury(previousWord_);
    const bool afterNoun = romanAfterNoun(previousWord_);
    const bool onlyIVX = w.find_first_not_of("IVX") == std::string::npos;
    const bool afterName = previousCapitalised_ && onlyIVX && !afterNoun && !afterCentury;
    if (!afterCentury && !afterNoun && !afterName) return false;
    if (afterNoun || value > 10) {
      say(r_.numbers_.cardinal(value));
    } else {
      const bool lady = afterName && (r_.genderOf(previousWord_) == Gender::Feminine);
      say(r_.numbers_.ordinal(value, lady ? Gender::Feminine : Gender::Masculine));
    }
    forgetWord();
    return true;
  }

  // Capitals A-Z only, two or more: said as a word or spelled letter by letter.
  bool acronym(const std::string& w) {
    if (w.size() < 2) return false;
    for (char c : w)
      if (!isAsciiCapital(c)) return false;
    if (r_.acronymIsWord(w)) {
      out_ += lowerLatin1(w);
    } else {
      say(r_.spelled(w));
    }
    rememberWord(w);
    previousCapitalised_ = false;
    return true;
  }

  // ---- numbers ----

  struct NumberToken {
    std::vector<std::string> groups;  // the digit groups
    std::string separators;           // the sign between each two groups: . , / : -
    size_t end = 0;
  };
  NumberToken numberTokenAt(size_t p) const {
    NumberToken token;
    size_t e = digitsEnd(p);
    token.groups.emplace_back(text_.substr(p, e - p));
    while (std::string_view(".,/:-").find(at(e)) != std::string_view::npos && at(e) != '\0' && digitAt(e + 1)) {
      const char sign = at(e);
      const size_t groupEnd = digitsEnd(e + 1);
      token.separators += sign;
      token.groups.emplace_back(text_.substr(e + 1, groupEnd - e - 1));
      e = groupEnd;
    }
    token.end = e;
    return token;
  }

  // 1.500.000 and 2.500: groups of three after the first; nothing when the dots are not that.
  static std::optional<uint64_t> thousandsValue(const std::vector<std::string>& groups, size_t count) {
    if (groups[0].empty() || groups[0].size() > 3 || groups[0][0] == '0') return std::nullopt;
    std::string digits = groups[0];
    for (size_t i = 1; i < count; ++i) {
      if (groups[i].size() != 3) return std::nullopt;
      digits += groups[i];
    }
    if (digits.size() > 15) return std::nullopt;
    return valueOf(digits);
  }

  std::string digitByDigit(std::string_view digits) const {
    std::string out;
    for (char c : digits) {
      if (!out.empty()) out += ' ';
      out += r_.numbers_.digit(c - '0');
    }
    return out;
  }
  // Groups of digits, each digit by digit, a pause between groups: documents and telephones.
  std::string digitGroups(const std::vector<std::string>& groups) const {
    std::string out;
    for (const std::string& group : groups) {
      if (!out.empty()) out += ", ";
      out += digitByDigit(group);
    }
    return out;
  }

  // A whole number as a reader says it: leading zeros one by one, then the value.
  std::string wholeNumber(std::string_view digits, Gender gender = Gender::Masculine) const {
    if (digits.size() > 15) return digitByDigit(digits);
    size_t zeros = 0;
    while (zeros + 1 < digits.size() && digits[zeros] == '0') ++zeros;
    std::string out = digitByDigit(digits.substr(0, zeros));
    if (!out.empty()) out += ' ';
    return out + r_.numbers_.cardinal(valueOf(digits.substr(zeros)), gender);
  }
  std::string decimals(std::string_view digits) const { return cp("vírgula ") + wholeNumber(digits); }

  void number() {
    const NumberToken token = numberTokenAt(pos_);
    const std::string& first = token.groups[0];
    const std::string& seps = token.separators;
    const bool announced = digitsAnnounced_;
    digitsAnnounced_ = false;

    // Documents, accounts and telephones, announced by their name or known by their shape.
    if (announced && seps.find_first_not_of(".-/") == std::string::npos && (first.size() >= 4 || !seps.empty()))
      return spoken(digitGroups(token.groups), token.end);
    // 0800-123-4567: zero oitocentos, then the groups.
    if (first.size() == 4 && first[0] == '0' && first[1] != '0' && first.substr(2) == "00" &&
        seps.find_first_not_of('-') == std::string::npos && !seps.empty()) {
      return spoken("zero " + r_.numbers_.cardinal(valueOf(first)) + ", " +
                        digitGroups(std::vector<std::string>(token.groups.begin() + 1, token.groups.end())),
                    token.end);
    }
    if (seps.empty()) return plainNumber(token);
    if (seps == ",") return decimalNumber(token, token.groups[0], token.groups[1]);
    if (seps.find_first_not_of('.') == std::string::npos) {
      if (auto value = thousandsValue(token.groups, token.groups.size()))
        return integer(std::to_string(*value), token.end);
      if (seps.size() == 2 && dateReading(token)) return;
      std::string out;
      for (const std::string& group : token.groups) out += (out.empty() ? "" : " ponto ") + wholeNumber(group);
      return spoken(out, token.end);
    }
    if (seps.back() == ',' && seps.find_first_not_of('.') == seps.size() - 1) {
      if (auto value = thousandsValue(token.groups, token.groups.size() - 1))
        return decimalNumber(token, std::to_string(*value), token.groups.back());
    }
    // Lei 8.666/93: a number, then the year after the bar.
    if (seps.size() >= 2 && seps.back() == '/' && seps.find_first_not_of('.') == seps.size() - 1) {
      if (auto value = thousandsValue(token.groups, token.groups.size() - 1))
        return spoken(r_.numbers_.cardinal(*value) + " barra " + wholeNumber(token.groups.back()), token.end);
    }
    if (seps == "/" || seps == "//") {
      if (dateReading(token) || fraction(token)) return;
      std::string out;
      for (const std::string& group : token.groups) out += (out.empty() ? "" : " barra ") + wholeNumber(group);
      return spoken(out, token.end);
    }
    if (seps == ":" || seps == "::") {
      if (clockTime(token)) return;
    }
    if (seps == "--" && dateReading(token)) return;
    if (seps == "-" && first.size() == 4 && token.groups[1].size() == 4 && first[0] != '0' &&
        token.groups[1][0] != '0' && valueOf(first) < valueOf(token.groups[1]) && valueOf(first) >= 1000 &&
        valueOf(token.groups[1]) <= 2999 && valueOf(first) <= 2999) {
      // A span of years: 2020-2025.
      return spoken(r_.numbers_.cardinal(valueOf(first)) + " a " + r_.numbers_.cardinal(valueOf(token.groups[1])),
                    token.end);
    }
    // A span of small numbers: páginas 10-20.
    if (seps == "-" && first.size() <= 3 && token.groups[1].size() <= 3 && first[0] != '0' && token.groups[1][0] != '0')
      return spoken(r_.numbers_.cardinal(valueOf(first)) + " a " + r_.numbers_.cardinal(valueOf(token.groups[1])), token.end);
    // Telephones, postal codes, documents: digit groups, never millions.
    spoken(digitGroups(token.groups), token.end);
  }

  void spoken(const std::string& words, size_t end) {
    say(words);
    pos_ = end;
    forgetWord();
  }

  // dd/mm/aaaa, dd/mm/aa, dd/mm, dd.mm.aaaa, dd-mm-aaaa: "primeiro de março de dois mil e vinte".
  bool dateReading(const NumberToken& token) {
    const auto& g = token.groups;
    if (g[0].size() > 2 || g[1].size() > 2 || (g.size() == 3 && g[2].size() != 2 && g[2].size() != 4)) return false;
    const uint64_t day = valueOf(g[0]), month = valueOf(g[1]);
    std::optional<uint64_t> year;
    if (g.size() == 3) {
      year = valueOf(g[2]);
      if (g[2].size() == 2) *year += *year < 50 ? 2000 : 1900;  // 15/08/25: of 2025
    }
    if (!validDate(day, month, year)) return false;
    // A lone d/m of small numbers is a fraction (3/4 de xícara) unless a date is announced.
    if (g.size() == 2 && day < month && month <= 10 && !announcesDate(previousWord_)) return false;
    std::string out = day == 1 ? r_.numbers_.ordinal(1, Gender::Masculine) : r_.numbers_.cardinal(day);
    out += " de " + r_.months_[month];
    if (year) out += " de " + r_.numbers_.cardinal(*year);
    spoken(out, token.end);
    return true;
  }

  // 1/2, 3/4, 2/3, 5/12: halves, thirds, quarters... and "avos" past the tenths.
  bool fraction(const NumberToken& token) {
    const uint64_t numerator = valueOf(token.groups[0]), denominator = valueOf(token.groups[1]);
    if (token.groups.size() != 2 || denominator < 2 || numerator == 0 || token.groups[1][0] == '0' ||
        token.groups[0][0] == '0' || denominator > 1000)
      return false;
    const bool plural = numerator > 1;
    std::string part;
    if (denominator == 2) {
      if (numerator == 1) {
        const Gender gender = r_.genderOf(nextWordFrom(token.end));
        spoken(gender == Gender::Feminine ? "meia" : "meio", token.end);
        return true;
      }
      part = "meios";
    } else if (denominator == 3) {
      part = plural ? cp("terços") : cp("terço");
    } else if (denominator <= 10 || denominator == 100 || denominator == 1000) {
      part = r_.numbers_.ordinal(denominator, Gender::Masculine);
      if (plural) part += 's';
    } else {
      part = r_.numbers_.cardinal(denominator) + " avos";
    }
    spoken(r_.numbers_.cardinal(numerator) + " " + part, token.end);
    return true;
  }

  // 10:15, 19:00, 10:15:30.
  bool clockTime(const NumberToken& token) {
    const auto& g = token.groups;
    if (g[0].size() > 2 || g[1].size() != 2 || (g.size() == 3 && g[2].size() != 2)) return false;
    const uint64_t hour = valueOf(g[0]), minute = valueOf(g[1]);
    if (hour > 24 || minute > 59 || (g.size() == 3 && valueOf(g[2]) > 59)) return false;
    std::string out = timeWords(hour, minute, g.size() == 3 ? std::optional<uint64_t>(valueOf(g[2])) : std::nullopt);
    pos_ = token.end;
    // 14:00h, 14:00hs: the hour sign adds nothing.
    if (at(pos_) == 'h' && (!letterAt(pos_ + 1) || (at(pos_ + 1) == 's' && !letterAt(pos_ + 2))))
      pos_ += at(pos_ + 1) == 's' ? 2 : 1;
    say(timeRange(out));
    forgetWord();
    return true;
  }

  std::string timeWords(uint64_t hour, uint64_t minute, std::optional<uint64_t> second = std::nullopt) const {
    std::string out = r_.numbers_.cardinal(hour, Gender::Feminine);
    if (second) {
      out += hour == 1 ? " hora, " : " horas, ";
      out += r_.numbers_.cardinal(minute) + (minute == 1 ? " minuto e " : " minutos e ");
      return out + r_.numbers_.cardinal(*second) + (*second == 1 ? " segundo" : " segundos");
    }
    if (minute == 0) return out + (hour < 2 ? " hora" : " horas");  // zero hora, uma hora
    return out + " e " + r_.numbers_.cardinal(minute);
  }

  // After a time: "-" or "a" and another time make a span, "das oito às doze".
  std::string timeRange(const std::string& firstTime) {
    size_t p = pos_;
    if (at(p) == '-' || byteAt(p) == kEnDash) {
      p = skipBlanks(p + 1);
    } else {
      return firstTime;
    }
    if (!digitAt(p)) return firstTime;
    const size_t save = pos_;
    pos_ = p;
    std::string second;
    if (!readTimeAt(second)) {
      pos_ = save;
      return firstTime;
    }
    const bool announced = previousWord_ == "das" || previousWord_ == "de" || previousWord_ == "entre";
    return (announced ? "" : "das ") + firstTime + cp(" às ") + second;
  }

  // A time at pos_ in either writing (15h, 15h20, 10:15); false, and nothing read, otherwise.
  bool readTimeAt(std::string& words) {
    const NumberToken token = numberTokenAt(pos_);
    if (token.separators == ":" && token.groups[0].size() <= 2 && token.groups[1].size() == 2) {
      const uint64_t hour = valueOf(token.groups[0]), minute = valueOf(token.groups[1]);
      if (hour > 24 || minute > 59) return false;
      words = timeWords(hour, minute);
      pos_ = token.end;
      return true;
    }
    if (!token.separators.empty()) return false;
    if (auto time = hourMark(token)) {
      words = time->first;
      pos_ = time->second;
      return true;
    }
    return false;
  }

  // 15h, 15h20, 8h05, 15h30min: the words and where they end.
  std::optional<std::pair<std::string, size_t>> hourMark(const NumberToken& token) const {
    const std::string& digits = token.groups[0];
    size_t p = token.end;
    if (digits.size() > 2 || at(p) != 'h' || valueOf(digits) > 24) return std::nullopt;
    ++p;
    uint64_t minute = 0;
    bool minutes = false;
    if (digitAt(p) && digitAt(p + 1) && !digitAt(p + 2)) {
      minute = valueOf(text_.substr(p, 2));
      if (minute > 59) return std::nullopt;
      p += 2;
      minutes = true;
      if (text_.substr(p, 3) == "min") p += 3;
    }
    if (letterAt(p) || digitAt(p)) return std::nullopt;
    const uint64_t hour = valueOf(digits);
    if (minutes && text_.substr(token.end + 3, 3) == "min")
      return std::make_pair(timeWords(hour, 0) + " e " + r_.numbers_.cardinal(minute) + (minute == 1 ? " minuto" : " minutos"), p);
    return std::make_pair(timeWords(hour, minute), p);
  }

  // The gender of the noun at p, and where it starts, skipping blanks.
  Gender nounGenderAt(size_t p) const { return r_.genderOf(nextWordFrom(p)); }

  void integer(const std::string& digits, size_t end) {
    NumberToken token;
    token.groups = {digits};
    token.end = end;
    plainNumber(token, true);
  }

  // A number without signs inside, and what follows it: h, %, °, º, a unit, x, a noun.
  // grouped: written with thousands dots, so an amount however long.
  void plainNumber(const NumberToken& token, bool grouped = false) {
    const std::string& digits = token.groups[0];
    size_t p = token.end;
    if (auto time = hourMark(token)) {
      pos_ = time->second;
      say(timeRange(time->first));
      forgetWord();
      return;
    }
    // 0800 123 4567, and other numbers that start with zero: digit by digit.
    if (digits.size() >= 2 && digits[0] == '0') {
      if (digits.size() == 4 && digits[1] != '0' && digits.substr(2) == "00") {
        std::vector<std::string> groups;
        size_t e = p;
        while ((at(e) == ' ' || at(e) == '-') && digitAt(e + 1)) {
          const size_t groupEnd = digitsEnd(e + 1);
          groups.emplace_back(text_.substr(e + 1, groupEnd - e - 1));
          e = groupEnd;
        }
        if (!groups.empty() && !letterAt(e)) {
          return spoken("zero " + r_.numbers_.cardinal(valueOf(digits)) + ", " + digitGroups(groups), e);
        }
      }
      return spoken(digitByDigit(digits), p);
    }
    if (!grouped && digits.size() >= 7 && !(digits.size() <= 15 && nextIsAmount(p))) return spoken(digitByDigit(digits), p);
    const uint64_t value = valueOf(digits);
    const unsigned char sign = byteAt(p);
    if (sign == kMasculineSign || sign == kFeminineSign) {
      return spoken(r_.numbers_.ordinal(value, sign == kFeminineSign ? Gender::Feminine : Gender::Masculine), p + 1);
    }
    if (auto degrees = degreesAt(p)) return spoken(r_.numbers_.cardinal(value) + (value == 1 ? " grau" : " graus"), *degrees);
    if (sign == kDegree) {
      // 1° andar: the degree sign typed for the ordinal one; 45° alone is an angle.
      if (nextWordFrom(p + 1).empty()) return spoken(r_.numbers_.cardinal(value) + (value == 1 ? " grau" : " graus"), p + 1);
      return spoken(r_.numbers_.ordinal(value, nounGenderAt(p + 1)), p + 1);
    }
    if (auto percent = percentAt(p)) return spoken(r_.numbers_.cardinal(value) + " por cento", *percent);
    if (byteAt(p) == kHalf) {
      const Gender gender = nounGenderAt(p + 1);
      return spoken(r_.numbers_.cardinal(value, gender) + (gender == Gender::Feminine ? " e meia" : " e meio"), p + 1);
    }
    if (at(p) == 'x' && !letterAt(p + 1) && !digitAt(p + 1)) {  // em 10x: dez vezes
      return spoken(r_.numbers_.cardinal(value, Gender::Feminine) + (value == 1 ? " vez" : " vezes"), p + 1);
    }
    if (auto unit = unitAt(p)) {
      return spoken(r_.numbers_.cardinal(value, unit->gender) + " " + (value == 1 ? unit->singular : unit->plural), unit->end);
    }
    size_t wordEnd = 0;
    const std::string next = nextWordFrom(p, &wordEnd);
    // 1 de maio: primeiro de maio.
    if (value >= 1 && value <= 31 && next == "de") {
      const std::string month = nextWordFrom(wordEnd);
      for (size_t m = 1; m <= 12; ++m)
        if (month == r_.months_[m] && validDate(value, m, std::nullopt)) {
          return spoken(value == 1 ? r_.numbers_.ordinal(1, Gender::Masculine) : r_.numbers_.cardinal(value), p);
        }
    }
    // 2 mil pessoas: the thousands agree with the noun after "mil".
    if (next == "mil") return spoken(r_.numbers_.cardinal(value, nounGenderAt(wordEnd)), p);
    if (isScaleWord(next) || next.empty()) return spoken(wholeNumber(digits), p);
    const Gender gender = r_.genderOf(next);
    std::string words = r_.numbers_.cardinal(value, gender);
    // Round millions take "de" before their noun: dois milhões de pessoas.
    if (value >= 1'000'000 && value % 1'000'000 == 0 && next != "de") words += " de";
    spoken(words, p);
  }

  bool nextIsAmount(size_t p) const {
    const std::string next = nextWordFrom(p);
    return next == "reais" || next == cp("dólares") || next == "euros";
  }

  // 3,5 and 1.234,56, with what may follow: %, a unit, reais.
  void decimalNumber(const NumberToken& token, const std::string& whole, const std::string& fraction) {
    size_t p = token.end;
    size_t wordEnd = 0;
    const std::string next = nextWordFrom(p, &wordEnd);
    if (next == "reais" || next == "real" || next == cp("dólares") || next == "euros") {
      Currency currency = next == "euros" ? Currency{"euro", "euros"}
                          : next == cp("dólares") ? Currency{cp("dólar"), cp("dólares")}
                                                 : Currency{"real", "reais"};
      return spoken(moneyWords(valueOf(whole), centsOf(fraction), currency, {}), wordEnd);
    }
    std::string words = r_.numbers_.cardinal(valueOf(whole)) + " " + decimals(fraction);
    if (auto percent = percentAt(p)) return spoken(words + " por cento", *percent);
    if (auto degrees = degreesAt(p)) return spoken(words + " graus", *degrees);
    if (auto unit = unitAt(p)) return spoken(words + " " + unit->plural, unit->end);
    // 2,5 milhões: dois milhões e meio.
    if (isScaleWord(next) && next != "mil" && fraction == "5")
      return spoken(r_.numbers_.cardinal(valueOf(whole)) + " " + next + " e meio", wordEnd);
    spoken(words, p);
  }

  static int centsOf(const std::string& fraction) {
    if (fraction.empty()) return 0;
    if (fraction.size() == 1) return (fraction[0] - '0') * 10;
    return (fraction[0] - '0') * 10 + (fraction[1] - '0');
  }

  std::string moneyWords(uint64_t whole, int cents, const Currency& currency, const std::string& scale) const {
    const std::string centWords = cents == 1 ? "um centavo" : r_.numbers_.cardinal(static_cast<uint64_t>(cents)) + " centavos";
    if (whole == 0 && cents > 0 && scale.empty()) return centWords;
    std::string out = r_.numbers_.cardinal(whole);
    if (!scale.empty()) out += " " + scale;
    const bool roundMillions = scale.empty() ? whole >= 1'000'000 && whole % 1'000'000 == 0 : scale != "mil";
    if (roundMillions) out += " de";
    out += " " + (whole == 1 && scale.empty() ? currency.one : currency.many);
    if (cents > 0) out += " e " + centWords;
    return out;
  }

  // R$ 3.480,00, US$ 100, € 1,50, R$ 2 milhões, R$ 2,5 milhões: from p, the amount after the sign.
  void money(size_t p, const Currency& currency) {
    p = skipBlanks(p);
    const NumberToken token = numberTokenAt(p);
    const auto& g = token.groups;
    std::optional<uint64_t> whole;
    std::string fraction;
    const std::string& seps = token.separators;
    if (seps.empty()) {
      whole = g[0].size() <= 15 ? std::optional<uint64_t>(valueOf(g[0])) : std::nullopt;
    } else if (seps.back() == ',' && seps.find_first_not_of('.') == seps.size() - 1) {
      whole = seps.size() == 1 ? std::optional<uint64_t>(valueOf(g[0])) : thousandsValue(g, g.size() - 1);
      fraction = g.back();
    } else if (seps.find_first_not_of('.') == std::string::npos) {
      whole = thousandsValue(g, g.size());
    }
    if (!whole || fraction.size() > 2) {
      // Not an amount: the sign is named and the digits read as the number they are.
      say(currency.many);
      pos_ = p;
      return;
    }
    size_t wordEnd = 0;
    const std::string next = nextWordFrom(token.end, &wordEnd);
    pos_ = token.end;
    if (isScaleWord(next)) {
      pos_ = wordEnd;
      if (fraction == "5" || fraction == "50") {
        say(r_.numbers_.cardinal(*whole) + " " + next + " e meio" + (next == "mil" ? " " : " de ") + currency.many);
      } else if (!fraction.empty()) {
        say(r_.numbers_.cardinal(*whole) + " " + decimals(fraction) + " " + next + (next == "mil" ? " " : " de ") + currency.many);
      } else {
        say(moneyWords(*whole, 0, currency, next));
      }
    } else {
      say(moneyWords(*whole, centsOf(fraction), currency, {}));
    }
    forgetWord();
  }

  // Where "%" (maybe after a blank) ends.
  std::optional<size_t> percentAt(size_t p) const {
    const size_t q = skipBlanks(p);
    if (at(q) == '%' && q - p <= 1) return q + 1;
    return std::nullopt;
  }
  // Where a temperature's "°C" (or ºC, ° C, °F) ends.
  std::optional<size_t> degreesAt(size_t p) const {
    size_t q = skipBlanks(p);
    if (q - p > 1 || (byteAt(q) != kDegree && byteAt(q) != kMasculineSign)) return std::nullopt;
    q = skipBlanks(q + 1);
    if ((at(q) == 'C' || at(q) == 'F') && !letterAt(q + 1)) return q + 1;
    return std::nullopt;
  }
  struct FoundUnit {
    std::string singular, plural;
    Gender gender;
    size_t end;
  };
  // A unit symbol right after a number (12 km, 500g), maybe squared, cubed or per hour.
  std::optional<FoundUnit> unitAt(size_t p) const {
    const size_t q = skipBlanks(p);
    if (q - p > 1 || !letterAt(q)) return std::nullopt;
    size_t end = q;
    while (letterAt(end)) ++end;
    auto found = r_.units_.find(std::string(text_.substr(q, end - q)));
    if (found == r_.units_.end()) found = r_.units_.find(lowerLatin1(text_.substr(q, end - q)));  // KM, Kg
    if (found == r_.units_.end()) return std::nullopt;
    FoundUnit unit{found->second.singular, found->second.plural, found->second.gender, end};
    if (byteAt(end) == kSquared || byteAt(end) == kCubed || at(end) == '2' || at(end) == '3') {
      if (at(end) == '2' || at(end) == '3') {
        if (digitAt(end + 1)) return std::nullopt;
      }
      const bool squared = byteAt(end) == kSquared || at(end) == '2';
      unit.singular += squared ? " quadrado" : cp(" cúbico");
      unit.plural += squared ? " quadrados" : cp(" cúbicos");
      ++unit.end;
    } else if (at(end) == '/' && at(end + 1) == 'h' && !letterAt(end + 2)) {
      unit.singular += " por hora";
      unit.plural += " por hora";
      unit.end += 2;
    }
    if (letterAt(unit.end) || digitAt(unit.end)) return std::nullopt;
    return unit;
  }

  // (11) 3456-7890: the area code as a number, the rest in groups.
  bool areaCodePhone() {
    const size_t p = skipBlanks(pos_ + 4);
    if (!digitAt(p)) return false;
    const NumberToken token = numberTokenAt(p);
    if (token.separators.find_first_not_of("- ") != std::string::npos) return false;
    size_t digits = 0;
    for (const auto& group : token.groups) digits += group.size();
    if (digits < 8) return false;
    const std::string code(text_.substr(pos_ + 1, 2));
    pos_ = token.end;
    say(wholeNumber(code) + ", " + digitGroups(token.groups));
    forgetWord();
    return true;
  }

  // Blanks collapsed, none before a pause mark or after an opening bracket, none at the ends.
  static std::string tidy(const std::string& text) {
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

  const NaturalReading& r_;
  std::string_view text_;
  size_t pos_ = 0;
  std::string out_;
  std::string previousWord_;  // the last word read, in small letters
  bool previousCapitalised_ = false;
  bool digitsAnnounced_ = false;  // CPF, telefone... came before
};

// Signs the reading leaves as written and a reader names (× ± ‰ ²) are named last.
std::string NaturalReading::read(std::string_view text) const {
  return platform::CharacterNames::nameCp1252Signs(Pass(*this, text).run());
}

}  // namespace kaldro::tts

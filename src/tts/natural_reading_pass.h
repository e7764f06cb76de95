// The inside of the natural reading, shared by its three files (the scanner and its lists, the word
// rules, the number rules): one pass over one text, and the helpers its rules share.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/latin1_classes.h"
#include "tts/latin1_text.h"
#include "tts/natural_reading.h"

namespace kaldro::tts {
namespace reading_rules {

constexpr unsigned char kEuro = 0x80, kEllipsis = 0x85, kEnDash = 0x96, kEmDash = 0x97;
constexpr unsigned char kFeminineSign = 0xAA, kMasculineSign = 0xBA, kDegree = 0xB0;
constexpr unsigned char kSquared = 0xB2, kCubed = 0xB3, kSection = 0xA7;
constexpr unsigned char kQuarter = 0xBC, kHalf = 0xBD, kThreeQuarters = 0xBE, kNoBreakSpace = 0xA0;

inline bool isLetter(char c) { return isPortugueseLetter(c); }
// The consonants of letter runs: W and Y, and Ç and Ñ, too.
constexpr std::string_view kConsonants = "BCDFGHJKLMNPQRSTVWXYZbcdfghjklmnpqrstvwxyz\xC7\xE7\xD1\xF1";
inline bool isCapital(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7);
}
inline bool isAsciiCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool isQuote(unsigned char c);
inline bool isPause(char c) { return std::string_view(",.;:!?()").find(c) != std::string_view::npos; }
// CP1252 text from a UTF-8 literal.
std::string cp(const char* utf8);
inline uint64_t valueOf(std::string_view digits) {
  uint64_t value = 0;
  for (char c : digits) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

// Word rules' helpers (natural_reading_words.cpp).
// A roman numeral's value, 0 when the letters are not one written the usual way.
unsigned romanValue(std::string_view letters);
// Words after which digits are a document, an account or a telephone, read in groups of digits.
bool announcesDigits(const std::string& word);
// Nouns after which a roman numeral is a number said after the noun; a century says its first
// ten as ordinals (século quinto), the others as cardinals (capítulo três).
bool romanAfterCentury(const std::string& word);
bool romanAfterNoun(const std::string& word);

// Number rules' helpers (natural_reading_numbers.cpp).
bool validDate(uint64_t day, uint64_t month, std::optional<uint64_t> year);
// Words that make a following d/m a date rather than a fraction: "dia 3/4", "até 1/2".
bool announcesDate(const std::string& word);
bool isScaleWord(const std::string& word);
// Nouns that a number names rather than counts (art. 21, página 21): said in the masculine.
bool isLabelNoun(const std::string& word);
bool isOrdinalLabelNoun(const std::string& word);
bool isNumberWord(const std::string& word);
bool isAmountWord(const std::string& word);
// The names of norms whose number may carry a year: Lei nº 8.112/1990.
bool namesANorm(const std::string& word);
// The month (1-12) a word names, in full or by its first three letters; 0 for none.
int monthNumber(const std::string& lower, const std::array<std::string, 13>& months, bool* abbreviated);

struct Currency {
  std::string one, many;
};

}  // namespace reading_rules

class NaturalReading::Pass {
 public:
  Pass(const NaturalReading& reading, std::string_view text) : r_(reading), text_(text) {}
  std::string run();

 private:
  char at(size_t p) const { return p < text_.size() ? text_[p] : '\0'; }
  unsigned char byteAt(size_t p) const { return static_cast<unsigned char>(at(p)); }
  bool digitAt(size_t p) const { return p < text_.size() && platform::isDigit(text_[p]); }
  bool letterAt(size_t p) const { return p < text_.size() && reading_rules::isLetter(text_[p]); }
  size_t skipBlanks(size_t p) const {
    while (p < text_.size() && (text_[p] == ' ' || byteAt(p) == reading_rules::kNoBreakSpace)) ++p;
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
    wordBefore_.clear();
    previousCapitalised_ = false;
  }
  void step();
  bool signBeforeNumber(char c, unsigned char b);

  // ---- words ----
  void word();
  bool writtenAbbreviation();
  bool numberFollows(size_t p) const;
  bool writtenShape(const std::string& w, const std::string& lower);
  bool carPlate(const std::string& w);

  void rememberWord(const std::string& w);

  // s/n, c/c, a/c, c/ juros, e/ou: the word at pos_ is already read (in small letters).
  bool slashAbbreviation(const std::string& lower);

  // "D. Pedro" and the abbreviations of the engine's table ("Dr. Silva"); the dot is at pos_.
  bool titleOrAbbreviation(const std::string& w);

  // A roman numeral after a name (D. Pedro II, Pio XII) or after século, capítulo, parte...
  bool roman(const std::string& w);

  // Capitals A-Z only, two or more: said as a word or spelled letter by letter.
  bool acronym(const std::string& w);

  // ---- numbers ----

  struct NumberToken {
    std::vector<std::string> groups;  // the digit groups
    std::string separators;           // the sign between each two groups: . , / : -
    size_t end = 0;
  };
  NumberToken numberTokenAt(size_t p) const;

  // 1.500.000 and 2.500: groups of three after the first; nothing when the dots are not that.
  static std::optional<uint64_t> thousandsValue(const std::vector<std::string>& groups, size_t count);
  std::string digitByDigit(std::string_view digits) const;
  // Groups of digits, each digit by digit, a pause between groups: documents and telephones.
  std::string digitGroups(const std::vector<std::string>& groups) const;

  // A whole number as a reader says it: leading zeros one by one, then the value.
  std::string wholeNumber(std::string_view digits, Gender gender = Gender::Masculine) const;
  std::string decimals(std::string_view digits) const;
  void number();
  bool tollFreeNumber();
  void slashedNumber(const NumberToken& token);
  bool normWithYear(const NumberToken& token);
  bool courtProcess(const NumberToken& token);
  bool isoDate(const NumberToken& token);

  void spoken(const std::string& words, size_t end);
  bool said(const std::string& words, size_t end) {
    spoken(words, end);
    return true;
  }

  // dd/mm/aaaa, dd/mm/aa, dd/mm, dd.mm.aaaa, dd-mm-aaaa: "primeiro de março de dois mil e vinte".
  bool dateReading(const NumberToken& token);

  // 1/2, 3/4, 2/3, 5/12: halves, thirds, quarters... and "avos" past the tenths.
  bool fraction(const NumberToken& token);

  // 10:15, 19:00, 10:15:30.
  bool clockTime(const NumberToken& token);
  std::string timeWords(uint64_t hour, uint64_t minute, std::optional<uint64_t> second = std::nullopt) const;

  // After a time: "-" or "a" and another time make a span, "das oito às doze".
  std::string timeRange(const std::string& firstTime);

  // A time at pos_ in either writing (15h, 15h20, 10:15); false, and nothing read, otherwise.
  bool readTimeAt(std::string& words);

  // 15h, 15h20, 8h05, 15h30min: the words and where they end.
  std::optional<std::pair<std::string, size_t>> hourMark(const NumberToken& token) const;

  // The gender of the noun at p, and where it starts, skipping blanks.
  Gender nounGenderAt(size_t p) const { return r_.genderOf(nextWordFrom(p)); }
  void integer(const std::string& digits, size_t end);

  // A number without signs inside, and what follows it: h, %, °, º, a unit, x, a noun.
  // grouped: written with thousands dots, so an amount however long.
  void plainNumber(const NumberToken& token, bool grouped = false);
  bool ordinalNumber(uint64_t value, size_t p);
  bool signAfterNumber(uint64_t value, size_t p);
  bool dateWithMonthName(uint64_t value, size_t p);
  size_t afterRepeatedInWords(size_t p) const;
  // Whether the words before a number make it a duration: prazo de 2h15, por 3h, duração de 1h30.
  bool durationAnnounced() const;
  bool nextIsAmount(size_t p) const;

  // 3,5 and 1.234,56, with what may follow: %, a unit, reais.
  void decimalNumber(const NumberToken& token, const std::string& whole, const std::string& fraction);
  static int centsOf(const std::string& fraction);

  std::string moneyWords(uint64_t whole, int cents, const reading_rules::Currency& currency, const std::string& scale) const;

  // R$ 3.480,00, US$ 100, € 1,50, R$ 2 milhões, R$ 2,5 milhões: from p, the amount after the sign.
  void money(size_t p, const reading_rules::Currency& currency);

  // Where "%" (maybe after a blank) ends.
  std::optional<size_t> percentAt(size_t p) const;
  // Where a temperature's "°C" (or ºC, ° C, °F) ends.
  std::optional<size_t> degreesAt(size_t p) const;
  struct FoundUnit {
    std::string singular, plural;
    Gender gender;
    size_t end;
  };
  // A unit symbol right after a number (12 km, 500g), maybe squared, cubed or per hour.
  std::optional<FoundUnit> unitAt(size_t p) const;

  // (11) 3456-7890: the area code as a number, the rest in groups.
  bool areaCodePhone();

  // Blanks collapsed, none before a pause mark or after an opening bracket, none at the ends.
  static std::string tidy(const std::string& text);
  const NaturalReading& r_;
  std::string_view text_;
  size_t pos_ = 0;
  std::string out_;
  std::string previousWord_;  // the last word read, in small letters
  bool previousCapitalised_ = false;
  bool digitsAnnounced_ = false;  // CPF, telefone... came before
  bool normAnnounced_ = false;    // Lei, Decreto... came before
  std::string wordBefore_;        // the word before previousWord_
};

}  // namespace kaldro::tts

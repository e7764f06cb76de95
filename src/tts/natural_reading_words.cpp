// The natural reading's word rules: money signs, titles and abbreviations, slash abbreviations,
// roman numerals and acronyms.
#include "tts/natural_reading_pass.h"

#include <array>

#include "tts/normaliser.h"

namespace kaldro::tts {

using namespace reading_rules;
using platform::isDigit;

namespace reading_rules {

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

bool announcesDigits(const std::string& word) {
  static const std::set<std::string> kWords = {
      "cpf",  "cnpj",    "cep",      "rg",     "tel",      "telefone", "fone",     "celular",   "cel",
      "whatsapp", "conta", "ag\xEAncia", "ag",  "protocolo", "processo", "matr\xED" "cula", "pis", "cnh",
      "renavam", "nis",  "inscri\xE7\xE3o", "c\xF3" "digo", "pedido", "senha", "fax", "ramal", "cc"};
  return kWords.count(word) > 0;
}

bool romanAfterCentury(const std::string& word) { return word == "s\xE9" "culo" || word == "s\xE9" "culos"; }
bool romanAfterNoun(const std::string& word) {
  static const std::set<std::string> kWords = {"cap\xEDtulo", "cap\xEDtulos", "parte", "partes", "volume",
                                               "volumes", "tomo", "tomos", "ato", "livro", "anexo", "inciso",
                                               "t\xEDtulo", "se\xE7\xE3o", "item", "fase", "cap", "vol"};
  return kWords.count(word) > 0;
}
bool namesANorm(const std::string& word) {
  static const std::set<std::string> kWords = {
      "lei", "leis", "decreto", "decretos", "decreto-lei", "complementar", "constitucional", "provis\xF3ria",
      "normativa", "portaria", "portarias", "resolu\xE7\xE3o", "emenda", "delibera\xE7\xE3o", "of\xED" "cio-circular"};
  return kWords.count(word) > 0;
}

int monthNumber(const std::string& lower, const std::array<std::string, 13>& months, bool* abbreviated) {
  for (int m = 1; m <= 12; ++m) {
    if (lower == months[m]) {
      *abbreviated = false;
      return m;
    }
    // The first three letters: jan fev mar... ("mar\xE7o" gives "mar").
    if (lower.size() == 3 && months[m].compare(0, 3, lower) == 0) {
      *abbreviated = true;
      return m;
    }
  }
  return 0;
}

}  // namespace reading_rules

void NaturalReading::Pass::word() {
  if (writtenAbbreviation()) return;
  size_t end;
  const std::string w = wordAt(pos_, &end);
  const std::string lower = lowerLatin1(w);
  pos_ = end;
  if (writtenShape(w, lower)) return;
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

// The abbreviations of the letters' list, matched as written (dots and blanks inside): "V. Exa.",
// "a.m.", "fls. 12", "CF/88". The longest that fits wins.
bool NaturalReading::Pass::writtenAbbreviation() {
  const unsigned char first = static_cast<unsigned char>(lowerLatin1(text_.substr(pos_, 1))[0]);
  for (const WrittenAbbreviation& entry : r_.abbreviations_) {
    const size_t length = entry.written.size();
    if (static_cast<unsigned char>(entry.written[0]) != first || pos_ + length > text_.size()) continue;
    if (lowerLatin1(text_.substr(pos_, length)) != entry.written) continue;
    const size_t end = pos_ + length;
    const char last = entry.written.back();
    if (last == '/' ? !digitAt(end) : letterAt(end) || (isLetter(last) && digitAt(end))) continue;
    if (entry.onlyBeforeNumber && !numberFollows(end)) continue;
    say(entry.said);
    pos_ = end;
    if (last == '.' && (end >= text_.size() || at(end) == '\n')) out_ += '.';  // it ends the sentence too
    const size_t lastBlank = entry.said.rfind(' ');
    rememberWord(lastBlank == std::string::npos ? entry.said : entry.said.substr(lastBlank + 1));
    return true;
  }
  return false;
}

// A number, or "nº" before one, after blanks from p.
bool NaturalReading::Pass::numberFollows(size_t p) const {
  p = skipBlanks(p);
  if (digitAt(p)) return true;
  return (at(p) == 'n' || at(p) == 'N') && (byteAt(p + 1) == kMasculineSign || byteAt(p + 1) == kDegree);
}

// Words with a shape of their own: car plates, web addresses, a month before "/year".
bool NaturalReading::Pass::writtenShape(const std::string& w, const std::string& lower) {
  if (carPlate(w)) return true;
  if (lower == "www") {
    say("d\xE1" "blio d\xE1" "blio d\xE1" "blio");
    forgetWord();
    return true;
  }
  // https://, http://: a reader starts the address after them.
  if ((lower == "http" || lower == "https") && text_.substr(pos_, 3) == "://") {
    pos_ += 3;
    out_ += ' ';
    forgetWord();
    return true;
  }
  bool abbreviated = false;
  const int month = monthNumber(lower, r_.months_, &abbreviated);
  size_t p = pos_;
  if (month != 0 && abbreviated && at(p) == '.') ++p;
  if (month != 0 && at(p) == '/' && digitAt(p + 1)) {
    // março/2025, jan/25: the month of a year.
    const size_t end = digitsEnd(p + 1);
    if ((end - p - 1 == 2 || end - p - 1 == 4) && !letterAt(end)) {
      spoken(r_.months_[month] + " de " + wholeNumber(text_.substr(p + 1, end - p - 1)), end);
      return true;
    }
  }
  return false;
}

// ABC-1234 and the Mercosul's BRA2E19: each letter and digit by its name.
bool NaturalReading::Pass::carPlate(const std::string& w) {
  if (w.size() != 3 || !isAsciiCapital(w[0]) || !isAsciiCapital(w[1]) || !isAsciiCapital(w[2])) return false;
  const size_t p = pos_;
  const bool old = (at(p) == '-' || (at(p) == ' ' && previousWord_ == "placa")) && digitsEnd(p + 1) == p + 5;
  const bool mercosul = digitAt(p) && isAsciiCapital(at(p + 1)) && digitAt(p + 2) && digitAt(p + 3);
  const size_t end = old ? p + 5 : p + 4;
  if ((!old && !mercosul) || letterAt(end) || digitAt(end)) return false;
  std::string words = r_.spelled(w);
  for (size_t q = old ? p + 1 : p; q < end; ++q)
    words += ' ' + (digitAt(q) ? r_.numbers_.digit(at(q) - '0') : r_.spelled(text_.substr(q, 1)));
  spoken(words, end);
  return true;
}

void NaturalReading::Pass::rememberWord(const std::string& w) {
  const std::string lower = lowerLatin1(w);
  const bool keepsAnnouncement = lower == "n\xFAmero" || lower == "n" || lower == "do" || lower == "da" ||
                                 lower == "de" || lower == "o" || lower == "corrente";
  if (announcesDigits(lower)) digitsAnnounced_ = true;
  else if (!keepsAnnouncement) digitsAnnounced_ = false;
  if (namesANorm(lower)) normAnnounced_ = true;
  else if (!keepsAnnouncement) normAnnounced_ = false;
  wordBefore_ = previousWord_;
  previousWord_ = lower;
  previousCapitalised_ = isCapital(w[0]) && w.size() > 1 && !isCapital(w[1]);
}

// s/n, c/c, a/c, c/ juros, e/ou: the word at pos_ is already read (in small letters).
bool NaturalReading::Pass::slashAbbreviation(const std::string& lower) {
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
  const bool numberAfter = digitAt(skipBlanks(pos_));
  size_t nextEnd = pos_;
  std::string next = nextWordFrom(pos_, &nextEnd);
  if (next == "o" || next == "a" || next == "os" || next == "as") next = nextWordFrom(nextEnd);
  if (lower == "c" && after == "c" && (next == "art" || next == "arts" || next == "artigo" || byteAt(skipBlanks(pos_)) == kSection)) {
    say("combinado com");  // art. 5º c/c art. 6º
    forgetWord();
    return true;
  }
  say(numberAfter ? found->second.beforeNumber : found->second.otherwise);
  forgetWord();
  if (numberAfter && lower == "c") digitsAnnounced_ = true;  // c/c 12345-6
  return true;
}

// "D. Pedro" and the abbreviations of the engine's table ("Dr. Silva"); the dot is at pos_.
bool NaturalReading::Pass::titleOrAbbreviation(const std::string& w) {
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
  if (dotEndsText && !r_.names_.abbreviationEndsSentence(w)) return false;  // "pressione End."
  const std::string expansion = r_.names_.lookupAbbreviation(w);
  if (expansion.empty()) return false;
  say(expansion);
  if (!dotEndsText) ++pos_;  // a dot that ends the text stays as the final full stop
  rememberWord(w);
  return true;
}

// A roman numeral after a name (D. Pedro II, Pio XII) or after século, capítulo, parte...
bool NaturalReading::Pass::roman(const std::string& w) {
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
bool NaturalReading::Pass::acronym(const std::string& w) {
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

}  // namespace kaldro::tts

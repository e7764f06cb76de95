// The natural reading's number rules: dates, times, money, fractions, units, documents and
// telephones, and numbers that agree with their noun.
#include "tts/natural_reading_pass.h"

#include "platform/text.h"

namespace kaldro::tts {

using namespace reading_rules;
using platform::isDigit;

namespace reading_rules {

static bool isLeapYear(uint64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
bool validDate(uint64_t day, uint64_t month, std::optional<uint64_t> year) {
  static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  return !(month == 2 && day == 29 && year && !isLeapYear(*year));
}

bool announcesDate(const std::string& word) {
  static const std::set<std::string> kWords = {"dia",  "dias",  "em",   "at\xE9", "desde", "de",  "no",
                                               "entre", "e",    "a",    "data",   "vencimento", "prazo",
                                               "partir", "hoje", "amanh\xE3", "ontem", "para", "aos", "ao"};
  return kWords.count(word) > 0;
}

bool isScaleWord(const std::string& word) {
  static const std::set<std::string> kWords = {"mil",        "milh\xE3o", "milh\xF5" "es", "bilh\xE3o",
                                               "bilh\xF5" "es", "trilh\xE3o", "trilh\xF5" "es"};
  return kWords.count(word) > 0;
}

bool isLabelNoun(const std::string& word) {
  static const std::set<std::string> kWords = {
      "art", "arts", "artigo", "artigos", "par\xE1grafo", "par\xE1grafos", "inciso", "item", "itens", "anexo", "p\xE1gina",
      "p\xE1ginas", "p\xE1g", "folha", "folhas", "fl", "fls", "n\xFAmero", "n\xFAmeros", "sala", "bloco", "quadra", "lote",
      "apartamento", "apto", "casa", "of\xED" "cio", "memorando", "lei", "decreto", "portaria", "resolu\xE7\xE3o", "edital",
      "processo", "protocolo", "cl\xE1usula", "se\xE7\xE3o", "cap\xEDtulo", "volume", "turma", "vara", "zona", "gabinete"};
  return kWords.count(word) > 0;
}

// Articles and paragraphs say their first nine as ordinals, written or not: art. 5, § 2.
bool isOrdinalLabelNoun(const std::string& word) {
  return word == "art" || word == "arts" || word == "artigo" || word == "artigos" || word == "par\xE1grafo" ||
         word == "par\xE1grafos";
}

bool isNumberWord(const std::string& word) {
  static const std::set<std::string> kWords = {
      "zero", "um", "uma", "dois", "duas", "tr\xEAs", "tres", "quatro", "cinco", "seis", "sete", "oito", "nove", "dez",
      "onze", "doze", "treze", "quatorze", "catorze", "quinze", "dezesseis", "dezessete", "dezoito", "dezenove", "vinte",
      "trinta", "quarenta", "cinquenta", "cinq\xFC" "enta", "sessenta", "setenta", "oitenta", "noventa", "cem", "cento",
      "duzentos", "duzentas", "trezentos", "trezentas", "quatrocentos", "quatrocentas", "quinhentos", "quinhentas",
      "seiscentos", "seiscentas", "setecentos", "setecentas", "oitocentos", "oitocentas", "novecentos", "novecentas",
      "mil", "milh\xE3o", "milh\xF5" "es", "bilh\xE3o", "bilh\xF5" "es", "hum"};
  return kWords.count(word) > 0;
}

// The words besides numbers that an amount in words holds: "cem reais e dez centavos".
bool isAmountWord(const std::string& word) {
  static const std::set<std::string> kWords = {"e", "de", "real", "reais", "centavo", "centavos", "d\xF3lar",
                                               "d\xF3lares", "euro", "euros", "por", "cento"};
  return kWords.count(word) > 0;
}

}  // namespace reading_rules

NaturalReading::Pass::NumberToken NaturalReading::Pass::numberTokenAt(size_t p) const {
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
std::optional<uint64_t> NaturalReading::Pass::thousandsValue(const std::vector<std::string>& groups, size_t count) {
  if (groups[0].empty() || groups[0].size() > 3 || groups[0][0] == '0') return std::nullopt;
  std::string digits = groups[0];
  for (size_t i = 1; i < count; ++i) {
    if (groups[i].size() != 3) return std::nullopt;
    digits += groups[i];
  }
  if (digits.size() > 15) return std::nullopt;
  return valueOf(digits);
}

std::string NaturalReading::Pass::digitByDigit(std::string_view digits) const {
  std::string out;
  for (char c : digits) {
    if (!out.empty()) out += ' ';
    out += r_.numbers_.digit(c - '0');
  }
  return out;
}

// Groups of digits, each digit by digit, a pause between groups: documents and telephones.
std::string NaturalReading::Pass::digitGroups(const std::vector<std::string>& groups) const {
  std::string out;
  for (const std::string& group : groups) {
    if (!out.empty()) out += ", ";
    out += digitByDigit(group);
  }
  return out;
}

// A whole number as a reader says it: leading zeros one by one, then the value.
std::string NaturalReading::Pass::wholeNumber(std::string_view digits, Gender gender) const {
  if (digits.size() > 15) return digitByDigit(digits);
  size_t zeros = 0;
  while (zeros + 1 < digits.size() && digits[zeros] == '0') ++zeros;
  std::string out = digitByDigit(digits.substr(0, zeros));
  if (!out.empty()) out += ' ';
  return out + r_.numbers_.cardinal(valueOf(digits.substr(zeros)), gender);
}

std::string NaturalReading::Pass::decimals(std::string_view digits) const { return cp("vírgula ") + wholeNumber(digits); }

void NaturalReading::Pass::number() {
  const NumberToken token = numberTokenAt(pos_);
  const std::string& first = token.groups[0];
  const std::string& seps = token.separators;
  const bool announced = digitsAnnounced_, normNumber = normAnnounced_;
  digitsAnnounced_ = normAnnounced_ = false;

  if (courtProcess(token)) return;
  if (normNumber && normWithYear(token)) return;
  // Documents, accounts and telephones, announced by their name or known by their shape.
  if (announced && seps.find_first_not_of(".-/") == std::string::npos && (first.size() >= 4 || !seps.empty()))
    return spoken(digitGroups(token.groups), token.end);
  if (tollFreeNumber()) return;
  if (seps.empty()) return plainNumber(token);
  if (seps == ",") return decimalNumber(token, token.groups[0], token.groups[1]);
  if (seps == "/" || seps == "//") return slashedNumber(token);
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
  if (seps == ":" || seps == "::") {
    if (clockTime(token)) return;
  }
  if (seps == "--" && (dateReading(token) || isoDate(token))) return;
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

// 3/4, 15/08, 03/2025: a fraction, a date, a month of a year; else the numbers with "barra".
void NaturalReading::Pass::slashedNumber(const NumberToken& token) {
  const auto& g = token.groups;
  // Not after nº or another label: Memorando nº 12/2025 is a number and its year.
  if (g.size() == 2 && g[0].size() <= 2 && g[1].size() == 4 && g[1][0] != '0' && !isLabelNoun(previousWord_)) {
    const uint64_t month = valueOf(g[0]), year = valueOf(g[1]);
    if (month >= 1 && month <= 12 && year >= 1800 && year <= 2199)
      return spoken(r_.months_[month] + " de " + r_.numbers_.cardinal(year), token.end);
  }
  if (dateReading(token) || fraction(token)) return;
  std::string out;
  for (const std::string& group : g) out += (out.empty() ? "" : " barra ") + wholeNumber(group);
  spoken(out, token.end);
}

// Lei nº 8.112/1990, EC nº 103/2019, Lei 8.666/93: after a norm's name the year says "de".
bool NaturalReading::Pass::normWithYear(const NumberToken& token) {
  const auto& g = token.groups;
  const std::string& seps = token.separators;
  if (seps.empty() || seps.back() != '/' || seps.find_first_not_of('.') != seps.size() - 1) return false;
  if (g.back().size() != 2 && g.back().size() != 4) return false;
  std::optional<uint64_t> value = thousandsValue(g, g.size() - 1);
  if (seps == "/" && g[0][0] != '0' && g[0].size() <= 6) value = valueOf(g[0]);
  if (!value) return false;
  spoken(r_.numbers_.cardinal(*value) + " de " + wholeNumber(g.back()), token.end);
  return true;
}

// A process number of the courts, NNNNNNN-DD.AAAA.J.TR.OOOO: its digits in groups, the year as a
// number.
bool NaturalReading::Pass::courtProcess(const NumberToken& token) {
  const auto& g = token.groups;
  if (token.separators != "-...." || g[0].size() != 7 || g[1].size() != 2 || g[2].size() != 4 || g[3].size() != 1 ||
      g[4].size() != 2 || g[5].size() != 4)
    return false;
  spoken(digitByDigit(g[0]) + ", " + digitByDigit(g[1]) + ", " + r_.numbers_.cardinal(valueOf(g[2])) + ", " +
             digitGroups({g[3], g[4], g[5]}),
         token.end);
  return true;
}

// 2025-01-31: the date written year first.
bool NaturalReading::Pass::isoDate(const NumberToken& token) {
  const auto& g = token.groups;
  if (g.size() != 3 || g[0].size() != 4 || g[1].size() != 2 || g[2].size() != 2) return false;
  NumberToken dayFirst = token;
  dayFirst.groups = {g[2], g[1], g[0]};
  return dateReading(dayFirst);
}

// 0800 123 4567, 0300-722-0101: "zero oitocentos", then the digit groups after blanks or hyphens.
bool NaturalReading::Pass::tollFreeNumber() {
  const size_t prefixEnd = digitsEnd(pos_);
  const std::string_view prefix = text_.substr(pos_, prefixEnd - pos_);
  if (prefix.size() != 4 || prefix[0] != '0' || prefix[1] == '0' || prefix.substr(2) != "00") return false;
  std::vector<std::string> groups;
  size_t e = prefixEnd;
  while ((at(e) == ' ' || at(e) == '-') && digitAt(e + 1)) {
    const size_t groupEnd = digitsEnd(e + 1);
    groups.emplace_back(text_.substr(e + 1, groupEnd - e - 1));
    e = groupEnd;
  }
  if (groups.empty() || letterAt(e)) return false;
  spoken("zero " + r_.numbers_.cardinal(valueOf(prefix)) + ", " + digitGroups(groups), e);
  return true;
}

void NaturalReading::Pass::spoken(const std::string& words, size_t end) {
  say(words);
  pos_ = end;
  forgetWord();
}

// dd/mm/aaaa, dd/mm/aa, dd/mm, dd.mm.aaaa, dd-mm-aaaa: "primeiro de março de dois mil e vinte".
bool NaturalReading::Pass::dateReading(const NumberToken& token) {
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
bool NaturalReading::Pass::fraction(const NumberToken& token) {
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
bool NaturalReading::Pass::clockTime(const NumberToken& token) {
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

std::string NaturalReading::Pass::timeWords(uint64_t hour, uint64_t minute, std::optional<uint64_t> second) const {
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
std::string NaturalReading::Pass::timeRange(const std::string& firstTime) {
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
bool NaturalReading::Pass::readTimeAt(std::string& words) {
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
bool NaturalReading::Pass::durationAnnounced() const {
  static const std::set<std::string> kBefore = {"por", "durante", "dura", "durou", "duram", "duraram", "levou", "leva",
                                                "levam", "levar\xE1", "ap\xF3s", "em", "dura\xE7\xE3o", "prazo", "tempo"};
  static const std::set<std::string> kBeforeOf = {"prazo", "dura\xE7\xE3o", "tempo", "per\xEDodo", "intervalo", "jornada",
                                                  "carga", "mais", "menos", "espera", "atraso"};
  return kBefore.count(previousWord_) > 0 || (previousWord_ == "de" && kBeforeOf.count(wordBefore_) > 0);
}

std::optional<std::pair<std::string, size_t>> NaturalReading::Pass::hourMark(const NumberToken& token) const {
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
  if (minutes && (text_.substr(token.end + 3, 3) == "min" || durationAnnounced()))
    return std::make_pair(timeWords(hour, 0) + " e " + r_.numbers_.cardinal(minute) + (minute == 1 ? " minuto" : " minutos"), p);
  return std::make_pair(timeWords(hour, minute), p);
}

void NaturalReading::Pass::integer(const std::string& digits, size_t end) {
  NumberToken token;
  token.groups = {digits};
  token.end = end;
  plainNumber(token, true);
}

// A number without signs inside, and what follows it: h, %, °, º, a unit, x, a noun.
// grouped: written with thousands dots, so an amount however long.
void NaturalReading::Pass::plainNumber(const NumberToken& token, bool grouped) {
  const std::string& digits = token.groups[0];
  size_t p = token.end;
  if (auto time = hourMark(token)) {
    pos_ = time->second;
    say(timeRange(time->first));
    forgetWord();
    return;
  }
  // Numbers that start with zero: digit by digit.
  if (digits.size() >= 2 && digits[0] == '0') return spoken(digitByDigit(digits), p);
  if (!grouped && digits.size() >= 7 && !(digits.size() <= 15 && nextIsAmount(p))) return spoken(digitByDigit(digits), p);
  const uint64_t value = valueOf(digits);
  if (ordinalNumber(value, p) || signAfterNumber(value, p) || dateWithMonthName(value, p)) return;
  p = afterRepeatedInWords(p);
  size_t wordEnd = 0;
  const std::string next = nextWordFrom(p, &wordEnd);
  // art. 21, página 21, nº 21: a label, said in the masculine; art. 5 as the ordinal it stands for.
  if (isLabelNoun(previousWord_)) {
    const bool ordinalLabel = value >= 1 && value <= 9 && isOrdinalLabelNoun(previousWord_);
    return spoken(ordinalLabel ? r_.numbers_.ordinal(value, Gender::Masculine) : wholeNumber(digits), p);
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

// 1º, 2ª, 3o., 2a., 1as., and 1º/10/2025 (a date whose first day is written as the ordinal).
bool NaturalReading::Pass::ordinalNumber(uint64_t value, size_t p) {
  const unsigned char sign = byteAt(p);
  if ((sign == kMasculineSign || sign == kDegree) && at(p + 1) == '/' && digitAt(p + 2)) {
    NumberToken date = numberTokenAt(p + 2);
    date.groups.insert(date.groups.begin(), std::to_string(value));
    date.separators.insert(0, 1, '/');
    if (dateReading(date)) return true;
  }
  if (sign == kMasculineSign || sign == kFeminineSign) {
    spoken(r_.numbers_.ordinal(value, sign == kFeminineSign ? Gender::Feminine : Gender::Masculine), p + 1);
    return true;
  }
  // The letter and a point: 3o. Cartório, 2a. Vara, 1os. colocados; without the point before a word.
  if (at(p) != 'o' && at(p) != 'a') return false;
  const bool plural = at(p + 1) == 's';
  size_t end = p + (plural ? 2 : 1);
  const bool dot = at(end) == '.';
  if (!dot && !(at(end) == ' ' && letterAt(end + 1))) return false;
  if (dot && (letterAt(end + 1) || digitAt(end + 1))) return false;
  if (dot && end + 1 < text_.size() && at(end + 1) != '\n') ++end;  // the point of a sentence's end stays
  std::string words = r_.numbers_.ordinal(value, at(p) == 'a' ? Gender::Feminine : Gender::Masculine);
  if (plural) {
    std::string each;
    for (const std::string& word : platform::splitWords(words)) each += (each.empty() ? "" : " ") + word + "s";
    words = each;
  }
  spoken(words, end);
  return true;
}

// A sign or a unit right after the number: 30°C, 1° andar, 15%, 2½, 10x, 12 km.
bool NaturalReading::Pass::signAfterNumber(uint64_t value, size_t p) {
  const unsigned char sign = byteAt(p);
  if (auto degrees = degreesAt(p)) return said(r_.numbers_.cardinal(value) + (value == 1 ? " grau" : " graus"), *degrees);
  if (sign == kDegree) {
    // 1° andar: the degree sign typed for the ordinal one; 45° alone is an angle.
    if (nextWordFrom(p + 1).empty()) return said(r_.numbers_.cardinal(value) + (value == 1 ? " grau" : " graus"), p + 1);
    return said(r_.numbers_.ordinal(value, nounGenderAt(p + 1)), p + 1);
  }
  if (auto percent = percentAt(p)) return said(r_.numbers_.cardinal(value) + " por cento", *percent);
  if (byteAt(p) == kHalf) {
    const Gender gender = nounGenderAt(p + 1);
    return said(r_.numbers_.cardinal(value, gender) + (gender == Gender::Feminine ? " e meia" : " e meio"), p + 1);
  }
  if (at(p) == 'x' && !letterAt(p + 1) && !digitAt(p + 1)) {  // em 10x: dez vezes
    return said(r_.numbers_.cardinal(value, Gender::Feminine) + (value == 1 ? " vez" : " vezes"), p + 1);
  }
  if (auto unit = unitAt(p)) {
    spoken(r_.numbers_.cardinal(value, unit->gender) + " " + (value == 1 ? unit->singular : unit->plural), unit->end);
    return true;
  }
  return false;
}

// 1 de maio, 15 jan. 2025, 3 dez 2024, 30 de nov. de 2025: the day, the month and maybe the year.
bool NaturalReading::Pass::dateWithMonthName(uint64_t value, size_t p) {
  if (value < 1 || value > 31) return false;
  size_t end = 0;
  std::string word = nextWordFrom(p, &end);
  const bool of = word == "de";
  if (of) word = nextWordFrom(end, &end);
  bool abbreviated = false;
  const int month = monthNumber(word, r_.months_, &abbreviated);
  if (month == 0 || !validDate(value, static_cast<uint64_t>(month), std::nullopt)) return false;
  const std::string day = value == 1 ? r_.numbers_.ordinal(1, Gender::Masculine) : r_.numbers_.cardinal(value);
  if (!abbreviated) {
    if (!of) return false;
    spoken(day, p);  // the month's name is read as the word it is
    return true;
  }
  const bool dot = at(end) == '.';
  size_t yearAt = skipBlanks(end + (dot ? 1 : 0));
  size_t afterOf = 0;
  if (nextWordFrom(yearAt, &afterOf) == "de") yearAt = skipBlanks(afterOf);
  const size_t yearEnd = digitsEnd(yearAt);
  const bool year = yearEnd - yearAt == 4 && !letterAt(yearEnd);
  // "3 dez" alone may be three and ten: a month abbreviation needs its point, a year or a "de".
  if (!dot && !year && !of) return false;
  std::string words = day + " de " + r_.months_[month];
  if (year) words += " de " + r_.numbers_.cardinal(valueOf(text_.substr(yearAt, 4)));
  size_t stop = year ? yearEnd : end + (dot ? 1 : 0);
  if (!year && dot && (stop >= text_.size() || at(stop) == '\n')) --stop;  // the point ends the sentence too
  spoken(words, stop);
  return true;
}

// "3 (três) cópias", "R$ 100,00 (cem reais)": the amount said again in words is said once; the
// position after the brackets, or p when no such brackets follow.
size_t NaturalReading::Pass::afterRepeatedInWords(size_t p) const {
  const size_t open = skipBlanks(p);
  if (at(open) != '(') return p;
  const size_t close = text_.find(')', open);
  if (close == std::string_view::npos || close - open > 200) return p;
  bool anyNumber = false;
  for (const std::string& word : platform::splitWords(lowerLatin1(text_.substr(open + 1, close - open - 1)))) {
    std::string bare = word;
    while (!bare.empty() && (bare.back() == ',' || bare.back() == '.')) bare.pop_back();
    if (isNumberWord(bare)) anyNumber = true;
    else if (!isAmountWord(bare)) return p;
  }
  return anyNumber ? close + 1 : p;
}

bool NaturalReading::Pass::nextIsAmount(size_t p) const {
  const std::string next = nextWordFrom(p);
  return next == "reais" || next == cp("dólares") || next == "euros";
}

// 3,5 and 1.234,56, with what may follow: %, a unit, reais.
void NaturalReading::Pass::decimalNumber(const NumberToken& token, const std::string& whole, const std::string& fraction) {
  size_t p = token.end;
  // More digits than a number holds: each digit as written.
  if (whole.size() > 15) return spoken(digitByDigit(whole) + " " + decimals(fraction), p);
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

int NaturalReading::Pass::centsOf(const std::string& fraction) {
  if (fraction.empty()) return 0;
  if (fraction.size() == 1) return (fraction[0] - '0') * 10;
  return (fraction[0] - '0') * 10 + (fraction[1] - '0');
}

std::string NaturalReading::Pass::moneyWords(uint64_t whole, int cents, const Currency& currency, const std::string& scale) const {
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
void NaturalReading::Pass::money(size_t p, const Currency& currency) {
  p = skipBlanks(p);
  const NumberToken token = numberTokenAt(p);
  const auto& g = token.groups;
  std::optional<uint64_t> whole;
  std::string fraction;
  const std::string& seps = token.separators;
  if (seps.empty()) {
    whole = g[0].size() <= 15 ? std::optional<uint64_t>(valueOf(g[0])) : std::nullopt;
  } else if (seps.back() == ',' && seps.find_first_not_of('.') == seps.size() - 1) {
    whole = seps.size() == 1 ? (g[0].size() <= 15 ? std::optional<uint64_t>(valueOf(g[0])) : std::nullopt)
                             : thousandsValue(g, g.size() - 1);
    fraction = g.back();
  } else if (seps.find_first_not_of('.') == std::string::npos) {
    whole = thousandsValue(g, g.size());
  }
  size_t end = token.end;
  // "R$ 15 ,90": a screen reader that turned the comma into a pause left a blank before it.
  if (whole && fraction.empty() && at(end) == ' ' && at(end + 1) == ',' && digitAt(end + 2) && digitAt(end + 3) &&
      !digitAt(end + 4)) {
    fraction = std::string(text_.substr(end + 2, 2));
    end += 4;
  }
  if (!whole || fraction.size() > 2) {
    // Not an amount: the sign is named and the digits read as the number they are.
    say(currency.many);
    pos_ = p;
    return;
  }
  size_t wordEnd = 0;
  const std::string next = nextWordFrom(end, &wordEnd);
  pos_ = end;
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
  pos_ = afterRepeatedInWords(pos_);
  forgetWord();
}

// Where "%" (maybe after a blank) ends.
std::optional<size_t> NaturalReading::Pass::percentAt(size_t p) const {
  const size_t q = skipBlanks(p);
  if (at(q) == '%' && q - p <= 1) return q + 1;
  return std::nullopt;
}

// Where a temperature's "°C" (or ºC, ° C, °F) ends.
std::optional<size_t> NaturalReading::Pass::degreesAt(size_t p) const {
  size_t q = skipBlanks(p);
  if (q - p > 1 || (byteAt(q) != kDegree && byteAt(q) != kMasculineSign)) return std::nullopt;
  q = skipBlanks(q + 1);
  if ((at(q) == 'C' || at(q) == 'F') && !letterAt(q + 1)) return q + 1;
  return std::nullopt;
}

// A unit symbol right after a number (12 km, 500g), maybe squared, cubed or per hour.
std::optional<NaturalReading::Pass::FoundUnit> NaturalReading::Pass::unitAt(size_t p) const {
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
bool NaturalReading::Pass::areaCodePhone() {
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

}  // namespace kaldro::tts

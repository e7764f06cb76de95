// Numbers, weekdays and months as Brazilian Portuguese words, and the recorded file of each word.
#include "speech/numbers.h"

#include <array>

#include "platform/words.h"

namespace kaldro::speech {

namespace {
constexpr std::array<std::string_view, 10> kUnits = {"zero", "um",   "dois", "tres", "quatro",
                                                     "cinco", "seis", "sete", "oito", "nove"};
constexpr std::array<std::string_view, 10> kTeens = {"dez",    "onze",      "doze",      "treze",   "quatorze",
                                                     "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
constexpr std::array<std::string_view, 10> kTens = {"",          "",         "vinte",   "trinta",  "quarenta",
                                                    "cinquenta", "sessenta", "setenta", "oitenta", "noventa"};
constexpr std::array<std::string_view, 10> kHundreds = {"",           "cento",     "duzentos",   "trezentos",
                                                        "quatrocentos", "quinhentos", "seiscentos", "setecentos",
                                                        "oitocentos", "novecentos"};
// Groups 0..3 of the 15 digits (trillions .. thousands).
constexpr platform::Cp1252Words kGroupSingular[] = {"trilhão ", "bilhão ", "milhão ", "mil "};
constexpr platform::Cp1252Words kGroupPlural[] = {"trilhões ", "bilhões ", "milhões ", "mil "};
constexpr std::string_view kJoin = " e ";

constexpr std::array<std::string_view, 7> kWeekdays = {"Domingo", "Segunda", "Terca", "Quarta",
                                                       "Quinta",  "Sexta",   "Sabado"};
constexpr std::array<std::string_view, 12> kMonths = {"Janeiro", "Fevereiro", "Marco",    "Abril",
                                                      "Maio",    "Junho",     "Julho",    "Agosto",
                                                      "Setembro", "Outubro",  "Novembro", "Dezembro"};
constexpr size_t kFileNameLength = 8;

std::string groupWords(const std::string& digits15, int group) {
  const std::string triple = digits15.substr(static_cast<size_t>(group) * 3, 3);
  std::string words = tripleToWords(triple);
  if (group < 4 && triple != "000")
    words += " " + std::string(triple == "001" ? kGroupSingular[group] : kGroupPlural[group]);
  return words;
}
}  // namespace

std::string tripleToWords(std::string_view digits) {
  if (digits == "000") return {};
  if (digits == "100") return "cem";
  const int a = digits[0] - '0', b = digits[1] - '0', c = digits[2] - '0';
  std::string words;
  if (a != 0) {
    words += kHundreds[a];
    if (b == 0 && c == 0) return words;
    words += kJoin;
  }
  if (b == 1) return words + std::string(kTeens[c]);
  if (b != 0) {
    words += kTens[b];
    if (c == 0) return words;
    words += kJoin;
  }
  if (c != 0) words += kUnits[c];
  return words;
}

std::string numberToWords(uint64_t n) {
  if (n == 0) return "zero";
  std::string digits = std::string(14, '0') + std::to_string(n);
  digits = digits.substr(digits.size() - 15);
  std::array<std::string, 5> groups;
  int last = 0;
  for (int i = 0; i < 5; ++i) {
    groups[i] = groupWords(digits, i);
    if (!groups[i].empty()) last = i;
  }
  std::string words;
  bool earlier = false;
  for (int i = 0; i <= last; ++i) {
    if (i == last && earlier) words += "e ";
    if (!groups[i].empty()) earlier = true;
    words += groups[i];
  }
  // "um mil" is said "mil"; "um milhão" keeps its "um".
  if (words.rfind("um mil", 0) == 0 && words.rfind("um milh", 0) != 0) words.erase(0, 3);
  return words;
}

std::string wordFileName(std::string_view word) {
  std::string name = "_" + std::string(word == "dezessete" ? "dezeset" : word);
  if (name.size() > kFileNameLength) name.resize(kFileNameLength);
  for (char& c : name) {
    if (c == '\xE3') c = 'a';  // ã
    if (c == '\xF5') c = 'o';  // õ
  }
  return name;
}

int dayOfWeek(int day, int month, int year) {
  // Sakamoto's method: months counted from March so that the leap day falls at a year's end.
  static constexpr int kMonthOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 1 || month > 12) return 0;
  if (month < 3) year -= 1;
  int weekday = (year + year / 4 - year / 100 + year / 400 + kMonthOffsets[month - 1] + day) % 7;
  return weekday < 0 ? weekday + 7 : weekday;
}

std::string_view weekdayName(int weekday) {
  return weekday >= 0 && weekday < 7 ? kWeekdays[static_cast<size_t>(weekday)] : std::string_view();
}

std::string_view monthName(int month) {
  return month >= 1 && month <= 12 ? kMonths[static_cast<size_t>(month - 1)] : std::string_view();
}

}  // namespace kaldro::speech

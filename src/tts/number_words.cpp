// Cardinals and ordinals in Brazilian Portuguese, built group by group of three digits.
#include "tts/number_words.h"

#include "platform/text.h"

namespace kaldro::tts {

namespace {

using Words = std::array<const char*, 10>;

// Written here in UTF-8; the engine holds them in CP1252.
constexpr Words kUnits = {"zero", "um", "dois", "três", "quatro", "cinco", "seis", "sete", "oito", "nove"};
constexpr Words kTeens = {"dez",    "onze",      "doze",      "treze",   "quatorze",
                          "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
constexpr Words kTens = {"", "", "vinte", "trinta", "quarenta", "cinqüenta", "sessenta", "setenta", "oitenta", "noventa"};
constexpr Words kHundreds = {"",           "cento",       "duzentos",   "trezentos",  "quatrocentos",
                             "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
constexpr std::array<const char*, 4> kScaleOne = {"trilhão", "bilhão", "milhão", "mil"};
constexpr std::array<const char*, 4> kScaleMany = {"trilhões", "bilhões", "milhões", "mil"};
constexpr Words kOrdinalUnits = {"",       "primeiro", "segundo", "terceiro", "quarto",
                                 "quinto", "sexto",    "sétimo",  "oitavo",   "nono"};
constexpr Words kOrdinalTens = {"",           "décimo",        "vigésimo",   "trigésimo",  "quadragésimo",
                                "quinquagésimo", "sexagésimo", "septuagésimo", "octogésimo", "nonagésimo"};
constexpr Words kOrdinalHundreds = {"",
                                    "centésimo",
                                    "ducentésimo",
                                    "tricentésimo",
                                    "quadringentésimo",
                                    "quingentésimo",
                                    "seiscentésimo",
                                    "septingentésimo",
                                    "octingentésimo",
                                    "nongentésimo"};

template <size_t N>
std::array<std::string, N> toCp1252(const std::array<const char*, N>& words) {
  std::array<std::string, N> out;
  for (size_t i = 0; i < N; ++i) out[i] = platform::utf8ToCp1252(words[i]);
  return out;
}

void appendWord(std::string& text, const std::string& word) {
  if (word.empty()) return;
  if (!text.empty()) text += ' ';
  text += word;
}

constexpr uint64_t kLimit = 1'000'000'000'000'000ULL;  // 10^15: five groups of three digits

}  // namespace

NumberWords::NumberWords()
    : units_(toCp1252(kUnits)),
      teens_(toCp1252(kTeens)),
      tens_(toCp1252(kTens)),
      hundreds_(toCp1252(kHundreds)),
      feminineUnits_(units_),
      feminineHundreds_(hundreds_),
      hundredAlone_("cem"),
      and_("e"),
      scaleOne_(toCp1252(kScaleOne)),
      scaleMany_(toCp1252(kScaleMany)),
      ordinalUnits_(toCp1252(kOrdinalUnits)),
      ordinalTens_(toCp1252(kOrdinalTens)),
      ordinalHundreds_(toCp1252(kOrdinalHundreds)),
      thousandth_(platform::utf8ToCp1252("milésimo")) {
  feminineUnits_[1] = "uma";
  feminineUnits_[2] = "duas";
  // duzentos .. novecentos: the hundreds from two up end in "os", which the feminine makes "as".
  for (size_t d = 2; d < 10; ++d) feminineHundreds_[d].replace(feminineHundreds_[d].size() - 2, 1, "a");
}

NumberWords::Group NumberWords::group(unsigned value, Gender gender) const {
  const bool feminine = gender == Gender::Feminine;
  const auto& unitWords = feminine ? feminineUnits_ : units_;
  const auto& hundredsWords = feminine ? feminineHundreds_ : hundreds_;
  Group result;
  if (value == 0) return result;
  if (value == 100) {
    result.text = hundredAlone_;
    return result;
  }
  unsigned hundreds = value / 100, tens = value / 10 % 10, units = value % 10;
  std::string& text = result.text;
  appendWord(text, hundredsWords[hundreds]);
  if (tens == 0 && units == 0) return result;
  if (hundreds != 0) {
    appendWord(text, and_);
    result.joinedInside = true;
  }
  if (tens == 1) {
    appendWord(text, teens_[units]);
    return result;
  }
  appendWord(text, tens_[tens]);
  if (units == 0) return result;
  if (tens != 0) appendWord(text, and_);
  appendWord(text, unitWords[units]);
  return result;
}

std::string NumberWords::cardinal(uint64_t n, Gender gender) const {
  if (n == 0) return units_[0];
  if (n >= kLimit) {
    std::string digits = std::to_string(n), text;
    for (char c : digits) appendWord(text, units_[c - '0']);
    return text;
  }
  // Groups of three digits, trillions first.
  unsigned values[5];
  for (int i = 4; i >= 0; --i, n /= 1000) values[i] = static_cast<unsigned>(n % 1000);
  int last = 4;
  while (values[last] == 0) --last;
  std::string text;
  for (int i = 0; i <= last; ++i) {
    if (values[i] == 0) continue;
    // The thousands and the units agree with the noun; millions and above count masculine nouns.
    Group g = group(values[i], i >= 3 ? gender : Gender::Masculine);
    // Portuguese joins the last group with "e" when it is a round hundred or below a hundred.
    if (i == last && !text.empty() && !g.joinedInside) appendWord(text, and_);
    bool thousands = i == 3;
    // One thousand is "mil", never "um mil", wherever it stands (um milhão e mil).
    if (!(thousands && values[i] == 1)) appendWord(text, g.text);
    if (i < 4) appendWord(text, values[i] == 1 ? scaleOne_[i] : scaleMany_[i]);
  }
  return text;
}

std::string NumberWords::ordinal(uint64_t n, Gender gender) const {
  if (n >= 2000) return cardinal(n);
  if (n == 0) return units_[0];
  const std::string* words[] = {&ordinalUnits_[n % 10], &ordinalTens_[n / 10 % 10],
                                &ordinalHundreds_[n / 100 % 10], n >= 1000 ? &thousandth_ : nullptr};
  std::string text;
  // Collected from the units up, each in front of the others.
  for (const std::string* word : words) {
    if (!word || word->empty()) continue;
    std::string piece = *word;
    if (gender == Gender::Feminine) piece.back() = 'a';
    text = text.empty() ? piece : piece + ' ' + text;
  }
  return text;
}

}  // namespace kaldro::tts

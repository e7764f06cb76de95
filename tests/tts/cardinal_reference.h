// A reader of Brazilian cardinals written straight from the grammar rules, independent of the
// engine's group converter, to check it number by number (UTF-8, single-spaced).
//   Below a thousand: hundreds, tens and units, every part joined by "e" (cento e vinte e um);
//   100 alone is "cem".
//   Classes (mil, milhão, bilhão, trilhão) follow each other without "e", except that the last class
//   takes "e" when it is below a hundred or a round hundred (mil e vinte, mil e quinhentos,
//   um milhão e duzentos mil, but mil cento e vinte).
//   A thousand is "mil", never "um mil".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kaldro::testing {

inline std::string joinWith(const std::vector<std::string>& parts, const std::string& glue) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : glue) + part;
  return out;
}

inline std::string referenceBelowThousand(unsigned n) {
  static const char* const small[] = {"", "um", "dois", "três", "quatro", "cinco", "seis", "sete", "oito", "nove",
                                      "dez", "onze", "doze", "treze", "quatorze", "quinze", "dezesseis",
                                      "dezessete", "dezoito", "dezenove"};
  static const char* const tens[] = {"", "", "vinte", "trinta", "quarenta", "cinqüenta",
                                     "sessenta", "setenta", "oitenta", "noventa"};
  static const char* const hundreds[] = {"", "cento", "duzentos", "trezentos", "quatrocentos",
                                         "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
  if (n == 100) return "cem";
  std::vector<std::string> parts;
  if (n >= 100) parts.push_back(hundreds[n / 100]);
  unsigned rest = n % 100;
  if (rest >= 20) {
    parts.push_back(tens[rest / 10]);
    if (rest % 10) parts.push_back(small[rest % 10]);
  } else if (rest > 0) {
    parts.push_back(small[rest]);
  }
  return joinWith(parts, " e ");
}

inline std::string referenceCardinal(uint64_t n) {
  if (n == 0) return "zero";
  struct Scale {
    uint64_t size;
    const char* one;
    const char* many;
  };
  static const Scale scales[] = {{1'000'000'000'000ULL, "trilhão", "trilhões"},
                                 {1'000'000'000ULL, "bilhão", "bilhões"},
                                 {1'000'000ULL, "milhão", "milhões"},
                                 {1'000ULL, "mil", "mil"},
                                 {1ULL, "", ""}};
  std::string out;
  for (const Scale& scale : scales) {
    auto count = static_cast<unsigned>(n / scale.size % 1000);
    if (count == 0) continue;
    std::string words;
    if (scale.size == 1000 && count == 1)
      words = "mil";
    else
      words = referenceBelowThousand(count) + (scale.size > 1 ? std::string(" ") + (count == 1 ? scale.one : scale.many) : "");
    bool lastClass = n % scale.size == 0;
    if (!out.empty()) out += lastClass && (count < 100 || count % 100 == 0) ? " e " : " ";
    out += words;
  }
  return out;
}

}  // namespace kaldro::testing

// Brazilian Portuguese number words: cardinals up to the trillions, ordinals below two thousand.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kaldro::tts {

enum class Gender { Masculine, Feminine };

// The word tables, held in CP1252 like every text of the engine.
class NumberWords {
 public:
  NumberWords();

  // A cardinal in words, single-spaced: 1020 "mil e vinte", 1120 "mil cento e vinte",
  // 1 200 000 "um milhão e duzentos mil". Values from 10^15 up (which no reading of a text makes)
  // are read digit by digit. The feminine agrees with a feminine noun after the number: its units
  // and hundreds below the millions (duas mil e duzentas e uma); millions stay masculine nouns
  // (dois milhões de pessoas).
  std::string cardinal(uint64_t n, Gender gender = Gender::Masculine) const;
  // An ordinal: 21 "vigésimo primeiro", 1002 "milésimo segundo"; the feminine ends every word in
  // "a". From 2000 up there is no ordinal form and the cardinal is read.
  std::string ordinal(uint64_t n, Gender gender) const;
  // The units word of one digit, "zero" to "nove".
  const std::string& digit(int d) const { return units_[d]; }

 private:
  // One group of three digits in words. joinedInside: the group says its hundreds, then " e "
  // and the rest (cento e vinte); such a group takes no "e" in front of it (mil cento e vinte),
  // the others do (mil e vinte, mil e quinhentos).
  struct Group {
    std::string text;
    bool joinedInside = false;
  };
  Group group(unsigned value, Gender gender) const;

  std::array<std::string, 10> units_, teens_, tens_, hundreds_;
  std::array<std::string, 10> feminineUnits_, feminineHundreds_;
  std::string hundredAlone_, and_;
  // Scale words of the four upper groups (trillions first), singular and plural.
  std::array<std::string, 4> scaleOne_, scaleMany_;
  std::array<std::string, 10> ordinalUnits_, ordinalTens_, ordinalHundreds_;
  std::string thousandth_;
};

}  // namespace kaldro::tts

// The natural reading of whole texts that both voices share: dates, times, money, documents and
// phones, numbers agreeing with their noun, roman numerals, acronyms, units and slash
// abbreviations become the words a Brazilian reader says aloud.
#pragma once

#include <array>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tts/number_words.h"

namespace kaldro::platform {
class Configuration;
}

namespace kaldro::tts {

class Normaliser;

// How texts are read: naturally, or sign by sign as the voices always did.
enum class Reading { Natural, Literal };
// LEITURA of [TRADUTOR]: a value beginning with L (LITERAL) reads sign by sign; anything else,
// and no value, reads naturally.
Reading readingFromConfig(const platform::Configuration& configuration);

class NaturalReading {
 public:
  // names: the letter names and the abbreviation table (Sr. senhor) of a normaliser, which must
  // outlive this object.
  explicit NaturalReading(const Normaliser& names);

  // A text (CP1252) as words, blanks and the punctuation marks , . ; : ! ? ( ) that only pause.
  // Whatever it does not recognise is left as written, for the voice's own reading.
  std::string read(std::string_view text) const;

 private:
  class Pass;  // one reading of one text
  friend class Pass;

  struct Unit {
    std::string singular, plural;
    Gender gender = Gender::Masculine;
  };
  struct SlashAbbreviation {
    std::string beforeNumber, otherwise;
  };
  // An abbreviation with its dots and blanks, as written in letters: "v. exa.", "a.m.", "fls.".
  struct WrittenAbbreviation {
    std::string written;  // small letters
    std::string said;
    bool onlyBeforeNumber = false;
  };

  // The gender of a noun (CP1252, small letters, maybe plural): the lists, then the endings,
  // then masculine.
  Gender genderOf(const std::string& noun) const;
  // An acronym of capitals A-Z said as a word (true) or spelled letter by letter.
  bool acronymIsWord(const std::string& acronym) const;
  std::string spelled(std::string_view letters) const;

  const Normaliser& names_;
  NumberWords numbers_;
  std::map<std::string, Gender> nounGenders_, endingGenders_;
  std::set<std::string> acronymWords_, acronymLetters_;
  std::map<std::string, Unit> units_;
  std::map<std::string, SlashAbbreviation> slashes_;
  std::vector<WrittenAbbreviation> abbreviations_;  // the longest first
  std::array<std::string, 13> months_;
};

}  // namespace kaldro::tts

// What a voice says for the characters CP1252 cannot hold: signs and emoji by their Portuguese
// names (our own list, then the CLDR annotations), other scripts by their nearest Latin letters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/status.h"

namespace kaldro::platform {

class CharacterNames {
 public:
  // Our own names only; loadAnnotations adds the CLDR ones.
  CharacterNames() = default;

  // The Portuguese annotation files of Debian's unicode-cldr-core (annotations, then the derived
  // ones: skin tones, flags, keycaps).
  static std::vector<std::string> systemAnnotationFiles();
  // Adds the "tts" names of CLDR annotation XML files; a missing file is skipped (the names are
  // a help, not a need), a broken one answers Malformed and adds nothing of its own.
  Status loadAnnotations(const std::vector<std::string>& files);

  // A text for a voice (CP1252), from UTF-8 or, when bytes do not read as UTF-8, CP1252: stray
  // bytes dropped, accents composed, Unicode blanks as blanks, invisible characters removed, and
  // each character CP1252 lacks replaced by its name between blanks, its Latin letters, or a blank.
  std::string speechText(std::string_view bytes) const;
  // The same for text known to be UTF-8 (a desktop's message).
  std::string speechTextFromUtf8(std::string_view utf8) const;
  // Names of the CP1252 signs that a reader says but a voice would not (× ÷ ± ‰ ² ³ ¹ and the
  // bullet, kept silent), for the natural reading's output.
  static std::string nameCp1252Signs(std::string_view cp1252);

 private:
  // The name of the character sequence at `at` (its longest known one), advancing `at`.
  std::string annotationAt(const std::u32string& text, size_t& at) const;
  void appendCharacter(const std::u32string& text, size_t& at, std::string& out) const;

  std::unordered_map<std::u32string, std::string> annotations_;  // code points without FE0F → CP1252 name
  size_t longestAnnotation_ = 1;
};

}  // namespace kaldro::platform

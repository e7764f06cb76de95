// The texts kaldro-fala is given: its command line's, else the lines of standard input, read in
// parts of bounded length so that no line, however long, is held whole.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/character_names.h"
#include "platform/config.h"
#include "voice/text_reading.h"

namespace kaldro::app {

// The longest text handed on from one line: a longer line is handed in parts, each cut after a
// sentence end where it has one, never inside a UTF-8 character.
inline constexpr size_t kLongestInputText = 64 * 1024;

// How input becomes the voices' text: each character a name the voices can say (the system's
// CLDR annotations loaded), and the abbreviations whose point ends no sentence.
class InputTexts {
 public:
  explicit InputTexts(const platform::Configuration& configuration);

  // Calls take(given, text) for each item, else for each line of in (without its line end, a
  // carriage return before it dropped) or each part of a long line; given is the text as it
  // came, text what the voices get: CP1252, read as UTF-8 or, when it does not read as UTF-8, as
  // CP1252, with names for what CP1252 lacks.
  void forEach(const std::vector<std::string>& items, std::istream& in,
               const std::function<void(const std::string& given, const std::string& text)>& take) const;

 private:
  platform::CharacterNames names_;
  TextReading reading_;
};

}  // namespace kaldro::app

// The word lists of the natural reading, as the text of data/leitura (UTF-8), built into the library.
#pragma once

#include <string_view>

namespace kaldro::tts {

struct ReadingLists {
  static const std::string_view genders;   // generos.txt: f/m and a noun or an ending
  static const std::string_view acronyms;  // siglas.txt: palavra/letras and an acronym
  static const std::string_view units;     // unidades.txt: symbol = singular plural [f]
  static const std::string_view slashes;   // barras.txt: abbreviation = words [| words]
  static const std::string_view abbreviations;  // abreviaturas.txt: as written = words [|]
};

}  // namespace kaldro::tts

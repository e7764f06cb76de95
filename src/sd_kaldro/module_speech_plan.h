// What one message of the server becomes for a voice: text pieces, characters, index marks and icons, in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sd_kaldro/module_protocol.h"

namespace kaldro::app {

struct SpeechStep {
  enum class Kind { Text, Character, Mark, Icon };
  Kind kind = Kind::Text;
  std::string text;        // Text: CP1252, one clause or sentence; Mark: its name; Icon: the icon's name
  uint8_t character = 0;   // Character: CP1252 code
  bool operator==(const SpeechStep&) const = default;
};

// The spoken name of a CP1252 character (CP1252), empty when it has none.
using CharacterNamer = std::function<std::string(uint8_t)>;

// The most characters of one text piece: a piece is synthesized whole before its sound goes out.
inline constexpr size_t MaxPieceBytes = 240;

// The steps of a message (UTF-8 as the server sends it; SPEAK's text is SSML). Punctuation signs the
// mode reads are replaced by their names; spelling turns text into characters; a capital letter
// said alone is announced as the capital mode says.
std::vector<SpeechStep> planSpeech(MessageKind kind, std::string_view message, const ModuleSettings& settings,
                                   const CharacterNamer& names);

}  // namespace kaldro::app

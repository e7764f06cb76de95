// What one message of the server becomes for a voice: text pieces, characters, index marks and icons, in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/character_names.h"
#include "sd_kaldro/module_protocol.h"
#include "voice/text_reading.h"

namespace kaldro::app {

struct SpeechStep {
  enum class Kind { Text, Character, Mark, Icon };
  Kind kind = Kind::Text;
  std::string text;        // Text: CP1252, a line or a part cut where a reader pauses; Mark: its name; Icon: the icon's name
  uint8_t character = 0;   // Character: CP1252 code
  bool operator==(const SpeechStep&) const = default;
};

// The name of a key that the character echo says as a character (enter, tab, backspace, escape,
// space), for a voice without the echo's recordings (CP1252); empty for other characters.
std::string keyCharacterName(uint8_t character);

// The spoken name of a CP1252 character (CP1252), empty when it has none.
using CharacterNamer = std::function<std::string(uint8_t)>;

// The most bytes of one text piece. A line longer than this is cut where the reading marks a
// sentence end (TextReading::partEnd), so every piece reads as in the whole; the voices read each
// piece whole and cut it further only after reading it.
inline constexpr size_t MaxPieceBytes = 16 * 1024;

// What planning asks of the module: the names of the signs the punctuation mode reads, the names
// of the characters CP1252 lacks, and the reading that says where a long text may be cut.
struct PlanReading {
  CharacterNamer signNames;
  const platform::CharacterNames& characters;
  const TextReading& reading;
};

// The steps of a message (UTF-8 as the server sends it; SPEAK's text is SSML, read in one pass: a
// "<" that opens no tag and an "&" that begins no entity are text, as a browser shows them).
// Punctuation signs the mode reads are replaced by their names, characters CP1252 lacks by theirs;
// spelling turns text into characters; a capital letter said alone is announced as the capital
// mode says.
std::vector<SpeechStep> planSpeech(MessageKind kind, std::string_view message, const ModuleSettings& settings,
                                   const PlanReading& plan);

}  // namespace kaldro::app

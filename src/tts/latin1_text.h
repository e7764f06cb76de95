// Text helpers shared by the engine's stages: Latin-1 case and letters, blanks, lines, and the
// reading of a data file as CP1252 text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace kaldro::tts {

// Latin-1 case: a to z and the small accented letters E0..FE (less the sign F7) and their capitals
// C0..DE (less D7). ÿ stays as it is: its capital is not in Latin-1.
char upperLatin1(char c);
char lowerLatin1(char c);
std::string upperLatin1(std::string_view text);
std::string lowerLatin1(std::string_view text);

// The letters of Portuguese words as the engine reads them: A-Z, a-z and
// À Á Â Ã Ç É Ê Ì Í Ñ Ó Ô Õ Ù Ú Ü in both cases.
bool isPortugueseLetter(char c);

// Without the blanks and control characters at both ends.
std::string_view trimBlanks(std::string_view text);

// The lines of a text, split at '\n', each without a closing '\r'; no empty line after a final '\n'.
std::vector<std::string_view> splitLines(std::string_view text);

// The contents of a data file (UTF-8 or Latin-1) as CP1252, without a leading byte-order mark.
// Nothing when the file does not exist (status NotFound, with missingMessage) or exists but cannot
// be read: a folder, a device or a pipe, no permission, a failing disk (status Unreadable, naming
// the file and why).
std::optional<std::string> readDataFile(const std::string& path, platform::Status& status,
                                        std::string_view missingMessage);

}  // namespace kaldro::tts

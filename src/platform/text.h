// Text at the edges: the system works in CP1252 bytes; files, terminals and windows speak UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::platform {

std::string cp1252ToUtf8(std::string_view text);
// Characters that CP1252 cannot hold become '?'; invalid sequences are read as Latin-1 bytes.
std::string utf8ToCp1252(std::string_view text);
// The CP1252 byte of one Unicode code point, if it has one.
std::optional<unsigned char> codePointToCp1252(char32_t codePoint);
char32_t cp1252ToCodePoint(unsigned char byte);

// Valid UTF-8 holding at least one multi-byte sequence: such a text file is UTF-8, else Latin-1.
bool looksLikeUtf8(std::string_view bytes);
// A text that begins with a byte-order mark, as Windows editors save it (UTF-8, UTF-16 LE or BE),
// as UTF-8 without the mark; nothing when there is no mark. Broken UTF-16 becomes U+FFFD.
std::optional<std::string> markedTextToUtf8(std::string_view bytes);
// Reads a text file's contents as CP1252 whichever encoding it uses (a marked one included).
std::string textFileToCp1252(std::string_view bytes);

// Decodes one UTF-8 sequence at bytes[pos]; on success sets length and returns the code point.
std::optional<char32_t> decodeUtf8(std::string_view bytes, size_t pos, size_t& length);
void appendUtf8(std::string& out, char32_t codePoint);

// The words of a text between spaces (runs of spaces count as one; none at either end).
std::vector<std::string> splitWords(std::string_view text);
// Upper-cases a to z only.
std::string upperAscii(std::string_view text);

}  // namespace kaldro::platform

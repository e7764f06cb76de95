// UTF-8 as a listener gets it: stray bytes replaced one by one, accents composed (NFC), Unicode blanks.
#pragma once

#include <string>
#include <string_view>

namespace kaldro::platform {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// A text file or a line is UTF-8 when it holds a valid multi-byte sequence and more of them than
// bytes that begin no sequence (one stray byte does not make a UTF-8 line Latin-1); else CP1252.
bool readsAsUtf8(std::string_view bytes);
// Every byte that begins no valid sequence becomes U+FFFD, then the text is composed to NFC, so
// that "e" + U+0301 is the one letter "é" that CP1252 holds. NUL bytes are kept.
std::string composedUtf8(std::string_view bytes);
// Blanks between words: tab, line ends, the space, the no-break space and the other Unicode
// space separators.
bool isUnicodeBlank(char32_t codePoint);
// Characters that shape nothing a listener hears: zero-width joiners and spaces, the soft hyphen,
// the byte-order mark, variation selectors.
bool isInvisible(char32_t codePoint);
// The nearest Latin letters of a character by compatibility decomposition ("ﬁ" fi, "ő" o, "Ａ" A),
// as UTF-8; empty when there is none that CP1252 holds.
std::string latinDecomposition(char32_t codePoint);
// Whether a code point is a letter (of any script) or a combining mark.
bool isLetter(char32_t codePoint);
bool isMark(char32_t codePoint);

}  // namespace kaldro::platform

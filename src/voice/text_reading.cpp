// The shared reading, built from KALDRO.INI.
#include "voice/text_reading.h"

#include <cstdio>

#include "platform/text.h"
#include "tts/engine_settings.h"

namespace kaldro::app {

TextReading::TextReading(const platform::Configuration& configuration)
    : dictionary_(tts::readEngineSettings(configuration).dictionaries,
                  [](const std::string& fault) { std::fprintf(stderr, "%s\n", fault.c_str()); }),
      mode_(tts::readingFromConfig(configuration)) {
  // "Dr. Silva" is read "doutor Silva" by both voices; without the file, abbreviations stay as written.
  names_.loadAbbreviations(tts::readEngineSettings(configuration).files().abbreviations);
}

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLetterByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80;
}
// A capital, a digit, or any byte of an accented letter (UTF-8 or CP1252): what opens a sentence.
bool opensSentence(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= 0xC0;
}
}  // namespace

size_t TextReading::partEnd(std::string_view text) const {
  size_t clauseEnd = 0, lastBlank = 0;
  for (size_t at = text.size(); at-- > 1;) {
    if (!isBlank(text[at])) continue;
    const char mark = text[at - 1];
    if (mark == '!' || mark == '?') return at + 1;
    if (mark == '.' && at + 1 < text.size() && opensSentence(text[at + 1])) {
      size_t start = at - 1;
      while (start > 0 && isLetterByte(text[start - 1])) --start;
      const std::string word = platform::utf8ToCp1252(text.substr(start, at - 1 - start));
      // "Sr. Silva", "D. Maria": the reading joins them; "ontem. Depois" it does not.
      if (word.size() > 1 && names_.lookupAbbreviation(word).empty()) return at + 1;
    }
    if (!clauseEnd && (mark == ',' || mark == ';' || mark == ':')) clauseEnd = at + 1;
    if (!lastBlank) lastBlank = at + 1;
  }
  if (clauseEnd) return clauseEnd;
  if (lastBlank) return lastBlank;
  size_t at = text.size();
  while (at > 1 && (static_cast<unsigned char>(text[at - 1]) & 0xC0) == 0x80) --at;
  // at - 1 is a character's first byte (or a stray continuation byte); the part ends before it.
  return at > 1 ? at - 1 : text.size();
}

}  // namespace kaldro::app

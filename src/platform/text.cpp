// Text at the edges: CP1252 inside, UTF-8 (or a marked UTF-16) outside.
#include "platform/text.h"

#include <cstdint>
#include <cstring>

namespace kaldro::platform {

namespace {
// Code points of CP1252 bytes 0x80..0x9F; 0 where the code page leaves the byte undefined
// (those bytes are then read as the Latin-1 control characters of the same value).
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

char32_t cp1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F && kHighControls[byte - 0x80] != 0) return kHighControls[byte - 0x80];
  return byte;
}

std::optional<unsigned char> codePointToCp1252(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<unsigned char>(codePoint);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == codePoint && codePoint != 0) return static_cast<unsigned char>(0x80 + i);
    if (kHighControls[i] == 0 && codePoint == static_cast<char32_t>(0x80 + i)) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (unsigned char c : text) appendUtf8(out, cp1252ToCodePoint(c));
  return out;
}

std::optional<char32_t> decodeUtf8(std::string_view s, size_t pos, size_t& length) {
  if (pos >= s.size()) return std::nullopt;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    length = 1;
    return b0;
  }
  int extra;
  char32_t cp;
  char32_t minimum;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1; cp = b0 & 0x1F; minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2; cp = b0 & 0x0F; minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3; cp = b0 & 0x07; minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (pos + static_cast<size_t>(extra) >= s.size()) return std::nullopt;
  for (int i = 1; i <= extra; ++i) {
    unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  length = static_cast<size_t>(extra) + 1;
  return cp;
}

namespace {
// How many bytes from from on are ASCII, eight at a time: rules and settings are mostly ASCII.
size_t asciiRun(std::string_view text, size_t from) {
  size_t i = from;
  for (uint64_t word; i + 8 <= text.size(); i += 8) {
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080ULL) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i - from;
}
}  // namespace

bool looksLikeUtf8(std::string_view bytes) {
  bool multiByte = false;
  for (size_t i = 0; i < bytes.size();) {
    i += asciiRun(bytes, i);
    if (i == bytes.size()) break;
    size_t length = 0;
    if (!decodeUtf8(bytes, i, length)) return false;
    if (length > 1) multiByte = true;
    i += length;
  }
  return multiByte;
}

std::string utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t ascii = asciiRun(text, i);
    out.append(text.data() + i, ascii);
    i += ascii;
    if (i == text.size()) break;
    size_t length = 0;
    auto cp = decodeUtf8(text, i, length);
    if (!cp) {  // not UTF-8 here: keep the byte as Latin-1
      out.push_back(text[i]);
      ++i;
      continue;
    }
    auto byte = codePointToCp1252(*cp);
    out.push_back(byte ? static_cast<char>(*byte) : '?');
    i += length;
  }
  return out;
}

std::optional<std::string> markedTextToUtf8(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  const bool little = bytes.starts_with("\xFF\xFE");
  if (!little && !bytes.starts_with("\xFE\xFF")) return std::nullopt;
  constexpr char32_t kReplacement = 0xFFFD;
  auto unitAt = [&](size_t i) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return little ? first | second << 8 : first << 8 | second;
  };
  std::string out;
  out.reserve(bytes.size());
  size_t i = 2;
  for (; i + 1 < bytes.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
  }
  if (i < bytes.size()) appendUtf8(out, kReplacement);  // half a unit at the end
  return out;
}

std::string textFileToCp1252(std::string_view bytes) {
  if (std::optional<std::string> marked = markedTextToUtf8(bytes)) return utf8ToCp1252(*marked);
  return looksLikeUtf8(bytes) ? utf8ToCp1252(bytes) : std::string(bytes);
}

std::vector<std::string> splitWords(std::string_view text) {
  std::vector<std::string> words;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    size_t end = pos;
    while (end < text.size() && text[end] != ' ') ++end;
    if (end > pos) words.emplace_back(text.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

std::string upperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace kaldro::platform

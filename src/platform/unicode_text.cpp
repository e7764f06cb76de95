// UTF-8 decoding that keeps every good character, NFC composition and character classes (utf8proc).
#include "platform/unicode_text.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

#include "platform/text.h"

namespace kaldro::platform {

namespace {
// utf8proc_map over a text of known length (NUL bytes included); empty on failure.
std::string mapped(std::string_view utf8, int options) {
  utf8proc_uint8_t* out = nullptr;
  const utf8proc_ssize_t length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data()),
                                               static_cast<utf8proc_ssize_t>(utf8.size()), &out,
                                               static_cast<utf8proc_option_t>(options));
  std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(out, &std::free);
  if (length < 0) return {};
  return std::string(reinterpret_cast<const char*>(out), static_cast<size_t>(length));
}

bool allCp1252(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    size_t length = 0;
    const auto codePoint = decodeUtf8(utf8, i, length);
    if (!codePoint || !codePointToCp1252(*codePoint) || *codePoint < 0x20) return false;
    i += length;
  }
  return !utf8.empty();
}
}  // namespace

bool readsAsUtf8(std::string_view bytes) {
  size_t sequences = 0;
  size_t strays = 0;
  for (size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    if (decodeUtf8(bytes, i, length)) {
      ++sequences;
      i += length;
    } else {
      ++strays;
      ++i;
    }
  }
  return sequences > strays;
}

std::string composedUtf8(std::string_view bytes) {
  std::string valid;
  valid.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    size_t length = 1;
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      valid.push_back(bytes[i]);
    } else if (decodeUtf8(bytes, i, length)) {
      valid.append(bytes.substr(i, length));
    } else {
      appendUtf8(valid, kReplacementCharacter);
      length = 1;
    }
    i += length;
  }
  std::string composed = mapped(valid, UTF8PROC_STABLE | UTF8PROC_COMPOSE);
  return composed.empty() ? valid : composed;
}

bool isUnicodeBlank(char32_t c) {
  if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') return true;
  if (c < 0x80) return false;
  const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
  return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL || category == UTF8PROC_CATEGORY_ZP ||
         c == 0x85;
}

bool isInvisible(char32_t c) {
  if (c == 0xAD || c == 0x200B || c == 0x200C || c == 0x200D || c == 0x2060 || c == 0xFEFF) return true;
  if ((c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF)) return true;  // variation selectors
  return c >= 0x80 && utf8proc_category(static_cast<utf8proc_int32_t>(c)) == UTF8PROC_CATEGORY_CF;
}

bool isLetter(char32_t c) {
  const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
  return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO;
}

bool isMark(char32_t c) {
  const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
  return category >= UTF8PROC_CATEGORY_MN && category <= UTF8PROC_CATEGORY_ME;
}

std::string latinDecomposition(char32_t codePoint) {
  std::string one;
  appendUtf8(one, codePoint);
  // First keep the accents CP1252 holds ("ế" has none there; "ǻ" may), then drop them.
  for (const int options : {UTF8PROC_COMPAT | UTF8PROC_COMPOSE, UTF8PROC_COMPAT | UTF8PROC_COMPOSE | UTF8PROC_STRIPMARK}) {
    std::string latin = mapped(one, UTF8PROC_STABLE | options);
    if (latin != one && allCp1252(latin)) return latin;
  }
  return {};
}

}  // namespace kaldro::platform

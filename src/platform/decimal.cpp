// The one reader of decimal integers in configuration values, scripts and terminal sequences.
#include "platform/decimal.h"

#include <algorithm>

namespace kaldro::platform {

Decimal readDecimal(std::string_view text, size_t pos) {
  Decimal result;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    result.anyDigit = true;
    result.value = std::min(DecimalLimit, result.value * 10 + (text[pos] - '0'));
    ++pos;
  }
  if (negative) result.value = -result.value;
  result.end = pos;
  return result;
}

int clampToInt(int64_t value, int lowest, int highest) {
  return static_cast<int>(std::clamp<int64_t>(value, lowest, highest));
}

int leadingIntegerIn(std::string_view text, int lowest, int highest) {
  const Decimal number = readDecimal(text);
  return clampToInt(number.anyDigit ? number.value : 0, lowest, highest);
}

}  // namespace kaldro::platform

// The one reader of decimal integers in configuration values, scripts and terminal sequences.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kaldro::platform {

struct Decimal {
  int64_t value = 0;     // saturated: never beyond +-DecimalLimit, however many digits follow
  bool anyDigit = false;
  size_t end = 0;        // the position after the last character read
};

inline constexpr int64_t DecimalLimit = 1'000'000'000'000;

// An optional sign, then decimal digits, read from text[pos].
Decimal readDecimal(std::string_view text, size_t pos = 0);

// value held inside [lowest, highest].
int clampToInt(int64_t value, int lowest, int highest);

// The leading integer of a text (0 when it has none), held inside [lowest, highest].
int leadingIntegerIn(std::string_view text, int lowest, int highest);

}  // namespace kaldro::platform

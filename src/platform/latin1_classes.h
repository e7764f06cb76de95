// Character classes of Latin-1 (CP1252) text, named for what each one takes in.
#pragma once

#include <cstdint>

namespace kaldro::platform {

constexpr bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool isAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A to Z, either case, less the five vowels: W and Y count, so that "WWW" is an abbreviation.
constexpr bool isConsonantWithWY(unsigned char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
  return c >= 'B' && c <= 'Z' && c != 'E' && c != 'I' && c != 'O' && c != 'U';
}

// Capital consonants without W and Y, which in Portuguese words often stand for vowels; for
// text already upper-cased.
constexpr bool isCapitalConsonantWithoutWY(unsigned char c) {
  return isConsonantWithWY(c) && c >= 'A' && c <= 'Z' && c != 'W' && c != 'Y';
}

}  // namespace kaldro::platform

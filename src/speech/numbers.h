// Numbers, weekdays and months as Brazilian Portuguese words, and the recorded file of each word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kaldro::speech {

// Three digit characters to words: "000" gives "", "100" "cem", "121" "cento e vinte e um".
std::string tripleToWords(std::string_view digits);
// Words of n (its last 15 decimal digits), separated by blanks; may end with a blank.
// 1000 gives "mil ", 1001 "mil e um", 1000000 "um milhão ".
std::string numberToWords(uint64_t n);
// The recorded file name of a word, without folder and ".wav": "_" + word cut to 8 characters,
// with ã → a and õ → o; "dezessete" becomes "_dezeset" so it does not share "_dezesse".
std::string wordFileName(std::string_view word);

// 0 Sunday .. 6 Saturday (Gregorian calendar).
int dayOfWeek(int day, int month, int year);
// "Domingo" .. "Sabado" for 0..6; "Janeiro" .. "Dezembro" for 1..12 (empty outside).
std::string_view weekdayName(int weekday);
std::string_view monthName(int month);

}  // namespace kaldro::speech

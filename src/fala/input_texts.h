// The texts kaldro-fala is given: its command line's, else the lines of standard input, read in
// parts of bounded length so that no line, however long, is held whole.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace kaldro::app {

// The longest text handed on from one line: a longer line is handed in parts, each cut after a
// sentence end or a blank where it has one, never inside a UTF-8 character.
inline constexpr size_t kLongestInputText = 64 * 1024;

// Calls take(given, text) for each item, else for each line of in (without its line end, a
// carriage return before it dropped) or each part of a long line; given is the text as it came,
// text the same in CP1252 (a line that is not UTF-8 is taken as CP1252 already).
void forEachInputText(const std::vector<std::string>& items, std::istream& in,
                      const std::function<void(const std::string& given, const std::string& text)>& take);

// Where a part of a long line ends: after the last sentence end followed by a blank, else after
// the last blank, else before the last character that may begin a UTF-8 sequence.
size_t inputPartEnd(const std::string& line);

}  // namespace kaldro::app

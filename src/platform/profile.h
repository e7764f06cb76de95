// KALDRO.INI, read the way the original private-profile query reads an INI file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::platform {

// Reads one value: sections and keys compared without regard to case, the first occurrence wins,
// blanks around the value removed, one pair of enclosing quotes removed, the value cut to
// bufferSize - 1 characters. Nothing when the file, the section or the key is missing.
std::optional<std::string> readProfileValue(const std::string& path, std::string_view section,
                                            std::string_view key, size_t bufferSize);

// The same lookup on a file's text (CP1252 or UTF-8; the result is CP1252).
std::optional<std::string> findProfileValue(std::string_view contents, std::string_view section,
                                            std::string_view key, size_t bufferSize);

// The path of the entry of folder whose name equals name without regard to case (the exact name
// first), or nothing.
std::optional<std::string> findFileIgnoringCase(const std::string& folder, std::string_view name);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kaldro::platform

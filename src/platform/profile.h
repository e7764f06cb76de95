// KALDRO.INI, read the way the original private-profile query reads an INI file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::platform {

// Reads one value from a file's text (CP1252 or UTF-8; the result is CP1252): sections and keys
// compared without regard to case, the first occurrence wins, blanks around the value removed, one
// pair of enclosing quotes removed, the value cut to bufferSize - 1 characters. Nothing when the
// section or the key is missing.
std::optional<std::string> findProfileValue(std::string_view contents, std::string_view section,
                                            std::string_view key, size_t bufferSize);
// The same lookup on a text already read as CP1252.
std::optional<std::string> findProfileValueInText(std::string_view cp1252Text, std::string_view section,
                                                  std::string_view key, size_t bufferSize);

// A file's text as CP1252, read again only when the file changed (size, time or identity):
// start-up reads dozens of keys and each lookup must see an edited file.
class ProfileTextCache {
 public:
  const std::string* text(const std::string& path);

 private:
  std::string path_;
  long long size_ = -1, modifiedNs_ = -1, inode_ = -1;
  std::string text_;
};

// The path of the entry of folder whose name equals name without regard to case (the exact name
// first), or nothing.
std::optional<std::string> findFileIgnoringCase(const std::string& folder, std::string_view name);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kaldro::platform

// Finding the console's font through fontconfig: the named face if it is there, else any monospaced one.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kaldro::platform {

struct FontFile {
  std::string path;
  int index = 0;                      // the face inside the file
  std::vector<std::string> families;  // the family names fontconfig gives the face
};

// fontconfig's best monospaced match for a family name; nothing when fontconfig finds no font at all.
std::optional<FontFile> matchMonospacedFont(const std::string& family);

// Whether the match is the family asked for, not a substitute (names compared without regard to case).
bool isFamily(const FontFile& font, const std::string& family);

}  // namespace kaldro::platform

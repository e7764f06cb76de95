// Listing and sorting the files of a folder for the chooser.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::files {

// Attribute bits of a listed file, as the family's file search knows them.
namespace attribute {
inline constexpr int ReadOnly = 1;
inline constexpr int Hidden = 2;
inline constexpr int System = 4;
inline constexpr int VolumeLabel = 8;
inline constexpr int Directory = 16;
inline constexpr int Archive = 32;  // an ordinary file
}  // namespace attribute

struct FileEntry {
  std::string name;         // the exact bytes on disk
  std::string displayName;  // CP1252, "?" for characters it cannot hold
  int64_t size = 0;
  int64_t modified = 0;  // seconds since 1970
  int attributes = 0;
  bool selected = false;
  bool isDirectory() const { return (attributes & attribute::Directory) != 0; }
};

enum class SortOrder { Name = 0, Extension = 1, Size = 2, Time = 3 };

// Windows-style wildcard match ("*", "?"; a final ".*" also matches names without a dot),
// without regard to case for a to z.
bool matchesPattern(std::string_view name, std::string_view pattern);

// The files of the current folder matching the pattern: a pattern holding "." gets "*" appended,
// any other gets "*.*" (so a typed prefix lists the names that begin with it). Names beginning with
// "." are hidden files. With the mask 32 every entry that is no folder is kept; otherwise an entry
// must carry every bit of the mask. "." and ".." never appear.
std::vector<FileEntry> listFiles(std::string_view pattern, int attributeMask);

// The byte of the name-sorting map: accented letters of both Latin-1 code pages fold to capitals.
uint8_t nameSortKey(uint8_t byte);
void sortFiles(std::vector<FileEntry>& files, SortOrder order);

}  // namespace kaldro::files

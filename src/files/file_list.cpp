// Listing and sorting the files of a folder for the chooser.
#include "files/file_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>

#include "platform/text.h"

namespace kaldro::files {

namespace {
char foldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool wildcardMatch(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0, starPattern = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || foldCase(pattern[p]) == foldCase(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// Folds the accented letters of Windows Latin-1 and of the DOS code page 850 onto plain capitals.
constexpr std::array<uint8_t, 128> kHighSortKeys = [] {
  std::array<uint8_t, 128> keys{};
  for (auto& key : keys) key = 254;
  auto set = [&keys](int from, int to, char letter) {
    for (int b = from; b <= to; ++b) keys[b - 128] = static_cast<uint8_t>(letter);
  };
  set(128, 128, 'C'); set(129, 129, 'U'); set(130, 130, 'E'); set(131, 134, 'A'); set(135, 135, 'C');
  set(136, 138, 'E'); set(139, 141, 'I'); set(142, 143, 'A'); set(144, 144, 'E'); set(147, 149, 'O');
  set(150, 151, 'U'); set(152, 152, 'Y'); set(153, 153, 'O'); set(154, 154, 'U'); set(160, 160, 'A');
  set(161, 161, 'I'); set(162, 162, 'O'); set(163, 163, 'U'); set(164, 165, 'N'); set(192, 197, 'A');
  keys[198 - 128] = 145;
  set(199, 199, 'C'); set(200, 203, 'E'); set(204, 207, 'I'); set(209, 209, 'N'); set(210, 214, 'O');
  set(215, 215, 'X'); set(217, 220, 'U'); set(221, 221, 'Y'); set(224, 229, 'A');
  keys[230 - 128] = 145;
  set(231, 231, 'C'); set(232, 235, 'E'); set(236, 239, 'I'); set(241, 241, 'N'); set(242, 246, 'O');
  set(247, 247, 'X'); set(249, 252, 'U'); set(253, 253, 'Y');
  return keys;
}();

int compareNames(const FileEntry& a, const FileEntry& b) {
  const std::string& x = a.displayName;
  const std::string& y = b.displayName;
  size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i) {
    uint8_t kx = nameSortKey(static_cast<uint8_t>(x[i]));
    uint8_t ky = nameSortKey(static_cast<uint8_t>(y[i]));
    if (kx != ky) return kx < ky ? -1 : 1;
  }
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  return 0;
}

std::string extensionOf(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : platform::upperAscii(name.substr(dot + 1));
}
}  // namespace

bool matchesPattern(std::string_view name, std::string_view pattern) {
  if (wildcardMatch(name, pattern)) return true;
  // As on the original platform, "x*.*" also finds names without any dot.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" && name.find('.') == std::string_view::npos)
    return wildcardMatch(name, pattern.substr(0, pattern.size() - 2));
  return false;
}

uint8_t nameSortKey(uint8_t byte) {
  if (byte >= 'a' && byte <= 'z') return static_cast<uint8_t>(byte - 32);
  if (byte < 128) return byte;
  return kHighSortKeys[byte - 128];
}

std::vector<FileEntry> listFiles(std::string_view pattern, int attributeMask) {
  std::string fullPattern(pattern);
  fullPattern += fullPattern.find('.') != std::string::npos ? "*" : "*.*";
  std::vector<FileEntry> files;
  DIR* folder = ::opendir(".");
  if (!folder) return files;
  while (dirent* item = ::readdir(folder)) {
    std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    if (!matchesPattern(name, fullPattern)) continue;
    struct stat info{};
    if (::stat(name.c_str(), &info) != 0 && ::lstat(name.c_str(), &info) != 0) continue;
    FileEntry entry;
    entry.name = name;
    entry.displayName = platform::utf8ToCp1252(name);
    entry.size = static_cast<int64_t>(info.st_size);
    entry.modified = static_cast<int64_t>(info.st_mtime);
    if (S_ISDIR(info.st_mode)) entry.attributes |= attribute::Directory;
    else entry.attributes |= attribute::Archive;
    if (name.front() == '.') entry.attributes |= attribute::Hidden;
    if (!(info.st_mode & S_IWUSR)) entry.attributes |= attribute::ReadOnly;
    // Hidden files and folders are only searched for when the mask asks for them.
    if ((entry.attributes & attribute::Hidden) && !(attributeMask & attribute::Hidden)) continue;
    if (entry.isDirectory() && !(attributeMask & attribute::Directory)) continue;
    bool keep = attributeMask == attribute::Archive ? !entry.isDirectory()
                                                     : (entry.attributes & attributeMask) == attributeMask;
    if (keep) files.push_back(std::move(entry));
  }
  ::closedir(folder);
  return files;
}

void sortFiles(std::vector<FileEntry>& files, SortOrder order) {
  auto byName = [](const FileEntry& a, const FileEntry& b) { return compareNames(a, b) < 0; };
  switch (order) {
    case SortOrder::Name:
      std::stable_sort(files.begin(), files.end(), byName);
      break;
    case SortOrder::Extension:
      std::stable_sort(files.begin(), files.end(), [&](const FileEntry& a, const FileEntry& b) {
        std::string x = extensionOf(a.displayName), y = extensionOf(b.displayName);
        if (x != y) return x < y;
        return byName(a, b);
      });
      break;
    case SortOrder::Size:
      std::stable_sort(files.begin(), files.end(), [](const FileEntry& a, const FileEntry& b) { return a.size < b.size; });
      break;
    case SortOrder::Time:
      std::stable_sort(files.begin(), files.end(),
                       [](const FileEntry& a, const FileEntry& b) { return a.modified < b.modified; });
      break;
  }
}

}  // namespace kaldro::files

// The private-profile reader of KALDRO.INI: sections and keys without regard to case, first one wins.
#include "platform/profile.h"

#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "platform/text.h"

namespace kaldro::platform {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

namespace {
std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}
}  // namespace

std::optional<std::string> findProfileValue(std::string_view contents, std::string_view section,
                                            std::string_view key, size_t bufferSize) {
  return findProfileValueInText(textFileToCp1252(contents), section, key, bufferSize);
}

std::optional<std::string> findProfileValueInText(std::string_view text, std::string_view section,
                                                  std::string_view key, size_t bufferSize) {
  std::string_view rest(text);
  bool inSection = false;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = trimBlanks(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name = trimBlanks(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      inSection = equalsIgnoringCase(name, section);
      continue;
    }
    if (!inSection) continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (!equalsIgnoringCase(trimBlanks(line.substr(0, equals)), key)) continue;
    std::string_view value = trimBlanks(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    std::string result(value);
    if (bufferSize == 0) return std::string();
    if (result.size() > bufferSize - 1) result.resize(bufferSize - 1);
    return result;
  }
  return std::nullopt;
}

const std::string* ProfileTextCache::text(const std::string& path) {
  struct stat info{};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  const long long modifiedNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
  if (path == path_ && info.st_size == size_ && modifiedNs == modifiedNs_ &&
      static_cast<long long>(info.st_ino) == inode_)
    return &text_;
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::ostringstream contents;
  contents << in.rdbuf();
  text_ = textFileToCp1252(contents.str());
  path_ = path;
  size_ = info.st_size;
  modifiedNs_ = modifiedNs;
  inode_ = static_cast<long long>(info.st_ino);
  return &text_;
}

std::optional<std::string> findFileIgnoringCase(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::nullopt;
  std::string base = folder;
  if (base.back() != '/') base.push_back('/');
  struct stat info{};
  std::string exact = base + std::string(name);
  if (::stat(exact.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return exact;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> found;
  while (dirent* entry = ::readdir(dir)) {
    if (equalsIgnoringCase(entry->d_name, name)) {
      std::string candidate = base + entry->d_name;
      if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        found = candidate;
        break;
      }
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace kaldro::platform

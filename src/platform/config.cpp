// Finding KALDRO.INI and reading a value or a path from it.
#include "platform/config.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/profile.h"
#include "platform/text.h"

namespace kaldro::platform {

namespace {
constexpr std::string_view kFileName = "KALDRO.INI";
// Values hold folders and program paths (PGMKALDRO, PROG.xxx), so nothing is cut short of a path.
constexpr size_t kLookupBuffer = kPathValueBuffer;

std::string withoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}
}  // namespace

std::string backslashesToSlashes(std::string_view value) {
  std::string out(value);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::string currentDirectory() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return ".";
  return withoutTrailingSlash(buffer);
}

std::string executablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string executablePrefix() {
  std::string path = executablePath();
  if (path.empty()) return ".";
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  path.resize(slash);  // the executable's folder
  slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  path.resize(slash);
  return path;
}

ConfigLocations configLocations(const RunOptions& options) {
  ConfigLocations locations;
  if (!options.configFolder.empty()) locations.systemFolders.push_back(options.configFolder);
  if (!options.userConfigHome.empty()) {
    locations.systemFolders.push_back(options.userConfigHome + "/kaldro");
  } else if (!options.home.empty()) {
    locations.systemFolders.push_back(options.home + "/.config/kaldro");
  }
  locations.prefix = executablePrefix();
  locations.systemFolders.push_back(locations.prefix + "/etc/kaldro");
  locations.systemFolders.push_back("/etc/kaldro");
  locations.startDirectory = currentDirectory();
  return locations;
}

Configuration::Configuration(ConfigLocations locations) : locations_(std::move(locations)) {
  locations_.startDirectory = withoutTrailingSlash(locations_.startDirectory);
}

std::optional<std::string> Configuration::readValue(const std::string& file, std::string_view section,
                                                   std::string_view key, size_t bufferSize) const {
  const std::string* text = cache_->text(file);
  if (!text) return std::nullopt;
  return findProfileValueInText(*text, section, key, bufferSize);
}

std::optional<std::string> Configuration::systemFile() const {
  for (const std::string& folder : locations_.systemFolders)
    if (auto file = findFileIgnoringCase(folder, kFileName)) return file;
  return std::nullopt;
}

std::string Configuration::lookupFile() const {
  if (auto file = systemFile()) return *file;
  if (auto file = findFileIgnoringCase(locations_.startDirectory, kFileName)) return *file;
  return locations_.startDirectory + "/" + std::string(kFileName);
}

std::string Configuration::readConfig(std::string_view section, std::string_view key) const {
  return lookup(section, key, false);
}

std::string Configuration::readPath(std::string_view section, std::string_view key) const {
  return lookup(section, key, true);
}

std::string Configuration::lookup(std::string_view section, std::string_view key, bool asPath) const {
  const std::string file = lookupFile();
  if (section.empty()) section = "KALDRO";
  // A path leaves the configuration's CP1252 here, once, for the file system's UTF-8; the folders put
  // in place of "@" are then in UTF-8 already, like the start directory.
  auto read = [&](std::string_view fromSection, std::string_view fromKey) {
    std::string text = backslashesToSlashes(readValue(file, fromSection, fromKey, kLookupBuffer).value_or(""));
    return asPath ? cp1252ToUtf8(text) : text;
  };
  std::string value = read(section, key);

  auto programFolder = [&]() {
    std::string folder = read("KALDRO", "PGMKALDRO");
    if (folder.empty() || folder.front() == '@') return locations_.startDirectory;
    return folder;
  };
  // Each "@" is replaced once, scanning on after the folder put in its place: a program folder
  // (or start directory) that itself holds "@/" must not be substituted again and again.
  if (value.empty()) return value;
  size_t scanFrom = 0;
  if (value.front() == '@') {
    std::string folder = programFolder();
    value = folder + value.substr(1);
    scanFrom = folder.size();
  }
  for (size_t at = value.find("@/", scanFrom); at != std::string::npos; at = value.find("@/", scanFrom)) {
    std::string folder = programFolder();
    value = value.substr(0, at) + folder + value.substr(at + 1);
    scanFrom = at + folder.size();
  }
  return value;
}

std::optional<std::string> Configuration::findSystemPath(std::string_view section, std::string_view key) const {
  auto value = findSystemValue(section, key, kPathValueBuffer);
  if (!value) return std::nullopt;
  return cp1252ToUtf8(backslashesToSlashes(*value));
}

std::optional<std::string> Configuration::findSystemValue(std::string_view section, std::string_view key,
                                                          size_t bufferSize) const {
  auto file = systemFile();
  if (!file) return std::nullopt;
  auto value = readValue(*file, section, key, bufferSize);
  if (!value) return std::nullopt;
  return backslashesToSlashes(*value);
}

std::string Configuration::readSystemValue(std::string_view section, std::string_view key,
                                           std::string_view fallback, size_t bufferSize) const {
  if (auto value = findSystemValue(section, key, bufferSize)) return *value;
  std::string result(fallback);
  if (bufferSize > 0 && result.size() > bufferSize - 1) result.resize(bufferSize - 1);
  return result;
}

}  // namespace kaldro::platform

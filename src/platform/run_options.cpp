// The run's options, from the environment.
#include "platform/run_options.h"

#include <cctype>
#include <cstdlib>

namespace kaldro::platform {

namespace {
std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The folders of a colon-separated list, as the shell reads PATH: an empty entry is the current folder.
std::vector<std::string> folderList(const std::string& list) {
  std::vector<std::string> folders;
  for (size_t start = 0; start <= list.size();) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    folders.push_back(end > start ? list.substr(start, end - start) : ".");
    start = end + 1;
  }
  return folders;
}

bool namesUtf8(std::string locale) {
  for (char& c : locale) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return locale.find("utf-8") != std::string::npos || locale.find("utf8") != std::string::npos;
}
}  // namespace

RunOptions RunOptions::fromEnvironment() {
  RunOptions options;
  options.host = variable("KALDRO_HOST");
  options.keyScript = variable("KALDRO_KEYS");
  options.screenDump = variable("KALDRO_SCREEN");
  options.trace = variable("KALDRO_TRACE");
  options.now = variable("KALDRO_NOW");
  options.audio = variable("KALDRO_AUDIO");
  options.configFolder = variable("KALDRO_CONFIG_DIR");
  options.userConfigHome = variable("XDG_CONFIG_HOME");
  options.home = variable("HOME");
  options.terminalType = variable("TERM");
  options.terminalColours = variable("COLORTERM");
  options.displayReachable = !variable("DISPLAY").empty() || !variable("WAYLAND_DISPLAY").empty();
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const std::string locale = variable(name);
    if (locale.empty()) continue;
    options.utf8Locale = namesUtf8(locale);
    break;
  }
  options.programFolders = folderList(std::getenv("PATH") ? variable("PATH") : "/usr/local/bin:/usr/bin:/bin");
  if (const std::string libraryPath = variable("LD_LIBRARY_PATH"); !libraryPath.empty())
    options.libraryFolders = folderList(libraryPath);
  return options;
}

}  // namespace kaldro::platform

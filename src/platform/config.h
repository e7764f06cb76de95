// Where KALDRO.INI is found and how one value is read from it, with the "@" folder substitution.
#pragma once

#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"
#include "platform/run_options.h"

namespace kaldro::platform {

// Folder and file names are read whole: a value may be as long as any Linux path.
constexpr size_t kPathValueBuffer = PATH_MAX + 1;

struct ConfigLocations {
  // The system folders, searched in order; the first that holds KALDRO.INI is "the system folder".
  std::vector<std::string> systemFolders;
  // The current directory when the program started (no trailing "/").
  std::string startDirectory;
  // The tree the program runs from: the folder above the one holding the executable.
  std::string prefix;
};

// The system folders from the environment: $KALDRO_CONFIG_DIR, $XDG_CONFIG_HOME/kaldro
// (~/.config/kaldro), PREFIX/etc/kaldro, /etc/kaldro.
ConfigLocations configLocations(const RunOptions& options);
// The same for tools and tests that have no options object of their own.
inline ConfigLocations configLocationsFromEnvironment() { return configLocations(RunOptions::fromEnvironment()); }
// The running program's file (the one place that asks the system); empty when it cannot tell.
std::string executablePath();
// The folder above the one that holds the running executable.
std::string executablePrefix();
std::string currentDirectory();

class Configuration {
 public:
  explicit Configuration(ConfigLocations locations);

  // The common lookup: the system folder's KALDRO.INI when there is one, else the start
  // directory's; an empty section means KALDRO; a missing key gives an empty text. "@" at the
  // start of the value, or the first "@/", stands for PGMKALDRO (or the start directory).
  std::string readConfig(std::string_view section, std::string_view key) const;
  // A folder, file or program name read as readConfig does, turned from the configuration's CP1252
  // into the file system's UTF-8 ("\" as "/"): every path the programs take from KALDRO.INI.
  std::string readPath(std::string_view section, std::string_view key) const;

  // Only the system folder's file, no substitution: DIRLETRAS and the console's keys.
  // Missing file or key: fallback. The value is cut to bufferSize - 1 characters.
  std::string readSystemValue(std::string_view section, std::string_view key, std::string_view fallback,
                              size_t bufferSize) const;
  // Same, but tells a missing key apart from an empty value.
  std::optional<std::string> findSystemValue(std::string_view section, std::string_view key,
                                             size_t bufferSize) const;
  // A path from the system folder's file only, in UTF-8 ("\" as "/"); nothing when it is missing.
  std::optional<std::string> findSystemPath(std::string_view section, std::string_view key) const;

  const std::string& startDirectory() const { return locations_.startDirectory; }
  const std::vector<std::string>& systemFolders() const { return locations_.systemFolders; }
  const std::string& prefix() const { return locations_.prefix; }
  // The system folder's KALDRO.INI, if one exists now.
  std::optional<std::string> systemFile() const;
  // The file readConfig queries now (may not exist).
  std::string lookupFile() const;

 private:
  std::string lookup(std::string_view section, std::string_view key, bool asPath) const;
  std::optional<std::string> readValue(const std::string& file, std::string_view section, std::string_view key,
                                       size_t bufferSize) const;

  ConfigLocations locations_;
  // Lookups are logically const; the cache only saves reading the same file again.
  std::unique_ptr<ProfileTextCache> cache_ = std::make_unique<ProfileTextCache>();
};

// "\" in configuration values stands for "/" on Linux.
std::string backslashesToSlashes(std::string_view value);

}  // namespace kaldro::platform

// What a run is told from outside: read once from the environment by main, handed down from there;
// tests fill one in directly.
#pragma once

#include <string>
#include <vector>

namespace kaldro::platform {

struct RunOptions {
  std::string host;           // KALDRO_HOST: window, terminal or headless; empty to choose
  std::string keyScript;      // KALDRO_KEYS: the headless host's key script; empty for standard input
  std::string screenDump;     // KALDRO_SCREEN: where the 80 x 25 screen is written at the end
  std::string trace;          // KALDRO_TRACE: where sound events are written, a line each
  std::string now;            // KALDRO_NOW: the clock's start, AAAA-MM-DDTHH:MM:SS; empty for the real time
  std::string audio;          // KALDRO_AUDIO: device, none or wav:FILE; empty for the host's default
  std::string configFolder;   // KALDRO_CONFIG_DIR: the first folder searched for KALDRO.INI
  std::string userConfigHome; // XDG_CONFIG_HOME
  std::string home;           // HOME
  std::string terminalType;   // TERM
  std::string terminalColours;  // COLORTERM
  bool displayReachable = false;  // DISPLAY or WAYLAND_DISPLAY names a display
  bool utf8Locale = false;        // LC_ALL, LC_CTYPE or LANG, the first one set, names UTF-8
  // PATH's folders, where programs are looked for (mbrola); /usr/local/bin, /usr/bin and
  // /bin when PATH is not set.
  std::vector<std::string> programFolders;
  // LD_LIBRARY_PATH's folders, where the loader looks first for a library named without a folder.
  std::vector<std::string> libraryFolders;

  // The one reading of the environment.
  static RunOptions fromEnvironment();
};

}  // namespace kaldro::platform

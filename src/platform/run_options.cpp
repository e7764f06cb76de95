// The run's options, from the environment.
#include "platform/run_options.h"

#include <cstdlib>

namespace kaldro::platform {

namespace {
std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
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
  return options;
}

}  // namespace kaldro::platform

// --help and --version for the family's programs.
#include "platform/standard_options.h"

#include <cstdio>

namespace kaldro::platform {

const char* programVersion() { return KALDRO_VERSION; }

bool answerStandardOption(const std::vector<std::string>& arguments, const char* program,
                          std::span<const Cp1252Words> usage) {
  if (arguments.size() != 1) return false;
  if (arguments.front() == "--help") {
    std::fputs(utf8Lines(usage).c_str(), stdout);
  } else if (arguments.front() == "--version") {
    std::printf("%s\n", words::VersionLine.utf8({program, programVersion()}).c_str());
  } else {
    return false;
  }
  return std::fflush(stdout) == 0;
}

}  // namespace kaldro::platform

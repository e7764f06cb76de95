// --help and --version for the family's programs.
#include "app/standard_options.h"

#include <cstdio>

namespace kaldro::app {

const char* programVersion() { return KALDRO_VERSION; }

bool answerStandardOption(const std::vector<std::string>& arguments, const char* program, const char* usage) {
  if (arguments.size() != 1) return false;
  if (arguments.front() == "--help") {
    std::fputs(usage, stdout);
  } else if (arguments.front() == "--version") {
    std::printf("%s (kaldro) %s\n", program, programVersion());
  } else {
    return false;
  }
  return std::fflush(stdout) == 0;
}

}  // namespace kaldro::app

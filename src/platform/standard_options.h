// The answers every program of the family gives to --help and --version, as Linux programs do.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "platform/words.h"

namespace kaldro::platform {

// The version of the family's programs ("0.1").
const char* programVersion();

// When the only argument is --help or --version, writes the usage text or the version line
// ("plumar (kaldro) 0.1") to standard output and answers true: the program then ends with 0.
bool answerStandardOption(const std::vector<std::string>& arguments, const char* program,
                          std::span<const Cp1252Words> usage);

}  // namespace kaldro::platform

// Checks the architecture page (docs/arquitetura.md) against what the build knows: the units' direct
// dependencies, and the names of the host, sound device and voice tables.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace kaldro::layers {

// Each unit's direct dependencies, as the rules file's "deps UNIT DEP..." lines give them.
using DirectDeps = std::map<std::string, std::set<std::string>>;

// The faults found (each written on standard error); 0 when the page tells the truth.
int checkArchitecturePage(const DirectDeps& deps, const std::filesystem::path& root);

}  // namespace kaldro::layers

// Fuzz targets: each takes one input of outside data and must neither crash, hang nor leak on it.
// The libFuzzer programs of this folder call them, and so does the crash-vector test, which runs
// every input ever found to fail once more (tests/crash_vectors/TARGET/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/run_options.h"

namespace kaldro::fuzz {

using Target = void (*)(std::span<const uint8_t> input);

struct NamedTarget {
  const char* name;
  Target run;
};

// Every target, by name (the folder names of the corpora and crash vectors).
std::span<const NamedTarget> allTargets();
Target targetNamed(std::string_view name);

// What the targets share: a scratch folder for files they must write, removed at exit, and the
// build tree whose voice and configuration the whole-program targets use.
const std::string& scratchFolder();
void writeScratchFile(const std::string& path, std::string_view bytes);
// A folder of that name in the scratch folder, made on the spot (keep it in a static: one per target).
std::string makeScratchSubfolder(std::string_view name);
// The run options of the whole-program targets: the environment, without a trace or a screen dump.
const platform::RunOptions& quietRunOptions();
// The Portuguese engine's data as the build makes it (PREFIX/share/kaldro/ormiatts/, with '/').
const std::string& engineDataFolder();
// The input split at the first line holding only "%%" (the rest empty when there is none).
std::pair<std::string_view, std::string_view> splitInput(std::string_view input);

}  // namespace kaldro::fuzz

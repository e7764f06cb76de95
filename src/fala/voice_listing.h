// kaldro-fala --voices: the voices of each external synthesizer, with the number and name VOZ takes.
#pragma once

#include <cstdio>
#include <string>

#include "engines/espeak_library.h"
#include "platform/config.h"

namespace kaldro::app {

// Lists the voices of the engine named as --engine names it (empty: every engine) on out, one voice
// a line: the number VOZ takes, a tab, the name VOZ takes, a tab, the language (eSpeak NG adds its
// identifier, which VOZ also takes); Brazilian Portuguese first. The exit status: 1 when an
// engine's voices could not be listed (the reason on standard error).
int listVoices(const std::string& engine, const platform::Configuration& config, engines::EspeakLibrary& espeak,
               std::FILE* out);

}  // namespace kaldro::app

// The voices of the external synthesizers as a listing asks for them, without starting them to speak.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engines/engine_voices.h"
#include "platform/config.h"

namespace kaldro::engines {

// Speech Dispatcher's synthesis voices, in its order; nothing when the service cannot be reached.
std::optional<std::vector<EngineVoice>> speechdVoices(const std::string& clientName);

// The Portuguese engine's MBROLA voice: MBROLA_DB of [ORMIATTS] (br4 when not given), and the file
// it names (a name looked up where distributions install MBROLA voices, or a path); file empty
// when there is none.
struct MbrolaVoice {
  std::string database;  // UTF-8
  std::string file;
};
MbrolaVoice ormiaVoice(const platform::Configuration& config);

}  // namespace kaldro::engines

// The desktop's own speech engines as the dispatcher's adapters.
#pragma once

#include <memory>

#include "audio/wav_player.h"
#include "console/console.h"
#include "engines/engine_adapter.h"
#include "engines/espeak_library.h"

namespace kaldro::engines {

// The adapter for an engine kind: 5 and 54 speak through Speech Dispatcher, every other kind but 3
// (the Portuguese engine, nullptr here) through eSpeak NG. library is the run's one eSpeak NG owner.
std::unique_ptr<EngineAdapter> makeSystemEngineAdapter(int kind, console::Console& console, audio::WavPlayer& player,
                                                       EspeakLibrary& library);

}  // namespace kaldro::engines

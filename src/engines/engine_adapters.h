// The adapters this build offers for each family of external synthesizers.
#pragma once

#include "audio/wav_player.h"
#include "console/console.h"
#include "engines/engine_dispatcher.h"
#include "engines/espeak_library.h"
#include "platform/config.h"
#include "tts/mbrola_binding.h"
#include "tts/natural_reading.h"

namespace kaldro::engines {

// What the adapters are built on; all of it outlives the dispatcher.
struct EngineContext {
  console::Console& console;
  const platform::Configuration& config;
  audio::WavPlayer& player;
  // The run's one owner of libespeak-ng; none: eSpeak NG never starts.
  EspeakLibrary* espeak = nullptr;
  // The run's reading (LEITURA, or kaldro-fala --literal), read when the engine starts; none: LEITURA.
  const tts::Reading* reading = nullptr;
  // Where the Portuguese engine looks for MBROLA: the run's program and library folders.
  tts::MbrolaPlaces mbrola = {};
};

AdapterFactory builtInAdapters(EngineContext context);

}  // namespace kaldro::engines

// Which of the desktop's engines speaks for an engine kind.
#include "engines/system_engines.h"

#include "engines/espeak_adapter.h"
#include "engines/speechd_adapter.h"

namespace kaldro::engines {

std::unique_ptr<EngineAdapter> makeSystemEngineAdapter(int kind, console::Console& console, audio::WavPlayer& player,
                                                       EspeakLibrary& library) {
  switch (kind) {
    case 3: return nullptr;
    case 5:
    case 54: return makeSpeechdAdapter(console);
    default: return makeEspeakAdapter(console, player, library);
  }
}

}  // namespace kaldro::engines

// One adapter per family; a family this build cannot reach never starts.
#include "engines/engine_adapters.h"

#include "engines/espeak_adapter.h"
#include "engines/ormia_adapter.h"
#include "engines/speechd_adapter.h"

namespace kaldro::engines {

AdapterFactory builtInAdapters(EngineContext context) {
  return [context](EngineFamily family) -> std::unique_ptr<EngineAdapter> {
    switch (family) {
      case EngineFamily::Ormia:
        return std::make_unique<OrmiaAdapter>(context.console, context.config, context.player, tts::EnginePlaces{},
                                              context.reading);
      case EngineFamily::SpeechDispatcher:
        return makeSpeechdAdapter(context.console);
      case EngineFamily::ESpeak:
        if (!context.espeak) return std::make_unique<UnavailableEngine>();
        return makeEspeakAdapter(context.console, context.player, *context.espeak);
    }
    return std::make_unique<UnavailableEngine>();
  };
}

}  // namespace kaldro::engines

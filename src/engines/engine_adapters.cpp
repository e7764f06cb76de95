// One adapter per family; a family this build cannot reach never starts.
#include "engines/engine_adapters.h"

#include "engines/ormia_adapter.h"

namespace kaldro::engines {

AdapterFactory builtInAdapters(EngineContext context) {
  return [context](EngineFamily family) -> std::unique_ptr<EngineAdapter> {
    switch (family) {
      case EngineFamily::Ormia:
        return std::make_unique<OrmiaAdapter>(context.console, context.config, context.player);
      case EngineFamily::SpeechDispatcher:
        return std::make_unique<UnavailableEngine>();
      case EngineFamily::ESpeak:
        return std::make_unique<UnavailableEngine>();
    }
    return std::make_unique<UnavailableEngine>();
  };
}

}  // namespace kaldro::engines

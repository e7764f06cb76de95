// One adapter per family, from one table; a family this build cannot reach never starts.
#include "engines/engine_adapters.h"

#include "engines/espeak_adapter.h"
#include "engines/ormia_adapter.h"
#include "engines/speechd_adapter.h"

namespace kaldro::engines {

namespace {

// The families this build offers, each with the way its adapter is made; a new engine is one row.
struct EngineRow {
  EngineFamily family;
  std::unique_ptr<EngineAdapter> (*make)(const EngineContext& context);
};
constexpr EngineRow kEngines[] = {
    {EngineFamily::Ormia,
     [](const EngineContext& c) -> std::unique_ptr<EngineAdapter> {
       tts::EnginePlaces places;
       places.mbrola = c.mbrola;
       return std::make_unique<OrmiaAdapter>(c.console, c.config, c.player, std::move(places), c.reading);
     }},
    {EngineFamily::SpeechDispatcher, [](const EngineContext& c) { return makeSpeechdAdapter(c.console); }},
    {EngineFamily::ESpeak,
     [](const EngineContext& c) -> std::unique_ptr<EngineAdapter> {
       if (!c.espeak) return std::make_unique<UnavailableEngine>();
       return makeEspeakAdapter(c.console, c.player, *c.espeak);
     }},
};

}  // namespace

AdapterFactory builtInAdapters(EngineContext context) {
  return [context](EngineFamily family) -> std::unique_ptr<EngineAdapter> {
    for (const EngineRow& engine : kEngines)
      if (engine.family == family) return engine.make(context);
    return std::make_unique<UnavailableEngine>();
  };
}

}  // namespace kaldro::engines

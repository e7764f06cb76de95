// The voices of the family in one table: what each is called on the command line, in KALDRO.INI and
// by Speech Dispatcher, and how it is made. kaldro-fala's --engine and --voices, the engine
// dispatcher's kinds and the module's voice list all read it: a new voice is one row.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "platform/config.h"
#include "tts/ormia_engine.h"
#include "voice/text_reading.h"
#include "voice/voice.h"

namespace kaldro::voice {

// The external synthesizers the speech services reach through the engine dispatcher.
enum class EngineFamily { Ormia, SpeechDispatcher, ESpeak };

// What a voice is made from; it all outlives the voice.
struct VoiceContext {
  const platform::Configuration& config;
  const app::TextReading& reading;
  tts::EnginePlaces places;  // where the engine looks for MBROLA
};

struct VoiceRow {
  std::string_view name;      // as Speech Dispatcher lists it; empty: not one of the module's voices
  std::string_view option;    // as kaldro-fala --engine names it; empty: the built-in voice
  int kinds[2];               // the TIPOSAPI numbers of KALDRO.INI that choose it; 0: none
  std::string_view language;  // of the module's voice
  std::optional<EngineFamily> family;  // the dispatcher's adapter; none: the built-in voice
  // Makes the voice for the module; none: reached only through the dispatcher.
  std::unique_ptr<Voice> (*make)(const VoiceContext& context);
};

std::span<const VoiceRow> voiceTable();
// The row of a --engine name; none for a name no row has.
const VoiceRow* voiceOfOption(std::string_view option);
// The family a TIPOSAPI number chooses: every number no row names is eSpeak NG's.
EngineFamily familyOfKind(int kind);

}  // namespace kaldro::voice

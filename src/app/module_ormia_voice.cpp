// The output module's voice over the Portuguese engine and MBROLA.
#include "app/module_voices.h"

namespace kaldro::app {

OrmiaVoice::OrmiaVoice(const platform::Configuration& config, tts::EnginePlaces places)
    : config_(config), places_(std::move(places)) {}

bool OrmiaVoice::start() {
  problem_ = "em preparo";
  return false;
}

VoiceResult OrmiaVoice::speakText(std::string_view, const ModuleSettings&, const SampleSink&) {
  return VoiceResult::Failed;
}

VoiceResult OrmiaVoice::speakCharacter(uint8_t, const ModuleSettings&, const SampleSink&) {
  return VoiceResult::Failed;
}

}  // namespace kaldro::app

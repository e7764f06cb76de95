// The Portuguese engine over MBROLA as a voice of the family: its settings from [ORMIATTS], the
// places where MBROLA is looked for (the library named in the settings first), the engine started,
// paced and spoken into a sound sink.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/config.h"
#include "tts/engine_settings.h"
#include "tts/normaliser.h"
#include "tts/ormia_engine.h"
#include "voice/voice.h"

namespace kaldro::voice {

class EngineVoice final : public Voice {
 public:
  // The settings are read here, once. places: where MBROLA and its voices are looked for.
  // showMessage: how the data loaders' messages reach the user.
  EngineVoice(const platform::Configuration& config, tts::EnginePlaces places,
              std::function<void(const std::string&)> showMessage = {});

  // Binds MBROLA, finds its voice, loads the engine's data (a second start replaces the first).
  platform::Status start() override;
  void setPace(const Pace& pace) override;
  void setReading(tts::Reading reading) override { engine_.setReading(reading); }
  // Starts the voice first when it is not running. A synthesizer failing in the middle is started again once and the text said on from where the
  // listener was; failing again, the text is lost and failure() says why.
  bool speak(std::string_view text, platform::SoundSink& sink) override;
  bool speakCharacter(uint8_t character, platform::SoundSink& sink) override;
  std::string characterName(uint8_t character) const override { return names_.charName(character); }
  platform::Status failure() const override { return failure_; }
  // Closes MBROLA and forgets the data.
  void finish() { engine_.shutdownEngine(); }

  // True once a start succeeded (a later failure is MBROLA breaking, not the voice missing).
  bool everStarted() const { return everStarted_; }
  const tts::EngineSettings& settings() const { return settings_; }
  tts::OrmiaEngine& engine() { return engine_; }
  const tts::OrmiaEngine& engine() const { return engine_; }

 private:
  tts::EngineSettings settings_;
  tts::OrmiaEngine engine_;
  tts::Normaliser names_;  // the characters' names
  double volume_ = 1.0;
  bool everStarted_ = false;
  platform::Status failure_;
};

}  // namespace kaldro::voice

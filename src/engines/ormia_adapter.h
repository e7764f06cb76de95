// The adapter over the Portuguese text-to-speech engine (kind 3): its settings from [ORMIATTS], the
// speed and pitch turned into the engine's factors, and its busy test that stops on a key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "audio/wav_player.h"
#include "console/console.h"
#include "engines/engine_adapter.h"
#include "engines/player_sink.h"
#include "platform/config.h"
#include "platform/wave_file_sink.h"
#include "tts/engine_settings.h"
#include "tts/ormia_engine.h"
#include "voice/engine_voice.h"

namespace kaldro::engines {

// The engine's factors for the dispatcher's speed and pitch (each held to -10..10).
double durationFactorForSpeed(int speed);
double pitchFactorForPitch(int pitch);

class OrmiaAdapter final : public EngineAdapter {
 public:
  // The settings are read here, once. places: where MBROLA and its voices are looked for (the
  // library named in the settings is tried first).
  // reading: the run's reading, read at each start; none: LEITURA of [TRADUTOR].
  OrmiaAdapter(console::Console& console, const platform::Configuration& config, audio::WavPlayer& player,
               tts::EnginePlaces places = {}, const tts::Reading* reading = nullptr);

  platform::Status start(int voice, int speed, int pitch, const std::string& outputFile) override;
  void finish() override;
  void speak(std::string_view text) override;
  void speakLiterally(std::string_view text) override;
  bool busy(bool queuedOnly) override;
  void stop() override;
  // A write to the -w file failed or reached the format's limit: what followed is lost.
  bool outputFailed() const override { return fileSink_ && !fileSink_->status().ok(); }
  // Speech is lost for good: a write to the -w file failed (its status), or the engine lost an
  // utterance even after starting MBROLA again.
  platform::Status speechLost() const override;

  const tts::EngineSettings& settings() const { return voice_.settings(); }
  tts::OrmiaEngine& engine() { return voice_.engine(); }

 private:
  void postWake();
  platform::SoundSink& sink();

  console::Console& console_;
  voice::EngineVoice voice_;
  tts::Reading configuredReading_;
  const tts::Reading* reading_;
  PlayerSink playerSink_;
  std::unique_ptr<platform::WaveFileSink> fileSink_;  // while a start asked for a file
  bool started_ = false;
};

}  // namespace kaldro::engines

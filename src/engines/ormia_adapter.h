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
#include "tts/front_end.h"
#include "tts/ormia_engine.h"

namespace kaldro::engines {

struct OrmiaSettings {
  std::string databaseName;  // MBROLA_DB: a voice name, or a path to its database
  std::string engineFolder;  // DIR, ending in "/"
  std::string baseName;      // BASE
  std::string mbrolaLibrary; // MBROLA_LIB: a library name tried before the usual ones
  tts::DataFiles files() const;
};

// [ORMIATTS] of KALDRO.INI, with the defaults: br4, PREFIX/share/kaldro/ormiatts/, portug.
OrmiaSettings readOrmiaSettings(const platform::Configuration& config);

// The engine's factors for the dispatcher's speed and pitch.
double durationFactorForSpeed(int speed);
double pitchFactorForPitch(int pitch);

class OrmiaAdapter final : public EngineAdapter {
 public:
  // The settings are read here, once. places: where MBROLA and its voices are looked for (the
  // library named in the settings is tried first).
  OrmiaAdapter(console::Console& console, const platform::Configuration& config, audio::WavPlayer& player,
               tts::EnginePlaces places = {});

  bool start(int voice, int speed, int pitch, const std::string& outputFile) override;
  void finish() override;
  void speak(std::string_view text) override;
  bool busy(bool queuedOnly) override;
  void stop() override;
  // A write to the -w file failed or reached the format's limit: what followed is lost.
  bool outputFailed() const override { return fileSink_ && !fileSink_->status().ok(); }
  // Why the last start, the -w file or an utterance failed (CP1252); empty when nothing did.
  std::string failureText() const override { return failureText_; }
  // The engine lost an utterance even after starting MBROLA again.
  std::string lostCause() const override { return lostCause_; }

  const OrmiaSettings& settings() const { return settings_; }
  tts::OrmiaEngine& engine() { return engine_; }

 private:
  void postWake();
  platform::SoundSink& sink();

  console::Console& console_;
  OrmiaSettings settings_;
  tts::OrmiaEngine engine_;
  PlayerSink playerSink_;
  std::unique_ptr<platform::WaveFileSink> fileSink_;  // while a start asked for a file
  std::string failureText_;
  std::string lostCause_;
  bool started_ = false;
};

}  // namespace kaldro::engines

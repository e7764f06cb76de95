// Speaking through eSpeak NG (every engine kind but the Portuguese engine's and Speech Dispatcher's).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "engines/engine_adapter.h"
#include "engines/espeak_library.h"
#include "platform/wave_file_sink.h"

namespace kaldro::engines {

// What speak hands to eSpeak NG: blanks and control characters trimmed from both ends, a lone digit
// followed by a full stop (so that it is read as a number). Empty: nothing. The whole text goes in
// one call, however long: the library reads it clause by clause, and a key still stops it.
// The voice of a configuration that names none.
inline constexpr const char* EspeakDefaultVoice = "roa/pt-BR";
std::string espeakTextToSend(std::string_view text);

// The configured speed and pitch in eSpeak NG's units. Speed -10..10 is a step on the scale of the
// desktop speech service (every 10 steps multiply the rate by 3, 0 is eSpeak NG's normal 175 words
// per minute); any other speed is words per minute, as the engines of this kind always took it.
// Pitch -10..10 moves eSpeak NG's 0..100 pitch by 5 per step from its normal 50; any other value is
// taken on that 0..100 scale. Results stay within eSpeak NG's limits.
int espeakRateForSpeed(int speed);
int espeakPitchFor(int pitch);

class EspeakAdapter final : public EngineAdapter {
 public:
  EspeakAdapter(console::Console& console, audio::WavPlayer& player, EspeakLibrary& library);
  ~EspeakAdapter() override;

  // voice: the n-th of eSpeak NG's voices in its own order (below 1 the first, past the end the
  // last); 0, the number of a configuration that names none, is Brazilian Portuguese (eSpeak NG's
  // first voice is Afrikaans). Speed and pitch are set only when not 0. outputFile: a WAV file
  // instead of the sound device.
  platform::Status start(int voice, int speed, int pitch, const std::string& outputFile) override;
  // A name (or identifier) of one of eSpeak NG's voices, in place of the number; a name it does
  // not know gives Brazilian Portuguese.
  void setVoiceName(std::string name) override { voiceName_ = std::move(name); }
  void finish() override;
  void speak(std::string_view text) override;
  // queuedOnly: a text is still being synthesized; otherwise also while its sound plays.
  bool busy(bool queuedOnly) override;
  void stop() override;

  bool started() const { return started_; }
  int pendingTexts() const { return pendingTexts_; }
  bool audioPlaying() const { return audioPlaying_; }
  // The voice chosen at start.
  const std::string& voice() const { return voice_; }
  // A write to the output file failed (the disk is full, the format's limit reached): what followed is lost.
  bool outputFailed() const override { return file_ && !file_->status().ok(); }
  platform::Status speechLost() const override { return file_ ? file_->status() : platform::Status(); }

  // The engine's notices: a text taken and done, its sound started and ended.
  void onTextStarted() { ++pendingTexts_; }
  void onTextDone() {
    if (pendingTexts_ > 0) --pendingTexts_;
  }
  void onAudioStart() { audioPlaying_ = true; }
  void onAudioStop() { audioPlaying_ = false; }

 private:
  bool playSamples(std::span<const int16_t> samples);
  bool playPending(size_t atLeast);

  console::Console& console_;
  audio::WavPlayer& player_;
  EspeakLibrary& library_;
  bool started_ = false;
  int sampleRate_ = 0;
  std::string voice_;
  std::string voiceName_;
  int pendingTexts_ = 0;
  bool audioPlaying_ = false;
  std::vector<uint8_t> pending_;  // samples not yet handed to the player, as bytes
  std::unique_ptr<platform::WaveFileSink> file_;  // while a start asked for a file, and after its finish
};

std::unique_ptr<EngineAdapter> makeEspeakAdapter(console::Console& console, audio::WavPlayer& player,
                                                 EspeakLibrary& library);

}  // namespace kaldro::engines

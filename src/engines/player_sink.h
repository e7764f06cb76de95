// The wave player as a sound sink: a synthesizer's samples gathered into blocks the player queues,
// the first one small so that sound starts after the first phones; once a key or a stop cut the
// sound, the rest of the utterance is refused so the synthesizer stops within one block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/wav_player.h"
#include "platform/sound_sink.h"

namespace kaldro::engines {

class PlayerSink final : public platform::SoundSink {
 public:
  // A block goes to the player once the next samples would bring it to this many bytes (half a
  // second at 16000 Hz); one read of the synthesizer larger than that goes as one block.
  static constexpr size_t BlockBytes = 16000;
  // The first block of an utterance goes as soon as it holds this much (50 ms at 16000 Hz).
  static constexpr size_t FirstBlockBytes = 1600;
  // The last block of an utterance is padded with silence to at least this many bytes.
  static constexpr size_t MinimumBlockBytes = 256;

  explicit PlayerSink(audio::WavPlayer& player) : player_(player) {}

  // The synthesizer's sound is made at its own rate: the player's speed-ups are off from here to
  // the end of the utterance.
  void beginUtterance(int rate) override;
  // False once the sound was cut (a key waits, or stop): nothing more of this utterance is wanted.
  bool takeSamples(std::span<const int16_t> samples) override;
  bool endUtterance() override;
  bool stillWanted() override { return !cut_; }

  // Whether the player still sounds; stopping it drops what it queued and refuses the rest of the
  // utterance.
  bool playing() { return player_.waveBusy(); }
  void stop();

 private:
  void handBlock();

  audio::WavPlayer& player_;
  std::vector<uint8_t> block_;
  int rate_ = 0;
  bool firstBlock_ = true;
  bool inUtterance_ = false;
  bool cut_ = false;  // the utterance's sound was cut: its samples are refused
  bool savedFastRate_ = false;
  bool savedDropPeriods_ = false;
};

}  // namespace kaldro::engines

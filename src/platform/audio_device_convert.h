// Conversion of a stream of PCM blocks into 16-bit signed samples of another rate and layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio_device.h"

namespace kaldro::platform {

class SampleConverter {
 public:
  // False when the source cannot be converted (the converter then refuses every block).
  bool configure(const AudioFormat& from, int toRate, int toChannels);
  // Converts one block into out (replacing its contents). A sample split across the end of a
  // block is kept and completed by the next block. Each block is resampled on its own, so the
  // output of n frames is exactly floor(n * toRate / fromRate) frames.
  bool convert(const uint8_t* bytes, size_t length, std::vector<int16_t>& out);
  // Forgets a partial sample kept from the last block (after a reset).
  void discardPending() { pendingCount_ = 0; }
  const AudioFormat& source() const { return from_; }
  bool configured() const { return configured_; }

 private:
  AudioFormat from_;
  int toRate_ = 0;
  int toChannels_ = 0;
  bool configured_ = false;
  uint8_t pending_[4] = {};
  size_t pendingCount_ = 0;
  std::vector<uint8_t> work_;
};

// A light resampler for the sound card: continuous across blocks (its state runs from one block to
// the next), cheap enough that a block of several seconds converts in about a millisecond.
// Cubic (Catmull-Rom) interpolation, two input frames behind the newest one so that no block
// waits for the next; output is 16-bit signed, mono or stereo.
class StreamResampler {
 public:
  bool configure(const AudioFormat& from, int toRate, int toChannels);
  // The start of a new stream: history, phase and any partial sample are dropped.
  void restart();
  void convert(const uint8_t* bytes, size_t length, std::vector<int16_t>& out);

 private:
  static constexpr int History = 3;

  AudioFormat from_;
  int toChannels_ = 2;
  double step_ = 1.0;      // input frames per output frame
  double position_ = 0.0;  // the next output's time, in input frames from the start of the next block
  float history_[History][2] = {};
  uint8_t pending_[4] = {};
  size_t pendingCount_ = 0;
  std::vector<float> frames_;  // history and the block, two values a frame
};

}  // namespace kaldro::platform

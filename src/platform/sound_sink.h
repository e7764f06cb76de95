// Where a synthesizer's sound goes: 16-bit mono samples, utterance by utterance, to the wave player,
// a WAV file or a test's recorder. The synthesizer never knows which.
#pragma once

#include <cstdint>
#include <span>

namespace kaldro::platform {

class SoundSink {
 public:
  virtual ~SoundSink() = default;
  // The samples of one utterance follow, at this rate.
  virtual void beginUtterance(int rate) { (void)rate; }
  // The next samples, in order. False: nothing more is wanted (a write failed); the synthesizer
  // hands no more of this utterance.
  virtual bool takeSamples(std::span<const int16_t> samples) = 0;
  // The utterance is whole: what was held back goes out. False when it could not.
  virtual bool endUtterance() { return true; }
  // False once this utterance is no longer wanted (stopped, possibly from another thread): the
  // synthesizer stops waiting for samples and hands no more. Asked between samples, so it is cheap.
  virtual bool stillWanted() { return true; }
};

}  // namespace kaldro::platform

// Where the diphone engine's sound goes: the speech services wire this to the WAV player and their busy test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kaldro::diphone {

class DiphoneOutput {
 public:
  virtual ~DiphoneOutput() = default;

  // Plays a WAV image (the 44-byte header, then unsigned 8-bit mono samples at 11025 Hz) and
  // returns when it has ended or a key stopped it.
  virtual void playImageWait(const uint8_t* image, size_t bytes) = 0;
  // Returns when the speech services no longer report speech busy (a key stops it).
  virtual void waitSpeechEnd() = 0;
  // The phoneme string handed to the engine, for the "phonemes STRING" trace line.
  virtual void tracePhonemes(std::string_view phonemes) {}
  // Each unit the engine looks up (database unit or letter file) and whether it was there.
  virtual void traceUnitLookup(std::string_view name, bool found) {}
};

}  // namespace kaldro::diphone

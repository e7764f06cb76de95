// Shortening mono speech by dropping every other pitch period.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kaldro::audio {

// Works in place on n bytes of mono sound and returns the new length in bytes. 16-bit sound is
// first turned into 8-bit (the high byte of each sample), so the result is always 8-bit.
// Fewer than 1000 samples are only converted.
size_t dropPitchPeriods(uint8_t* buffer, size_t n, int bits, int rate);

}  // namespace kaldro::audio

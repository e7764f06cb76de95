// Turning eSpeak NG's 16-bit 22050 Hz sound into the system's 8-bit 11025 Hz pieces: filter, cut, trim, fade.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kaldro::voz {

// Halves the sample rate: a windowed-sinc low-pass below the new Nyquist frequency, then every
// second sample. Samples keep the 16-bit scale, as floats.
std::vector<float> halveRate(std::span<const int16_t> samples);

struct TrimLimits {
  float threshold = 250.0f;        // a sample this loud (16-bit scale) is sound, not silence
  size_t keepLeadingSilence = 350; // a stop's closure before the first loud sample is kept up to this
  size_t keepTrailingSilence = 30; // silence kept after the last loud sample
};

// The part of samples[begin, end) that holds sound, with at most the allowed silence at each end.
// An all-silent piece gives an empty range at begin.
struct SampleRange {
  size_t begin = 0;
  size_t end = 0;
  size_t size() const { return end - begin; }
};
SampleRange trimSilence(std::span<const float> samples, SampleRange range, const TrimLimits& limits);

// Raised-cosine fade-in over the first and fade-out over the last `length` samples, so that a
// piece starts and ends at silence and joins without a click.
void applyFades(std::vector<float>& samples, size_t length);

float peakOf(std::span<const float> samples);

// Unsigned 8-bit, 128 being silence: sample × gain / 256, rounded and clamped.
std::vector<uint8_t> toUnsigned8(std::span<const float> samples, float gain);

// A two-frequency tone (telephone keys): amplitude in 8-bit steps for each frequency.
std::vector<float> dualTone(double lowHz, double highHz, double seconds, int sampleRate, double amplitude16);

}  // namespace kaldro::voz

// Rate halving, silence trimming, fades and 8-bit conversion for the voice builder.
#include "sound_shaping.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kaldro::voz {

namespace {

// A symmetric low-pass kernel: cutoff as a fraction of the input rate, Blackman window.
std::vector<double> lowPassKernel(double cutoff, int taps) {
  std::vector<double> kernel(static_cast<size_t>(taps));
  const int middle = taps / 2;
  double sum = 0;
  for (int i = 0; i < taps; ++i) {
    const int n = i - middle;
    const double sinc = n == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * n) / (std::numbers::pi * n);
    const double phase = 2 * std::numbers::pi * i / (taps - 1);
    const double window = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
    kernel[static_cast<size_t>(i)] = sinc * window;
    sum += kernel[static_cast<size_t>(i)];
  }
  for (double& k : kernel) k /= sum;  // unity gain at 0 Hz
  return kernel;
}

}  // namespace

std::vector<float> halveRate(std::span<const int16_t> samples) {
  // Passband up to about 4.7 kHz of the 5.5 kHz the new rate holds; 101 taps leave the stopband
  // (from 5.5 kHz) well below the 8-bit noise floor.
  static constexpr int kTaps = 101;
  const std::vector<double> kernel = lowPassKernel(0.235, kTaps);
  const long count = static_cast<long>(samples.size());
  std::vector<float> out;
  out.reserve(samples.size() / 2 + 1);
  for (long centre = 0; centre < count; centre += 2) {
    double acc = 0;
    for (int i = 0; i < kTaps; ++i) {
      const long at = centre + i - kTaps / 2;
      if (at >= 0 && at < count) acc += kernel[static_cast<size_t>(i)] * samples[static_cast<size_t>(at)];
    }
    out.push_back(static_cast<float>(acc));
  }
  return out;
}

SampleRange trimSilence(std::span<const float> samples, SampleRange range, const TrimLimits& limits) {
  range.end = std::min(range.end, samples.size());
  size_t first = range.begin;
  while (first < range.end && std::fabs(samples[first]) < limits.threshold) ++first;
  if (first == range.end) return {range.begin, range.begin};
  size_t last = range.end;
  while (last > first && std::fabs(samples[last - 1]) < limits.threshold) --last;
  SampleRange kept;
  kept.begin = first - std::min(first - range.begin, limits.keepLeadingSilence);
  kept.end = last + std::min(range.end - last, limits.keepTrailingSilence);
  return kept;
}

void applyFades(std::vector<float>& samples, size_t length) {
  length = std::min(length, samples.size() / 2);
  for (size_t i = 0; i < length; ++i) {
    // 0 at the outermost sample, nearly 1 at the inner end of the fade.
    const float gain = static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / length));
    samples[i] *= gain;
    samples[samples.size() - 1 - i] *= gain;
  }
}

float peakOf(std::span<const float> samples) {
  float peak = 0;
  for (float s : samples) peak = std::max(peak, std::fabs(s));
  return peak;
}

std::vector<uint8_t> toUnsigned8(std::span<const float> samples, float gain) {
  std::vector<uint8_t> out;
  out.reserve(samples.size());
  for (float s : samples) {
    const long value = std::lround(128.0 + s * gain / 256.0);
    out.push_back(static_cast<uint8_t>(std::clamp(value, 0L, 255L)));
  }
  return out;
}

std::vector<float> dualTone(double lowHz, double highHz, double seconds, int sampleRate, double amplitude16) {
  const size_t count = static_cast<size_t>(seconds * sampleRate);
  std::vector<float> out(count);
  for (size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    out[i] = static_cast<float>(amplitude16 * (std::sin(2 * std::numbers::pi * lowHz * t) +
                                               std::sin(2 * std::numbers::pi * highHz * t)));
  }
  return out;
}

}  // namespace kaldro::voz

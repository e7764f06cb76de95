// The period dropper: keeps one pitch period, drops the next, found by the peaks of the wave.
#include "audio/period_dropper.h"

#include <cstdlib>

#include "platform/wave_file.h"

namespace kaldro::audio {

namespace {

struct PeakFinder {
  const uint8_t* samples;
  int64_t last;  // the largest valid position
  int64_t previous = 0;

  // The first position of the largest value in [from, to]; an all-zero window keeps the last peak.
  int64_t operator()(int64_t from, int64_t to) {
    if (to > last) to = last;
    int64_t best = -1;
    uint8_t bestValue = 0;
    for (int64_t i = from; i <= to; ++i) {
      if (samples[i] > bestValue) {
        bestValue = samples[i];
        best = i;
      }
    }
    if (best >= 0) previous = best;
    return previous;
  }
};

}  // namespace

size_t dropPitchPeriods(uint8_t* buffer, size_t n, int bits, int rate) {
  if (bits == 16) {
    n /= 2;
    for (size_t i = 0; i < n; ++i) buffer[i] = buffer[2 * i + 1] ^ 128;
  }
  if (n < 1000) return n;

  const bool slowRate = rate == platform::FamilySampleRate;
  const int64_t start = slowRate ? 200 : 800;
  const int64_t skip = slowRate ? 80 : 320;
  const int64_t search = slowRate ? 50 : 200;
  const auto length = static_cast<int64_t>(n);

  // The first window may reach past a short buffer at the higher rates; it stops at the end.
  PeakFinder peak{buffer, length - 1};
  int64_t read = peak(start, start + skip + search);
  int64_t write = read;
  while (length - 2 * (skip + search) > read) {
    const int64_t dropped = peak(read + skip, read + skip + search);
    const int64_t kept = peak(dropped + skip, dropped + skip + search);
    // Two silent windows (all bytes 0) would keep the old peak and never move on.
    if (kept <= read) break;
    // Forwards, one byte at a time: the regions may overlap and write never passes read.
    for (int64_t i = dropped; i <= kept; ++i) buffer[write++] = buffer[i];
    read = kept;
  }
  // The sound ends where the wave comes near its zero line.
  while (read < length && std::abs(buffer[read] - 128) > 20) buffer[write++] = buffer[read++];
  return static_cast<size_t>(write);
}

}  // namespace kaldro::audio

// The WAV header and the period dropper (the chunk walk is the platform's, tested there).
#include <gtest/gtest.h>

#include <vector>

#include "audio/period_dropper.h"
#include "audio/wave_format.h"
#include "audio_rig.h"
#include "support/wave_bytes.h"

namespace kaldro::audio {
namespace {

TEST(WaveHeader, HoldsTheFixedLayout) {
  uint8_t header[44];
  buildWaveHeader(header, 1000, 11025, 8, 1);
  EXPECT_EQ(std::string(header, header + 44), kaldro::testing::waveHeader(1000));  // written out byte by byte

  // Another format changes rate, bytes per second, channels and bits; the alignment stays 1.
  buildWaveHeader(header, 4, 16000, 16, 2);
  EXPECT_EQ(2, header[22]);
  EXPECT_EQ(16000u, readLe32(header + 24));
  EXPECT_EQ(64000u, readLe32(header + 28));
  EXPECT_EQ(1, readLe16(header + 32));
  EXPECT_EQ(16, readLe16(header + 34));
  EXPECT_EQ(40u, readLe32(header + 4));
}

// A low wave near the zero line (110..139) with a peak of 250 every 100 samples at 50, 150, ...,
// and a second, later peak of the same height at 370.
std::vector<uint8_t> pulseTrain(size_t n) {
  std::vector<uint8_t> wave(n);
  for (size_t i = 0; i < n; ++i) wave[i] = static_cast<uint8_t>(i % 100 == 50 ? 250 : 110 + (i * 7) % 30);
  wave[370] = 250;
  return wave;
}

std::vector<uint8_t> expectedDropped(const std::vector<uint8_t>& in) {
  // Start peak 250; periods 250..350 and 450..550 and 650..750 dropped; the tail keeps 850.
  std::vector<uint8_t> out(in.begin(), in.begin() + 250);
  out.insert(out.end(), in.begin() + 350, in.begin() + 451);
  out.insert(out.end(), in.begin() + 550, in.begin() + 651);
  out.insert(out.end(), in.begin() + 750, in.begin() + 851);
  out.push_back(in[850]);
  return out;
}

TEST(PeriodDropper, DropsEveryOtherPeriodOfEightBitSound) {
  std::vector<uint8_t> wave = pulseTrain(1000);
  const std::vector<uint8_t> expected = expectedDropped(wave);
  const size_t kept = dropPitchPeriods(wave.data(), wave.size(), 8, 11025);
  ASSERT_EQ(expected.size(), kept);
  EXPECT_EQ(expected, std::vector<uint8_t>(wave.begin(), wave.begin() + kept));
}

TEST(PeriodDropper, TurnsSixteenBitSoundIntoEightBitFirst) {
  const std::vector<uint8_t> eight = pulseTrain(1000);
  std::vector<uint8_t> sixteen;
  for (uint8_t sample : eight) {
    sixteen.push_back(0x5A);  // the low byte does not count
    sixteen.push_back(sample ^ 128);
  }
  const size_t kept = dropPitchPeriods(sixteen.data(), sixteen.size(), 16, 11025);
  const std::vector<uint8_t> expected = expectedDropped(eight);
  ASSERT_EQ(expected.size(), kept);
  EXPECT_EQ(expected, std::vector<uint8_t>(sixteen.begin(), sixteen.begin() + kept));

  // Fewer than 1000 samples are converted only.
  std::vector<uint8_t> shortSound{0x00, 0x00, 0xFF, 0x7F, 0x00, 0x80};
  ASSERT_EQ(3u, dropPitchPeriods(shortSound.data(), shortSound.size(), 16, 16000));
  EXPECT_EQ(128, shortSound[0]);
  EXPECT_EQ(255, shortSound[1]);
  EXPECT_EQ(0, shortSound[2]);
}

TEST(PeriodDropper, EndsOnSoundWithoutPeaks) {
  // All-zero windows keep the old peak: the dropper must still come to an end.
  std::vector<uint8_t> floor(4000, 0);
  EXPECT_LE(dropPitchPeriods(floor.data(), floor.size(), 8, 11025), floor.size());
  // At the higher rates the first window is longer than a buffer of 1000 samples.
  std::vector<uint8_t> shortest = pulseTrain(1000);
  EXPECT_LE(dropPitchPeriods(shortest.data(), shortest.size(), 8, 22050), shortest.size());
}

}  // namespace
}  // namespace kaldro::audio

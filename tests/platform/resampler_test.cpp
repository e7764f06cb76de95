// The resampler's plain and vector arithmetic give the same samples, for every kind of conversion.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/audio/audio_device_convert.h"

namespace kaldro::platform {
namespace {

// Noise that uses the whole 16-bit range, so that saturation and rounding are both exercised.
std::vector<uint8_t> noiseBytes(size_t bytes) {
  std::vector<uint8_t> out(bytes);
  uint32_t state = 12345;
  for (uint8_t& byte : out) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

struct Conversion {
  AudioFormat from;
  int toRate;
  int toChannels;
};

class ResamplerArithmetic : public ::testing::TestWithParam<Conversion> {};

TEST_P(ResamplerArithmetic, PlainAndVectorPathsAgree) {
  const Conversion c = GetParam();
  const std::vector<uint8_t> input = noiseBytes(static_cast<size_t>(c.from.bytesPerFrame()) * 5003);
  StreamResampler vector, plain;
  plain.useScalarArithmetic(true);
  ASSERT_TRUE(vector.configure(c.from, c.toRate, c.toChannels));
  ASSERT_TRUE(plain.configure(c.from, c.toRate, c.toChannels));
  Samples fromVector, fromPlain;
  // Blocks of odd lengths: the batches of the vector path start at every phase.
  for (size_t at = 0; at < input.size();) {
    const size_t length = std::min<size_t>(input.size() - at, 331);
    vector.convert(input.data() + at, length, fromVector);
    plain.convert(input.data() + at, length, fromPlain);
    ASSERT_EQ(fromVector, fromPlain) << "block at byte " << at;
    at += length;
  }
  vector.tail(fromVector);
  plain.tail(fromPlain);
  EXPECT_EQ(fromVector, fromPlain);
  vector.convertLoop(input.data(), input.size(), fromVector);
  plain.convertLoop(input.data(), input.size(), fromPlain);
  EXPECT_FALSE(fromVector.empty());
  EXPECT_EQ(fromVector, fromPlain);
}

INSTANTIATE_TEST_SUITE_P(RatesAndFormats, ResamplerArithmetic,
                         ::testing::Values(Conversion{{11025, 8, 1}, 48000, 2},   // raising, grouped
                                           Conversion{{11025, 16, 1}, 44100, 1},  // raising, whole ratio
                                           Conversion{{16000, 16, 1}, 48000, 2},
                                           Conversion{{22050, 16, 2}, 48000, 2},  // two planes
                                           Conversion{{44100, 16, 2}, 11025, 1},  // lowering, mixed down
                                           Conversion{{48000, 8, 1}, 16000, 1},
                                           Conversion{{11025, 16, 1}, 47999, 1}));  // rounded phases

}  // namespace
}  // namespace kaldro::platform

// WAV files whose header lies about the format: refused before their data is read or converted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/program_run.h"

namespace kaldro::testing {
namespace {

std::string le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

// A RIFF file of the given format holding dataBytes bytes of a quiet hum.
std::string waveOf(uint32_t rate, uint16_t bits, uint16_t channels, size_t dataBytes) {
  std::string format = le(1, 2) + le(channels, 2) + le(rate, 4) + le(rate * channels * (bits / 8), 4) +
                       le(channels * (bits / 8), 2) + le(bits, 2);
  std::string data(dataBytes, '\x70');
  return "RIFF" + le(static_cast<uint32_t>(36 + data.size()), 4) + "WAVEfmt " + le(16, 4) + format + "data" +
         le(static_cast<uint32_t>(data.size()), 4) + data;
}

TEST(WaveLimits, LyingFormatsAreRefusedAndNothingIsConverted) {
  struct Case {
    uint32_t rate;
    uint16_t bits, channels;
    bool playable;
  };
  const Case cases[] = {
      {1, 8, 1, false},     {0, 16, 1, false},          {3999, 16, 1, false}, {0xFFFFFFFF, 8, 1, false},
      {384001, 16, 2, false}, {11025, 12, 1, false},    {11025, 8, 0, false}, {11025, 16, 3, true},
      {4000, 8, 1, true},   {384000, 16, 2, true},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    folder.write("som.wav", waveOf(c.rate, c.bits, c.channels, 65536));
    ProgramResult result = runProgram("kaldro-fala", {"-w", "saida.wav", "--play", "som.wav"}, "", folder);
    const std::string what = std::to_string(c.rate) + "/" + std::to_string(c.bits) + "/" + std::to_string(c.channels);
    const size_t written = folder.exists("saida.wav") ? folder.read("saida.wav").size() : 0;
    if (c.playable) {
      EXPECT_EQ(result.status, 0) << what << result.standardError;
      // Converted to 16-bit 16000 Hz: the samples' duration, never more.
      const double seconds = 65536.0 / (static_cast<double>(c.rate) * c.channels * (c.bits / 8));
      EXPECT_LE(written, 44 + static_cast<size_t>(seconds * 16000 * 2) + 4096) << what;
    } else {
      EXPECT_EQ(result.status, 1) << what;
      EXPECT_THAT(result.standardError, ::testing::HasSubstr("formato de som inv\xC3\xA1lido em som.wav")) << what;
      EXPECT_LE(written, 44u) << what;
    }
  }
}

}  // namespace
}  // namespace kaldro::testing

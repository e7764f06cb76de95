// Continuous tones: the looping square-wave image, and starting and stopping through the output.
#include <gtest/gtest.h>

#include "console/fake_host.h"
#include "support/wave_bytes.h"

namespace kaldro::console::testing {
namespace {

// The header of an 8-bit mono 11025 Hz image, its sizes matching the image.
void expectHeader(const std::vector<uint8_t>& image) {
  ASSERT_GE(image.size(), 44u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 44), kaldro::testing::waveHeader(image.size() - 44));
}

TEST(ConsoleTone, SquareWaveImage) {
  std::vector<uint8_t> image = buildToneSound(440);
  expectHeader(image);
  // Period 25 samples: 12 low, then high; cycles start at j * 11025 div 440 while within 10956.
  const size_t dataSize = image.size() - 44;
  EXPECT_EQ(dataSize, 10974u);  // the start of cycle 438
  const uint8_t* data = image.data() + 44;
  EXPECT_EQ(data[0], 96);
  EXPECT_EQ(data[11], 96);
  EXPECT_EQ(data[12], 160);
  EXPECT_EQ(data[24], 160);
  EXPECT_EQ(data[25], 96);  // cycle 1 starts at 25 and overwrites the overlap
  EXPECT_EQ(data[dataSize - 1], 128);
  for (size_t i = 0; i + 1 < dataSize; ++i) ASSERT_TRUE(data[i] == 96 || data[i] == 160) << i;

  std::vector<uint8_t> high = buildToneSound(11025);
  expectHeader(high);
  EXPECT_EQ(high.back(), 128);
}

TEST(ConsoleTone, FrequenciesWithoutAPeriodAreSilence) {
  for (uint16_t frequency : {0, 1, 11026, 65535}) {
    std::vector<uint8_t> image = buildToneSound(frequency);
    expectHeader(image);
    for (size_t i = 44; i < image.size(); ++i) ASSERT_EQ(image[i], 128);
  }
}

class RecordingToneOutput : public ToneOutput {
 public:
  void playLooping(const std::vector<uint8_t>& image) override { played.push_back(image.size()); }
  void stopLooping() override { ++stops; }
  std::vector<size_t> played;
  int stops = 0;
};

TEST(ConsoleTone, StartAndStopAreTracedOnlyWhenTheyHappen) {
  ConsoleBench bench;
  RecordingToneOutput output;
  bench.console.stopTone();
  bench.console.startTone(440);  // traced even without an output
  bench.console.setToneOutput(&output);
  bench.console.startTone(800);  // stops the tone before
  bench.console.startTone(0);    // silence: the tone before stops, nothing starts
  bench.console.stopTone();
  EXPECT_EQ(bench.traceText(), "tone 440\ntone off\ntone 800\ntone off\n");
  EXPECT_EQ(output.played.size(), 1u);
  EXPECT_EQ(output.stops, 2);
}

}  // namespace
}  // namespace kaldro::console::testing

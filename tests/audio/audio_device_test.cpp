// The wav: and none devices: what reaches the file, and when blocks are reported.
#include <gtest/gtest.h>

#include "audio/wave_format.h"
#include "audio_rig.h"
#include "platform/audio/audio_device.h"
#include "platform/audio/audio_device_convert.h"

#include <cmath>
#include <cstring>
#include <span>

namespace kaldro::audio {
namespace {

using testing::PlayerRig;
using testing::readFile;
using testing::tempPath;

uint32_t le32(const std::string& bytes, size_t at) { return readLe32(reinterpret_cast<const uint8_t*>(bytes.data() + at)); }

TEST(AudioDeviceWav, WritesEverythingAsSixteenBitMonoAt16000) {
  const std::string path = tempPath("saida.wav");
  platform::Trace trace;
  platform::HostHeadless host(trace, "");
  platform::Made<platform::AudioDevice> made = platform::makeAudioDevice(host, "wav:" + path);
  std::string error = made.status.message();
  auto device = std::move(made.object);
  EXPECT_EQ("", error);
  EXPECT_EQ("wav", device->name());

  std::string file = readFile(path);
  ASSERT_EQ(44u, file.size());  // a valid empty file from the start
  EXPECT_EQ(0u, le32(file, 40));

  ASSERT_EQ(0, device->open({11025, 8, 1}));
  std::vector<uint8_t> second(11025, 200);
  ASSERT_EQ(0, device->write(second.data(), second.size(), 1));
  file = readFile(path);
  // The header is valid after each block.
  EXPECT_EQ("RIFF", file.substr(0, 4));
  EXPECT_EQ("WAVEfmt ", file.substr(8, 8));
  EXPECT_EQ(1u, le32(file, 22) & 0xFFFF);
  EXPECT_EQ(16000u, le32(file, 24));
  EXPECT_EQ(16u, le32(file, 34) & 0xFFFF);
  EXPECT_EQ(32000u, le32(file, 40));
  EXPECT_EQ(32000u + 36, le32(file, 4));
  EXPECT_EQ(44u + 32000, file.size());
  // 200 of 8-bit unsigned is loud and positive in the middle of the block.
  const auto middle = static_cast<int16_t>(le32(file, 44 + 16000) & 0xFFFF);
  EXPECT_GT(middle, 15000);

  // Stereo 16-bit at 22050 Hz, a sample split across two blocks: 2205 frames, 1600 samples out.
  host.sleepMs(1000);  // heard to its end: the close keeps it
  device->close();
  ASSERT_EQ(0, device->open({22050, 16, 2}));
  std::vector<uint8_t> stereo(2205 * 4, 0);
  ASSERT_EQ(0, device->write(stereo.data(), 4001, 2));
  ASSERT_EQ(0, device->write(stereo.data() + 4001, stereo.size() - 4001, 3));
  file = readFile(path);
  const uint32_t samples = le32(file, 40) / 2;
  EXPECT_NEAR(16000 + 1600, static_cast<int>(samples), 1);
  EXPECT_EQ(44u + le32(file, 40), file.size());

  made = platform::makeAudioDevice(host, "cartão");
  error = made.status.message();
  auto fallback = std::move(made.object);
  EXPECT_EQ("none", fallback->name());
  EXPECT_FALSE(error.empty());
}

TEST(AudioDeviceWav, SoundCutByAKeyLeavesTheFile) {
  const std::string path = tempPath("cortada.wav");
  PlayerRig rig("wait 250\ntype q\n");
  auto device = platform::makeAudioDevice(rig.host, "wav:" + path).object;
  WavPlayer player(rig.console, *device);
  std::vector<uint8_t> samples(2 * 11025, 128);
  player.playWaveData(samples.data(), samples.size(), 11025, 8, 1);
  while (player.waveBusy()) rig.console.waitForMessage();
  const std::string file = readFile(path);
  // A quarter of a second was heard before the key.
  EXPECT_NEAR(4000, static_cast<int>(le32(file, 40) / 2), 16);
  EXPECT_EQ(44u + le32(file, 40), file.size());
}

// A 440 Hz sine of amplitude 10000 as 16-bit mono little-endian samples.
std::vector<uint8_t> sineBytes(int rate, int frames) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < frames; ++i) {
    const auto sample = static_cast<int16_t>(std::lround(10000 * std::sin(2 * M_PI * 440 * i / rate)));
    bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
    bytes.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
  }
  return bytes;
}

// The largest distance of channel 0 from the sine at each output frame's own time, away from the ends.
double worstSineError(std::span<const int16_t> out, int channels, int rate, size_t margin) {
  double worst = 0;
  for (size_t k = margin; k + margin < out.size() / channels; ++k)
    worst = std::max(worst, std::abs(out[k * channels] - 10000 * std::sin(2 * M_PI * 440 * double(k) / rate)));
  return worst;
}

TEST(StreamResampler, JoinsBlocksWithoutASeam) {
  // One second at 11025 Hz converted to stereo at 48000 Hz whole and in odd pieces.
  const std::vector<uint8_t> sine = sineBytes(11025, 11025);
  platform::StreamResampler whole, pieces;
  ASSERT_TRUE(whole.configure({11025, 16, 1}, 48000, 2) && pieces.configure({11025, 16, 1}, 48000, 2));
  platform::Samples once, joined, part;
  whole.convert(sine.data(), sine.size(), once);
  for (size_t at = 0; at < sine.size();) {
    const size_t length = std::min<size_t>(sine.size() - at, 777);  // splits samples too
    pieces.convert(sine.data() + at, length, part);
    joined.insert(joined.end(), part.begin(), part.end());
    at += length;
  }
  EXPECT_EQ(once, joined);
  // The frames still waiting for input complete the second exactly.
  whole.tail(part);
  EXPECT_EQ(48000u * 2, once.size() + part.size());
  // The output is the same sine at the same time: frequency and alignment kept.
  EXPECT_LT(worstSineError(once, 2, 48000, 100), 40);
  for (size_t k = 0; k < once.size() / 2; ++k) ASSERT_EQ(once[2 * k], once[2 * k + 1]);
}

TEST(AudioDeviceWav, BlocksJoinIntoOneAlignedStream) {
  // 0.7 s at 11025 Hz, written once and in odd pieces: the same file, exactly floor(n * 16000 / 11025)
  // samples after each block, and the sine on time at 16000 Hz.
  const std::vector<uint8_t> sine = sineBytes(11025, 7717);
  platform::Trace trace;
  platform::HostHeadless host(trace, "");
  const std::string wholePath = tempPath("inteiro.wav"), piecesPath = tempPath("pedacos.wav");
  auto whole = platform::makeAudioDevice(host, "wav:" + wholePath).object;
  auto pieces = platform::makeAudioDevice(host, "wav:" + piecesPath).object;
  ASSERT_EQ(0, whole->open({11025, 16, 1}));
  ASSERT_EQ(0, pieces->open({11025, 16, 1}));
  ASSERT_EQ(0, whole->write(sine.data(), sine.size(), 1));
  for (size_t at = 0; at < sine.size();) {
    const size_t length = std::min<size_t>(sine.size() - at, 1001);
    ASSERT_EQ(0, pieces->write(sine.data() + at, length, 2));
    at += length;
    EXPECT_EQ((at / 2) * 16000 / 11025, le32(readFile(piecesPath), 40) / 2);
  }
  const std::string file = readFile(wholePath);
  EXPECT_EQ(file, readFile(piecesPath));
  ASSERT_EQ(44u + 7717 * 16000 / 11025 * 2, file.size());
  std::vector<int16_t> samples((file.size() - 44) / 2);
  std::memcpy(samples.data(), file.data() + 44, samples.size() * 2);
  EXPECT_LT(worstSineError(samples, 1, 16000, 40), 40);
}

}  // namespace
}  // namespace kaldro::audio

// The wave player on the silent recording device, in the headless host's virtual time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "audio/wave_format.h"
#include "audio_rig.h"

namespace kaldro::audio {
namespace {

using testing::PlayerRig;
using testing::tempPath;

using testing::append;
using testing::append32;

std::vector<uint8_t> ramp(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 13);
  return bytes;
}

// A WAV file of 8-bit mono 11025 Hz whose data comes after a LIST chunk longer than the read buffer.
std::string writeSoundFile(const std::string& name, const std::vector<uint8_t>& samples, bool listFirst) {
  std::vector<uint8_t> file = buildWaveImage(samples, 11025, 8, 1);
  if (listFirst) {
    std::vector<uint8_t> list;
    append(list, "LIST");
    append32(list, 70001);
    list.resize(list.size() + 70001 + 1, 0);
    file.insert(file.begin() + 36, list.begin(), list.end());
  }
  const std::string path = tempPath(name);
  testing::writeFile(path, file);
  return path;
}

// A last 8-bit mono block is the sound as given, except that its last 32 samples glide to the
// silence value (no click where a piece stops away from the zero line): each moves towards 128 by
// its share of the way, and the very last is 128.
void expectGlidesToSilence(const std::vector<uint8_t>& given, const std::vector<uint8_t>& block) {
  ASSERT_GE(block.size(), given.size());
  const size_t glide = std::min<size_t>(32, given.size()), first = given.size() - glide;
  EXPECT_TRUE(std::equal(given.begin(), given.begin() + static_cast<long>(first), block.begin()));
  for (size_t i = 0; i < glide; ++i) {
    const int expected = 128 + (given[first + i] - 128) * static_cast<int>(glide - 1 - i) / static_cast<int>(glide);
    EXPECT_EQ(block[first + i], expected) << "sample " << first + i;
  }
  EXPECT_EQ(block[given.size() - 1], 128);
}

TEST(WavPlayerFile, PlaysDataAfterOtherChunksInPiecesAndTracesIt) {
  PlayerRig rig;
  const std::vector<uint8_t> samples = ramp(65600);
  const std::string path = writeSoundFile("voz.wav", samples, true);
  EXPECT_EQ(0, rig.player.playWaveFile(path));

  const auto& blocks = rig.recorder().blocks;
  ASSERT_EQ(2u, blocks.size());
  EXPECT_EQ(65278u, blocks[0].size());
  EXPECT_EQ(322u, blocks[1].size());
  expectGlidesToSilence(std::vector<uint8_t>(samples.begin() + 65278, samples.end()), blocks[1]);
  // The call returns when the sound has played, in virtual time.
  EXPECT_GE(rig.now(), 65600 * 1000 / 11025);
  EXPECT_FALSE(rig.player.deviceOpen());
  EXPECT_EQ("play " + path.substr(path.rfind('/') + 1) + " 11025 8 1 65600\n", rig.traceText());

  PlayerRig full;
  EXPECT_EQ(0, full.player.playWaveFile(writeSoundFile("cheio.wav", ramp(131068), false)));
  ASSERT_EQ(2u, full.recorder().blocks.size());
  EXPECT_EQ(65534u, full.recorder().blocks[0].size());
  EXPECT_EQ(65534u, full.recorder().blocks[1].size());
  // A full 8-bit block keeps its last byte.
  EXPECT_EQ(static_cast<uint8_t>(65533 * 13), full.recorder().blocks[0].back());
}

// A file with a format chunk of the given tag, bits and channels at 8000 Hz, and the data bytes.
// An extensible chunk states the tag in its sub-format, after an odd-length chunk and its pad byte.
std::string writeFormatFile(const std::string& name, uint16_t tag, int bits, int channels, int rate,
                            const std::vector<uint8_t>& data, bool extensible = false) {
  const uint32_t formatLength = extensible ? 40 : 16, noteLength = extensible ? 10 : 0;
  std::vector<uint8_t> file;
  append(file, "RIFF");
  append32(file, static_cast<uint32_t>(4 + 8 + formatLength + noteLength + 8 + data.size()));
  append(file, "WAVE");
  append(file, "fmt ");
  append32(file, formatLength);
  auto append16 = [&](int value) {
    file.push_back(static_cast<uint8_t>(value & 0xFF));
    file.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
  };
  append16(extensible ? 0xFFFE : tag);
  append16(channels);
  append32(file, static_cast<uint32_t>(rate));
  append32(file, static_cast<uint32_t>(rate * channels * bits / 8));
  append16(channels * bits / 8);
  append16(bits);
  if (extensible) {
    append16(22);    // the extension's length
    append16(bits);  // valid bits
    append32(file, 3);  // channel mask
    append16(tag);   // the sub-format's GUID begins with the tag
    file.insert(file.end(), 14, 0x11);
    append(file, "note");
    append32(file, 1);
    file.insert(file.end(), {'x', 0});
  }
  append(file, "data");
  append32(file, static_cast<uint32_t>(data.size()));
  file.insert(file.end(), data.begin(), data.end());
  const std::string path = tempPath(name);
  testing::writeFile(path, file);
  return path;
}

std::vector<uint8_t> floatBytes(std::initializer_list<float> values) {
  std::vector<uint8_t> bytes;
  for (float value : values) {
    uint8_t raw[4];
    std::memcpy(raw, &value, 4);
    bytes.insert(bytes.end(), raw, raw + 4);
  }
  return bytes;
}

// Formats the device does not take are converted to 16 bits (many channels mixed to one);
// what no device can play is refused before anything is queued.
TEST(WavPlayerFile, ConvertsWideFloatAndManyChannelSoundAndRefusesTheUnplayable) {
  struct Case {
    const char* what;
    uint16_t tag;
    int bits, channels, rate;
    std::vector<uint8_t> data;
    int result;
    std::vector<int16_t> played;  // 16-bit samples as queued; empty when nothing is
    int playedChannels;
    bool extensible = false;
  };
  const Case cases[] = {
      {"24-bit mono keeps the two high bytes", 1, 24, 1, 8000, {0x11, 0x34, 0x12, 0xFF, 0x00, 0x80}, 0,
       {0x1234, -32768}, 1},
      {"32-bit stereo", 1, 32, 2, 8000, {0, 0, 0x34, 0x12, 0, 0, 0xCC, 0xED}, 0, {0x1234, -0x1234}, 2},
      {"float stereo, clipped at full scale", 3, 32, 2, 8000, floatBytes({0.5f, -2.0f}), 0, {16383, -32767}, 2},
      {"four 16-bit channels mixed down", 1, 16, 4, 8000, {0x10, 0, 0x20, 0, 0x30, 0, 0x40, 0}, 0, {0x28}, 1},
      {"extensible float stereo", 3, 32, 2, 8000, floatBytes({0.5f, -2.0f}), 0, {16383, -32767}, 2, true},
      {"extensible 24-bit mono", 1, 24, 1, 8000, {0x11, 0x34, 0x12}, 0, {0x1234}, 1, true},
      {"extensible, rate above the limit", 1, 16, 1, 384001, {1, 2}, platform::audio_error::BadFormat, {}, 0, true},
      {"no channel", 1, 16, 0, 8000, {1, 2, 3, 4}, platform::audio_error::BadFormat, {}, 0},
      {"rate 0", 1, 16, 1, 0, {1, 2, 3, 4}, platform::audio_error::BadFormat, {}, 0},
      {"12-bit", 1, 12, 1, 8000, {1, 2, 3, 4}, platform::audio_error::BadFormat, {}, 0},
  };
  for (const Case& c : cases) {
    PlayerRig rig;
    const std::string path = writeFormatFile("formato.wav", c.tag, c.bits, c.channels, c.rate, c.data, c.extensible);
    EXPECT_EQ(rig.player.playWaveFile(path), c.result) << c.what;
    std::vector<int16_t> played;
    for (const auto& block : rig.recorder().blocks)
      for (size_t i = 0; i + 1 < block.size(); i += 2)
        played.push_back(static_cast<int16_t>(block[i] | (block[i + 1] << 8)));
    // Short blocks are padded to 256 bytes with silence.
    played.resize(std::min(played.size(), c.played.size()));
    EXPECT_EQ(played, c.played) << c.what;
    if (c.played.empty()) continue;
    ASSERT_EQ(rig.recorder().opened.size(), 1u) << c.what;
    EXPECT_EQ(rig.recorder().opened[0], (platform::AudioFormat{c.rate, 16, c.playedChannels})) << c.what;
  }
}

TEST(WavPlayerFile, RejectsWhatIsNoWaveFile) {
  PlayerRig rig;
  std::vector<uint8_t> file = buildWaveImage(ramp(100), 11025, 8, 1);
  std::memcpy(file.data() + 12, "LIST", 4);
  const std::string noFormat = tempPath("sem_fmt.wav");
  testing::writeFile(noFormat, file);
  EXPECT_EQ(-1, rig.player.playWaveFile(noFormat));
  EXPECT_EQ(-1, rig.player.playWaveFile(tempPath("nao_existe.wav")));

  // The header promises more data than the file holds: what is there plays, then -1.
  std::vector<uint8_t> truncated = buildWaveImage(ramp(1000), 11025, 8, 1);
  truncated.resize(44 + 600);
  const std::string cut = tempPath("cortado.wav");
  testing::writeFile(cut, truncated);
  EXPECT_EQ(-1, rig.player.playWaveFile(cut));
  ASSERT_EQ(1u, rig.recorder().blocks.size());
  EXPECT_EQ(600u, rig.recorder().blocks[0].size());
}

// A pipe cannot seek: the chunks are walked forward, an odd one's pad byte passed over all the same.
TEST(WavPlayerFile, PlaysFromAPipe) {
  const std::vector<uint8_t> samples = ramp(1000);
  std::vector<uint8_t> file = buildWaveImage(samples, 11025, 8, 1);
  const std::vector<uint8_t> note = {'n', 'o', 't', 'e', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  file.insert(file.begin() + 36, note.begin(), note.end());
  int ends[2];
  ASSERT_EQ(0, ::pipe(ends));
  ASSERT_EQ(static_cast<ssize_t>(file.size()), ::write(ends[1], file.data(), file.size()));
  ::close(ends[1]);
  PlayerRig rig;
  EXPECT_EQ(0, rig.player.playWaveFile("/proc/self/fd/" + std::to_string(ends[0])));
  ::close(ends[0]);
  ASSERT_EQ(1u, rig.recorder().blocks.size());
  expectGlidesToSilence(samples, rig.recorder().blocks[0]);
}

TEST(WavPlayerFile, FindsTheFileWithoutRegardToCase) {
  PlayerRig rig;
  const std::string path = writeSoundFile("_DEL.wav", ramp(300), false);
  std::string asked = path;
  asked.replace(asked.size() - 8, 8, "_del.WAV");
  EXPECT_EQ(0, rig.player.playWaveFile(asked));
  EXPECT_EQ(1u, rig.recorder().blocks.size());
}

TEST(WavPlayerBlocks, ShortEightBitBlocksArePaddedWithSilence) {
  PlayerRig rig;
  const std::vector<uint8_t> samples = ramp(100);
  EXPECT_EQ(0, rig.player.playWaveData(samples.data(), samples.size(), 11025, 8, 1));
  ASSERT_EQ(1u, rig.recorder().blocks.size());
  const std::vector<uint8_t>& block = rig.recorder().blocks[0];
  ASSERT_EQ(256u, block.size());
  expectGlidesToSilence(samples, block);
  EXPECT_TRUE(std::all_of(block.begin() + 99, block.end(), [](uint8_t b) { return b == 128; }));

  // Short 16-bit blocks are padded with their own silence, never with an older block's bytes.
  std::vector<uint8_t> loud(300, 0x7F);
  rig.player.playWaveData(loud.data(), loud.size(), 16000, 16, 1);
  std::vector<uint8_t> quiet(10, 0x11);
  rig.player.playWaveData(quiet.data(), quiet.size(), 16000, 16, 1);
  const std::vector<uint8_t>& padded = rig.recorder().blocks.back();
  ASSERT_EQ(256u, padded.size());
  EXPECT_EQ(0x11, padded[9]);
  EXPECT_TRUE(std::all_of(padded.begin() + 10, padded.end(), [](uint8_t b) { return b == 0; }));
  rig.waitForEnd();
}

TEST(WavPlayerBlocks, NeverMoreThanFourBlocksQueued) {
  PlayerRig rig;
  const std::vector<uint8_t> samples = ramp(6 * 65534);
  EXPECT_EQ(0, rig.player.playWaveData(samples.data(), samples.size(), 11025, 8, 1));
  // Two blocks had to finish before the last two found a slot.
  EXPECT_GE(rig.now(), 2 * 65534 * 1000 / 11025);
  EXPECT_EQ(4, rig.player.queuedBlocks());
  EXPECT_EQ(6u, rig.recorder().blocks.size());
  rig.waitForEnd();
  EXPECT_EQ(0, rig.player.queuedBlocks());
  EXPECT_GE(rig.now(), 6 * 65534 * 1000 / 11025);
}

TEST(WavPlayerKeys, AKeyStopsPlaybackAndStaysQueued) {
  PlayerRig rig("wait 300\ntype x\n");
  const std::string path = writeSoundFile("longo.wav", ramp(5 * 11025), false);
  EXPECT_EQ(0, rig.player.playWaveFile(path));
  EXPECT_GE(rig.now(), 300);
  EXPECT_LT(rig.now(), 400);
  EXPECT_EQ(0, rig.player.queuedBlocks());
  EXPECT_FALSE(rig.player.deviceOpen());
  EXPECT_EQ("play " + path.substr(path.rfind('/') + 1) + " 11025 8 1 55125\nstop\n", rig.traceText());
  ASSERT_EQ(1, rig.console.queuedKeyCount());
  EXPECT_EQ('x', rig.console.readKey());
}

TEST(WavPlayerKeys, AKeyAlreadyWaitingPlaysNothing) {
  PlayerRig rig("type y\n");
  rig.console.waitForMessage();  // idle: the key arrives
  ASSERT_TRUE(rig.console.keyPressed());
  EXPECT_EQ(0, rig.player.playWaveFile(writeSoundFile("nada.wav", ramp(1000), false)));
  EXPECT_TRUE(rig.recorder().blocks.empty());
  EXPECT_EQ("", rig.traceText());
  EXPECT_EQ('y', rig.console.readKey());
}

TEST(WavPlayerFormat, SameFormatQueuesBehindAndAnotherWaitsForTheEnd) {
  PlayerRig rig;
  const std::vector<uint8_t> second = ramp(11025);
  rig.player.playWaveData(second.data(), second.size(), 11025, 8, 1);
  rig.player.playWaveData(second.data(), second.size(), 11025, 8, 1);
  EXPECT_EQ(0, rig.now());
  EXPECT_EQ(1u, rig.recorder().opened.size());

  const std::vector<uint8_t> wide(3200, 0);
  rig.player.playWaveData(wide.data(), wide.size(), 16000, 16, 1);
  EXPECT_GE(rig.now(), 2000);
  ASSERT_EQ(2u, rig.recorder().opened.size());
  EXPECT_EQ((platform::AudioFormat{16000, 16, 1}), rig.recorder().opened[1]);
  rig.waitForEnd();
  EXPECT_GE(rig.now(), 2100);
}

TEST(WavPlayerSpeedups, FastRateAndDroppedPeriodsChangeTheFormat) {
  PlayerRig rig;
  rig.player.setSpeedups(true, false);
  EXPECT_EQ(0, rig.player.playWaveFile(writeSoundFile("rapido.wav", ramp(16537), false)));
  ASSERT_EQ(1u, rig.recorder().opened.size());
  EXPECT_EQ(16537, rig.recorder().opened[0].rate);
  EXPECT_GE(rig.now(), 1000);
  EXPECT_LE(rig.now(), 1002);

  // 16-bit mono with periods dropped plays as 8-bit at the same rate, about half as long.
  PlayerRig dropping;
  dropping.player.setSpeedups(false, true);
  std::vector<uint8_t> voice;
  for (int i = 0; i < 16000; ++i) {
    const int16_t sample = static_cast<int16_t>((i % 160 < 10 ? 20000 : 500) - (i % 160) * 3);
    voice.push_back(static_cast<uint8_t>(sample & 0xFF));
    voice.push_back(static_cast<uint8_t>(sample >> 8));
  }
  dropping.player.playWaveData(voice.data(), voice.size(), 16000, 16, 1);
  ASSERT_EQ(1u, dropping.recorder().opened.size());
  EXPECT_EQ((platform::AudioFormat{16000, 8, 1}), dropping.recorder().opened[0]);
  ASSERT_EQ(1u, dropping.recorder().blocks.size());
  const size_t played = dropping.recorder().blocks[0].size();
  EXPECT_GT(played, 16000u * 4 / 10);
  EXPECT_LT(played, 16000u * 6 / 10);
  // The caller's samples are left as they were.
  EXPECT_EQ(static_cast<uint8_t>(20000 >> 8), voice[1]);
  dropping.waitForEnd();
}

TEST(WavPlayerDevice, RetriesWhileBusyAndReportsOtherErrors) {
  PlayerRig rig;
  rig.recorder().busyOpens = 3;
  const std::vector<uint8_t> samples = ramp(500);
  EXPECT_EQ(0, rig.player.playWaveData(samples.data(), samples.size(), 11025, 8, 1));
  EXPECT_EQ(4, rig.recorder().openAttempts);
  EXPECT_EQ(300, rig.now());
  rig.waitForEnd();

  PlayerRig busy;
  busy.recorder().busyOpens = 1000;
  EXPECT_EQ(platform::audio_error::Allocated, busy.player.playWaveData(samples.data(), samples.size(), 11025, 8, 1));
  EXPECT_EQ(100, busy.recorder().openAttempts);
  EXPECT_TRUE(busy.recorder().blocks.empty());

  PlayerRig odd;
  EXPECT_EQ(platform::audio_error::BadFormat, odd.player.playWaveData(samples.data(), samples.size(), 0, 8, 1));
  EXPECT_EQ(platform::audio_error::BadFormat, odd.player.playWaveData(samples.data(), samples.size(), 8000, 12, 1));
  EXPECT_FALSE(odd.player.waveBusy());
}

TEST(WavPlayerDevice, AReleaseErrorIsShownAndWaitsForEnter) {
  PlayerRig rig("key Enter\n");
  rig.recorder().releaseError = platform::audio_error::InvalidHandle;
  const std::vector<uint8_t> samples = ramp(500);
  rig.player.playWaveData(samples.data(), samples.size(), 11025, 8, 1);
  rig.waitForEnd();
  EXPECT_EQ(0, rig.player.queuedBlocks());
  const std::string message = "Specified device handle is invalid.";
  for (size_t i = 0; i < message.size(); ++i)
    EXPECT_EQ(static_cast<uint8_t>(message[i]), rig.console.screenChar(static_cast<int>(i) + 1, 1));
  EXPECT_EQ(0u, rig.host.remainingSteps());
}

}  // namespace
}  // namespace kaldro::audio

// Clicks at the ends of played pieces: the built voice speaks a sentence at every speed level on a
// device that keeps each block, and the largest step at the end of every block (the last samples
// and the step into the silence after them) is measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "audio/audio_rig.h"
#include "speech/external_synth.h"
#include "speech/speech.h"

namespace kaldro::speech::testing {
namespace {

constexpr const char* kSentence =
    "O programa l\xEA o modelo linha por linha, pergunta o valor de cada campo e grava o texto pronto num arquivo.";
constexpr size_t kEndSamples = 8;

// The largest step between neighbouring samples over the last kEndSamples of each 8-bit mono block,
// the silence (128) that follows the block included.
int largestEndStep(int level) {
  const std::filesystem::path etc = std::filesystem::path(KALDRO_BIN_DIR).parent_path() / "etc" / "kaldro";
  audio::testing::PlayerRig rig;
  platform::Configuration config(platform::ConfigLocations{{etc.string()}, "/nonexistent", "/nonexistent"});
  NoExternalSynth external;
  Speech speech(rig.console, config, rig.player, external);
  EXPECT_EQ(speech.tryStartSpeech(level, ""), 0);
  speech.speakText(kSentence);
  speech.stopAndFinishSpeech();
  int largest = 0;
  for (const platform::AudioFormat& format : rig.recorder().opened) EXPECT_EQ(format.bits, 8);
  for (std::vector<uint8_t> block : rig.recorder().blocks) {
    // Short blocks are padded with silence up to 256 bytes: the padding is the silence after.
    while (block.size() > 1 && block.back() == 128 && block[block.size() - 2] == 128) block.pop_back();
    block.push_back(128);
    const size_t from = block.size() > kEndSamples + 1 ? block.size() - kEndSamples - 1 : 0;
    for (size_t j = from + 1; j < block.size(); ++j) largest = std::max(largest, std::abs(block[j] - block[j - 1]));
  }
  EXPECT_GT(rig.recorder().blocks.size(), 0u) << "level " << level;
  std::printf("level %d: %zu pieces, largest step at their ends %d (of 128)\n", level, rig.recorder().blocks.size(),
              largest);
  return largest;
}

// Pieces cut off away from the zero line ended in steps of 0.13 to 0.32 of full scale at the
// fastest levels. Every level, the default included, now ends its pieces within 5 % of full scale
// (6 of 128), the size of the ordinary sample-to-sample changes of the voice.
TEST(PieceEnds, NoSpeedLevelEndsItsPiecesWithAClick) {
  for (int level : {1, 2, 3, 4, 5}) EXPECT_LE(largestEndStep(level), 6) << "level " << level;
}

}  // namespace
}  // namespace kaldro::speech::testing

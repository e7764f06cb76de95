// Continuous tones: a looping square wave of 8-bit mono at 11025 samples per second.
#include "console/console.h"

#include <cstdint>
#include <string>

#include "platform/wave_file.h"

namespace kaldro::console {

namespace {
constexpr uint32_t kRate = platform::FamilySampleRate;
constexpr uint32_t kHeaderSize = platform::WaveHeaderBytes;
constexpr uint8_t kLow = 96;
constexpr uint8_t kHigh = 160;
constexpr uint8_t kSilence = 128;

// Below 2 Hz not one period fits in the second of sound; above the sample rate a period has no sample.
bool audibleFrequency(uint16_t frequency) { return frequency >= 2 && frequency <= kRate; }

// Fills the 44-byte header of an 8-bit mono PCM image whose samples follow it.
void writeHeader(std::vector<uint8_t>& image) {
  platform::writeWaveHeader(image.data(), static_cast<uint32_t>(image.size() - kHeaderSize), kRate, 8, 1);
}
}  // namespace

std::vector<uint8_t> buildToneSound(uint16_t frequency) {
  // Without a whole period to draw there is no square wave: the image is silence.
  if (!audibleFrequency(frequency)) {
    std::vector<uint8_t> image(kRate, kSilence);  // one second of sound, header included
    writeHeader(image);
    return image;
  }
  const int64_t period = kRate / frequency;
  const int64_t half = period / 2;
  // Cycles start while their start lies within this many samples of the data.
  const int64_t lastStart = int64_t{kRate} - period - kHeaderSize;
  // The samples are drawn in place after the header; the image is cut to its length at the end.
  std::vector<uint8_t> image(kHeaderSize + kRate, kSilence);
  uint8_t* data = image.data() + kHeaderSize;
  int64_t start = 0;
  for (int64_t cycle = 0;; ++cycle) {
    start = cycle * kRate / frequency;
    if (start > lastStart) break;
    for (int64_t i = 0; i <= half; ++i) data[start + i] = kLow;
    for (int64_t i = 0; i < period - half + 1; ++i) data[start + half + i] = kHigh;
  }
  // The loop joins at a mid-level sample so the repeat does not click.
  data[start - 1] = kSilence;
  image.resize(kHeaderSize + start);
  writeHeader(image);
  return image;
}

void Console::startTone(uint16_t frequency) {
  stopTone();
  if (!audibleFrequency(frequency)) return;
  std::vector<uint8_t> image = buildToneSound(frequency);
  host_.trace().event("tone", std::to_string(frequency));
  if (toneOutput_) toneOutput_->playLooping(image);
  tonePlaying_ = true;
}

void Console::stopTone() {
  if (!tonePlaying_) return;
  host_.trace().event("tone", "off");
  if (toneOutput_) toneOutput_->stopLooping();
  tonePlaying_ = false;
}

}  // namespace kaldro::console

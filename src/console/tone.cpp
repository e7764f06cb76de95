// Continuous tones: a looping square wave of 8-bit mono at 11025 samples per second.
#include "console/console.h"

#include <cstdint>
#include <string>

namespace kaldro::console {

namespace {
constexpr uint32_t kRate = 11025;
constexpr uint32_t kHeaderSize = 44;
constexpr uint8_t kLow = 96;
constexpr uint8_t kHigh = 160;
constexpr uint8_t kSilence = 128;

// Below 2 Hz not one period fits in the second of sound; above the sample rate a period has no sample.
bool audibleFrequency(uint16_t frequency) { return frequency >= 2 && frequency <= kRate; }

void putLittleEndian(std::vector<uint8_t>& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void putTag(std::vector<uint8_t>& out, size_t at, const char* tag) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(tag[i]);
}

// Fills the 44-byte header of an 8-bit mono PCM image whose samples follow it.
void writeHeader(std::vector<uint8_t>& image) {
  const uint32_t dataSize = static_cast<uint32_t>(image.size() - kHeaderSize);
  putTag(image, 0, "RIFF");
  putLittleEndian(image, 4, dataSize + 36, 4);
  putTag(image, 8, "WAVE");
  putTag(image, 12, "fmt ");
  putLittleEndian(image, 16, 16, 4);     // format chunk size
  putLittleEndian(image, 20, 1, 2);      // PCM
  putLittleEndian(image, 22, 1, 2);      // one channel
  putLittleEndian(image, 24, kRate, 4);  // samples per second
  putLittleEndian(image, 28, kRate, 4);  // bytes per second
  putLittleEndian(image, 32, 1, 2);      // block alignment
  putLittleEndian(image, 34, 8, 2);      // bits per sample
  putTag(image, 36, "data");
  putLittleEndian(image, 40, dataSize, 4);
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

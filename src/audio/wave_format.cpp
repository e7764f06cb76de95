// The WAV header: building it, and walking the chunks of an image in memory.
#include "audio/wave_format.h"

#include "platform/wave_header.h"

#include <algorithm>
#include <cstring>

namespace kaldro::audio {

uint32_t readLe32(const uint8_t* bytes) {
  return bytes[0] | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16) | (uint32_t{bytes[3]} << 24);
}

uint16_t readLe16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

bool sameChunkName(const uint8_t* bytes, const char* name) {
  for (int i = 0; i < 4; ++i) {
    uint8_t a = bytes[i];
    uint8_t b = static_cast<uint8_t>(name[i]);
    if (a >= 'a' && a <= 'z') a = static_cast<uint8_t>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<uint8_t>(b - 32);
    if (a != b) return false;
  }
  return true;
}

void buildWaveHeader(uint8_t* buffer, uint32_t dataLength, uint32_t rate, uint16_t bits, uint16_t channels) {
  platform::writeWaveHeader(buffer, dataLength, rate, bits, channels);
}

std::vector<uint8_t> buildWaveImage(std::span<const uint8_t> samples, uint32_t rate, uint16_t bits,
                                    uint16_t channels) {
  std::vector<uint8_t> image(WaveHeaderBytes + samples.size());
  buildWaveHeader(image.data(), static_cast<uint32_t>(samples.size()), rate, bits, channels);
  std::copy(samples.begin(), samples.end(), image.begin() + WaveHeaderBytes);
  return image;
}

WaveImageInfo parseWaveImage(std::span<const uint8_t> image) {
  WaveImageInfo info;
  const uint64_t size = image.size();
  if (size < 20 || !sameChunkName(image.data(), "RIFF") || !sameChunkName(image.data() + 12, "fmt ")) return info;
  info.formatStart = 20;
  info.formatLength = readLe32(image.data() + 16);
  if (info.formatLength < 16 || info.formatStart + 16 > size) return info;
  const uint8_t* format = image.data() + info.formatStart;
  info.channels = readLe16(format + 2);
  info.rate = static_cast<int>(readLe32(format + 4));
  info.bits = readLe16(format + 14);

  uint64_t position = info.formatStart + uint64_t{info.formatLength};
  // RIFF pads odd chunks with a zero byte; a chunk name never starts with one.
  auto skipPad = [&](uint64_t length) {
    if ((length & 1) && position < size && image[position] == 0) ++position;
  };
  skipPad(info.formatLength);
  while (position + 8 <= size) {
    const uint8_t* chunk = image.data() + position;
    const uint64_t length = readLe32(chunk + 4);
    if (sameChunkName(chunk, "data")) {
      info.dataStart = static_cast<size_t>(position + 8);
      info.dataLength = static_cast<size_t>(std::min<uint64_t>(length, size - info.dataStart));
      info.totalLength = info.dataStart + info.dataLength;
      info.ok = true;
      return info;
    }
    position += 8 + length;
    skipPad(length);
  }
  return info;
}

size_t wavePieceSize(size_t remaining) {
  constexpr size_t kSlot = 65534;
  if (remaining > kSlot && remaining < kSlot + 256) return kSlot - 256;
  return std::min(remaining, kSlot);
}

}  // namespace kaldro::audio

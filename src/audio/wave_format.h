// The 44-byte RIFF/WAVE header the system writes, and the reading of WAV images in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/wave_header.h"

namespace kaldro::audio {

inline constexpr size_t WaveHeaderBytes = platform::WaveHeaderBytes;

// Writes the header into buffer[0..43]. The block alignment stays 1, right for the 8-bit mono
// sound every caller builds.
void buildWaveHeader(uint8_t* buffer, uint32_t dataLength, uint32_t rate, uint16_t bits, uint16_t channels);
// A whole image: the header followed by the samples.
std::vector<uint8_t> buildWaveImage(std::span<const uint8_t> samples, uint32_t rate, uint16_t bits, uint16_t channels);

struct WaveImageInfo {
  bool ok = false;
  size_t dataStart = 0;     // offset of the first sample
  size_t dataLength = 0;    // bytes of samples present in the image
  size_t formatStart = 0;   // offset of the format chunk's body
  size_t formatLength = 0;  // as stated in the chunk header
  size_t totalLength = 0;   // from the image start to the end of the data
  int rate = 0;
  int bits = 0;
  int channels = 0;
};

// "RIFF" at 0 and "fmt " at 12 (any case), a format chunk of at least 16 bytes, then the chunks
// walked to the first "data". The walk stays inside the image, and a data length beyond its end
// is cut to what the image holds.
WaveImageInfo parseWaveImage(std::span<const uint8_t> image);

// Chunk names compare without regard to case.
bool sameChunkName(const uint8_t* bytes, const char* name);
uint32_t readLe32(const uint8_t* bytes);
uint16_t readLe16(const uint8_t* bytes);

// The size of the next piece read from a data chunk: never more than a slot (65534 bytes), and
// never leaving a last piece shorter than 256 bytes after a full one.
size_t wavePieceSize(size_t remaining);

}  // namespace kaldro::audio

// The WAV format, in one place: the family's sample rate, the 44-byte header every unit writes, and
// the one walk of a RIFF file's chunks, over an image in memory or an open file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <vector>

namespace kaldro::platform {

// The family's recordings, built-in voice and tones are 8-bit mono at this rate.
inline constexpr int FamilySampleRate = 11025;
inline constexpr size_t WaveHeaderBytes = 44;
// The most sound a 44-byte header can state (its first size counts 36 bytes of header too), in whole
// 16-bit samples: a file stops growing there.
inline constexpr uint64_t WaveDataLimitBytes = (0xFFFFFFFFull - 36) & ~1ull;

// Writes header[0..43] for PCM sound of dataLength bytes. The family's own sounds keep a block
// alignment of 1 (the files it reads and writes have always said so); a 16-bit file states 2.
void writeWaveHeader(uint8_t* header, uint32_t dataLength, uint32_t rate, uint16_t bits, uint16_t channels,
                     uint16_t blockAlignment = 1);
// A whole image: the header followed by the samples.
std::vector<uint8_t> buildWaveImage(std::span<const uint8_t> samples, uint32_t rate, uint16_t bits, uint16_t channels);

uint32_t readLe32(const uint8_t* bytes);
uint16_t readLe16(const uint8_t* bytes);
// Chunk names compare without regard to case.
bool sameChunkName(const uint8_t* bytes, const char* name);

// The format chunk's tags the players know; an extensible format names its own in a sub-format.
namespace wave_tag {
inline constexpr uint16_t Pcm = 1;
inline constexpr uint16_t Float = 3;
inline constexpr uint16_t Extensible = 0xFFFE;
}  // namespace wave_tag

struct WaveLayout {
  bool ok = false;          // a format chunk and a data chunk were found
  bool formatRead = false;  // rate, bits and channels hold the format chunk's values
  size_t dataStart = 0;     // offset of the first sample
  size_t dataLength = 0;    // bytes of samples present in the source
  size_t statedDataLength = 0;  // as the data chunk's header says
  size_t formatStart = 0;   // offset of the format chunk's body
  size_t formatLength = 0;  // as stated in the chunk header
  size_t totalLength = 0;   // from the start to the end of the data
  int rate = 0;
  int bits = 0;
  int channels = 0;
  // The sample format's tag; for an extensible format whose chunk holds a sub-format, that one's.
  uint16_t formatTag = 0;
};

// Reads at most length bytes at offset into `to` and answers how many it read.
using WaveSource = std::function<size_t(uint64_t offset, uint8_t* to, size_t length)>;

// "RIFF" at 0 and "fmt " at 12 (any case), a format chunk of at least 16 bytes, then the chunks
// walked to the first "data"; a zero pad byte after an odd-length chunk is passed over. The walk
// stays inside size, and a data length beyond it is cut to what is there. Without a data chunk,
// formatRead still tells whether the format was read.
WaveLayout walkWave(const WaveSource& source, uint64_t size);
WaveLayout parseWaveImage(std::span<const uint8_t> image);
// The same walk over a file open at its start, a pipe included (its size unknown, a data length
// is taken as stated). When ok, the file stands at the first sample afterwards.
WaveLayout parseWaveFile(std::FILE* file);

}  // namespace kaldro::platform

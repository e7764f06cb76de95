// The WAV format as the audio unit names it (the format itself is platform/wave_file.h), and how the
// wave player cuts a data chunk into pieces.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/wave_file.h"

namespace kaldro::audio {

using platform::buildWaveImage;
using platform::parseWaveImage;
using platform::readLe16;
using platform::readLe32;
using platform::sameChunkName;
using platform::WaveHeaderBytes;
using WaveImageInfo = platform::WaveLayout;

// The header with a block alignment of 1, right for the 8-bit mono sound every caller builds.
inline void buildWaveHeader(uint8_t* buffer, uint32_t dataLength, uint32_t rate, uint16_t bits, uint16_t channels) {
  platform::writeWaveHeader(buffer, dataLength, rate, bits, channels);
}

// The size of the next piece read from a data chunk: never more than a slot (65534 bytes), and
// never leaving a last piece shorter than 256 bytes after a full one.
size_t wavePieceSize(size_t remaining);

}  // namespace kaldro::audio

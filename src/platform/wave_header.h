// The 44-byte RIFF/WAVE header, written the same way by every unit that makes sound.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kaldro::platform {

inline constexpr size_t WaveHeaderBytes = 44;

// Writes header[0..43] for PCM sound of dataLength bytes. The family's own sounds keep a block
// alignment of 1 (the files it reads and writes have always said so); a 16-bit file states 2.
void writeWaveHeader(uint8_t* header, uint32_t dataLength, uint32_t rate, uint16_t bits, uint16_t channels,
                     uint16_t blockAlignment = 1);

}  // namespace kaldro::platform

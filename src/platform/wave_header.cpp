// The 44-byte RIFF/WAVE header, written the same way by every unit that makes sound.
#include "platform/wave_header.h"

#include <cstring>

namespace kaldro::platform {

namespace {
void putLittleEndian(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
}  // namespace

void writeWaveHeader(uint8_t* header, uint32_t dataLength, uint32_t rate, uint16_t bits, uint16_t channels,
                     uint16_t blockAlignment) {
  std::memcpy(header, "RIFF", 4);
  putLittleEndian(header + 4, dataLength + 36, 4);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  putLittleEndian(header + 16, 16, 4);  // format chunk length
  putLittleEndian(header + 20, 1, 2);   // PCM
  putLittleEndian(header + 22, channels, 2);
  putLittleEndian(header + 24, rate, 4);
  putLittleEndian(header + 28, rate * channels * (bits / 8u), 4);  // bytes per second
  putLittleEndian(header + 32, blockAlignment, 2);
  putLittleEndian(header + 34, bits, 2);
  std::memcpy(header + 36, "data", 4);
  putLittleEndian(header + 40, dataLength, 4);
}

}  // namespace kaldro::platform

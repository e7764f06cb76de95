// WAV files written byte by byte, to feed readers and to check the headers writers make.
#pragma once

#include <cstdint>
#include <string>

namespace kaldro::testing {

inline std::string le32(uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
          static_cast<char>(v >> 24)};
}

// The 44-byte header of an 8-bit mono file of dataBytes samples; extraChunk (a whole chunk) stands
// between the format chunk and the data chunk.
inline std::string waveHeader(uint32_t dataBytes, uint32_t rate = 11025, const std::string& extraChunk = "") {
  const std::string format = std::string("fmt ") + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(rate) +
                             le32(rate) + std::string("\x01\x00\x08\x00", 4);
  return "RIFF" + le32(static_cast<uint32_t>(4 + format.size() + extraChunk.size() + 8 + dataBytes)) + "WAVE" +
         format + extraChunk + "data" + le32(dataBytes);
}

// An 8-bit mono 11025 Hz file of count samples of one value.
inline std::string waveFile(size_t count, uint8_t value, const std::string& extraChunk = "") {
  return waveHeader(static_cast<uint32_t>(count), 11025, extraChunk) + std::string(count, static_cast<char>(value));
}

}  // namespace kaldro::testing

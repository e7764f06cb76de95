// The WAV format: writing the header, and walking the chunks of an image or a file.
#include "platform/wave_file.h"

#include <sys/types.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace kaldro::platform {

namespace {
void putLittleEndian(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

constexpr size_t kFormatFieldsBytes = 16;
// An extensible format chunk states its sub-format's tag at this offset.
constexpr size_t kSubFormatTagAt = 24;
constexpr size_t kExtensibleFieldsBytes = kSubFormatTagAt + 2;
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

std::vector<uint8_t> buildWaveImage(std::span<const uint8_t> samples, uint32_t rate, uint16_t bits,
                                    uint16_t channels) {
  std::vector<uint8_t> image(WaveHeaderBytes + samples.size());
  writeWaveHeader(image.data(), static_cast<uint32_t>(samples.size()), rate, bits, channels);
  std::copy(samples.begin(), samples.end(), image.begin() + WaveHeaderBytes);
  return image;
}

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

WaveLayout walkWave(const WaveSource& source, uint64_t size) {
  WaveLayout info;
  uint8_t head[20];
  if (size < sizeof head || source(0, head, sizeof head) != sizeof head || !sameChunkName(head, "RIFF") ||
      !sameChunkName(head + 12, "fmt "))
    return info;
  info.formatStart = sizeof head;
  info.formatLength = readLe32(head + 16);
  uint8_t format[kExtensibleFieldsBytes];
  const size_t fields = info.formatLength >= kExtensibleFieldsBytes ? kExtensibleFieldsBytes : kFormatFieldsBytes;
  if (info.formatLength < kFormatFieldsBytes || info.formatStart + fields > size ||
      source(info.formatStart, format, fields) != fields)
    return info;
  info.formatTag = readLe16(format);
  if (info.formatTag == wave_tag::Extensible && fields == kExtensibleFieldsBytes)
    info.formatTag = readLe16(format + kSubFormatTagAt);
  info.channels = readLe16(format + 2);
  info.rate = static_cast<int>(readLe32(format + 4));
  info.bits = readLe16(format + 14);
  info.formatRead = true;

  uint64_t position = info.formatStart + uint64_t{info.formatLength};
  // RIFF pads odd chunks with a zero byte; a chunk name never starts with one.
  auto skipPad = [&](uint64_t length) {
    uint8_t pad = 1;
    if ((length & 1) && position < size && source(position, &pad, 1) == 1 && pad == 0) ++position;
  };
  skipPad(info.formatLength);
  uint8_t chunk[8];
  while (position + sizeof chunk <= size && source(position, chunk, sizeof chunk) == sizeof chunk) {
    const uint64_t length = readLe32(chunk + 4);
    if (sameChunkName(chunk, "data")) {
      info.dataStart = static_cast<size_t>(position + sizeof chunk);
      info.statedDataLength = static_cast<size_t>(length);
      info.dataLength = static_cast<size_t>(std::min<uint64_t>(length, size - info.dataStart));
      info.totalLength = info.dataStart + info.dataLength;
      info.ok = true;
      return info;
    }
    position += sizeof chunk + length;
    skipPad(length);
  }
  return info;
}

WaveLayout parseWaveImage(std::span<const uint8_t> image) {
  return walkWave(
      [&](uint64_t offset, uint8_t* to, size_t length) {
        const size_t count = offset < image.size() ? std::min<size_t>(length, image.size() - offset) : 0;
        std::copy_n(image.data() + offset, count, to);
        return count;
      },
      image.size());
}

namespace {
// A pipe, read forward only. The walk goes back at most over the bytes of its last read (a byte
// peeked at as a pad byte that was none), so those are kept to be served again.
class ForwardReader {
 public:
  explicit ForwardReader(std::FILE* file) : file_(file) {}

  size_t read(uint64_t offset, uint8_t* to, size_t length) {
    if (offset < keptStart_) return 0;
    size_t count = 0;
    for (; count < length && offset + count < consumed_; ++count) to[count] = kept_[offset + count - keptStart_];
    if (count == length) return count;
    uint8_t skipped[4096];
    while (consumed_ < offset) {
      const size_t got = std::fread(skipped, 1, std::min<uint64_t>(sizeof skipped, offset - consumed_), file_);
      if (got == 0) return 0;
      consumed_ += got;
    }
    const size_t fresh = std::fread(to + count, 1, length - count, file_);
    consumed_ += fresh;
    count += fresh;
    kept_.assign(to, to + count);
    keptStart_ = offset;
    return count;
  }

 private:
  std::FILE* file_;
  uint64_t consumed_ = 0;
  uint64_t keptStart_ = 0;
  std::vector<uint8_t> kept_;
};
}  // namespace

WaveLayout parseWaveFile(std::FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) {
    ForwardReader reader(file);
    return walkWave([&](uint64_t offset, uint8_t* to, size_t length) { return reader.read(offset, to, length); },
                    std::numeric_limits<uint64_t>::max());
  }
  const off_t size = ftello(file);
  if (size < 0) return {};
  WaveLayout layout = walkWave(
      [&](uint64_t offset, uint8_t* to, size_t length) -> size_t {
        if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
        return std::fread(to, 1, length, file);
      },
      static_cast<uint64_t>(size));
  if (layout.ok && fseeko(file, static_cast<off_t>(layout.dataStart), SEEK_SET) != 0) layout.ok = false;
  return layout;
}

}  // namespace kaldro::platform

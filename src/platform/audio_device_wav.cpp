// The wav: device: everything played goes, converted to 16-bit mono 16000 Hz, into one WAV file.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/audio_device_convert.h"
#include "platform/audio_device_none.h"

namespace kaldro::platform {

namespace {

constexpr int kFileRate = 16000;
constexpr size_t kHeaderBytes = 44;

void putLe(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

class AudioDeviceWav : public AudioDeviceNone {
 public:
  AudioDeviceWav(Host& host, const std::string& path) : AudioDeviceNone(host) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_) writeHeader();
  }
  ~AudioDeviceWav() override {
    if (file_) std::fclose(file_);
  }

  std::string_view name() const override { return "wav"; }
  bool fileReady() const { return file_ != nullptr; }

 protected:
  int prepare(const AudioFormat& format) override {
    if (!file_) return audio_error::NoDevice;
    return converter_.configure(format, kFileRate, 1) ? audio_error::Ok : audio_error::BadFormat;
  }

  int deliver(const uint8_t* bytes, size_t length) override {
    if (!converter_.convert(bytes, length, samples_)) return audio_error::Failed;
    const size_t byteCount = samples_.size() * 2;
    // The RIFF sizes are 32-bit: sound beyond 4 GB is timed but no longer written.
    if (dataBytes_ + byteCount > std::numeric_limits<uint32_t>::max() - kHeaderBytes) return audio_error::Ok;
    std::vector<uint8_t> little(byteCount);
    for (size_t i = 0; i < samples_.size(); ++i) putLe(&little[2 * i], static_cast<uint16_t>(samples_[i]), 2);
    std::fseek(file_, static_cast<long>(kHeaderBytes + dataBytes_), SEEK_SET);
    if (std::fwrite(little.data(), 1, little.size(), file_) != little.size()) return audio_error::Failed;
    dataBytes_ += byteCount;
    // The sizes are rewritten after every block so that a killed process leaves a readable file.
    writeHeader();
    return audio_error::Ok;
  }

  // What a reset cut off was never heard: it leaves the file too.
  void forget(int64_t unplayedMicros) override {
    converter_.discardPending();
    const auto unplayedBytes = static_cast<size_t>(unplayedMicros * kFileRate / 1000000) * 2;
    if (unplayedBytes == 0 || !file_) return;
    dataBytes_ -= std::min(dataBytes_, unplayedBytes);
    std::fflush(file_);
    if (ftruncate(fileno(file_), static_cast<off_t>(kHeaderBytes + dataBytes_)) != 0) return;
    writeHeader();
  }

 private:
  void writeHeader() {
    uint8_t header[kHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    putLe(header + 4, static_cast<uint32_t>(dataBytes_ + 36), 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putLe(header + 16, 16, 4);
    putLe(header + 20, 1, 2);  // PCM
    putLe(header + 22, 1, 2);  // mono
    putLe(header + 24, kFileRate, 4);
    putLe(header + 28, kFileRate * 2, 4);
    putLe(header + 32, 2, 2);
    putLe(header + 34, 16, 2);
    std::memcpy(header + 36, "data", 4);
    putLe(header + 40, static_cast<uint32_t>(dataBytes_), 4);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(header, 1, kHeaderBytes, file_);
    std::fflush(file_);
  }

  std::FILE* file_ = nullptr;
  size_t dataBytes_ = 0;
  SampleConverter converter_;
  std::vector<int16_t> samples_;
};

}  // namespace

std::unique_ptr<AudioDevice> makeAudioDeviceWav(Host& host, const std::string& path, std::string* error) {
  auto device = std::make_unique<AudioDeviceWav>(host, path);
  if (!device->fileReady() && error) *error = "cannot create " + path;
  return device;
}

}  // namespace kaldro::platform

// The wav: device: everything played goes, converted to 16-bit mono 16000 Hz, into one WAV file.
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "platform/audio/audio_device_convert.h"
#include "platform/audio/audio_device_none.h"
#include "platform/ending_signals.h"
#include "platform/text.h"
#include "platform/wave_file.h"
#include "platform/words.h"

namespace kaldro::platform {

namespace {

constexpr int kFileRate = 16000;
constexpr size_t kHeaderBytes = WaveHeaderBytes;

// Writes the parts one after another from offset on (a pipe: in order), in one call when the
// system takes them all. A reader that stopped reading blocks the write: an ending signal
// interrupts it and is obeyed.
bool writeAt(int fd, std::span<iovec> parts, size_t offset, bool seekable = true) {
  while (!parts.empty()) {
    if (parts.front().iov_len == 0) {
      parts = parts.subspan(1);
      continue;
    }
    if (endingSignalPending()) {
      errno = EINTR;
      return false;
    }
    const int count = static_cast<int>(parts.size());
    const ssize_t written = seekable ? ::pwritev(fd, parts.data(), count, static_cast<off_t>(offset))
                                     : ::writev(fd, parts.data(), count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = ENOSPC;
      return false;
    }
    offset += static_cast<size_t>(written);
    auto left = static_cast<size_t>(written);
    while (left > 0 && left >= parts.front().iov_len) {
      left -= parts.front().iov_len;
      parts = parts.subspan(1);
    }
    if (left > 0) {
      parts.front().iov_base = static_cast<uint8_t*>(parts.front().iov_base) + left;
      parts.front().iov_len -= left;
    }
  }
  return true;
}

// The file always holds the stream converted so far, exactly floor(frames * 16000 / rate) samples:
// the samples a block settles, then its tail (the last few, computed as if the sound ended there),
// which the next block writes over with their final values. A pipe or FIFO cannot be written over:
// it gets a header of unknown length, as streamed WAV has, the settled samples in order, and each
// tail only when a pause or the end settles it.
class AudioDeviceWav : public AudioDeviceNone {
 public:
  AudioDeviceWav(Host& host, const std::string& path) : AudioDeviceNone(host), path_(path) {
    // An old file is cut to the header rather than emptied: ext4 writes a file emptied this way
    // to disk as it is closed, and the next run's truncation waits for that (milliseconds).
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    seekable_ = ::lseek(fd_, 0, SEEK_CUR) != -1;
    if (!writeHeader() || (seekable_ && ::ftruncate(fd_, kHeaderBytes) != 0 && errno != EINVAL)) {  // EINVAL: not a regular file
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~AudioDeviceWav() override {
    if (fd_ < 0) return;
    if (failure_.empty()) writePendingTail();
    ::close(fd_);
  }

  std::string_view name() const override { return "wav"; }
  void close() override {
    if (fd_ >= 0 && failure_.empty()) writePendingTail();
    AudioDeviceNone::close();
  }
  std::string failure() const override { return failure_; }
  bool fileReady() const { return fd_ >= 0; }

 protected:
  int prepare(const AudioFormat& format) override {
    if (fd_ < 0) return audio_error::NoDevice;
    // A new stream: what the last one left in the file stays as it is.
    if (!writePendingTail()) return audio_error::Failed;
    settledBytes_ = dataBytes_;
    return resampler_.configure(format, kFileRate, 1) ? audio_error::Ok : audio_error::BadFormat;
  }

  int deliver(const uint8_t* bytes, size_t length) override {
    if (!failure_.empty()) return audio_error::Failed;
    resampler_.convert(bytes, length, settled_);
    resampler_.tail(tail_);
    const size_t settledCount = settled_.size() * 2, tailCount = tail_.size() * 2;
    // The RIFF sizes are 32-bit: the file stops at the format's limit, and says so.
    if (settledBytes_ + settledCount + tailCount > WaveDataLimitBytes) return fail(0);
    iovec parts[2] = {{littleEndian(settled_), settledCount}, {littleEndian(tail_), seekable_ ? tailCount : 0}};
    if (!writeAt(fd_, parts, kHeaderBytes + settledBytes_, seekable_)) return fail(errno);
    tailPending_ = !seekable_ && tailCount > 0;
    settledBytes_ += settledCount;
    dataBytes_ = settledBytes_ + tailCount;
    // The sizes are rewritten after every block so that a killed process leaves a readable file.
    writeHeader();
    return audio_error::Ok;
  }

  // The time nothing played passes in the file too, as silence after what is there.
  void silence(int64_t micros) override {
    if (fd_ < 0 || !failure_.empty()) return;
    const auto samples = static_cast<size_t>(micros * kFileRate / 1000000);
    if (samples == 0) return;
    if (dataBytes_ + samples * 2 > WaveDataLimitBytes) {
      fail(0);
      return;
    }
    // The sound before the pause ends where its tail ends; the next one starts afresh.
    if (!writePendingTail()) return;
    resampler_.restart();
    settled_.assign(samples, 0);
    iovec zeros = {settled_.data(), samples * 2};
    if (!writeAt(fd_, {&zeros, 1}, kHeaderBytes + dataBytes_, seekable_)) {
      fail(errno);
      return;
    }
    dataBytes_ += samples * 2;
    settledBytes_ = dataBytes_;
    writeHeader();
  }

  // What a reset cut off was never heard: it leaves the file too.
  void forget(int64_t unplayedMicros) override {
    resampler_.restart();
    tailPending_ = false;
    if (!seekable_) {  // what a pipe got stays there
      dataBytes_ = settledBytes_;
      return;
    }
    const auto unplayedBytes = static_cast<size_t>(unplayedMicros * kFileRate / 1000000) * 2;
    if (unplayedBytes > 0 && fd_ >= 0) {
      dataBytes_ -= std::min(dataBytes_, unplayedBytes);
      if (::ftruncate(fd_, static_cast<off_t>(kHeaderBytes + dataBytes_)) == 0) writeHeader();
    }
    settledBytes_ = dataBytes_;
  }

 private:
  static void* littleEndian(Samples& samples) {
    if constexpr (std::endian::native != std::endian::little)
      for (int16_t& sample : samples) {
        const auto value = static_cast<uint16_t>(sample);
        sample = static_cast<int16_t>(static_cast<uint16_t>((value >> 8) | (value << 8)));
      }
    return samples.data();
  }

  // A stream's tail, written once a pause or the end settles it.
  bool writePendingTail() {
    if (!tailPending_) return true;
    tailPending_ = false;
    iovec part = {tail_.data(), (dataBytes_ - settledBytes_)};
    if (!writeAt(fd_, {&part, 1}, 0, false)) {
      fail(errno);
      return false;
    }
    settledBytes_ = dataBytes_;
    return true;
  }

  // A stream's header is written once, saying the most the format holds.
  bool writeHeader() {
    if (!seekable_ && dataBytes_ > 0) return true;
    uint8_t header[kHeaderBytes];
    writeWaveHeader(header, static_cast<uint32_t>(seekable_ ? dataBytes_ : WaveDataLimitBytes), kFileRate, 16, 1, 2);
    iovec whole = {header, kHeaderBytes};
    return writeAt(fd_, {&whole, 1}, 0, seekable_);
  }

  // What a failed write left stays out of the header: the file keeps the whole blocks before it.
  // error 0: the format's limit.
  int fail(int error) {
    const std::string name = utf8ToCp1252(path_);
    failure_ = error == 0 ? words::WaveFormatLimit.with({name})
                          : words::WaveWriteFailed.with({name, std::strerror(error)});
    if (seekable_ && ::ftruncate(fd_, static_cast<off_t>(kHeaderBytes + dataBytes_)) == 0) writeHeader();
    return audio_error::Failed;
  }

  std::string path_;
  std::string failure_;
  int fd_ = -1;
  bool seekable_ = true;
  bool tailPending_ = false;  // a stream's tail not yet written
  size_t dataBytes_ = 0;     // what the file holds after its header
  size_t settledBytes_ = 0;  // the part of it that no later block changes
  StreamResampler resampler_;
  Samples settled_;
  Samples tail_;
};

}  // namespace

Made<AudioDevice> makeAudioDeviceWav(Host& host, const std::string& path) {
  auto device = std::make_unique<AudioDeviceWav>(host, path);
  Status status;
  if (!device->fileReady())
    status = Status::failure(StatusCode::CannotCreate, utf8ToCp1252(words::AudioFileNotCreated.utf8({path})));
  return {std::move(device), std::move(status)};
}

}  // namespace kaldro::platform

// The WAV file sink: samples appended with pwrite, the header's sizes kept current after each block.
#include "platform/wave_file_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ending_signals.h"
#include "platform/text.h"
#include "platform/wave_file.h"
#include "platform/words.h"

namespace kaldro::platform {

WaveFileSink::WaveFileSink(const std::string& path, int rate, uint64_t limitBytes)
    : path_(path), rate_(rate), limitBytes_(std::min(limitBytes, FormatLimitBytes) & ~uint64_t{1}) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    status_ = Status::failure(StatusCode::CannotCreate,
                              words::WaveCannotBeCreated.with({utf8ToCp1252(path_), std::strerror(errno)}));
    return;
  }
  seekable_ = ::lseek(fd_, 0, SEEK_CUR) != -1;
  writeHeader();
  if (!status_.ok()) {
    const int headerError = errno;
    ::close(fd_);
    fd_ = -1;
    status_ = Status::failure(StatusCode::CannotCreate,
                              words::WaveCannotBeCreated.with({utf8ToCp1252(path_), std::strerror(headerError)}));
  }
}

WaveFileSink::~WaveFileSink() { close(); }

void WaveFileSink::fail(Status status) {
  if (status_.ok()) status_ = std::move(status);
}

bool WaveFileSink::writeAll(const uint8_t* bytes, size_t length, uint64_t offset, size_t& written) {
  written = 0;
  while (written < length) {
    // A reader that stopped reading blocks the write: an ending signal interrupts it and is obeyed.
    if (endingSignalPending()) {
      errno = EINTR;
      return false;
    }
    const ssize_t done = seekable_ ? ::pwrite(fd_, bytes + written, length - written, static_cast<off_t>(offset + written))
                                   : ::write(fd_, bytes + written, length - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = ENOSPC;
      return false;
    }
    written += static_cast<size_t>(done);
  }
  return true;
}

// A stream cannot be rewound: its header states the most the format holds, as streamed WAV does.
void WaveFileSink::writeHeader() {
  uint8_t header[WaveHeaderBytes];
  writeWaveHeader(header, static_cast<uint32_t>(seekable_ ? dataBytes_ : FormatLimitBytes), static_cast<uint32_t>(rate_),
                  16, 1, 2);
  size_t written = 0;
  if (seekable_ || dataBytes_ == 0) {
    if (!writeAll(header, sizeof header, 0, written))
      fail(Status::failure(StatusCode::WriteFailed, words::WaveWriteFailed.with({utf8ToCp1252(path_), std::strerror(errno)})));
  }
}

bool WaveFileSink::takeSamples(std::span<const int16_t> samples) {
  if (fd_ < 0 || !status_.ok()) return false;
  uint64_t bytes = samples.size_bytes();
  const bool overLimit = dataBytes_ + bytes > limitBytes_;
  if (overLimit) bytes = limitBytes_ - dataBytes_;
  size_t written = 0;
  const bool whole = writeAll(reinterpret_cast<const uint8_t*>(samples.data()), static_cast<size_t>(bytes),
                              WaveHeaderBytes + dataBytes_, written);
  const int writeError = errno;
  dataBytes_ += written;
  if (dataBytes_ % 2 != 0) {
    // Half a sample went out: the file keeps whole samples only.
    --dataBytes_;
    if (seekable_ && ::ftruncate(fd_, static_cast<off_t>(WaveHeaderBytes + dataBytes_)) != 0) {
      // The header still counts whole samples only; the stray byte lies past them.
    }
  }
  if (!whole)
    fail(Status::failure(StatusCode::WriteFailed, words::WaveWriteFailed.with({utf8ToCp1252(path_), std::strerror(writeError)})));
  else if (overLimit)
    fail(Status::failure(StatusCode::FormatLimit, words::WaveFormatLimit.with({utf8ToCp1252(path_)})));
  if (written > 0 && seekable_) writeHeader();
  return status_.ok();
}

Status WaveFileSink::close() {
  if (fd_ >= 0) {
    if (::close(fd_) != 0)
      fail(Status::failure(StatusCode::WriteFailed, words::WaveWriteFailed.with({utf8ToCp1252(path_), std::strerror(errno)})));
    fd_ = -1;
  }
  return status_;
}

}  // namespace kaldro::platform

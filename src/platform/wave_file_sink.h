// A WAV file as a sound sink: 16-bit mono, its header rewritten after every block so that a process
// killed mid-way leaves a file whose header tells what it holds.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/sound_sink.h"
#include "platform/status.h"
#include "platform/wave_file.h"

namespace kaldro::platform {

class WaveFileSink final : public SoundSink {
 public:
  static constexpr uint64_t FormatLimitBytes = WaveDataLimitBytes;

  // Creates path (an old file is emptied) with a header that says no data yet; status() tells
  // whether that worked. limitBytes: where the file stops growing (tests give a small one).
  WaveFileSink(const std::string& path, int rate, uint64_t limitBytes = FormatLimitBytes);
  ~WaveFileSink() override;
  WaveFileSink(const WaveFileSink&) = delete;
  WaveFileSink& operator=(const WaveFileSink&) = delete;

  // Writes whole samples at the end, then the header's sizes. After the first failure (the limit
  // reached, a write refused) nothing more is written and the answer is false.
  bool takeSamples(std::span<const int16_t> samples) override;
  // Closes the file; the status of everything written.
  Status close();

  // The first failure, or done.
  const Status& status() const { return status_; }
  uint64_t dataBytes() const { return dataBytes_; }

 private:
  bool writeAll(const uint8_t* bytes, size_t length, uint64_t offset, size_t& written);
  void writeHeader();
  void fail(Status status);

  std::string path_;
  int fd_ = -1;
  int rate_ = 0;
  uint64_t limitBytes_ = FormatLimitBytes;
  bool seekable_ = true;  // a pipe gets the samples in order and a header that cannot say their number
  uint64_t dataBytes_ = 0;
  Status status_;
};

}  // namespace kaldro::platform

// The silent device: nothing is heard, but every block takes as long as it would to play.
#pragma once

#include "platform/audio/audio_device.h"

namespace kaldro::platform {

// Blocks finish one after another, each after its own duration, reported through host.postAt:
// in virtual time on the headless host, in real time elsewhere. Subclasses that record the sound
// override deliver and forget.
class AudioDeviceNone : public AudioDevice {
 public:
  explicit AudioDeviceNone(Host& host) : host_(host) {}

  std::string_view name() const override { return "none"; }
  int open(const AudioFormat& format) override;
  bool isOpen() const override { return open_; }
  int write(const uint8_t* bytes, size_t length, uint64_t cookie) override;
  void reset() override;
  void close() override;

  const AudioFormat& format() const { return format_; }

 protected:
  // Called by open before it succeeds; an error code keeps the device closed.
  virtual int prepare(const AudioFormat& format) { return audio_error::Ok; }
  // The block's sound, in the open format; an error code drops the block.
  virtual int deliver(const uint8_t* bytes, size_t length) { return audio_error::Ok; }
  // Queued sound was dropped; the last unplayedMicros of what was delivered were never heard.
  virtual void forget(int64_t unplayedMicros) {}
  // Nothing played for this long since the last sound ended (a pause, a wait): called before the
  // next block is delivered, so that a device recording the sound can keep its timing.
  virtual void silence(int64_t micros) {}

 private:
  Host& host_;
  AudioFormat format_;
  bool open_ = false;
  // When the last queued block ends, in microseconds of the host's monotonic clock.
  int64_t queueEndMicros_ = 0;
  // When the last sound heard ended (a reset ends it early), across closes; -1 before any sound.
  int64_t heardUntilMicros_ = -1;
};

}  // namespace kaldro::platform

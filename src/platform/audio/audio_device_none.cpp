// The silent device, keeping each block's playing time on the host's clock.
#include "platform/audio/audio_device_none.h"

#include <algorithm>

namespace kaldro::platform {

int AudioDeviceNone::open(const AudioFormat& format) {
  if (open_) return audio_error::Ok;
  if (!format.playable()) return audio_error::BadFormat;
  if (int error = prepare(format); error != audio_error::Ok) return error;
  format_ = format;
  open_ = true;
  return audio_error::Ok;
}

int AudioDeviceNone::write(const uint8_t* bytes, size_t length, uint64_t cookie) {
  if (!open_) return audio_error::InvalidHandle;
  const int64_t nowMicros = host_.monotonicMs() * 1000;
  // Done events come on whole milliseconds: a gap shorter than one is only that rounding.
  if (heardUntilMicros_ >= 0 && nowMicros - heardUntilMicros_ >= 1000) silence(nowMicros - heardUntilMicros_);
  if (int error = deliver(bytes, length); error != audio_error::Ok) return error;
  // A partial sample still takes its share of time; the stream's total stays exact.
  const double bytesPerSecond = static_cast<double>(format_.rate) * format_.bytesPerFrame();
  const auto durationMicros = static_cast<int64_t>(static_cast<double>(length) * 1e6 / bytesPerSecond + 0.5);
  queueEndMicros_ = std::max(queueEndMicros_, nowMicros) + durationMicros;
  heardUntilMicros_ = queueEndMicros_;
  HostEvent done;
  done.kind = EventKind::WaveDone;
  done.cookie = cookie;
  host_.postAt((queueEndMicros_ + 999) / 1000, done);
  return audio_error::Ok;
}

void AudioDeviceNone::reset() {
  const int64_t nowMs = host_.monotonicMs();
  // The host's timed events are the device's own; nothing to cancel once the last block is due.
  if ((queueEndMicros_ + 999) / 1000 >= nowMs) host_.cancelTimedEvents();
  forget(std::max<int64_t>(0, queueEndMicros_ - nowMs * 1000));
  if (heardUntilMicros_ > nowMs * 1000) heardUntilMicros_ = nowMs * 1000;
  queueEndMicros_ = 0;
}

void AudioDeviceNone::close() {
  if (!open_) return;
  reset();
  open_ = false;
}

}  // namespace kaldro::platform

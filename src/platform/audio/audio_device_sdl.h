// The sound card through SDL2: one device at a fixed format, every sound converted to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/audio_device.h"
#include "platform/audio/audio_device_convert.h"

namespace kaldro::platform {

class SdlAudioLibrary;

// The SDL device opens once (lazily) and stays open: "open with a format" only chooses the
// conversion. SDL's callback thread mixes the queued blocks and the looping tone and reports
// each finished block through host.postFromAnyThread; everything it shares is under mutex_.
class AudioDeviceSdl : public AudioDevice {
 public:
  static constexpr int DeviceRate = 48000;
  static constexpr int DeviceBufferFrames = 256;

  explicit AudioDeviceSdl(Host& host);
  ~AudioDeviceSdl() override;

  std::string_view name() const override { return "device"; }
  int open(const AudioFormat& format) override;
  bool isOpen() const override { return open_; }
  int write(const uint8_t* bytes, size_t length, uint64_t cookie) override;
  int release(uint64_t cookie) override;
  void reset() override;
  void close() override;
  void playLoop(const AudioFormat& format, const uint8_t* bytes, size_t length) override;
  void stopLoop() override;

  // Measurements (steady clock, nanoseconds; 0 before the first): when the callback handed out
  // the first sample of a block, and when it first gave silence after handing out block samples.
  int64_t lastBlockStartNs() const { return lastBlockStartNs_.load(); }
  int64_t lastSilenceStartNs() const { return lastSilenceStartNs_.load(); }

  // Called by SDL's thread.
  void mix(int16_t* out, int samples);

 private:
  // A block is queued in parts so that its first part plays while the rest is converted.
  struct Block {
    Samples samples;
    size_t position = 0;
    uint64_t cookie = 0;
    bool lastPart = true;  // the block is reported done when its last part has been handed out
  };

  int ensureDevice();

  Host& host_;
  std::unique_ptr<SdlAudioLibrary> sdl_;
  bool subsystemReady_ = false;
  uint32_t deviceId_ = 0;
  int deviceRate_ = DeviceRate;
  int deviceChannels_ = 2;
  int64_t lastOpenFailureMs_ = -1;
  bool open_ = false;
  StreamResampler resampler_;
  Samples converted_;

  std::mutex mutex_;
  std::deque<Block> queue_;     // under mutex_
  std::vector<Samples> spent_;  // under mutex_: freed on the program's thread
  Samples loop_;                // under mutex_
  size_t loopPosition_ = 0;     // under mutex_
  bool soundLastTime_ = false;  // SDL's thread only
  std::atomic<int64_t> lastBlockStartNs_{0};
  std::atomic<int64_t> lastSilenceStartNs_{0};
};

}  // namespace kaldro::platform

// Continuous tones on the same sound device as speech, mixed with it.
#pragma once

#include "console/console.h"
#include "platform/audio/audio_device.h"

namespace kaldro::audio {

// Attached with console.setToneOutput; on devices that cannot mix, tones are silent.
class DeviceToneOutput : public console::ToneOutput {
 public:
  explicit DeviceToneOutput(platform::AudioDevice& device) : device_(device) {}
  void playLooping(const std::vector<uint8_t>& waveImage) override;
  void stopLooping() override;

 private:
  platform::AudioDevice& device_;
};

}  // namespace kaldro::audio

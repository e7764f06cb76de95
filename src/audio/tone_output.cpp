// The console's looping tone handed to the sound device.
#include "audio/tone_output.h"

#include "audio/wave_format.h"

namespace kaldro::audio {

void DeviceToneOutput::playLooping(const std::vector<uint8_t>& waveImage) {
  const WaveImageInfo info = parseWaveImage(waveImage);
  if (!info.ok || info.dataLength == 0) {
    device_.stopLoop();
    return;
  }
  device_.playLoop({info.rate, info.bits, info.channels}, waveImage.data() + info.dataStart, info.dataLength);
}

void DeviceToneOutput::stopLooping() { device_.stopLoop(); }

}  // namespace kaldro::audio

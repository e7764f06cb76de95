// WAV files: the image parse, the file reader of the player with the wav: device converting what
// it plays, the resampler at the rates of both devices, and the period dropper.
#include <filesystem>

#include "program/program_runtime.h"
#include "audio/period_dropper.h"
#include "audio/wave_format.h"
#include "platform/audio/audio_device_convert.h"
#include "platform/host/host_headless.h"
#include "targets.h"

namespace kaldro::fuzz {

namespace {
void resample(const audio::WaveImageInfo& info, std::span<const uint8_t> data, int toRate, int toChannels) {
  platform::StreamResampler resampler;
  if (!resampler.configure({info.rate, info.bits, info.channels}, toRate, toChannels)) return;
  platform::Samples out;
  // In three uneven blocks, so that samples split across blocks are met too.
  const size_t first = data.size() / 3 + 1, second = data.size() / 2;
  size_t pos = 0;
  for (size_t block : {first, second, data.size()}) {
    block = std::min(block, data.size() - pos);
    resampler.convert(data.data() + pos, block, out);
    pos += block;
  }
  resampler.tail(out);
  if (data.size() <= 4096) resampler.convertLoop(data.data(), data.size(), out);
}
}  // namespace

void fuzzWave(std::span<const uint8_t> input) {
  const audio::WaveImageInfo info = audio::parseWaveImage(input);
  if (info.ok) {
    const std::span<const uint8_t> data = input.subspan(info.dataStart, info.dataLength);
    resample(info, data, 16000, 1);
    resample(info, data, 48000, 2);
    if (info.channels == 1 && (info.bits == 8 || info.bits == 16) && info.rate > 0) {
      std::vector<uint8_t> piece(data.begin(), data.begin() + std::min<size_t>(data.size(), 65534));
      (void)audio::dropPitchPeriods(piece.data(), piece.size(), info.bits, info.rate);
    }
  }

  static const std::string folder = makeScratchSubfolder("wave");
  const std::string path = folder + "/som.wav";
  writeScratchFile(path, std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  app::runProgram(
      quietRunOptions(), [](platform::Trace& trace) {
        return std::make_unique<platform::HostHeadless>(trace, std::vector<platform::ScriptStep>{});
      },
      "wav:" + folder + "/saida.wav",
      [&](app::ProgramRuntime& runtime) {
        runtime.wavPlayer().playWaveFile(path);
        runtime.wavPlayer().playWaveImage(input);
      });
}

}  // namespace kaldro::fuzz

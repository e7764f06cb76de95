// The wave player: cutting sound into blocks, the ring of slots, and stopping on a key.
#include "audio/wav_player.h"


#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "audio/period_dropper.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::audio {

// A file format the device cannot take but that costs little to play: 24- and 32-bit integer
// samples, 32- and 64-bit floating-point samples, more than two channels. Such sound is turned,
// piece by piece and in place, into 16-bit samples; more than two channels are mixed down to one.
struct FileSampleFormat {
  int bits = 0;
  int channels = 0;
  bool isFloat = false;

  bool direct() const { return !isFloat && (bits == 8 || bits == 16) && channels <= 2; }
  bool convertible() const {
    return channels >= 1 && (isFloat ? bits == 32 || bits == 64 : bits == 8 || bits == 16 || bits == 24 || bits == 32);
  }
  size_t frameBytes() const { return static_cast<size_t>(bits / 8) * static_cast<size_t>(channels); }
  int playedChannels() const { return channels == 2 ? 2 : 1; }
};

namespace {

constexpr int kOpenAttempts = 100;
constexpr uint16_t kOpenRetryPauseMs = 100;
constexpr int kFullRingWaits = 40;
constexpr uint16_t kFullRingPauseMs = 50;
constexpr uint16_t kFreeSlotPauseMs = 10;
constexpr size_t kShortestBlock = 256;
// About 3 ms at 11025 samples per second: too short to hear as a fade, long enough to be no click.
constexpr size_t kEndGlideSamples = 32;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The exact name first, then the same name in its folder without regard to case: recordings
// made elsewhere do not keep the case their names are asked for in.
File openSoundFile(const std::string& name) {
  if (std::FILE* file = std::fopen(name.c_str(), "rb")) return File(file);
  const size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
  const auto found = platform::findFileIgnoringCase(folder, name.substr(slash + 1));
  return File(found ? std::fopen(found->c_str(), "rb") : nullptr);
}

// The file's own name, without folders, in the console's character set.
std::string traceName(const std::string& name) {
  const size_t slash = name.rfind('/');
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  if (platform::looksLikeUtf8(base)) base = platform::utf8ToCp1252(base);
  return base;
}

uint8_t silenceByte(int bits) { return bits == 8 ? 128 : 0; }

// One sample as a 16-bit value.
int sample16(const uint8_t* bytes, const FileSampleFormat& format) {
  if (format.isFloat) {
    double value;
    if (format.bits == 32) {
      float single;
      std::memcpy(&single, bytes, sizeof single);
      value = single;
    } else {
      std::memcpy(&value, bytes, sizeof value);
    }
    if (!(value == value)) return 0;  // NaN
    return static_cast<int>(std::clamp(value, -1.0, 1.0) * 32767.0);
  }
  switch (format.bits) {
    case 8: return (bytes[0] - 128) * 256;
    case 16: return static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
    default: {  // 24 and 32 bits: the two most significant bytes
      const size_t high = static_cast<size_t>(format.bits / 8) - 2;
      return static_cast<int16_t>(bytes[high] | (bytes[high + 1] << 8));
    }
  }
}

// Converts whole frames in place (the result is never longer than the source); returns its length.
size_t convertFrames(uint8_t* bytes, size_t length, const FileSampleFormat& format) {
  const size_t frameBytes = format.frameBytes(), sampleBytes = static_cast<size_t>(format.bits / 8);
  const size_t frames = length / frameBytes;
  uint8_t* out = bytes;
  for (size_t frame = 0; frame < frames; ++frame) {
    const uint8_t* in = bytes + frame * frameBytes;
    int values[2];
    if (format.channels == 2) {
      values[0] = sample16(in, format);
      values[1] = sample16(in + sampleBytes, format);
    } else {
      int64_t sum = 0;
      for (int channel = 0; channel < format.channels; ++channel) sum += sample16(in + channel * sampleBytes, format);
      values[0] = static_cast<int>(sum / format.channels);
    }
    for (int channel = 0; channel < format.playedChannels(); ++channel) {
      const auto value = static_cast<uint16_t>(values[channel]);
      *out++ = static_cast<uint8_t>(value & 0xFF);
      *out++ = static_cast<uint8_t>(value >> 8);
    }
  }
  return static_cast<size_t>(out - bytes);
}

}  // namespace

std::string_view releaseErrorText(int code) {
  switch (code) {
    case platform::audio_error::InvalidHandle: return platform::words::DeviceHandleInvalid;
    case platform::audio_error::NoDriver: return platform::words::DeviceDriverMissing;
    case platform::audio_error::NoMemory: return platform::words::DeviceMemoryLacking;
    case platform::audio_error::StillPlaying: return platform::words::DeviceBlockStillQueued;
    default: return {};
  }
}

WavPlayer::WavPlayer(console::Console& console, platform::AudioDevice& device)
    : console_(console), device_(device), readBuffer_(SlotBytes), dropBuffer_(SlotBytes) {
  for (auto& slot : slots_) slot.assign(SlotBytes, 128);
}

WavPlayer::~WavPlayer() {
  if (deviceOpen_) {
    device_.close();
    deviceOpen_ = false;
  }
  console_.enableWaveDoneHandler(false);
  console_.setWaveDoneHandler({});
}

void WavPlayer::tracePlay(std::string_view name, int rate, int bits, int channels, size_t bytes) {
  std::string line = "play ";
  line += name;
  line += ' ' + std::to_string(rate) + ' ' + std::to_string(bits) + ' ' + std::to_string(channels) + ' ' +
          std::to_string(bytes);
  console_.host().trace().line(line);
}

int WavPlayer::openWaveDevice() {
  if (deviceOpen_) return platform::audio_error::Ok;
  console_.setWaveDoneHandler([this](uint64_t cookie) { onWaveDone(cookie); });
  console_.enableWaveDoneHandler(true);
  const platform::AudioFormat format{currentRate_, currentBits_, currentChannels_};
  // A device another program holds is tried again after each pause, kOpenAttempts times in all.
  int result = platform::audio_error::Allocated;
  int attempts = 0;
  console_.waitWhile(console::WaitSteps::pauses(kOpenRetryPauseMs), [&] {
    result = device_.open(format);
    return result == platform::audio_error::Allocated && ++attempts < kOpenAttempts;
  });
  deviceOpen_ = result == platform::audio_error::Ok;
  return result;
}

int WavPlayer::useWaveFormat(int rate, int bits, int channels) {
  if (rate != currentRate_ || bits != currentBits_ || channels != currentChannels_) {
    // The device plays one format at a time: what is queued plays out first.
    waitWaveEnd();
    currentRate_ = rate;
    currentBits_ = bits;
    currentChannels_ = channels;
  }
  return openWaveDevice();
}

bool WavPlayer::submitWaveBlock(const uint8_t* data, size_t n) {
  n = std::min(n, SlotBytes);
  if (n == 0) return false;
  console_.waitWhile(console::WaitSteps::pauses(kFullRingPauseMs, kFullRingWaits * kFullRingPauseMs), [&] {
    if (queued_ < slotCount_) return false;
    console_.pumpAllMessages();  // finished blocks are taken before each pause as well as after it
    return true;
  });
  if (queued_ >= slotCount_) return false;
  ++queued_;
  lastSlot_ = lastSlot_ % slotCount_ + 1;
  std::vector<uint8_t>& slot = slots_[lastSlot_ - 1];
  const bool eightBitMono = currentBits_ == 8 && currentChannels_ == 1;
  // A block shorter than 256 bytes is lengthened with silence.
  if (n < kShortestBlock) std::fill(slot.begin() + n, slot.begin() + kShortestBlock, silenceByte(currentBits_));
  std::memcpy(slot.data(), data, n);
  // Each block of 8-bit mono sound ends on the silence value. Its last samples glide there rather
  // than jump: a piece cut off away from the zero line (fast speech, the period dropper's tail)
  // would otherwise end in a click. The length stays the same.
  if (eightBitMono && n != SlotBytes) {
    const size_t glide = std::min(n, kEndGlideSamples);
    for (size_t i = 0; i < glide; ++i) {
      uint8_t& sample = slot[n - glide + i];
      sample = static_cast<uint8_t>(128 + (sample - 128) * static_cast<int>(glide - 1 - i) / static_cast<int>(glide));
    }
  }
  const uint64_t cookie = (generation_ << 3) | static_cast<uint64_t>(lastSlot_);
  if (device_.write(slot.data(), std::max(n, kShortestBlock), cookie) != platform::audio_error::Ok) {
    --queued_;
    return false;
  }
  return true;
}

void WavPlayer::onWaveDone(uint64_t cookie) {
  const int slot = static_cast<int>(cookie & 7);
  if (slot < 1 || slot > slotCount_ || (cookie >> 3) != generation_) return;
  if (int error = device_.release(cookie); error != platform::audio_error::Ok) {
    console_.write(releaseErrorText(error));
    console_.writeLine();
    console_.readConsoleLine();
  }
  if (queued_ > 0) --queued_;
}

void WavPlayer::waitWaveEnd() {
  console_.waitWhile(console::WaitSteps::messages(), [this] { return waveBusy(); });
}

bool WavPlayer::waveBusy() {
  console_.pumpAllMessages();
  if (keyStops() || queued_ == 0) stopWave();
  return queued_ > 0;
}

void WavPlayer::stopWave() {
  if (!deviceOpen_) return;
  if (queued_ > 0) {
    device_.reset();
    // The reset reports nothing for the dropped blocks: their slots are free now, and a report
    // already on its way belongs to the old generation.
    ++generation_;
    queued_ = 0;
    console_.host().trace().event("stop");
  }
  console_.pumpAllMessages();
  device_.close();
  console_.pumpAllMessages();
  deviceOpen_ = false;
}

int WavPlayer::playSamples(const uint8_t* data, size_t length, int rate, int bits, int channels) {
  if (fastRate_) rate = static_cast<int>(static_cast<int64_t>(rate) * 3 / 2);
  const bool mono = channels == 1;
  // The period dropper turns 16-bit sound into 8-bit.
  const int playedBits = dropPeriods_ && mono && bits == 16 ? 8 : bits;
  if (int error = useWaveFormat(rate, playedBits, channels); error != platform::audio_error::Ok) return error;
  while (length > 0) {
    console_.waitWhile(console::WaitSteps::pauses(kFreeSlotPauseMs),
                       [&] { return queued_ >= slotCount_ && !keyStops(); });
    if (keyStops()) {
      stopWave();
      return 0;
    }
    const size_t piece = std::min(length, SlotBytes);
    if (dropPeriods_ && mono) {
      std::memcpy(dropBuffer_.data(), data, piece);
      const size_t kept = dropPitchPeriods(dropBuffer_.data(), piece, bits, rate);
      if (kept > 0) submitWaveBlock(dropBuffer_.data(), kept);
    } else {
      submitWaveBlock(data, piece);
    }
    data += piece;
    length -= piece;
  }
  return 0;
}

int WavPlayer::playWaveData(const uint8_t* data, size_t length, int rate, int bits, int channels) {
  tracePlay("-", rate, bits, channels, length);
  return playSamples(data, length, rate, bits, channels);
}

int WavPlayer::playWaveImage(std::span<const uint8_t> image) {
  const WaveImageInfo info = parseWaveImage(image);
  if (!info.ok) return FileError;
  tracePlay("-", info.rate, info.bits, info.channels, info.dataLength);
  return playSamples(image.data() + info.dataStart, info.dataLength, info.rate, info.bits, info.channels);
}

int WavPlayer::playWaveFile(const std::string& name) {
  if (keyStops()) return 0;
  File file = openSoundFile(name);
  if (!file) return FileError;
  const platform::WaveLayout layout = platform::parseWaveFile(file.get());
  if (!layout.formatRead) return FileError;
  const FileSampleFormat fileFormat{layout.bits, layout.channels, layout.formatTag == platform::wave_tag::Float};
  // What the device could never play is refused before anything is queued.
  if (!platform::AudioFormat{layout.rate, 16, fileFormat.playedChannels()}.playable() || !fileFormat.convertible() ||
      fileFormat.frameBytes() > SlotBytes)
    return platform::audio_error::BadFormat;
  if (!layout.ok) return FileError;
  tracePlay(traceName(name), layout.rate, layout.bits, layout.channels, layout.statedDataLength);
  // The length the header states is read: a file cut short plays what it holds, then fails.
  const int result = playFileSamples(file.get(), layout.statedDataLength, fileFormat, layout.rate);
  file.reset();
  waitWaveEnd();
  return result;
}

int WavPlayer::playFileSamples(std::FILE* file, size_t length, const FileSampleFormat& format, int rate) {
  uint8_t* buffer = readBuffer_.data();
  int result = 0;
  size_t remaining = length;
  while (remaining > 0) {
    // Converted sound is read in whole frames; a broken last frame is dropped.
    const size_t piece = format.direct() ? wavePieceSize(remaining)
                                         : std::min(remaining, SlotBytes / format.frameBytes() * format.frameBytes());
    const size_t got = std::fread(buffer, 1, piece, file);
    if (got == 0) return FileError;
    if (format.direct()) {
      result = playSamples(buffer, got, rate, format.bits, format.channels);
    } else if (const size_t converted = convertFrames(buffer, got, format); converted > 0) {
      result = playSamples(buffer, converted, rate, 16, format.playedChannels());
    }
    remaining -= got;
    if (result != 0 || keyStops()) break;
  }
  return result;
}

}  // namespace kaldro::audio

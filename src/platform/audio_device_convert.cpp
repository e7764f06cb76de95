// Block conversion through SDL's converter, which resamples a whole block exactly.
#include "platform/audio_device_convert.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kaldro::platform {

namespace {
SDL_AudioFormat sdlFormat(int bits) { return bits == 8 ? AUDIO_U8 : AUDIO_S16LSB; }
}  // namespace

bool SampleConverter::configure(const AudioFormat& from, int toRate, int toChannels) {
  from_ = from;
  toRate_ = toRate;
  toChannels_ = toChannels;
  pendingCount_ = 0;
  configured_ = false;
  if (!from.playable() || toRate <= 0 || toChannels < 1) return false;
  SDL_AudioCVT probe;
  configured_ = SDL_BuildAudioCVT(&probe, sdlFormat(from.bits), static_cast<Uint8>(from.channels), from.rate,
                                  AUDIO_S16LSB, static_cast<Uint8>(toChannels), toRate) >= 0;
  return configured_;
}

bool SampleConverter::convert(const uint8_t* bytes, size_t length, std::vector<int16_t>& out) {
  out.clear();
  if (!configured_) return false;
  const size_t frameBytes = static_cast<size_t>(from_.bytesPerFrame());
  const size_t available = pendingCount_ + length;
  const size_t whole = available / frameBytes * frameBytes;
  if (whole == 0) {
    std::memcpy(pending_ + pendingCount_, bytes, length);
    pendingCount_ += length;
    return true;
  }
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, sdlFormat(from_.bits), static_cast<Uint8>(from_.channels), from_.rate, AUDIO_S16LSB,
                        static_cast<Uint8>(toChannels_), toRate_) < 0)
    return false;
  work_.resize(whole * static_cast<size_t>(std::max(cvt.len_mult, 1)));
  std::memcpy(work_.data(), pending_, pendingCount_);
  const size_t fromBlock = whole - pendingCount_;
  std::memcpy(work_.data() + pendingCount_, bytes, fromBlock);
  pendingCount_ = length - fromBlock;
  std::memcpy(pending_, bytes + fromBlock, pendingCount_);

  size_t convertedBytes = whole;
  if (cvt.needed) {
    cvt.buf = work_.data();
    cvt.len = static_cast<int>(whole);
    if (SDL_ConvertAudio(&cvt) < 0) return false;
    convertedBytes = static_cast<size_t>(cvt.len_cvt);
  }
  out.resize(convertedBytes / 2);
  std::memcpy(out.data(), work_.data(), out.size() * 2);
  return true;
}

bool StreamResampler::configure(const AudioFormat& from, int toRate, int toChannels) {
  if (!from.playable() || toRate <= 0 || (toChannels != 1 && toChannels != 2)) return false;
  from_ = from;
  toChannels_ = toChannels;
  step_ = static_cast<double>(from.rate) / toRate;
  restart();
  return true;
}

void StreamResampler::restart() {
  position_ = 0.0;
  pendingCount_ = 0;
  for (auto& frame : history_) frame[0] = frame[1] = 0.0f;
}

void StreamResampler::convert(const uint8_t* bytes, size_t length, std::vector<int16_t>& out) {
  out.clear();
  const size_t frameBytes = static_cast<size_t>(from_.bytesPerFrame());
  // Frames: History earlier ones, then every whole frame of (pending + block).
  frames_.clear();
  for (auto& frame : history_) {
    frames_.push_back(frame[0]);
    frames_.push_back(frame[1]);
  }
  auto sampleAt = [&](size_t index) -> uint8_t {
    return index < pendingCount_ ? pending_[index] : bytes[index - pendingCount_];
  };
  auto decode = [&](size_t offset) -> float {
    if (from_.bits == 8) return (static_cast<float>(sampleAt(offset)) - 128.0f) * 256.0f;
    return static_cast<float>(static_cast<int16_t>(sampleAt(offset) | (sampleAt(offset + 1) << 8)));
  };
  const size_t available = pendingCount_ + length;
  const size_t whole = available / frameBytes;
  const size_t sampleBytes = static_cast<size_t>(from_.bits / 8);
  for (size_t f = 0; f < whole; ++f) {
    const float left = decode(f * frameBytes);
    const float right = from_.channels == 2 ? decode(f * frameBytes + sampleBytes) : left;
    frames_.push_back(left);
    frames_.push_back(right);
  }
  // Keep a partial frame for the next block.
  uint8_t rest[4];
  const size_t restCount = available - whole * frameBytes;
  for (size_t i = 0; i < restCount; ++i) rest[i] = sampleAt(whole * frameBytes + i);
  std::copy(rest, rest + restCount, pending_);
  pendingCount_ = restCount;

  const auto count = static_cast<int64_t>(whole);
  // Output at time t (from the block's first frame) uses frames floor(t)-1 .. floor(t)+2.
  const int64_t lastUsable = count - 3;
  out.reserve(static_cast<size_t>((count + 3) / step_ + 2) * static_cast<size_t>(toChannels_));
  double t = position_;
  while (static_cast<int64_t>(std::floor(t)) <= lastUsable) {
    const auto i = static_cast<int64_t>(std::floor(t));
    const float x = static_cast<float>(t - static_cast<double>(i));
    const float* p = frames_.data() + (i - 1 + History) * 2;
    float mixed[2];
    for (int c = 0; c < 2; ++c) {
      const float p0 = p[c], p1 = p[2 + c], p2 = p[4 + c], p3 = p[6 + c];
      mixed[c] = p1 + 0.5f * x * (p2 - p0 + x * (2 * p0 - 5 * p1 + 4 * p2 - p3 + x * (3 * (p1 - p2) + p3 - p0)));
    }
    if (toChannels_ == 1) mixed[0] = 0.5f * (mixed[0] + mixed[1]);
    for (int c = 0; c < toChannels_; ++c)
      out.push_back(static_cast<int16_t>(std::clamp(std::lround(mixed[c]), -32768L, 32767L)));
    t += step_;
  }
  position_ = t - static_cast<double>(count);
  // The newest frames become the history of the next block.
  const size_t total = frames_.size() / 2;
  for (int h = 0; h < History; ++h) {
    history_[h][0] = frames_[(total - History + h) * 2];
    history_[h][1] = frames_[(total - History + h) * 2 + 1];
  }
}

}  // namespace kaldro::platform

// The wave player as a sound sink.
#include "engines/player_sink.h"

namespace kaldro::engines {

void PlayerSink::beginUtterance(int rate) {
  if (!inUtterance_) {
    savedFastRate_ = player_.fastRate();
    savedDropPeriods_ = player_.dropPeriods();
  }
  player_.setSpeedups(false, false);
  inUtterance_ = true;
  rate_ = rate;
  block_.clear();
  firstBlock_ = true;
}

bool PlayerSink::takeSamples(std::span<const int16_t> samples) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
  if (block_.size() + samples.size_bytes() >= BlockBytes && !block_.empty()) handBlock();
  block_.insert(block_.end(), bytes, bytes + samples.size_bytes());
  if (firstBlock_ && block_.size() >= FirstBlockBytes) {
    handBlock();
    firstBlock_ = false;
  }
  return true;
}

bool PlayerSink::endUtterance() {
  if (!block_.empty()) {
    if (block_.size() < MinimumBlockBytes) block_.resize(MinimumBlockBytes, 0);
    handBlock();
  }
  if (inUtterance_) player_.setSpeedups(savedFastRate_, savedDropPeriods_);
  inUtterance_ = false;
  return true;
}

void PlayerSink::handBlock() {
  player_.playWaveData(block_.data(), block_.size(), rate_, 16, 1);
  block_.clear();
}

}  // namespace kaldro::engines

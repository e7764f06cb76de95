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
  cut_ = false;
  rate_ = rate;
  block_.clear();
  firstBlock_ = true;
}

bool PlayerSink::takeSamples(std::span<const int16_t> samples) {
  if (cut_) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
  if (block_.size() + samples.size_bytes() >= BlockBytes && !block_.empty()) handBlock();
  if (cut_) return false;
  block_.insert(block_.end(), bytes, bytes + samples.size_bytes());
  if (firstBlock_ && block_.size() >= FirstBlockBytes) {
    handBlock();
    firstBlock_ = false;
  }
  return !cut_;
}

bool PlayerSink::endUtterance() {
  if (!block_.empty() && !cut_) {
    if (block_.size() < MinimumBlockBytes) block_.resize(MinimumBlockBytes, 0);
    handBlock();
  }
  block_.clear();
  if (inUtterance_) player_.setSpeedups(savedFastRate_, savedDropPeriods_);
  inUtterance_ = false;
  return true;
}

void PlayerSink::stop() {
  player_.stopWave();
  if (inUtterance_) cut_ = true;
  block_.clear();
}

void PlayerSink::handBlock() {
  // The player paces the synthesizer here (a full ring waits for a free slot) and drops the sound
  // when a key waits; the key's answer is then the refusal of everything after.
  player_.playWaveData(block_.data(), block_.size(), rate_, 16, 1);
  block_.clear();
  if (player_.keyStopsSound()) stop();
}

}  // namespace kaldro::engines

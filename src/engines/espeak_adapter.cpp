// Speaking through eSpeak NG: synthesized on the program's thread into memory, heard through the
// family's wave player (so a key silences it at once), or written to a WAV file.
#include "engines/espeak_adapter.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "platform/ending_signals.h"
#include "platform/text.h"
#include "platform/wave_file.h"

namespace kaldro::engines {

namespace {

constexpr int kMinimumRate = 80;   // eSpeak NG's slowest
constexpr int kMaximumRate = 450;  // and fastest rate
constexpr uint16_t kBusyTextPauseMs = 20;

bool blankOrControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= ' ' || byte == 127;
}

}  // namespace

std::string espeakTextToSend(std::string_view text) {
  while (!text.empty() && blankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && blankOrControl(text.back())) text.remove_suffix(1);
  std::string result(text);
  if (result.size() == 1 && result[0] >= '0' && result[0] <= '9') result += '.';
  return result;
}

int espeakRateForSpeed(int speed) {
  double rate = speed;
  if (speed >= -10 && speed <= 10) rate = EspeakLibrary::NormalRate * std::pow(3.0, speed / 10.0);
  return static_cast<int>(std::clamp(std::lround(rate), static_cast<long>(kMinimumRate), static_cast<long>(kMaximumRate)));
}

int espeakPitchFor(int pitch) {
  if (pitch >= -10 && pitch <= 10) return EspeakLibrary::NormalPitch + 5 * pitch;
  return std::clamp(pitch, 0, 100);
}

EspeakAdapter::EspeakAdapter(console::Console& console, audio::WavPlayer& player, EspeakLibrary& library)
    : console_(console), player_(player), library_(library) {}

EspeakAdapter::~EspeakAdapter() = default;

platform::Status EspeakAdapter::start(int voice, int speed, int pitch, const std::string& outputFile) {
  using platform::Status, platform::StatusCode;
  if (started_) finish();
  // The library tells nothing of why it cannot start or has no voices.
  sampleRate_ = library_.sampleRate();
  if (sampleRate_ <= 0) return Status::failure(StatusCode::NotFound, {});
  const std::vector<EngineVoice> voices = library_.voices();
  if (voices.empty()) return Status::failure(StatusCode::NotFound, {});
  size_t index = static_cast<size_t>(std::clamp<int64_t>(voice, 1, static_cast<int64_t>(voices.size())) - 1);
  const std::optional<size_t> named = voiceName_.empty() ? std::nullopt : findVoice(voices, 0, voiceName_);
  if (named) {
    index = *named;
  } else if (voice == 0 || !voiceName_.empty()) {
    // No voice configured, or one this library does not have: Brazilian Portuguese.
    const auto brazilian = std::find_if(voices.begin(), voices.end(),
                                        [](const EngineVoice& v) { return v.identifier == EspeakDefaultVoice; });
    if (brazilian != voices.end()) index = static_cast<size_t>(brazilian - voices.begin());
  }
  if (!library_.selectVoice(voices[index].identifier)) return Status::failure(StatusCode::Refused, {});
  file_.reset();
  if (!outputFile.empty()) {
    // Its header is rewritten after every block: a run killed mid-way leaves a file that tells what it holds.
    file_ = std::make_unique<platform::WaveFileSink>(outputFile, sampleRate_);
    if (Status created = file_->status(); !created.ok()) {
      file_.reset();
      return created;
    }
  }
  // The library keeps its settings between starts: 0 means its normal ones.
  library_.setRate(speed != 0 ? espeakRateForSpeed(speed) : EspeakLibrary::NormalRate);
  library_.setPitch(pitch != 0 ? espeakPitchFor(pitch) : EspeakLibrary::NormalPitch);
  voice_ = voices[index].identifier;
  pendingTexts_ = 0;
  audioPlaying_ = false;
  started_ = true;
  return {};
}

void EspeakAdapter::finish() {
  if (!started_) return;
  if (file_) file_->close();
  pending_.clear();
  pendingTexts_ = 0;
  started_ = false;
}

void EspeakAdapter::speak(std::string_view text) {
  const std::string toSend = espeakTextToSend(text);
  if (toSend.empty() || !started_ || console_.keyStopsSound()) return;
  if (outputFailed()) return;  // the file is lost: nothing more is said into it
  if (pendingTexts_ > 0) console_.delayMs(kBusyTextPauseMs);
  onTextStarted();
  pending_.clear();
  const bool toFile = file_ != nullptr;
  bool interrupted = false;
  const bool synthesized = library_.synthesize(platform::cp1252ToUtf8(toSend), [&](std::span<const int16_t> samples) {
    // A program asked to end stops within one block, not after the whole text (minutes for a long one).
    interrupted = platform::endingSignalPending() || !(toFile ? file_->takeSamples(samples) : playSamples(samples));
    return !interrupted;
  });
  if (!toFile && !interrupted) interrupted = !playPending(1);
  onTextDone();
  if (!synthesized || interrupted) stop();
}

bool EspeakAdapter::playSamples(std::span<const int16_t> samples) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
  pending_.insert(pending_.end(), bytes, bytes + samples.size_bytes());
  // Whole slots go to the player as they fill; the rest waits for more.
  return playPending(audio::WavPlayer::SlotBytes);
}

bool EspeakAdapter::playPending(size_t atLeast) {
  size_t offset = 0;
  while (pending_.size() - offset >= atLeast && pending_.size() > offset) {
    if (console_.keyStopsSound()) return false;
    // An even length keeps every block on whole 16-bit samples.
    const size_t piece = std::min(pending_.size() - offset, audio::WavPlayer::SlotBytes & ~size_t{1});
    if (!audioPlaying_) onAudioStart();
    player_.playWaveData(pending_.data() + offset, piece, sampleRate_, 16, 1);
    offset += piece;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(offset));
  return !console_.keyStopsSound();
}

bool EspeakAdapter::busy(bool queuedOnly) {
  if (!started_) return false;
  if (queuedOnly) return pendingTexts_ > 0;
  // The player pumps its messages, and stops on a key.
  if (audioPlaying_ && !player_.waveBusy()) onAudioStop();
  return pendingTexts_ > 0 || audioPlaying_;
}

void EspeakAdapter::stop() {
  // Our own player stops at once: no settling pauses around it are needed.
  if (audioPlaying_ && started_) player_.stopWave();
  pending_.clear();
  audioPlaying_ = false;
  pendingTexts_ = 0;
}

std::unique_ptr<EngineAdapter> makeEspeakAdapter(console::Console& console, audio::WavPlayer& player,
                                                 EspeakLibrary& library) {
  return std::make_unique<EspeakAdapter>(console, player, library);
}

}  // namespace kaldro::engines

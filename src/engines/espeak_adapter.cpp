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

EspeakAdapter::~EspeakAdapter() { closeFile(); }

bool EspeakAdapter::start(int voice, int speed, int pitch, const std::string& outputFile) {
  if (started_) finish();
  sampleRate_ = library_.sampleRate();
  if (sampleRate_ <= 0) return false;
  const std::vector<EngineVoice> voices = library_.voices();
  if (voices.empty()) return false;
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
  if (!library_.selectVoice(voices[index].identifier)) return false;
  if (!outputFile.empty()) {
    file_ = std::fopen(outputFile.c_str(), "wb");
    if (!file_) return false;
    // Unbuffered: every block is on disk or known lost, so the header always tells what the file holds.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    fileDataBytes_ = 0;
    fileFailed_ = false;
    writeFileHeader();
    if (fileFailed_) {
      closeFile();
      return false;
    }
  }
  // The library keeps its settings between starts: 0 means its normal ones.
  library_.setRate(speed != 0 ? espeakRateForSpeed(speed) : EspeakLibrary::NormalRate);
  library_.setPitch(pitch != 0 ? espeakPitchFor(pitch) : EspeakLibrary::NormalPitch);
  voice_ = voices[index].identifier;
  pendingTexts_ = 0;
  audioPlaying_ = false;
  started_ = true;
  return true;
}

void EspeakAdapter::finish() {
  if (!started_) return;
  closeFile();
  pending_.clear();
  pendingTexts_ = 0;
  started_ = false;
}

// The wave player always stops on a key; so does the speech it plays.
bool EspeakAdapter::keyStops() { return console_.keyPressed(); }

void EspeakAdapter::speak(std::string_view text) {
  const std::string toSend = espeakTextToSend(text);
  if (toSend.empty() || !started_ || keyStops()) return;
  if (pendingTexts_ > 0) console_.delayMs(kBusyTextPauseMs);
  onTextStarted();
  pending_.clear();
  const bool toFile = file_ != nullptr;
  bool interrupted = false;
  const bool synthesized = library_.synthesize(platform::cp1252ToUtf8(toSend), [&](std::span<const int16_t> samples) {
    interrupted = !(toFile ? writeSamples(samples) : playSamples(samples));
    return !interrupted;
  });
  if (!toFile && !interrupted) interrupted = !playPending(1);
  onTextDone();
  // The file is whole after every text, even if the program never gets to finish.
  if (toFile) writeFileHeader();
  if (!synthesized || interrupted) stop();
}

bool EspeakAdapter::writeSamples(std::span<const int16_t> samples) {
  const size_t bytes = samples.size_bytes();
  if (fileFailed_ || fileDataBytes_ + bytes > std::numeric_limits<uint32_t>::max() - platform::WaveHeaderBytes) {
    fileFailed_ = true;
    return false;
  }
  const size_t written = std::fwrite(samples.data(), 1, bytes, file_);
  fileDataBytes_ += written;
  if (written == bytes) return true;
  // Half a sample may have gone out: the file keeps whole samples only.
  fileFailed_ = true;
  if (fileDataBytes_ % 2 != 0) {
    --fileDataBytes_;
    // Should this fail too, the header still counts whole samples only and the stray byte lies past them.
    const int truncated = ::ftruncate(::fileno(file_), static_cast<off_t>(platform::WaveHeaderBytes + fileDataBytes_));
    (void)truncated;
  }
  return false;
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
    if (keyStops()) return false;
    // An even length keeps every block on whole 16-bit samples.
    const size_t piece = std::min(pending_.size() - offset, audio::WavPlayer::SlotBytes & ~size_t{1});
    if (!audioPlaying_) onAudioStart();
    player_.playWaveData(pending_.data() + offset, piece, sampleRate_, 16, 1);
    offset += piece;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(offset));
  return !keyStops();
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

void EspeakAdapter::writeFileHeader() {
  uint8_t header[platform::WaveHeaderBytes];
  platform::writeWaveHeader(header, static_cast<uint32_t>(fileDataBytes_), static_cast<uint32_t>(sampleRate_), 16, 1, 2);
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, file_) != sizeof header ||
      std::fseek(file_, 0, SEEK_END) != 0 || std::fflush(file_) != 0)
    fileFailed_ = true;
}

void EspeakAdapter::closeFile() {
  if (!file_) return;
  writeFileHeader();
  if (std::fclose(file_) != 0) fileFailed_ = true;
  file_ = nullptr;
}

std::unique_ptr<EngineAdapter> makeEspeakAdapter(console::Console& console, audio::WavPlayer& player,
                                                 EspeakLibrary& library) {
  return std::make_unique<EspeakAdapter>(console, player, library);
}

}  // namespace kaldro::engines

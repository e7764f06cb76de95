// The built-in diphone voice, spoken into a sound sink.
#include "voice/builtin_voice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "platform/wave_file.h"
#include "platform/words.h"
#include "tts/engine_settings.h"
#include "voice/speech_config.h"

namespace kaldro::voice {

namespace {

// The speed level of the built-in voice's settings (1 slowest .. 5 fastest) for a duration factor:
// the level moves by one for each 40 hundredths of an octave of speed (the speech server's rate
// steps), rounded to whole hundredths first so that a factor made from a whole rate keeps its level.
int speedLevelForDuration(double duration) {
  const double rate = std::round(-100.0 * std::log2(duration > 0 ? duration : 1.0) * 1000.0) / 1000.0;
  return std::clamp(3 + static_cast<int>(std::lround(rate / 40.0)), 1, 5);
}

}  // namespace

BuiltInVoice::BuiltInVoice(const platform::Configuration& config, const app::TextReading& reading)
    : config_(config), reading_(reading) {}

platform::Status BuiltInVoice::start() {
  lettersFolder_ = diphone::diphoneFoldersFromConfig(config_).letters;
  normaliser_.loadAbbreviations(tts::readEngineSettings(config_).files().abbreviations);
  setPace({});
  const int started = synth_.startDiphoneSynth(config_);
  if (started == diphone::kStartReady) return {};
  const auto code = started == diphone::kStartRulesUnreadable ? platform::StatusCode::Unreadable
                                                              : platform::StatusCode::NotFound;
  return platform::Status::failure(code, platform::words::ModuleBuiltInFailed.with({std::to_string(started)}));
}

void BuiltInVoice::setPace(const Pace& pace) {
  volume_ = pace.volume;
  const int level = speedLevelForDuration(pace.duration);
  if (level == speedLevel_) return;
  speedLevel_ = level;
  const speech::SynthSettings settings = speech::readSynthSettings(config_, level);
  synth_.setConcatSettings(settings.unitCut, settings.unitMinimum, settings.wordGap);
}

void BuiltInVoice::handSound(const platform::AudioFormat& format, const uint8_t* bytes, size_t length, bool last) {
  if (sink_ == nullptr || sink_->refused()) return;
  if (!resamplerReady_ || !(format == resamplerFormat_)) {
    resamplerFormat_ = format;
    resamplerReady_ = resampler_.configure(format, SampleRate, 1);
    if (!resamplerReady_) return;
  }
  if (length > 0) {
    resampler_.convert(bytes, length, converted_);
    if (!converted_.empty() && !sink_->takeSamples(std::span<const int16_t>(converted_.data(), converted_.size())))
      return;
  }
  if (last) {
    resampler_.tail(converted_);
    if (!converted_.empty()) sink_->takeSamples(std::span<const int16_t>(converted_.data(), converted_.size()));
    resampler_.restart();
  }
}

void BuiltInVoice::playImageWait(const uint8_t* image, size_t bytes) {
  if (bytes <= diphone::kWaveHeaderSize) return;
  const platform::AudioFormat format{diphone::kSampleRate, 8, 1};
  handSound(format, image + diphone::kWaveHeaderSize, bytes - diphone::kWaveHeaderSize, false);
}

bool BuiltInVoice::speak(std::string_view text, platform::SoundSink& sink) {
  VolumeSink scaled(sink, volume_);
  sink_ = &scaled;
  scaled.beginUtterance(SampleRate);
  const std::string own = reading_.ownWords(text);
  const std::string words = normaliser_.normaliseText(natural_ ? reading_.natural(own) : own);
  synth_.speakWords(words, [&scaled] { return !scaled.refused(); });
  handSound(resamplerFormat_, nullptr, 0, true);
  sink_ = nullptr;
  const bool ended = scaled.endUtterance();
  return ended && !scaled.refused();
}

bool BuiltInVoice::speakCharacter(uint8_t character, platform::SoundSink& sink) {
  if (const std::optional<bool> played = speakLetterRecording(character, sink)) return *played;
  const std::string& name = normaliser_.charName(character);
  return name.empty() || speak(name, sink);
}

std::optional<bool> BuiltInVoice::speakLetterRecording(uint8_t character, platform::SoundSink& sink) {
  const std::string path = lettersFolder_ + "_" + std::to_string(character) + ".wav";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  const platform::WaveLayout layout = platform::parseWaveFile(file);
  std::vector<uint8_t> samples;
  if (layout.ok && layout.formatRead) {
    samples.resize(std::min<size_t>(layout.statedDataLength, 4 * 1024 * 1024));
    samples.resize(std::fread(samples.data(), 1, samples.size(), file));
  }
  std::fclose(file);
  const platform::AudioFormat format{layout.rate, layout.bits, layout.channels};
  if (samples.empty() || !format.playable()) return std::nullopt;
  VolumeSink scaled(sink, volume_);
  sink_ = &scaled;
  scaled.beginUtterance(SampleRate);
  handSound(format, samples.data(), samples.size(), true);
  sink_ = nullptr;
  return scaled.endUtterance() && !scaled.refused();
}

}  // namespace kaldro::voice

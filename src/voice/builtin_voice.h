// The built-in diphone voice as a voice of the family: the engine's normaliser for the reading, the
// diphone synthesizer for the sound (turned to 16-bit samples at the engine's rate), the letter
// recordings for characters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "diphone/diphone_output.h"
#include "diphone/diphone_synth.h"
#include "platform/audio/audio_device_convert.h"
#include "platform/config.h"
#include "tts/normaliser.h"
#include "voice/text_reading.h"
#include "voice/voice.h"

namespace kaldro::voice {

class BuiltInVoice final : public Voice, private diphone::DiphoneOutput {
 public:
  // Every voice hands its samples on at this rate, so that a listener never changes rate mid-way.
  static constexpr int SampleRate = 16000;
  // reading: the natural reading the voices share (it must outlive the voice).
  BuiltInVoice(const platform::Configuration& config, const app::TextReading& reading);

  // Loads the diphones, the rules and the engine's abbreviations (without them, abbreviations are
  // read as words); fails with the diphone synthesizer's start number in its words.
  platform::Status start() override;
  void setPace(const Pace& pace) override;
  void setReading(tts::Reading reading) override { natural_ = reading == tts::Reading::Natural; }
  bool speak(std::string_view text, platform::SoundSink& sink) override;
  bool speakCharacter(uint8_t character, platform::SoundSink& sink) override;
  // The built-in voice never fails once started.
  platform::Status failure() const override { return {}; }
  std::string characterName(uint8_t character) const override { return normaliser_.charName(character); }

 private:
  void playImageWait(const uint8_t* image, size_t bytes) override;
  void waitSpeechEnd() override {}
  // Converts 8-bit sound of the synthesizer's rate (or any WAV format) and hands it on.
  void handSound(const platform::AudioFormat& format, const uint8_t* bytes, size_t length, bool last);
  // Plays the letter's recording: whether the sink took it all; nothing when there is no playable
  // recording (then the letter's name is said instead).
  std::optional<bool> speakLetterRecording(uint8_t character, platform::SoundSink& sink);

  const platform::Configuration& config_;
  const app::TextReading& reading_;
  bool natural_ = true;
  diphone::DiphoneSynth synth_{*this};
  tts::Normaliser normaliser_;
  std::string lettersFolder_;
  platform::StreamResampler resampler_;
  platform::AudioFormat resamplerFormat_;
  bool resamplerReady_ = false;
  platform::Samples converted_;
  VolumeSink* sink_ = nullptr;
  double volume_ = 1.0;
  int speedLevel_ = 0;
};

}  // namespace kaldro::voice

// The output module's voices (the Portuguese engine over MBROLA, the built-in diphone voice) and the
// speaker that runs a message's steps through the chosen one, falling back to the built-in voice.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sd_kaldro/module_protocol.h"
#include "sd_kaldro/module_speech_plan.h"
#include "voice/text_reading.h"
#include "diphone/diphone_output.h"
#include "diphone/diphone_synth.h"
#include "platform/audio/audio_device_convert.h"
#include "platform/config.h"
#include "tts/normaliser.h"
#include "tts/ormia_engine.h"

namespace kaldro::app {

// Every voice hands the server 16-bit mono samples at this rate: the server opens its device once
// per message, so one message never changes rate.
inline constexpr int ModuleSampleRate = 16000;

// Where a voice's samples go. False: nothing more is wanted (the job was cancelled).
using SampleSink = std::function<bool(std::span<const int16_t>)>;

enum class VoiceResult { Spoken, Cancelled, Failed };

class ModuleVoice {
 public:
  virtual ~ModuleVoice() = default;
  virtual std::string name() const = 0;
  // One text piece (CP1252).
  virtual VoiceResult speakText(std::string_view text, const ModuleSettings& settings, const SampleSink& sink) = 0;
  // One character as the character echo says it.
  virtual VoiceResult speakCharacter(uint8_t character, const ModuleSettings& settings, const SampleSink& sink) = 0;
  // Why the last Failed happened (CP1252).
  virtual std::string problem() const { return {}; }
  // Natural reading (dates, money, documents as a reader says them) or sign by sign.
  virtual void setReading(tts::Reading reading) = 0;
};

// What kaldro.conf, the module's file in Speech Dispatcher's configuration, may say.
struct ModuleOptions {
  std::string defaultVoice;                                  // a voice name; empty: the engine's when it runs
  std::string soundIconFolder = "/usr/share/sounds/sound-icons/";
};
// Reads "Name value" lines ('#' comments, values optionally quoted); unknown names are ignored.
ModuleOptions readModuleOptions(std::string_view text);

// The built-in diphone voice: the engine's text normaliser for the reading, the diphone synthesizer
// for the sound, and the letter recordings for characters.
class BuiltInVoice final : public ModuleVoice, private diphone::DiphoneOutput {
 public:
  static constexpr std::string_view Name = "kaldro-embutida";
  // reading: the natural reading both voices share (it must outlive the voice).
  BuiltInVoice(const platform::Configuration& config, const TextReading& reading);
  // 0 when ready, else the diphone synthesizer's start error.
  int start(const std::string& abbreviationsFile);

  std::string name() const override { return std::string(Name); }
  VoiceResult speakText(std::string_view text, const ModuleSettings& settings, const SampleSink& sink) override;
  VoiceResult speakCharacter(uint8_t character, const ModuleSettings& settings, const SampleSink& sink) override;
  const tts::Normaliser& normaliser() const { return normaliser_; }
  void setReading(tts::Reading reading) override { natural_ = reading == tts::Reading::Natural; }

 private:
  void playImageWait(const uint8_t* image, size_t bytes) override;
  void waitSpeechEnd() override {}
  // Converts 8-bit sound of this rate (or any WAV format) and hands it on.
  void handSound(const platform::AudioFormat& format, const uint8_t* bytes, size_t length, bool last);
  void applySpeed(int rate);

  const platform::Configuration& config_;
  const TextReading& reading_;
  bool natural_ = true;
  diphone::DiphoneSynth synth_{*this};
  tts::Normaliser normaliser_;
  std::string lettersFolder_;
  platform::StreamResampler resampler_;
  platform::AudioFormat resamplerFormat_;
  bool resamplerReady_ = false;
  platform::Samples converted_;
  const SampleSink* sink_ = nullptr;
  bool cancelled_ = false;
  int speedLevel_ = 0;
};

// The Portuguese engine over MBROLA (br4 by default).
class OrmiaVoice final : public ModuleVoice {
 public:
  static constexpr std::string_view Name = "kaldro-mbrola-br4";
  OrmiaVoice(const platform::Configuration& config, tts::EnginePlaces places);
  // False with the reason in problem() when MBROLA, the voice or the engine's data is missing.
  bool start();
  // Started once: a later failure is MBROLA breaking, and each piece tries it again.
  bool available() const { return available_; }

  std::string name() const override { return std::string(Name); }
  VoiceResult speakText(std::string_view text, const ModuleSettings& settings, const SampleSink& sink) override;
  VoiceResult speakCharacter(uint8_t character, const ModuleSettings& settings, const SampleSink& sink) override;
  std::string problem() const override { return problem_; }
  void setReading(tts::Reading reading) override;

 private:
  const platform::Configuration& config_;
  tts::EnginePlaces places_;
  tts::Reading reading_ = tts::Reading::Natural;
  std::unique_ptr<tts::OrmiaEngine> engine_;
  tts::Normaliser names_;
  bool running_ = false;
  bool available_ = false;
  std::string problem_;
};

// What the speaker hands back while it runs a job, on the thread that runs it.
struct SpeakerOutput {
  std::function<bool(std::span<const int16_t>)> audio;  // false: the job was cancelled
  std::function<void(const std::string&)> mark;
  std::function<void(const std::string&)> icon;     // a sound file's full path
  std::function<void(const std::string&)> log;      // a line for the module's log (CP1252)
};

class ModuleSpeaker {
 public:
  ModuleSpeaker(const platform::Configuration& config, ModuleOptions options, tts::EnginePlaces places);
  // Starts the voices; false when not even the built-in one starts. message tells which run (UTF-8).
  bool initialise(std::string& message);
  std::vector<VoiceEntry> voices() const;
  // Speaks the steps; stops early when output.audio refuses samples.
  void run(const std::vector<SpeechStep>& steps, const ModuleSettings& settings, const SpeakerOutput& output);
  std::string characterName(uint8_t character) const;
  // The steps of a message, planned with the voices' reading and names.
  std::vector<SpeechStep> plan(MessageKind kind, std::string_view message, const ModuleSettings& settings) const;

 private:
  ModuleVoice& chooseVoice(const ModuleSettings& settings);
  // The icon file for a name, or empty when there is none (names with a path are refused).
  std::string iconPath(const std::string& name) const;

  const platform::Configuration& config_;
  ModuleOptions options_;
  TextReading reading_;
  platform::CharacterNames characters_;
  BuiltInVoice builtIn_;
  OrmiaVoice ormia_;
  std::vector<int16_t> scaled_;
};

}  // namespace kaldro::app

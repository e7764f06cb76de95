// The output module's voices (the rows of the voice table that the module offers) and the speaker
// that runs a message's steps through the chosen one, falling back to the built-in voice.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/config.h"
#include "platform/status.h"
#include "tts/ormia_engine.h"
#include "sd_kaldro/module_protocol.h"
#include "sd_kaldro/module_speech_plan.h"
#include "voice/builtin_voice.h"
#include "voice/text_reading.h"
#include "voice/voice_table.h"

namespace kaldro::app {

// Every voice hands the server 16-bit mono samples at this rate: the server opens its device once
// per message, so one message never changes rate.
inline constexpr int ModuleSampleRate = voice::BuiltInVoice::SampleRate;

// What kaldro.conf, the module's file in Speech Dispatcher's configuration, may say.
struct ModuleOptions {
  std::string defaultVoice;                                  // a voice name; empty: the engine's when it runs
  std::string soundIconFolder = "/usr/share/sounds/sound-icons/";
};
// Reads "Name value" lines ('#' comments, values optionally quoted); unknown names are ignored.
ModuleOptions readModuleOptions(std::string_view text);

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
  // Starts the voices of the voice table; fails when the built-in one does not start. startReport
  // then tells which voices run and why the others do not.
  platform::Status start();
  // One line (UTF-8): the voices that run, and why the others do not.
  const std::string& startReport() const { return startReport_; }
  std::vector<VoiceEntry> voices() const;
  // Speaks the steps; stops early when output.audio refuses samples.
  void run(const std::vector<SpeechStep>& steps, const ModuleSettings& settings, const SpeakerOutput& output);
  std::string characterName(uint8_t character) const;
  // The steps of a message, planned with the voices' reading and names.
  std::vector<SpeechStep> plan(MessageKind kind, std::string_view message, const ModuleSettings& settings) const;

 private:
  class JobSink;
  // A voice of the table, made for the module.
  struct Made {
    const voice::VoiceRow* row;
    std::unique_ptr<voice::Voice> voice;
    bool started = false;  // once a start succeeded: a later failure is the engine breaking
  };
  Made& chooseVoice(const ModuleSettings& settings);
  // The icon file for a name, or empty when there is none (names with a path are refused).
  std::string iconPath(const std::string& name) const;
  // Says one step; false when the sink refused (the job was cancelled).
  bool speakStep(const SpeechStep& step, Made*& by, JobSink& sink, const SpeakerOutput& output);

  const platform::Configuration& config_;
  ModuleOptions options_;
  TextReading reading_;
  platform::CharacterNames characters_;
  std::vector<Made> voices_;  // in the table's order; the built-in voice last
  std::string startReport_;
};

}  // namespace kaldro::app

// Everything a program of the family runs on, built once by main and torn down in order.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "audio/tone_output.h"
#include "audio/wav_player.h"
#include "engines/espeak_library.h"
#include "console/console.h"
#include "files/file_chooser.h"
#include "platform/audio/audio_device.h"
#include "platform/config.h"
#include "platform/host/host.h"
#include "platform/host/host_factories.h"
#include "platform/trace.h"
#include "speech/external_synth.h"
#include "speech/line_editor.h"
#include "speech/speech.h"
#include "voice/text_reading.h"

namespace kaldro::app {

class ProgramRuntime {
 public:
  // audioChoice: where sound goes (KALDRO_AUDIO's values); empty takes options.audio or the host's default.
  ProgramRuntime(std::unique_ptr<platform::Host> host, const platform::RunOptions& options,
                 std::string audioChoice = {});
  ~ProgramRuntime();

  platform::Host& host() { return *host_; }
  console::Console& console() { return *console_; }
  audio::WavPlayer& wavPlayer() { return *wavPlayer_; }
  speech::Speech& speech() { return *speech_; }
  speech::LineEditor& lineEditor() { return *lineEditor_; }
  files::FileChooser& fileChooser() { return *fileChooser_; }
  const platform::Configuration& configuration() const { return config_; }
  // Why the sound device chosen by the program could not be made (empty when it could).
  const std::string& audioError() const { return audioError_; }
  // Why sound given to the device was lost since (CP1252); empty while nothing was.
  std::string audioFailure() const { return audioDevice_ ? audioDevice_->failure() : std::string(); }
  speech::ExternalSynth& externalSynth() { return *externalSynth_; }
  // Natural (the default of KALDRO.INI) or literal reading, for both voices; set before speech starts.
  void setReading(tts::Reading reading);

 private:
  std::unique_ptr<platform::Host> host_;
  platform::Configuration config_;
  std::unique_ptr<console::Console> console_;
  std::unique_ptr<platform::AudioDevice> audioDevice_;
  std::string audioError_;
  std::unique_ptr<TextReading> reading_;
  std::unique_ptr<audio::DeviceToneOutput> toneOutput_;
  std::unique_ptr<audio::WavPlayer> wavPlayer_;
  // The engine dispatcher over the external synthesizers.
  // libespeak-ng can be initialised once per process only: the run's one owner (it starts the
  // library when eSpeak NG first speaks).
  std::unique_ptr<engines::EspeakLibrary> espeakLibrary_;
  std::unique_ptr<speech::ExternalSynth> externalSynth_;
  std::unique_ptr<speech::Speech> speech_;
  std::unique_ptr<speech::LineEditor> lineEditor_;
  std::unique_ptr<files::FileChooser> fileChooser_;
};

// Builds the runtime from the run's options (host, trace, ...), runs body, and turns the end of the
// program (platform::ProgramExit) into the exit status, after writing the screen dump and the
// trace's exit line. makeWindow: the window host, for programs that link it
// (platform::makeWindowHost); without it the host is the terminal or headless one.
int runProgram(const platform::RunOptions& options, const std::function<void(ProgramRuntime&)>& body,
               platform::WindowHostFactory makeWindow = nullptr);

// The same on a host (and sound) the program chooses itself, for tools that read no keys.
using HostMaker = std::function<std::unique_ptr<platform::Host>(platform::Trace&)>;
int runProgram(const platform::RunOptions& options, const HostMaker& makeHost, const std::string& audioChoice,
               const std::function<void(ProgramRuntime&)>& body);

}  // namespace kaldro::app

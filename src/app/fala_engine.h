// kaldro-fala --engine speechd | espeak: texts spoken (or, by eSpeak NG, written to a WAV file)
// through one of the desktop's engines, with the voice, rate and pitch of SERVFALA in KALDRO.INI.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program_runtime.h"
#include "engines/engine_adapter.h"
#include "engines/espeak_adapter.h"
#include "engines/espeak_library.h"

namespace kaldro::app {

enum class DesktopEngine { SpeechDispatcher, Espeak };

// "speechd" or "espeak"; nothing for any other name.
std::optional<DesktopEngine> desktopEngineNamed(const std::string& name);

// One engine started for the run. Problems are written on standard error in Portuguese and end the
// program with status 1 (platform::ProgramExit).
class DesktopSpeaker {
 public:
  // With outputFile, eSpeak NG writes everything said into that WAV file; Speech Dispatcher refuses it.
  DesktopSpeaker(ProgramRuntime& runtime, DesktopEngine engine, const std::string& outputFile);
  ~DesktopSpeaker();
  // Waits for the text before to end, then hands this one (CP1252) over.
  void say(const std::string& text);
  // Waits for the end of speech and shuts the engine down.
  void end();

 private:
  ProgramRuntime& runtime_;
  std::string outputFile_;
  std::unique_ptr<engines::EspeakLibrary> library_;  // the run's one owner of libespeak-ng
  std::unique_ptr<engines::EngineAdapter> adapter_;
  engines::EspeakAdapter* espeak_ = nullptr;
};

}  // namespace kaldro::app

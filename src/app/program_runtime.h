// Everything a program of the family runs on, built once by main and torn down in order.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "console/console.h"
#include "files/file_chooser.h"
#include "platform/config.h"
#include "platform/host.h"
#include "platform/trace.h"
#include "speech/line_editor.h"
#include "speech/speech.h"

namespace kaldro::app {

class ProgramRuntime {
 public:
  ProgramRuntime(platform::Trace& trace, std::unique_ptr<platform::Host> host);
  ~ProgramRuntime();

  platform::Host& host() { return *host_; }
  console::Console& console() { return *console_; }
  speech::Speech& speech() { return *speech_; }
  speech::LineEditor& lineEditor() { return *lineEditor_; }
  files::FileChooser& fileChooser() { return *fileChooser_; }
  const platform::Configuration& configuration() const { return config_; }

 private:
  std::unique_ptr<platform::Host> host_;
  platform::Configuration config_;
  std::unique_ptr<console::Console> console_;
  std::unique_ptr<speech::Speech> speech_;
  std::unique_ptr<speech::LineEditor> lineEditor_;
  std::unique_ptr<files::FileChooser> fileChooser_;
};

// Builds the runtime from the environment (KALDRO_HOST, KALDRO_TRACE, ...), runs body, and turns
// the end of the program (platform::ProgramExit) into the exit status, after writing the screen
// dump (KALDRO_SCREEN) and the trace's exit line.
int runProgram(const std::function<void(ProgramRuntime&)>& body);

}  // namespace kaldro::app

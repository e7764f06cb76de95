// The output module around its protocol: where its configuration and MBROLA are found, and the one
// loop that reads the server's lines, hands the worker's output on and wakes when either comes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/config.h"
#include "platform/run_options.h"
#include "platform/status.h"
#include "sd_kaldro/module_protocol.h"
#include "sd_kaldro/module_worker.h"
#include "tts/ormia_engine.h"

namespace kaldro::app {

// --help, -h and --version answered, or a wrong command line refused: the exit status. Nothing when
// the module is to run (at most one argument, its configuration file).
std::optional<int> answerModuleCommandLine(const std::vector<std::string>& arguments);

// The module lives in PREFIX/lib/speech-dispatcher-modules: its tree is two folders up, not one.
platform::ConfigLocations moduleLocations(const platform::RunOptions& run);
// The run's folders, where MBROLA is looked for.
tts::EnginePlaces moduleEnginePlaces(const platform::RunOptions& run);
// The configuration file the server names (kaldro.conf); empty when there is none.
std::string readModuleConfiguration(const std::vector<std::string>& arguments);

// The pipe the worker writes a byte to when it has output, waking the loop.
class WakePipe {
 public:
  WakePipe();
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;
  // Ok, or why the pipe could not be made.
  const platform::Status& status() const { return status_; }
  // From any thread; a full pipe already wakes.
  void signal() const;
  int readEnd() const { return fds_[0]; }
  void drain() const;

 private:
  int fds_[2] = {-1, -1};
  platform::Status status_;
};

// Serves the server until QUIT or until it goes; the exit status. What the loop ends with is
// answered at once: a job still running after QUIT is not waited for.
int runModuleLoop(ModuleProtocol& protocol, SpeechWorker& worker, const WakePipe& wake);

// A line for the server's log, on standard error.
void logModuleLine(const std::string& cp1252);

}  // namespace kaldro::app

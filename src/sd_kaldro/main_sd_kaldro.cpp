// sd_kaldro: the Speech Dispatcher output module of kaldro's voices, speaking the module protocol on
// standard input and output and sending its sound to the server.
#include <signal.h>

#include <string>
#include <vector>

#include "platform/config.h"
#include "platform/run_options.h"
#include "sd_kaldro/module_loop.h"
#include "sd_kaldro/module_protocol.h"
#include "sd_kaldro/module_voices.h"
#include "sd_kaldro/module_worker.h"

int main(int argc, char** argv) {
  using namespace kaldro;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (const std::optional<int> answered = app::answerModuleCommandLine(arguments)) return *answered;
  ::signal(SIGPIPE, SIG_IGN);  // a server gone is a failed write, not a killed module

  const platform::RunOptions run = platform::RunOptions::fromEnvironment();
  const app::ModuleOptions options = app::readModuleOptions(app::readModuleConfiguration(arguments));
  const platform::Configuration config(app::moduleLocations(run));
  const app::WakePipe wake;
  if (!wake.status().ok()) {
    app::logModuleLine(wake.status().message());
    return 1;
  }
  app::ModuleSpeaker speaker(config, options, app::moduleEnginePlaces(run));
  app::SpeechWorker worker(speaker, [&wake] { wake.signal(); });
  app::SpeakingModule host(speaker, worker);
  app::ModuleProtocol protocol(host);
  return app::runModuleLoop(protocol, worker, wake);
}

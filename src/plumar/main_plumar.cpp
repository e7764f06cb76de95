// plumar: the talking form-letter generator.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "plumar/letter_generator.h"
#include "program/program_runtime.h"
#include "platform/standard_options.h"
#include "platform/host/host_factories.h"
#include "platform/words.h"

int main(int argc, char** argv) {
  using namespace kaldro;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (platform::answerStandardOption(arguments, "plumar", platform::words::PlumarHelp)) return 0;
  const platform::RunOptions run = platform::RunOptions::fromEnvironment();
  return app::runProgram(
      run, [&](app::ProgramRuntime& runtime) {
        app::LetterGenerator generator(runtime.console(), runtime.speech(), runtime.lineEditor(),
                                       runtime.fileChooser(), run.utf8Locale);
        generator.run(arguments);
      },
      platform::makeWindowHost);
}

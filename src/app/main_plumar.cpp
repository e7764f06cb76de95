// plumar: the talking form-letter generator.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "app/letter_generator.h"
#include "app/program_runtime.h"
#include "platform/host_factories.h"

int main(int argc, char** argv) {
  using namespace kaldro;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return app::runProgram(
      [&](app::ProgramRuntime& runtime) {
        app::LetterGenerator generator(runtime.console(), runtime.speech(), runtime.lineEditor(),
                                       runtime.fileChooser());
        generator.run(arguments);
      },
      platform::makeWindowHost);
}

// The choice of host at start-up: KALDRO_HOST, else window, terminal or headless, whichever can run here.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/host_factories.h"

namespace kaldro::platform {

namespace {

bool displayReachable() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return true;
  }
  return false;
}

bool onTerminal() { return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1; }

std::unique_ptr<Host> headless(Trace& trace) {
  std::string error;
  std::unique_ptr<Host> host = makeHeadlessHost(trace, error);
  if (!host) {  // without a script there is no way to go on
    std::fprintf(stderr, "%s\n", error.c_str());
    throw ProgramExit{2};
  }
  return host;
}

std::unique_ptr<Host> terminalOrHeadless(Trace& trace, bool requireTerminal) {
  if (requireTerminal && !onTerminal()) return headless(trace);
  std::string error;
  if (std::unique_ptr<Host> host = makeTerminalHost(trace, error)) return host;
  std::fprintf(stderr, "o terminal não pôde ser usado (%s); segue sem tela\n", error.c_str());
  return headless(trace);
}

std::unique_ptr<Host> windowOrNext(Trace& trace, WindowHostFactory makeWindow) {
  std::string error = "este programa não tem janela";
  if (makeWindow)
    if (std::unique_ptr<Host> host = makeWindow(trace, error)) return host;
  std::fprintf(stderr, "a janela não pôde abrir (%s); segue %s\n", error.c_str(),
               onTerminal() ? "no terminal" : "sem tela");
  return terminalOrHeadless(trace, true);
}

}  // namespace

std::unique_ptr<Host> createHost(Trace& trace, WindowHostFactory makeWindow) {
  const char* chosen = std::getenv("KALDRO_HOST");
  if (chosen && *chosen) {
    std::string_view name(chosen);
    if (name == "window") return windowOrNext(trace, makeWindow);
    if (name == "terminal") return terminalOrHeadless(trace, false);
    if (name != "headless") std::fprintf(stderr, "KALDRO_HOST desconhecido: %s; segue sem tela\n", chosen);
    return headless(trace);
  }
  if (makeWindow && displayReachable()) return windowOrNext(trace, makeWindow);
  return terminalOrHeadless(trace, true);
}

}  // namespace kaldro::platform

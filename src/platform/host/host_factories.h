// The hosts, and the choice among them at start-up.
#pragma once

#include <memory>
#include <string>

#include "platform/host/host.h"
#include "platform/run_options.h"
#include "platform/status.h"

namespace kaldro::platform {

// Each factory makes its host, or makes none and says why it cannot run here.
Made<Host> makeHeadlessHost(Trace& trace, const RunOptions& options);
Made<Host> makeTerminalHost(Trace& trace, const RunOptions& options);
// The window host lives in its own library (SDL2, SDL2_ttf, fontconfig): only programs that
// link it, and pass it to createHost, can open a window.
Made<Host> makeWindowHost(Trace& trace, const RunOptions& options);
using WindowHostFactory = Made<Host> (*)(Trace& trace, const RunOptions& options);

// KALDRO_HOST, else the window when a display is reachable, else the terminal when standard input
// and output are terminals, else headless. Without makeWindow there is no window to choose. A
// malformed key script ends the program with status 2 (throws ProgramExit after writing the
// fault's line number on standard error).
std::unique_ptr<Host> createHost(Trace& trace, const RunOptions& options, WindowHostFactory makeWindow = nullptr);

}  // namespace kaldro::platform

// The hosts, and the choice among them at start-up.
#pragma once

#include <memory>
#include <string>

#include "platform/host/host.h"
#include "platform/run_options.h"

namespace kaldro::platform {

// Each factory returns nothing and sets error when its host cannot run here.
std::unique_ptr<Host> makeHeadlessHost(Trace& trace, const RunOptions& options, std::string& error);
std::unique_ptr<Host> makeTerminalHost(Trace& trace, const RunOptions& options, std::string& error);
// The window host lives in its own library (SDL2, SDL2_ttf, fontconfig): only programs that
// link it, and pass it to createHost, can open a window.
std::unique_ptr<Host> makeWindowHost(Trace& trace, const RunOptions& options, std::string& error);
using WindowHostFactory = std::unique_ptr<Host> (*)(Trace& trace, const RunOptions& options, std::string& error);

// KALDRO_HOST, else the window when a display is reachable, else the terminal when standard input
// and output are terminals, else headless. Without makeWindow there is no window to choose. A
// malformed key script ends the program with status 2 (throws ProgramExit after writing the
// fault's line number on standard error).
std::unique_ptr<Host> createHost(Trace& trace, const RunOptions& options, WindowHostFactory makeWindow = nullptr);

}  // namespace kaldro::platform

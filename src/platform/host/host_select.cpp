// The choice of host at start-up: KALDRO_HOST, else window, terminal or headless, whichever can run here.
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "platform/host/host_factories.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::platform {

namespace {

bool onTerminal() { return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1; }

std::unique_ptr<Host> headless(Trace& trace, const RunOptions& options) {
  Made<Host> made = makeHeadlessHost(trace, options);
  if (!made.object) {  // without a script there is no way to go on
    std::fprintf(stderr, "%s\n", cp1252ToUtf8(made.status.message()).c_str());
    throw ProgramExit{2};
  }
  return std::move(made.object);
}

std::unique_ptr<Host> terminalOrHeadless(Trace& trace, const RunOptions& options, bool requireTerminal) {
  if (requireTerminal && !onTerminal()) return headless(trace, options);
  Made<Host> made = makeTerminalHost(trace, options);
  if (made.object) return std::move(made.object);
  const std::string why = cp1252ToUtf8(made.status.message());
  std::fprintf(stderr, "%s\n", words::TerminalFailedGoingHeadless.utf8({why}).c_str());
  return headless(trace, options);
}

std::unique_ptr<Host> windowOrNext(Trace& trace, const RunOptions& options, WindowHostFactory makeWindow) {
  Made<Host> made = notMade<Host>(StatusCode::NotFound, words::ProgramHasNoWindow.str());
  if (makeWindow) made = makeWindow(trace, options);
  if (made.object) return std::move(made.object);
  const Cp1252Words& goingOn = onTerminal() ? words::WindowFailedGoingToTerminal : words::WindowFailedGoingHeadless;
  std::fprintf(stderr, "%s\n", goingOn.utf8({cp1252ToUtf8(made.status.message())}).c_str());
  return terminalOrHeadless(trace, options, true);
}

// The hosts KALDRO_HOST may name; each falls back to the next that can run here.
struct NamedHost {
  std::string_view name;
  std::unique_ptr<Host> (*make)(Trace& trace, const RunOptions& options, WindowHostFactory makeWindow);
};
constexpr NamedHost kHosts[] = {
    {"window", [](Trace& t, const RunOptions& o, WindowHostFactory w) { return windowOrNext(t, o, w); }},
    {"terminal", [](Trace& t, const RunOptions& o, WindowHostFactory) { return terminalOrHeadless(t, o, false); }},
    {"headless", [](Trace& t, const RunOptions& o, WindowHostFactory) { return headless(t, o); }},
};

}  // namespace

std::unique_ptr<Host> createHost(Trace& trace, const RunOptions& options, WindowHostFactory makeWindow) {
  if (!options.host.empty()) {
    for (const NamedHost& host : kHosts) {
      if (host.name == options.host) return host.make(trace, options, makeWindow);
    }
    std::fprintf(stderr, "%s\n", words::UnknownHost.utf8({options.host}).c_str());
    return headless(trace, options);
  }
  if (makeWindow && options.displayReachable) return windowOrNext(trace, options, makeWindow);
  return terminalOrHeadless(trace, options, true);
}


}  // namespace kaldro::platform

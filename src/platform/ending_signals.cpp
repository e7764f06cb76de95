// SIGTERM, SIGINT and SIGHUP turned into a flag the program's thread meets as the quit message.
#include "platform/ending_signals.h"

#include <signal.h>

namespace kaldro::platform {

namespace {
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// A signal handler has no object to reach: this flag is the one thing it may touch.
volatile sig_atomic_t gEndingSignal = 0;

void onEndingSignal(int signalNumber) {
  if (gEndingSignal == signalNumber) {  // asked twice: the program is not listening
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
  }
  // Another ending signal while the first is met (a session sends SIGTERM and then SIGHUP at once)
  // must not cut the clean-up short: only the same signal again ends the process at once.
  if (gEndingSignal == 0) gEndingSignal = signalNumber;
}
}  // namespace

EndingSignals::EndingSignals() {
  gEndingSignal = 0;
  struct sigaction action {};
  action.sa_handler = onEndingSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a read of standard input returns
  for (int signalNumber : kEndingSignals) ::sigaction(signalNumber, &action, nullptr);
}

EndingSignals::~EndingSignals() {
  for (int signalNumber : kEndingSignals) ::signal(signalNumber, SIG_DFL);
  gEndingSignal = 0;
}

bool endingSignalPending() { return gEndingSignal != 0; }

}  // namespace kaldro::platform

// SIGTERM, SIGINT and SIGHUP on the hosts that have no signal handling of their own (the quiet and
// the headless one): the program's thread meets them as the quit message, so the program ends
// promptly, through its normal end (screen dump, trace, sound device closed).
#pragma once

namespace kaldro::platform {

class EndingSignals {
 public:
  // Installs the handlers; a blocking read or wait is interrupted, not restarted. A second signal
  // while the first is not yet met ends the process at once.
  EndingSignals();
  // Puts the default handling back.
  ~EndingSignals();
  EndingSignals(const EndingSignals&) = delete;
  EndingSignals& operator=(const EndingSignals&) = delete;
};

// Whether an ending signal has arrived since the handlers were installed.
bool endingSignalPending();

}  // namespace kaldro::platform

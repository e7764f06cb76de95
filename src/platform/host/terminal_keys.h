// Turns the bytes an xterm-like terminal sends for keys into the notifications a window delivers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host.h"

namespace kaldro::platform {

// Decodes key bytes as they arrive. It never reads the terminal or a clock: the caller hands it
// the bytes with their arrival time, and calls expire() once deadline() has passed, so a lone
// Escape (or a sequence cut short) is told apart from the start of a longer sequence.
class TerminalKeyDecoder {
 public:
  // How long a byte that may begin a sequence waits for the rest.
  static constexpr int64_t EscapeTimeoutMs = 40;

  // Bytes that arrived at nowMs; the notifications of every complete key are appended to out.
  void feed(std::string_view bytes, int64_t nowMs, std::vector<HostEvent>& out);
  // Settles what still waits for more bytes once its time is up.
  void expire(int64_t nowMs, std::vector<HostEvent>& out);
  // When expire() should run, while some bytes wait.
  std::optional<int64_t> deadline() const;

 private:
  void decodePending(bool timedOut, std::vector<HostEvent>& out);

  std::string pending_;
  int64_t lastArrivalMs_ = 0;
  bool inPaste_ = false;  // between the terminal's paste markers: text, not keys
};

// Every key of bytes that arrived together, the last one settled as if its time were up.
std::vector<HostEvent> decodeTerminalKeys(std::string_view bytes);

}  // namespace kaldro::platform

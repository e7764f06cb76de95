// Events due at a time of the real clock, shared by the hosts that run in real time.
#include "platform/host/timed_events.h"

#include <time.h>

#include <algorithm>

namespace kaldro::platform {

int64_t monotonicClockMs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int waitTimeoutMs(std::optional<int64_t> dueMs, int64_t nowMs) {
  if (!dueMs) return -1;
  return static_cast<int>(std::clamp<int64_t>(*dueMs - nowMs, 0, 60000));
}

}  // namespace kaldro::platform

// Events due at a time of the real clock, shared by the hosts that run in real time.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>

#include "platform/host/host.h"

namespace kaldro::platform {

// Milliseconds of the system's monotonic clock.
int64_t monotonicClockMs();

// A wait's timeout in milliseconds until due (-1: no limit), capped at a minute so that a clock
// that jumps never leaves a wait hanging.
int waitTimeoutMs(std::optional<int64_t> dueMs, int64_t nowMs);

// Not thread-safe: the host that owns it decides on which thread, or under which lock, it is used.
class TimedEvents {
 public:
  // Equal times keep their posting order.
  void post(int64_t dueMs, const HostEvent& event) { events_.emplace(dueMs, event); }
  void clear() { events_.clear(); }
  bool empty() const { return events_.empty(); }
  std::optional<int64_t> nextDueMs() const {
    if (events_.empty()) return std::nullopt;
    return events_.begin()->first;
  }
  // Moves every event due by nowMs to the end of ready, in order.
  void moveDue(int64_t nowMs, std::deque<HostEvent>& ready) {
    while (!events_.empty() && events_.begin()->first <= nowMs) {
      ready.push_back(events_.begin()->second);
      events_.erase(events_.begin());
    }
  }

 private:
  std::multimap<int64_t, HostEvent> events_;
};

}  // namespace kaldro::platform

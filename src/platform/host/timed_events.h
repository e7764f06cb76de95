// Events due at a time of the real clock, and events posted from other threads, shared by the hosts
// that run in real time.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

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

// Events posted from any thread, held under a lock until the host's own thread takes them.
class CrossThreadEvents {
 public:
  void post(const HostEvent& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
  }
  // Moves every posted event to the end of ready, in posting order.
  void moveAll(std::deque<HostEvent>& ready) {
    std::lock_guard lock(mutex_);
    ready.insert(ready.end(), events_.begin(), events_.end());
    events_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<HostEvent> events_;
};

}  // namespace kaldro::platform

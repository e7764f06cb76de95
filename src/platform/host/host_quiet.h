// A host with a real clock and no window or keyboard (kaldro-fala, benchmarks): sound devices
// report to it from any thread, nobody types.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/ending_signals.h"
#include "platform/host/host.h"
#include "platform/host/timed_events.h"

namespace kaldro::platform {

class HostQuiet : public Host {
 public:
  explicit HostQuiet(Trace& trace) : Host(trace), start_(std::chrono::steady_clock::now()) {}

  std::string_view name() const override { return "quiet"; }

  std::optional<HostEvent> pollEvent() override {
    if (!endingReported_ && endingSignalPending()) {  // waits end now and then, so this is met soon
      endingReported_ = true;
      HostEvent quit;
      quit.kind = EventKind::Quit;
      return quit;
    }
    std::lock_guard lock(mutex_);
    timed_.moveDue(monotonicMs(), posted_);
    if (posted_.empty()) return std::nullopt;
    HostEvent event = posted_.front();
    posted_.pop_front();
    return event;
  }

  void waitForEvent() override {
    std::unique_lock lock(mutex_);
    if (!posted_.empty()) return;
    // With nothing due the wait still ends now and then: callers poll their own state again.
    int64_t dueMs = monotonicMs() + kLongestWaitMs;
    if (auto due = timed_.nextDueMs()) dueMs = std::min(dueMs, *due);
    const auto deadline = start_ + std::chrono::milliseconds(dueMs);
    wake_.wait_until(lock, deadline, [&] { return !posted_.empty(); });
  }

  void postFromAnyThread(const HostEvent& event) override {
    {
      std::lock_guard lock(mutex_);
      posted_.push_back(event);
    }
    wake_.notify_one();
  }

  void postAt(int64_t dueMs, const HostEvent& event) override {
    std::lock_guard lock(mutex_);
    timed_.post(dueMs, event);
  }

  void cancelTimedEvents() override {
    std::lock_guard lock(mutex_);
    timed_.clear();
  }

  int64_t monotonicMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
  }
  void sleepMs(uint32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

 private:
  static constexpr int64_t kLongestWaitMs = 100;
  const std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<HostEvent> posted_;
  TimedEvents timed_;
  bool endingReported_ = false;
};

}  // namespace kaldro::platform

// The headless host: keys from a script, a virtual clock, no window (tests and automation).
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string_view>

#include "platform/host/host.h"
#include "platform/host/key_script.h"

namespace kaldro::platform {

class HostHeadless : public Host {
 public:
  // A malformed script is written on standard error with its line number and ends the program
  // (throws ProgramExit with status 2).
  HostHeadless(Trace& trace, std::string_view scriptText);
  HostHeadless(Trace& trace, std::vector<ScriptStep> steps);

  std::string_view name() const override { return "headless"; }
  WorkArea workArea() override { return WorkArea{1024, 734}; }

  std::optional<HostEvent> pollEvent() override;
  // Advances the virtual clock to the next due event; hands out the next script event when the
  // program is idle; ends the program (status 3) when the script is exhausted and nothing is due.
  void waitForEvent() override;
  void postFromAnyThread(const HostEvent& event) override;
  void postAt(int64_t dueMs, const HostEvent& event) override;
  void cancelTimedEvents() override;

  int64_t monotonicMs() override { return nowMs_; }
  void sleepMs(uint32_t milliseconds) override { nowMs_ += milliseconds; }

  // How many script steps remain (a step of "type" counts once until its last character).
  size_t remainingSteps() const { return steps_.size() - nextStep_; }

 private:
  bool anyEventReady();
  std::optional<int64_t> nextStepDueMs() const;
  // Hands out the next script event at the current virtual time (its notifications go to ready_).
  void deliverNextStep();
  // Applies the clipboard lines that follow at once (without a wait) the step just delivered.
  void applyImmediateClips();

  std::vector<ScriptStep> steps_;
  size_t nextStep_ = 0;
  size_t typedCharacters_ = 0;  // of the current "type" step
  int64_t nowMs_ = 0;
  int64_t lastScriptEventMs_ = 0;
  std::deque<HostEvent> ready_;                    // notifications of the script event just delivered
  std::multimap<int64_t, HostEvent> timedEvents_;  // equal times keep the order they were posted in
  std::mutex postedMutex_;
  std::deque<HostEvent> posted_;  // from other threads
  bool endingReported_ = false;
};

}  // namespace kaldro::platform

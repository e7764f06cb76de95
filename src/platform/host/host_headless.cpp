// The headless host: script events handed out when the program is idle, timed events on a virtual clock.
#include "platform/host/host_headless.h"

#include "platform/ending_signals.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/host/host_factories.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::platform {

namespace {
std::vector<ScriptStep> stepsOrExit(std::string_view scriptText) {
  KeyScript script = parseKeyScript(scriptText);
  if (script.fault) {
    std::fprintf(stderr, "%s\n", words::KeyScriptFault.utf8({std::to_string(script.fault->line), script.fault->message}).c_str());
    throw ProgramExit{2};
  }
  return std::move(script.steps);
}
}  // namespace

HostHeadless::HostHeadless(Trace& trace, std::string_view scriptText) : HostHeadless(trace, stepsOrExit(scriptText)) {}

HostHeadless::HostHeadless(Trace& trace, std::vector<ScriptStep> steps) : Host(trace), steps_(std::move(steps)) {
  // The clock is anchored at virtual 0 ms, however late the program first asks for it.
  localNow();
  applyImmediateClips();
}

bool HostHeadless::anyEventReady() {
  if (!ready_.empty()) return true;
  if (!timedEvents_.empty() && timedEvents_.begin()->first <= nowMs_) return true;
  std::lock_guard lock(postedMutex_);
  return !posted_.empty();
}

std::optional<int64_t> HostHeadless::nextStepDueMs() const {
  if (nextStep_ >= steps_.size()) return std::nullopt;
  const ScriptStep& step = steps_[nextStep_];
  // Only the first character of a typed text waits; the rest come as the program gets idle.
  if (!step.delayMs || typedCharacters_ > 0) return std::nullopt;
  return lastScriptEventMs_ + static_cast<int64_t>(*step.delayMs);
}

void HostHeadless::deliverNextStep() {
  const ScriptStep& step = steps_[nextStep_];
  lastScriptEventMs_ = nowMs_;
  switch (step.action) {
    case ScriptAction::Type: {
      if (typedCharacters_ < step.text.size()) {
        ready_.push_back(characterEvent(static_cast<uint8_t>(step.text[typedCharacters_]), {}));
        ++typedCharacters_;
      }
      if (typedCharacters_ >= step.text.size()) {
        typedCharacters_ = 0;
        ++nextStep_;
      }
      break;
    }
    case ScriptAction::Press:
    case ScriptAction::Down:
    case ScriptAction::Up: {
      KeyPhase phase = step.action == ScriptAction::Press  ? KeyPhase::Press
                       : step.action == ScriptAction::Down ? KeyPhase::DownOnly
                                                           : KeyPhase::UpOnly;
      for (const HostEvent& event : expandKey(step.key, phase)) ready_.push_back(event);
      ++nextStep_;
      break;
    }
    case ScriptAction::Clip:
      setClipboardText(step.text);
      ++nextStep_;
      break;
    case ScriptAction::Close: {
      HostEvent close;
      close.kind = EventKind::CloseRequest;
      ready_.push_back(close);
      ++nextStep_;
      break;
    }
  }
  applyImmediateClips();
}

void HostHeadless::applyImmediateClips() {
  while (nextStep_ < steps_.size() && typedCharacters_ == 0 && steps_[nextStep_].action == ScriptAction::Clip &&
         !steps_[nextStep_].delayMs) {
    setClipboardText(steps_[nextStep_].text);
    ++nextStep_;
  }
}

std::optional<HostEvent> HostHeadless::pollEvent() {
  if (!endingReported_ && endingSignalPending()) {
    endingReported_ = true;
    HostEvent quit;
    quit.kind = EventKind::Quit;
    return quit;
  }
  for (;;) {
    if (!ready_.empty()) {
      HostEvent event = ready_.front();
      ready_.pop_front();
      return event;
    }
    {
      std::lock_guard lock(postedMutex_);
      if (!posted_.empty()) {
        HostEvent event = posted_.front();
        posted_.pop_front();
        return event;
      }
    }
    if (!timedEvents_.empty() && timedEvents_.begin()->first <= nowMs_) {
      HostEvent event = timedEvents_.begin()->second;
      timedEvents_.erase(timedEvents_.begin());
      return event;
    }
    // A script event after a wait comes when its time has come, busy or not.
    std::optional<int64_t> due = nextStepDueMs();
    if (!due || *due > nowMs_) return std::nullopt;
    deliverNextStep();
  }
}

void HostHeadless::waitForEvent() {
  for (;;) {
    if (anyEventReady()) return;
    std::optional<int64_t> timedDue;
    if (!timedEvents_.empty()) timedDue = timedEvents_.begin()->first;
    std::optional<int64_t> scriptDue = nextStepDueMs();

    if (scriptDue && (!timedDue || *scriptDue <= *timedDue)) {
      nowMs_ = std::max(nowMs_, *scriptDue);
      deliverNextStep();
      continue;
    }
    if (timedDue) {  // sound is playing: the program is not idle yet
      nowMs_ = std::max(nowMs_, *timedDue);
      return;
    }
    if (nextStep_ < steps_.size()) {  // idle: the next key
      deliverNextStep();
      continue;
    }
    std::fprintf(stderr, "%s\n", words::KeyScriptExhausted.utf8().c_str());
    throw ProgramExit{3};
  }
}

void HostHeadless::postFromAnyThread(const HostEvent& event) {
  std::lock_guard lock(postedMutex_);
  posted_.push_back(event);
}

void HostHeadless::postAt(int64_t dueMs, const HostEvent& event) { timedEvents_.emplace(dueMs, event); }

void HostHeadless::cancelTimedEvents() { timedEvents_.clear(); }

Made<Host> makeHeadlessHost(Trace& trace, const RunOptions& options) {
  std::string text;
  if (const std::string& path = options.keyScript; !path.empty()) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return notMade<Host>(StatusCode::Unreadable, utf8ToCp1252(words::KeyScriptUnreadable.utf8({path})));
    std::ostringstream contents;
    contents << in.rdbuf();
    text = contents.str();
  } else {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  return {std::make_unique<HostHeadless>(trace, text), {}};
}

}  // namespace kaldro::platform

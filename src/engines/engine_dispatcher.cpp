// The engine dispatcher: kind number to adapter, and the wait for a quiet engine after start.
#include "engines/engine_dispatcher.h"

namespace kaldro::engines {

EngineDispatcher::EngineDispatcher(console::Console& console, AdapterFactory factory)
    : console_(console), factory_(std::move(factory)) {}

EngineDispatcher::~EngineDispatcher() = default;

EngineAdapter& EngineDispatcher::selected() {
  const EngineFamily family = familyOfKind(engineKind_);
  std::unique_ptr<EngineAdapter>& adapter = adapters_[family];
  if (!adapter && factory_) adapter = factory_(family);
  if (!adapter) adapter = std::make_unique<UnavailableEngine>();
  return *adapter;
}

bool EngineDispatcher::synthStart(int voice, int speed, int pitch, const std::string& outputFile, int kind) {
  engineKind_ = kind;
  EngineAdapter& adapter = selected();
  adapter.setVoiceName(voiceName_);
  startStatus_ = adapter.start(voice, speed, pitch, outputFile);
  // A freshly started engine may still speak its own greeting; return once it is quiet (or, for an
  // engine that never says so, after a while).
  if (startStatus_.ok())
    console_.waitWhile(console::WaitSteps::pauses(QuietPollMs, QuietLimitMs), [&] { return adapter.busy(true); });
  return startStatus_.ok();
}

void EngineDispatcher::synthFinish() { selected().finish(); }

void EngineDispatcher::synthSpeak(std::string_view text) { selected().speak(text); }

void EngineDispatcher::synthSpeakLiterally(std::string_view text) { selected().speakLiterally(text); }

bool EngineDispatcher::synthBusy(bool queuedOnly) {
  // Completion notices of the engines and the wave player are taken first.
  console_.pumpAllMessages();
  return selected().busy(queuedOnly);
}

void EngineDispatcher::synthStop() { selected().stop(); }

const EngineAdapter* EngineDispatcher::selectedIfMade() const {
  const auto adapter = adapters_.find(familyOfKind(engineKind_));
  return adapter != adapters_.end() ? adapter->second.get() : nullptr;
}

bool EngineDispatcher::synthOutputFailed() const {
  const EngineAdapter* adapter = selectedIfMade();
  return adapter && adapter->outputFailed();
}

std::string EngineDispatcher::synthFailureText() const {
  const EngineAdapter* adapter = selectedIfMade();
  if (!adapter) return {};
  const platform::Status lost = adapter->speechLost();
  return lost.ok() ? startStatus_.message() : lost.message();
}

bool EngineDispatcher::synthSpeechLost() const {
  const EngineAdapter* adapter = selectedIfMade();
  return adapter && !adapter->speechLost().ok();
}

}  // namespace kaldro::engines

// The Portuguese engine behind the dispatcher.
#include "engines/ormia_adapter.h"

#include <algorithm>

#include "platform/trace.h"

namespace kaldro::engines {

namespace {
constexpr uint16_t kFinishPollMs = 500;
}  // namespace

// Speed and pitch keep to -10..10, the steps the other engines take: a configured -1000 would
// otherwise stretch the sound 54 times, or give a pitch below zero.
constexpr int kLowestStep = -10;
constexpr int kHighestStep = 10;

double durationFactorForSpeed(int speed) { return 0.8 - std::clamp(speed, kLowestStep, kHighestStep) / 15.0; }
double pitchFactorForPitch(int pitch) { return (std::clamp(pitch, kLowestStep, kHighestStep) + 11) / 11.0; }

platform::Status OrmiaAdapter::speechLost() const {
  if (outputFailed()) return fileSink_->status();
  return voice_.engine().lostUtterance();
}

OrmiaAdapter::OrmiaAdapter(console::Console& console, const platform::Configuration& config, audio::WavPlayer& player,
                           tts::EnginePlaces places, const tts::Reading* reading)
    : console_(console),
      voice_(config, std::move(places),
             [&console](const std::string& message) { console.host().trace().event("message", message); }),
      configuredReading_(tts::readingFromConfig(config)),
      reading_(reading),
      playerSink_(player) {}

void OrmiaAdapter::postWake() { postSynthWake(console_.host()); }

platform::SoundSink& OrmiaAdapter::sink() {
  if (fileSink_) return *fileSink_;
  return playerSink_;
}

platform::Status OrmiaAdapter::start(int, int speed, int pitch, const std::string& outputFile) {
  // A second start finishes the file of the first.
  fileSink_.reset();
  platform::Status status = voice_.start();
  voice_.setPace({durationFactorForSpeed(speed), pitchFactorForPitch(pitch)});
  voice_.setReading(reading_ ? *reading_ : configuredReading_);
  if (status.ok() && !outputFile.empty()) {
    fileSink_ = std::make_unique<platform::WaveFileSink>(outputFile, tts::OrmiaEngine::SampleRate);
    if (!fileSink_->status().ok()) {
      status = fileSink_->status();
      fileSink_.reset();
    }
  }
  started_ = status.ok();
  return status;
}

void OrmiaAdapter::finish() {
  console_.waitWhile(console::WaitSteps::pauses(kFinishPollMs), [this] { return busy(false); });
  stop();
  voice_.finish();
  if (fileSink_) fileSink_->close();  // a failure stays in the sink's status: speech was lost
  started_ = false;
}

void OrmiaAdapter::speak(std::string_view text) {
  if (!started_ || !speechLost().ok()) return;
  voice_.speak(text, sink());
  postWake();
}

void OrmiaAdapter::speakLiterally(std::string_view text) {
  if (!started_) return;
  // The utterance is made at once, so the reading can be put back right after it.
  voice_.setReading(tts::Reading::Literal);
  speak(text);
  voice_.setReading(reading_ ? *reading_ : configuredReading_);
}

bool OrmiaAdapter::busy(bool) {
  if (!started_ || !voice_.engine().lostUtterance().ok()) return false;
  bool speaking = !fileSink_ && playerSink_.playing();
  if (console_.keyStopsSound()) {
    stop();
    speaking = false;
  }
  // The player's finished blocks already end a wait while sound plays; waking on every poll would
  // only make the waits spin.
  if (!speaking) postWake();
  return speaking;
}

void OrmiaAdapter::stop() {
  if (!fileSink_) playerSink_.stop();
  postWake();
}

}  // namespace kaldro::engines

// The Portuguese engine behind the dispatcher.
#include "engines/ormia_adapter.h"

#include <algorithm>

#include "platform/trace.h"

namespace kaldro::engines {

namespace {
constexpr uint16_t kFinishPollMs = 500;

tts::EnginePlaces placesWith(tts::EnginePlaces places, const tts::EngineSettings& settings) {
  if (!settings.mbrolaLibrary.empty())
    places.mbrola.libraries.insert(places.mbrola.libraries.begin(), settings.mbrolaLibrary);
  if (places.engineFolder.empty()) places.engineFolder = settings.engineFolder;
  return places;
}
}  // namespace

// Speed and pitch keep to -10..10, the steps the other engines take: a configured -1000 would
// otherwise stretch the sound 54 times, or give a pitch below zero.
constexpr int kLowestStep = -10;
constexpr int kHighestStep = 10;

double durationFactorForSpeed(int speed) { return 0.8 - std::clamp(speed, kLowestStep, kHighestStep) / 15.0; }
double pitchFactorForPitch(int pitch) { return (std::clamp(pitch, kLowestStep, kHighestStep) + 11) / 11.0; }

OrmiaAdapter::OrmiaAdapter(console::Console& console, const platform::Configuration& config, audio::WavPlayer& player,
                           tts::EnginePlaces places, const tts::Reading* reading)
    : console_(console),
      settings_(tts::readEngineSettings(config)),
      engine_(placesWith(std::move(places), settings_),
              [&console](const std::string& message) { console.host().trace().event("message", message); }),
      configuredReading_(tts::readingFromConfig(config)),
      reading_(reading),
      playerSink_(player) {}

void OrmiaAdapter::postWake() { postSynthWake(console_.host()); }

platform::SoundSink& OrmiaAdapter::sink() {
  if (fileSink_) return *fileSink_;
  return playerSink_;
}

bool OrmiaAdapter::start(int, int speed, int pitch, const std::string& outputFile) {
  // A second start finishes the file of the first.
  fileSink_.reset();
  failureText_.clear();
  lostCause_.clear();
  const tts::DataFiles files = settings_.files();
  started_ = engine_.startEngine(settings_.databaseName, files.rules, files.exceptions, files.abbreviations,
                                 files.prosody, files.diphones);
  engine_.setFactors(durationFactorForSpeed(speed), pitchFactorForPitch(pitch));
  engine_.setReading(reading_ ? *reading_ : configuredReading_);
  if (!started_) {
    failureText_ = engine_.lastErrorText().empty() ? engine_.mbrolaMessage() : engine_.lastErrorText();
    return false;
  }
  if (!outputFile.empty()) {
    fileSink_ = std::make_unique<platform::WaveFileSink>(outputFile, tts::OrmiaEngine::SampleRate);
    if (!fileSink_->status().ok()) {
      failureText_ = fileSink_->status().message();
      fileSink_.reset();
      started_ = false;
    }
  }
  return started_;
}

void OrmiaAdapter::finish() {
  console_.waitWhile(console::WaitSteps::pauses(kFinishPollMs), [this] { return busy(false); });
  stop();
  engine_.shutdownEngine();
  if (fileSink_ && !fileSink_->close().ok()) failureText_ = fileSink_->status().message();
  started_ = false;
}

void OrmiaAdapter::speak(std::string_view text) {
  if (!started_ || outputFailed() || !lostCause_.empty()) return;
  engine_.speakUtterance(text, sink());
  if (fileSink_ && !fileSink_->status().ok()) failureText_ = fileSink_->status().message();
  lostCause_ = engine_.lostUtterance();
  postWake();
}

void OrmiaAdapter::speakLiterally(std::string_view text) {
  if (!started_) return;
  // The utterance is made at once, so the reading can be put back right after it.
  engine_.setReading(tts::Reading::Literal);
  speak(text);
  engine_.setReading(reading_ ? *reading_ : configuredReading_);
}

bool OrmiaAdapter::busy(bool) {
  if (!started_ || !lostCause_.empty()) return false;
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

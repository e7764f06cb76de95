// The output module's voice over the Portuguese engine and MBROLA.
#include <cmath>
#include <memory>

#include "sd_kaldro/module_voices.h"
#include "tts/engine_settings.h"
#include "platform/sound_sink.h"

namespace kaldro::app {

namespace {

// The engine's duration and pitch factors: the server's scales span an octave each way of speed and
// half an octave each way of pitch.
double durationFactorForRate(int rate) { return std::pow(2.0, -rate / 100.0); }
double pitchFactorForPitch(int pitch) { return std::pow(2.0, pitch / 200.0); }

// The engine's samples, handed to the job's sink; remembers whether the sink refused them.
class SinkAdapter final : public platform::SoundSink {
 public:
  explicit SinkAdapter(const SampleSink& sink) : sink_(sink) {}
  bool takeSamples(std::span<const int16_t> samples) override {
    if (refused) return false;
    refused = !sink_(samples);
    return !refused;
  }
  // No samples: the job's sink only answers whether the job still stands (it may be cancelled
  // while MBROLA is waited for).
  bool stillWanted() override { return takeSamples({}); }
  bool refused = false;

 private:
  const SampleSink& sink_;
};

}  // namespace

OrmiaVoice::OrmiaVoice(const platform::Configuration& config, tts::EnginePlaces places)
    : config_(config), places_(std::move(places)) {}

bool OrmiaVoice::start() {
  const tts::EngineSettings settings = tts::readEngineSettings(config_);
  tts::EnginePlaces places = places_;
  if (!settings.mbrolaLibrary.empty())
    places.mbrola.libraries.insert(places.mbrola.libraries.begin(), settings.mbrolaLibrary);
  if (places.engineFolder.empty()) places.engineFolder = settings.engineFolder;
  engine_ = std::make_unique<tts::OrmiaEngine>(places);
  const tts::DataFiles files = settings.files();
  engine_->setReading(reading_);
  engine_->setDictionaries(files.dictionaries);
  const platform::Status started = engine_->startEngine(settings.databaseName, files.rules, files.exceptions,
                                                        files.abbreviations, files.prosody, files.diphones);
  running_ = started.ok();
  available_ = available_ || running_;
  if (!running_) {
    problem_ = started.message();
    engine_.reset();
  }
  return running_;
}

VoiceResult OrmiaVoice::speakText(std::string_view text, const ModuleSettings& settings, const SampleSink& sink) {
  if (!running_ && !start()) return VoiceResult::Failed;
  engine_->setFactors(durationFactorForRate(settings.rate), pitchFactorForPitch(settings.pitch));
  SinkAdapter adapter(sink);
  if (engine_->speakUtterance(text, adapter)) return VoiceResult::Spoken;
  if (adapter.refused) return VoiceResult::Cancelled;
  // MBROLA broke: the next piece starts it afresh.
  problem_ = engine_->mbrolaMessage();
  engine_->shutdownEngine();
  engine_.reset();
  running_ = false;
  return VoiceResult::Failed;
}

void OrmiaVoice::setReading(tts::Reading reading) {
  reading_ = reading;
  if (engine_) engine_->setReading(reading);
}

VoiceResult OrmiaVoice::speakCharacter(uint8_t character, const ModuleSettings& settings, const SampleSink& sink) {
  // The engine names the printable characters; the keys the echo says as characters it takes from
  // the module's key table.
  const std::string& printable = names_.charName(character);
  const std::string name = printable.empty() ? keyCharacterName(character) : printable;
  if (name.empty()) return VoiceResult::Spoken;
  return speakText(name, settings, sink);
}

}  // namespace kaldro::app

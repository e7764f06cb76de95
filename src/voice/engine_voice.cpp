// The Portuguese engine, spoken into a sound sink.
#include "voice/engine_voice.h"

namespace kaldro::voice {

namespace {
// The library named in the settings is tried before the usual places; the data folder of the
// settings stands where the run names none.
tts::EnginePlaces placesWith(tts::EnginePlaces places, const tts::EngineSettings& settings) {
  if (!settings.mbrolaLibrary.empty())
    places.mbrola.libraries.insert(places.mbrola.libraries.begin(), settings.mbrolaLibrary);
  if (places.engineFolder.empty()) places.engineFolder = settings.engineFolder;
  return places;
}
}  // namespace

EngineVoice::EngineVoice(const platform::Configuration& config, tts::EnginePlaces places,
                         std::function<void(const std::string&)> showMessage)
    : settings_(tts::readEngineSettings(config)),
      engine_(placesWith(std::move(places), settings_), std::move(showMessage)) {}

platform::Status EngineVoice::start() {
  const tts::DataFiles files = settings_.files();
  engine_.setDictionaries(files.dictionaries);
  platform::Status started = engine_.startEngine(settings_.databaseName, files.rules, files.exceptions,
                                                 files.abbreviations, files.prosody, files.diphones);
  everStarted_ = everStarted_ || started.ok();
  failure_ = started;
  return started;
}

void EngineVoice::setPace(const Pace& pace) {
  engine_.setFactors(pace.duration, pace.pitch);
  volume_ = pace.volume;
}

bool EngineVoice::speak(std::string_view text, platform::SoundSink& sink) {
  // Unbound after a failed start or a finish: the voice starts again first.
  if (!engine_.bound() && !start().ok()) return false;
  VolumeSink scaled(sink, volume_);
  if (engine_.speakUtterance(text, scaled)) return true;
  if (scaled.refused()) return false;
  failure_ = engine_.lostUtterance().ok()
                 ? platform::Status::failure(platform::StatusCode::Refused, engine_.mbrolaMessage())
                 : engine_.lostUtterance();
  return false;
}

bool EngineVoice::speakCharacter(uint8_t character, platform::SoundSink& sink) {
  const std::string& name = names_.charName(character);
  return name.empty() || speak(name, sink);
}

}  // namespace kaldro::voice

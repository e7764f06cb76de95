// The Portuguese text-to-speech engine: binds MBROLA, finds the voice, loads the engine's data, and
// hands each utterance's samples to a sound sink (the wave player, a WAV file).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sound_sink.h"
#include "platform/status.h"
#include "tts/front_end.h"
#include "tts/mbrola_binding.h"

namespace kaldro::tts {

// Where the engine looks for MBROLA and its voices.
struct EnginePlaces {
  MbrolaPlaces mbrola;
  // Where distributions install MBROLA voices, "%s" standing for the voice's name; the first file
  // that exists is the voice's record.
  std::vector<std::string> voicePatterns = {"/usr/share/mbrola/%s/%s", "/usr/share/mbrola/%s",
                                            "/usr/local/share/mbrola/%s/%s"};
  // The engine's data folder (PREFIX/share/kaldro/ormiatts/), where a voice of an empty record is.
  std::string engineFolder;
};

// The key under which a voice's record is read: this prefix + voice name + "\".
inline constexpr std::string_view kVoiceRecordKey = "SOFTWARE\\TCTS\\Mbrola\\databases\\";

class OrmiaEngine {
 public:
  static constexpr int SampleRate = 16000;
  // Samples of one MBROLA read.
  static constexpr size_t ScratchSamples = 16000;

  // showMessage: how the data loaders' messages reach the user.
  explicit OrmiaEngine(EnginePlaces places, std::function<void(const std::string&)> showMessage = {});
  ~OrmiaEngine();
  OrmiaEngine(const OrmiaEngine&) = delete;
  OrmiaEngine& operator=(const OrmiaEngine&) = delete;

  // Empty arguments take their defaults (br4, portug.nrl, .exc, .abr, .pro, .dfn). Ok, or why the
  // engine cannot speak (CP1252): MBROLA missing or unusable (as bindMbrola tells), the voice
  // refused by MBROLA (Refused), or the data's failed load (as FrontEnd::load tells).
  platform::Status startEngine(std::string database, std::string rules, std::string exceptions,
                               std::string abbreviations, std::string prosody, std::string diphones);
  // Natural (the default) or literal reading of the texts spoken from now on.
  void setReading(Reading reading) { frontEnd_.setReading(reading); }
  // The user's dictionaries (dicionario.txt), taken by the next start.
  void setDictionaries(std::vector<std::string> files) { dictionaries_ = std::move(files); }
  void setFactors(double durationFactor, double pitchFactor) {
    durationFactor_ = durationFactor;
    pitchFactor_ = pitchFactor;
  }
  // Synthesizes one utterance (CP1252) and hands all of its samples to sink, as MBROLA makes them.
  // False when MBROLA reported an error or the sink refused samples. A synthesizer that fails in
  // the middle is started again and the utterance said again, once; failing again, the utterance is
  // lost and lostUtterance tells why.
  bool speakUtterance(std::string_view text, platform::SoundSink& sink);
  // Ok while no utterance was lost since the start; else why one was (Refused, CP1252).
  const platform::Status& lostUtterance() const { return lostUtterance_; }
  // Forgets the data, closes MBROLA.
  void shutdownEngine();

  // The voice record stand-in: for "SOFTWARE\TCTS\Mbrola\databases\NAME\" (the key's default value)
  // the first of the voice places that exists. out is unchanged on failure.
  bool readRegistryString(std::string_view path, std::string& out) const;
  // What MBROLA last said (warnings included), or why it could not be bound.
  std::string mbrolaMessage() const;

  // Where an utterance's MBROLA lines come from; empty: the front end (tools and tests give others).
  using LineMaker = std::function<std::vector<std::string>(std::string_view text, double durationFactor,
                                                           double pitchFactor)>;
  void setLineMaker(LineMaker maker) { lineMaker_ = std::move(maker); }

  bool bound() const { return binding_ != nullptr; }
  double durationFactor() const { return durationFactor_; }
  double pitchFactor() const { return pitchFactor_; }
  // The database MBROLA was last asked to open.
  const std::string& databaseOpened() const { return databaseOpened_; }

 private:
  struct Attempt {
    bool spoken = true;     // no error from MBROLA or the sink
    long long samples = 0;  // made by MBROLA, handed or not
    std::string failure;    // why the synthesizer failed; empty when it did not
  };
  // Says the text once; the first alreadyHeard samples are not handed to the sink.
  Attempt sayOnce(std::string_view text, platform::SoundSink& sink, long long alreadyHeard);
  void unbind();
  EnginePlaces places_;
  std::vector<std::string> dictionaries_;
  FrontEnd frontEnd_;
  LineMaker lineMaker_;
  std::unique_ptr<MbrolaBinding> binding_;
  std::string bindingProblem_;
  double durationFactor_ = 1.0;
  double pitchFactor_ = 1.0;
  platform::Status lostUtterance_;
  std::string databaseOpened_;
  std::vector<int16_t> scratch_;
};

}  // namespace kaldro::tts

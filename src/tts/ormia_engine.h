// The Portuguese text-to-speech engine: binds MBROLA, finds the voice, loads the engine's data, and
// speaks utterances to the WAV player or into a WAV file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wav_player.h"
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
  // An image goes to the player once the next chunk would bring it to this many bytes.
  static constexpr size_t ImageHandBytes = 16000;
  // The first image of an utterance goes as soon as it holds this much (50 ms), so sound starts
  // after the first phones rather than after half a second of them.
  static constexpr size_t FirstImageBytes = 1600;
  // The last image of an utterance is padded with silence to at least this many bytes.
  static constexpr size_t MinimumImageBytes = 256;

  // player: where sound is heard; showMessage: how the data loaders' messages reach the user.
  OrmiaEngine(audio::WavPlayer& player, EnginePlaces places, std::function<void(const std::string&)> showMessage = {});
  ~OrmiaEngine();
  OrmiaEngine(const OrmiaEngine&) = delete;
  OrmiaEngine& operator=(const OrmiaEngine&) = delete;

  // Empty: the sound device; else the WAV file the next start creates.
  void setOutputFile(std::string name) { outputFileName_ = std::move(name); }
  // Empty arguments take their defaults (br4, portug.nrl, .exc, .abr, .pro, .dfn).
  bool startEngine(std::string database, std::string rules, std::string exceptions, std::string abbreviations,
                   std::string prosody, std::string diphones);
  // Natural (the default) or literal reading of the texts spoken from now on.
  void setReading(Reading reading) { frontEnd_.setReading(reading); }
  void setFactors(double durationFactor, double pitchFactor) {
    durationFactor_ = durationFactor;
    pitchFactor_ = pitchFactor;
  }
  // Synthesizes one utterance (CP1252) and hands all of it to the player or the file. False when
  // MBROLA reported an error or the file could not be written.
  bool speakUtterance(std::string_view text);
  bool isSpeaking();
  void stopSpeaking();
  // Finishes the WAV file's header, forgets the data, closes MBROLA.
  void shutdownEngine();

  // The voice record stand-in: for "SOFTWARE\TCTS\Mbrola\databases\NAME\" (the key's default value)
  // the first of the voice places that exists. out is unchanged on failure.
  bool readRegistryString(std::string_view path, std::string& out) const;
  // The reason of the last failed start (CP1252).
  const std::string& lastErrorText() const { return lastErrorText_; }
  // What MBROLA last said (warnings included), or why it could not be bound.
  std::string mbrolaMessage() const;

  // Where an utterance's MBROLA lines come from; empty: the front end (tools and tests give others).
  using LineMaker = std::function<std::vector<std::string>(std::string_view text, double durationFactor,
                                                           double pitchFactor)>;
  void setLineMaker(LineMaker maker) { lineMaker_ = std::move(maker); }

  // True when sound meant for the output file was lost (a write failed) since the start that made it.
  bool outputFailed() const { return outputFailed_; }

  bool bound() const { return binding_ != nullptr; }
  bool toFile() const { return toFile_; }
  double durationFactor() const { return durationFactor_; }
  double pitchFactor() const { return pitchFactor_; }
  // The database MBROLA was last asked to open.
  const std::string& databaseOpened() const { return databaseOpened_; }

 private:
  void unbind();
  // Closes the output file with its header's sizes right.
  void finishOutputFile();
  void fileFailed(bool& result);
  void handImage();
  void fillImageHeader(uint8_t* image, uint32_t dataBytes);

  audio::WavPlayer& player_;
  EnginePlaces places_;
  FrontEnd frontEnd_;
  LineMaker lineMaker_;
  std::unique_ptr<MbrolaBinding> binding_;
  std::string bindingProblem_;
  std::string outputFileName_;
  std::string openedFileName_;  // the file being written (the name may change before the next start)
  bool toFile_ = false;
  bool outputFailed_ = false;
  std::FILE* outputFile_ = nullptr;
  double durationFactor_ = 1.0;
  double pitchFactor_ = 1.0;
  std::string lastErrorText_;
  std::string databaseOpened_;
  std::vector<int16_t> scratch_;
  std::vector<uint8_t> image_;  // header + samples
  size_t imageBytes_ = 0;
};

}  // namespace kaldro::tts

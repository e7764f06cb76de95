// The built-in synthesizer: start and finish, and the concatenation of diphone units and letter recordings.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "diphone/diphone_index.h"
#include "diphone/diphone_output.h"
#include "diphone/translator.h"
#include "platform/wave_file.h"

namespace kaldro::platform {
class Configuration;
}

namespace kaldro::diphone {

// Results of startDiphoneSynth.
enum StartResult : int {
  kStartReady = 0,
  kStartMissingFolderOrDatabase = 1,  // a folder, the index or the data file is missing
  kStartRulesUnreadable = 2,          // regras.rgr or portug.exc cannot be read
};

// The two folders of the built-in synthesizer, each ending in "/" (file-system paths).
struct DiphoneFolders {
  std::string letters;   // letter-name recordings "_" + character code + ".wav"
  std::string diphones;  // the database, regras.rgr and portug.exc
};

// DIRLETRAS and DIRDIFONES of section TRADUTOR in the system folder's KALDRO.INI (any path length),
// else (missing or empty) PREFIX/share/kaldro/som/letras/ and PREFIX/share/kaldro/som/difones/.
DiphoneFolders diphoneFoldersFromConfig(const platform::Configuration& config);

// Sound is 8-bit mono at 11025 samples per second.
constexpr size_t kSoundBufferSize = 64000;
constexpr size_t kWaveHeaderSize = platform::WaveHeaderBytes;
constexpr int kSampleRate = platform::FamilySampleRate;
constexpr size_t kNoiseBurstLength = 300;

class DiphoneSynth {
 public:
  explicit DiphoneSynth(DiphoneOutput& output);
  ~DiphoneSynth();
  DiphoneSynth(const DiphoneSynth&) = delete;
  DiphoneSynth& operator=(const DiphoneSynth&) = delete;

  // Reads the folders from the configuration, then starts as below.
  int startDiphoneSynth(const platform::Configuration& config);
  // Loads the index, opens the data file, loads the rules and exceptions: a StartResult.
  int startDiphoneSynth(const DiphoneFolders& folders);
  void finishDiphoneSynth();
  bool started() const { return !buffer_.empty(); }

  // Samples cut from database units outside stressed syllables, the least a cut unit keeps, and
  // the silence after each word.
  void setConcatSettings(int unitCut, int unitMinimum, int wordGap);
  // The database name, cut to 8 characters; its files are NAME.IND and NAME.DIF.
  void setDiphoneBase(std::string_view name);
  const std::string& diphoneBase() const { return diphoneBase_; }

  // Speaks a phoneme string made by translateText; returns when it has been played.
  void speakPhonemes(std::string_view phonemes);
  std::string translateText(std::string_view text) const { return translator_.translateText(text); }
  // Translates and speaks words of any length: the translator takes at most MaxTranslatedRun
  // characters, so a longer text is cut at blanks and spoken run by run. Between two runs carryOn
  // is asked whether to go on (false: the rest is dropped).
  static constexpr size_t MaxTranslatedRun = 999;
  void speakWords(std::string_view words, const std::function<bool()>& carryOn);
  Translator& translator() { return translator_; }

  // The pieces of speakPhonemes, exposed for tests: they append to the sound buffer.
  void playGroup(std::string_view group, double factor);
  void playPair(std::string_view pair, double factor);
  void playUnit(std::string_view name, int mode, double factor);
  void flush();

 private:
  bool readDatabaseUnit(const std::string& name, int mode, double factor);
  bool playLetterFile(const std::string& name);
  void appendNoiseBurst();
  void appendSilence(int samples);
  // Appends count samples that read(destination, most) delivers piecewise, flushing when the
  // buffer fills; stops early when read delivers nothing.
  void appendFrom(size_t count, const std::function<size_t(uint8_t*, size_t)>& read);
  void makeRoom(size_t samples);
  std::string nextToken(std::string_view s, size_t& cursor);

  DiphoneOutput& output_;
  Translator translator_;
  std::string diphoneBase_ = "DIFONES2";
  int unitCut_ = 400;
  int unitMinimum_ = 0;
  int wordGap_ = 100;

  DiphoneFolders folders_;
  DiphoneIndex index_;
  int dataFile_ = -1;
  std::vector<uint8_t> buffer_;  // allocated from start to finish
  size_t writePosition_ = kWaveHeaderSize;
  int unitMode_ = 1;  // 1 at a word start, 2 inside a stressed pair, 0 after it
  std::minstd_rand noise_{1};
};

}  // namespace kaldro::diphone

// The speaking operations every program of the family talks through, and the start and end of speech.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wav_player.h"
#include "console/console.h"
#include "diphone/diphone_output.h"
#include "diphone/diphone_synth.h"
#include "platform/audio/audio_device.h"
#include "platform/config.h"
#include "speech/external_synth.h"
#include "speech/numbers.h"

namespace kaldro::speech {

class Speech {
 public:
  // The message posted to the console by stopSpeech: it only ends a wait for the next message.
  static constexpr uint64_t WakeMessage = 1123;
  // Samples of one number sound; longer numbers are played in several sounds.
  static constexpr size_t NumberBufferBytes = 30000;

  // Speech heard through player; external stands for the external synthesizers (it must outlive this).
  Speech(console::Console& console, const platform::Configuration& config, audio::WavPlayer& player,
         ExternalSynth& external);
  // For tests and tools: a silent device of its own, and no external synthesizer.
  Speech(console::Console& console, const platform::Configuration& config);
  ~Speech();
  Speech(const Speech&) = delete;
  Speech& operator=(const Speech&) = delete;

  // Start-up: speed < 1 takes the configured level. When the built-in synthesizer cannot start,
  // the two error lines are written, Enter is awaited and the console closed (the program ends).
  void startSpeech(int speed, std::string_view programSoundFolder);
  // The same start-up, but a failure only returns the synthesizer's error number (0: started).
  int tryStartSpeech(int speed, std::string_view programSoundFolder);
  void stopAndFinishSpeech();
  // Reads the SINTETIZADOR keys of one speed level and applies them.
  void readSynthParams(int speed);

  void writeSpeak(std::string_view text);
  void writeLineSpeak(std::string_view text);
  void speakText(std::string_view text);
  // speakText without the natural reading: the editor's and the screen review's word moves, where
  // the user wants each sign.
  void speakTextLiterally(std::string_view text);
  void speakChar(uint8_t character);
  void spellText(std::string_view text);
  void playWord(std::string_view name);
  uint8_t readKeySpeak();
  bool speechBusy();
  void stopSpeech();
  void beepSound();
  void clickSound();
  void pauseSpeech(int milliseconds);
  // While speech is busy, wait for the next message.
  void waitSpeechEnd();
  // Before a WAV sound: lets text handed to the external synthesizer finish.
  void waitExternalSpeech();
  // Plays a WAV image in memory and waits for its end.
  void playImageWait(std::span<const uint8_t> image);
  // Telephone key tones for 0-9, # and * ("," pauses a second).
  void playDtmf(std::string_view text);

  // Numbers, dates and times from recorded words.
  void speakNumberWords(std::string_view words, bool feminine = false);
  void speakDate(int day, int month, int year);
  void speakTime(int hour, int minute);
  void speakCurrentDate();
  void speakCurrentTime();

  // How the built-in voice reads a whole text before cutting it into runs. The program gives the
  // natural reading (dates, money, numbers in words; punctuation then only pauses); none (the
  // default): each sign as written, punctuation named.
  using TextReader = std::function<std::string(std::string_view)>;
  void setTextReader(TextReader reader) { textReader_ = std::move(reader); }
  // The user's own readings (names, acronyms), applied before either reading of the built-in voice.
  void setOwnWords(TextReader ownWords) { ownWords_ = std::move(ownWords); }
  bool readsNaturally() const { return static_cast<bool>(textReader_); }
  // The text the built-in voice's run cutting gets for a text.
  std::string readingOf(std::string_view text) const;

  // The line editor's echo switch: typed characters are spoken (on at start, F4 toggles).
  bool echoOn() const { return echo_; }
  void setEcho(bool on) { echo_ = on; }
  // The speed level 1..5 that speech was started with.
  int speedLevel() const { return speedLevel_; }
  bool externalActive() const { return externalActive_; }
  int engineKind() const { return engineKind_; }
  const std::string& lettersFolder() const { return lettersFolder_; }
  const std::string& programSoundFolder() const { return programSoundFolder_; }
  int pauseFullStop() const { return pauseFullStop_; }
  int pauseComma() const { return pauseComma_; }
  int pauseColon() const { return pauseColon_; }

  console::Console& console() { return console_; }
  const platform::Configuration& configuration() const { return config_; }
  audio::WavPlayer& player() { return *player_; }
  diphone::DiphoneSynth& diphoneSynth() { return synth_; }

 private:
  Speech(console::Console& console, const platform::Configuration& config, audio::WavPlayer* player,
         ExternalSynth* external);

  // The built-in synthesizer's sound goes through the WAV player and waits on speechBusy.
  class BuiltInOutput : public diphone::DiphoneOutput {
   public:
    explicit BuiltInOutput(Speech& speech) : speech_(speech) {}
    void playImageWait(const uint8_t* image, size_t bytes) override { speech_.playImageWait({image, bytes}); }
    void waitSpeechEnd() override { speech_.waitSpeechEnd(); }
    void tracePhonemes(std::string_view phonemes) override;

   private:
    Speech& speech_;
  };

  void speakTextReading(std::string_view text, bool natural);
  // natural: punctuation pauses without being named.
  void speakBuiltIn(std::string_view text, bool natural);
  // True when the external synthesizer has stopped speaking for good: it is finished, and the
  // built-in synthesizer speaks from here on.
  bool externalLost();
  // Says on stderr why the built-in voice speaks instead of the external synthesizer.
  static void tellFallback(std::string_view why, const std::string& cause);
  void speakWordRun(std::string_view run);
  size_t speakDigitRun(std::string_view text, size_t pos);
  void speakSymbol(std::string_view rest, char heard, bool natural);
  void speakPunctuation(std::string_view rest, bool named = true);
  void playLettersFile(const std::string& name);
  void trace(std::string_view keyword, std::string_view text);
  void playEightBitImage(const std::vector<uint8_t>& samples);

  console::Console& console_;
  const platform::Configuration& config_;
  std::unique_ptr<platform::AudioDevice> ownDevice_;
  std::unique_ptr<audio::WavPlayer> ownPlayer_;
  NoExternalSynth ownExternal_;
  audio::WavPlayer* player_ = nullptr;
  ExternalSynth* external_ = nullptr;
  TextReader textReader_;
  TextReader ownWords_;
  BuiltInOutput builtInOutput_{*this};
  diphone::DiphoneSynth synth_{builtInOutput_};

  bool echo_ = true;
  int speedLevel_ = 3;
  bool externalActive_ = false;
  int engineKind_ = engine_kind::Espeak;  // the external engine's kind, as KALDRO.INI names it
  bool externalPending_ = true;
  bool stopRequested_ = false;
  int pauseFullStop_ = 250;
  int pauseComma_ = 150;
  int pauseColon_ = 200;
  std::string lettersFolder_;       // file-system path ending in "/"
  std::string programSoundFolder_;  // empty or ending in "/"
  std::vector<uint8_t> clickSamples_;
  std::minstd_rand clickNoise_{20050307};
};

// "a".."z" become "A".."Z"; every byte above 223 is lowered by 32.
std::string upcaseLatin1(std::string_view text);

}  // namespace kaldro::speech

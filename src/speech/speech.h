// The speaking operations every program of the family talks through.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "platform/config.h"

namespace kaldro::speech {

class Speech {
 public:
  Speech(console::Console& console, const platform::Configuration& config);
  Speech(const Speech&) = delete;
  Speech& operator=(const Speech&) = delete;

  // Start-up and shut-down. speed < 1 takes the configured level.
  void startSpeech(int speed, std::string_view programSoundFolder);
  void stopAndFinishSpeech();

  void writeSpeak(std::string_view text);
  void writeLineSpeak(std::string_view text);
  void speakText(std::string_view text);
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

  console::Console& console() { return console_; }

 private:
  console::Console& console_;
  const platform::Configuration& config_;
};

// "a".."z" become "A".."Z"; every byte above 223 is lowered by 32.
std::string upcaseLatin1(std::string_view text);

}  // namespace kaldro::speech

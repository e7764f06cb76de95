#include "speech/speech.h"

#include <string>

namespace kaldro::speech {

// Until the synthesizer exists, speaking only records what would be said.
Speech::Speech(console::Console& console, const platform::Configuration& config)
    : console_(console), config_(config) {}

void Speech::startSpeech(int, std::string_view) {}

void Speech::stopAndFinishSpeech() { stopSpeech(); }

void Speech::writeSpeak(std::string_view text) {
  console_.write(text);
  speakText(text);
}

void Speech::writeLineSpeak(std::string_view text) {
  writeSpeak(text);
  console_.writeLine();
}

void Speech::speakText(std::string_view text) { console_.host().trace().event("say", text); }

void Speech::speakChar(uint8_t character) {
  console_.host().trace().event("char", std::to_string(character));
}

void Speech::spellText(std::string_view text) {
  for (char c : text) {
    if (console_.keyPressed()) break;
    speakChar(static_cast<uint8_t>(c));
  }
}

void Speech::playWord(std::string_view name) { console_.host().trace().event("word", name); }

uint8_t Speech::readKeySpeak() {
  uint8_t key = console_.readKey();
  stopSpeech();
  speakChar(key);
  return key;
}

bool Speech::speechBusy() { return false; }

void Speech::stopSpeech() {}

void Speech::beepSound() {
  while (console_.keyPressed()) console_.readKey();
  console_.host().trace().event("beep");
}

void Speech::clickSound() { console_.host().trace().event("click"); }

void Speech::pauseSpeech(int milliseconds) {
  for (int i = 0; i < milliseconds / 50; ++i)
    if (!console_.keyPressed()) console_.delayMs(50);
}

void Speech::waitSpeechEnd() {
  while (speechBusy()) console_.waitForMessage();
}

void Speech::playImageWait(const std::vector<uint8_t>&) { console_.host().trace().event("play - 11025 8 1 0"); }

void Speech::playDtmf(std::string_view) {}

void Speech::speakNumberWords(std::string_view words, bool) { console_.host().trace().event("word", words); }

void Speech::speakDate(int, int, int) {}

void Speech::speakTime(int, int) {}

void Speech::speakCurrentDate() {}

void Speech::speakCurrentTime() {}

std::string numberToWords(uint64_t n) { return std::to_string(n); }

int dayOfWeek(int, int, int) { return 0; }

std::string upcaseLatin1(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') c = static_cast<char>(b - 32);
    else if (b > 223) c = static_cast<char>(b - 32);
  }
  return out;
}

}  // namespace kaldro::speech

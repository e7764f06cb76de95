// The speaking primitives: routing a text through the built-in synthesizer and recordings, and stopping it.
#include "speech/speech.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/wave_file.h"
#include "platform/latin1_classes.h"
#include "platform/text.h"
#include "platform/words.h"
#include "voice/speech_config.h"

namespace kaldro::speech {

namespace {
constexpr size_t kClickNoise = 64;
constexpr size_t kClickLength = 256;
constexpr size_t kBeepLength = 512;
constexpr uint8_t kBeepPattern[8] = {128, 112, 96, 80, 64, 80, 96, 112};
constexpr int kPauseStepMs = 50;
constexpr int kDtmfGapMs = 100;
constexpr int kDtmfCommaMs = 1000;

using platform::isDigit;
bool isLetter(char c) {
  auto b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 128;
}
bool isWordCharacter(char c) { return c == ' ' || isLetter(c); }
bool isPunctuation(char c) { return std::string_view("(),.:;").find(c) != std::string_view::npos; }

std::string withSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}
}  // namespace

Speech::Speech(console::Console& console, const platform::Configuration& config, audio::WavPlayer& player,
               ExternalSynth& external)
    : Speech(console, config, &player, &external) {}

Speech::Speech(console::Console& console, const platform::Configuration& config)
    : Speech(console, config, nullptr, nullptr) {
  ownDevice_ = platform::makeAudioDeviceNone(console.host());
  ownPlayer_ = std::make_unique<audio::WavPlayer>(console, *ownDevice_);
  player_ = ownPlayer_.get();
}

Speech::Speech(console::Console& console, const platform::Configuration& config, audio::WavPlayer* player,
               ExternalSynth* external)
    : console_(console), config_(config), player_(player), external_(external ? external : &ownExternal_) {
  // The click is made once: a short burst of noise above the zero line, then silence.
  clickSamples_.assign(kClickLength, 128);
  for (size_t i = 0; i < kClickNoise; ++i) clickSamples_[i] = static_cast<uint8_t>(128 + clickNoise_() % 60);
  lettersFolder_ = diphone::diphoneFoldersFromConfig(config_).letters;
}

Speech::~Speech() = default;

void Speech::trace(std::string_view keyword, std::string_view text) { console_.host().trace().event(keyword, text); }

void Speech::BuiltInOutput::tracePhonemes(std::string_view phonemes) { speech_.trace("phonemes", phonemes); }

// ---- writing and speaking texts ----

void Speech::writeSpeak(std::string_view text) {
  console_.write(text);
  // What the host must tell the user (a terminal too small) comes before the prompt.
  if (const std::string notice = console_.host().takeNotice(); !notice.empty()) speakText(notice);
  speakText(text);
}

void Speech::writeLineSpeak(std::string_view text) {
  writeSpeak(text);
  console_.writeLine();
}

void Speech::speakText(std::string_view text) { speakTextReading(text, true); }

void Speech::speakTextLiterally(std::string_view text) { speakTextReading(text, false); }

std::string Speech::readingOf(std::string_view text) const {
  const std::string own = ownWords_ ? ownWords_(text) : std::string(text);
  return textReader_ ? textReader_(own) : own;
}

void Speech::speakTextReading(std::string_view text, bool natural) {
  trace("say", text);
  if (externalActive_) {
    waitSpeechEnd();
    if (!externalLost() && !console_.keyStopsSound()) {
      trace("external", text);
      if (natural)
        external_->synthSpeak(text);
      else
        external_->synthSpeakLiterally(text);
      externalPending_ = true;
    }
    // A text the synthesizer could not take is heard all the same.
    if (!externalLost()) return;
  }
  natural = natural && textReader_;
  if (!natural) return speakBuiltIn(ownWords_ ? ownWords_(text) : std::string(text), false);
  const std::string read = readingOf(text);
  if (read != text) trace("read", read);
  speakBuiltIn(read, true);
}

void Speech::tellFallback(std::string_view why, const std::string& cause) {
  std::fprintf(stderr, "%s\n",
               platform::cp1252ToUtf8(std::string(why) + (cause.empty() ? std::string() : ": " + cause)).c_str());
}

bool Speech::externalLost() {
  if (!externalActive_) return true;
  if (!external_->synthSpeechLost()) return false;
  const std::string cause = external_->synthFailureText();
  trace("external-lost", cause);
  tellFallback(platform::words::ExternalVoiceFailed, cause);
  external_->synthFinish();
  externalActive_ = false;
  return true;
}

void Speech::speakBuiltIn(std::string_view original, bool natural) {
  const std::string text = std::string(original) + " ";
  const size_t size = text.size();
  stopRequested_ = false;
  // The repeat detector: the fifth and further equal symbols in a row are heard as clicks.
  char last = ' ';
  int repeats = 0;
  auto restartDetector = [&] {
    last = ' ';
    repeats = 0;
  };
  size_t pos = 0;
  while (!stopRequested_ && pos < size) {
    if (console_.keyStopsSound()) {
      stopSpeech();
      break;
    }
    while (pos < size && text[pos] == '0') {
      playWord("_zero");
      ++pos;
      restartDetector();
    }
    if (pos < size && isDigit(text[pos])) {
      pos = speakDigitRun(text, pos);
      restartDetector();
    } else if (pos < size && isWordCharacter(text[pos])) {
      size_t end = pos;
      while (end < size && isWordCharacter(text[end])) ++end;
      speakWordRun(std::string_view(text).substr(pos, end - pos));
      pos = end;
      // A hyphen inside a compound word is silent.
      if (pos + 1 < size && text[pos] == '-' && isLetter(text[pos + 1])) ++pos;
      restartDetector();
    } else {
      char c = pos < size ? text[pos] : ' ';
      char heard = c;
      if (c == last) {
        if (++repeats > 3) {
          clickSound();
          heard = ' ';
        }
      } else {
        last = c;
        repeats = 0;
      }
      speakSymbol(std::string_view(text).substr(pos), heard, natural);
      if (pos < size) ++pos;
    }
  }
}

// Numbers with a hyphen (dates, telephone numbers) and long digit runs are spelled; answers the
// position after the run.
size_t Speech::speakDigitRun(std::string_view text, size_t pos) {
  size_t end = pos;
  while (end < text.size() && (isDigit(text[end]) || text[end] == '-')) ++end;
  const std::string_view run = text.substr(pos, end - pos);
  if (run.find('-') != std::string_view::npos || run.size() >= 7)
    spellText(run);
  else
    speakNumberWords(numberToWords(std::stoull(std::string(run))), false);
  return end;
}

// One symbol at the start of rest, heard as `heard` (a blank once it repeats too often).
void Speech::speakSymbol(std::string_view rest, char heard, bool natural) {
  if (rest.front() == '-') {
    const char next = rest.size() >= 3 ? rest[1] : ' ';
    if (next == ' ' || next == '-')
      speakPunctuation(rest, !natural);
    else if (isDigit(next))
      playWord("_MENOS");
    else
      speakChar('-');
  } else if (rest.substr(0, 3) == "://") {
    spellText(rest.substr(0, 1));
  } else if (isPunctuation(heard) || (natural && (heard == '!' || heard == '?'))) {
    speakPunctuation(rest, !natural);
  } else if (heard == ' ' || heard == '\t') {
    // blanks and tabs only separate
  } else if (!console_.keyStopsSound()) {
    speakChar(static_cast<uint8_t>(heard));
  }
}

void Speech::speakWordRun(std::string_view run) {
  if (upcaseLatin1(run) == "WWW") {
    spellText(run);
    return;
  }
  if (stopRequested_) return;
  // A key between two runs of a long text stops it.
  synth_.speakWords(run, [this] {
    if (console_.keyStopsSound()) {
      stopSpeech();
      return false;
    }
    return !stopRequested_;
  });
}

void Speech::speakPunctuation(std::string_view rest, bool named) {
  if (console_.keyStopsSound()) return;
  waitSpeechEnd();
  const char mark = rest.front();
  if (named) speakChar(static_cast<uint8_t>(mark));
  const char next = rest.size() > 1 ? rest[1] : ' ';
  if (mark == '(' || mark == ')' || mark == ':' || mark == ';')
    pauseSpeech(pauseColon_);
  else if ((mark == ',' || mark == '-') && next == ' ')
    pauseSpeech(pauseComma_);
  else if ((mark == '.' || mark == '!' || mark == '?') && next == ' ')
    pauseSpeech(pauseFullStop_);
}

// ---- characters, words and sounds ----

void Speech::playLettersFile(const std::string& name) { player_->playWaveFile(lettersFolder_ + name + ".wav"); }

void Speech::speakChar(uint8_t character) {
  trace("char", std::to_string(character));
  waitExternalSpeech();
  playLettersFile("_" + std::to_string(character));
}

void Speech::spellText(std::string_view text) {
  for (char c : text) {
    if (console_.keyStopsSound()) break;
    speakChar(static_cast<uint8_t>(c));
  }
}

void Speech::playWord(std::string_view name) {
  trace("word", name);
  waitExternalSpeech();
  const std::string file = platform::cp1252ToUtf8(name) + ".wav";
  if (!name.empty() && name.front() == '_')
    player_->playWaveFile(lettersFolder_ + file);
  else
    player_->playWaveFile(programSoundFolder_ + file);
}

uint8_t Speech::readKeySpeak() {
  const uint8_t key = console_.readKey();
  stopSpeech();
  speakChar(key);
  return key;
}

bool Speech::speechBusy() {
  if (console_.keyStopsSound()) {
    stopSpeech();
    return false;
  }
  bool busy = player_->waveBusy();
  if (externalActive_ && external_->synthBusy(false)) busy = true;
  return busy;
}

void Speech::stopSpeech() {
  player_->stopWave();
  stopRequested_ = true;
  if (externalActive_ && (external_->synthBusy(false) || engineKind_ == engine_kind::Ormia)) external_->synthStop();
  platform::HostEvent wake;
  wake.kind = platform::EventKind::Wake;
  wake.cookie = WakeMessage;
  console_.host().postFromAnyThread(wake);
}

void Speech::waitSpeechEnd() {
  console_.waitWhile(console::WaitSteps::messages(), [this] { return speechBusy(); });
}

void Speech::waitExternalSpeech() {
  if (!externalPending_) return;
  waitSpeechEnd();
  externalPending_ = false;
}

void Speech::playImageWait(std::span<const uint8_t> image) {
  waitExternalSpeech();
  player_->playWaveImage(image);
  waitSpeechEnd();
}

void Speech::playEightBitImage(const std::vector<uint8_t>& samples) {
  playImageWait(platform::buildWaveImage(samples, platform::FamilySampleRate, 8, 1));
}

void Speech::clickSound() {
  console_.host().trace().event("click");
  waitExternalSpeech();
  const bool dropping = player_->dropPeriods();
  player_->setDropPeriods(false);
  playEightBitImage(clickSamples_);
  player_->setDropPeriods(dropping);
}

void Speech::beepSound() {
  console_.host().trace().event("beep");
  waitExternalSpeech();
  while (console_.keyPressed()) console_.readKey();
  std::vector<uint8_t> samples(kBeepLength);
  for (size_t i = 0; i < kBeepLength; ++i) samples[i] = kBeepPattern[i % 8];
  samples.back() = 128;
  playEightBitImage(samples);
}

void Speech::pauseSpeech(int milliseconds) {
  console_.waitWhile(console::WaitSteps::pauses(kPauseStepMs, std::max(milliseconds, 0)),
                     [this] { return !console_.keyStopsSound(); });
}

void Speech::playDtmf(std::string_view text) {
  const bool fast = player_->fastRate();
  player_->setFastRate(false);
  for (char c : upcaseLatin1(text)) {
    if (isDigit(c) || c == '#' || c == '*') {
      playLettersFile(std::string("dtmf_") + (c == '*' ? 'X' : c));
      pauseSpeech(kDtmfGapMs);
    } else if (c == ',') {
      pauseSpeech(kDtmfCommaMs);
    }
  }
  player_->setFastRate(fast);
}

// ---- start-up and shut-down ----

void Speech::readSynthParams(int speed) {
  const SynthSettings settings = readSynthSettings(config_, speed);
  synth_.setDiphoneBase(settings.diphoneBase);
  synth_.setConcatSettings(settings.unitCut, settings.unitMinimum, settings.wordGap);
  player_->setSpeedups(settings.fastRate, settings.dropPeriods);
  pauseFullStop_ = settings.pauseFullStop;
  pauseComma_ = settings.pauseComma;
  pauseColon_ = settings.pauseColon;
}

int Speech::tryStartSpeech(int speed, std::string_view programSoundFolder) {
  speedLevel_ = chooseSpeedLevel(config_, speed);
  readSynthParams(speedLevel_);
  const diphone::DiphoneFolders folders = diphone::diphoneFoldersFromConfig(config_);
  if (int error = synth_.startDiphoneSynth(folders); error != diphone::kStartReady) {
    synth_.finishDiphoneSynth();
    return error;
  }
  programSoundFolder_ = withSlash(platform::cp1252ToUtf8(platform::backslashesToSlashes(programSoundFolder)));
  lettersFolder_ = folders.letters;
  externalActive_ = false;
  if (auto external = readExternalSettings(config_)) {
    external_->synthSetVoiceName(platform::cp1252ToUtf8(external->voiceName));
    externalActive_ = external_->synthStart(external->voice, external->rate, external->pitch, "", external->kind);
    engineKind_ = external->kind;
    if (!externalActive_) tellFallback(platform::words::ExternalVoiceDidNotStart, external_->synthFailureText());
  }
  return 0;
}

void Speech::startSpeech(int speed, std::string_view programSoundFolder) {
  const int error = tryStartSpeech(speed, programSoundFolder);
  if (error == 0) return;
  console_.writeLine(platform::words::StartupError.str() + std::to_string(error));
  console_.writeLine(platform::words::VoiceDatabase.str() + synth_.diphoneBase());
  std::fprintf(stderr, "%s\n",
               platform::words::VoiceStartupError.utf8({std::to_string(error), platform::cp1252ToUtf8(synth_.diphoneBase())}).c_str());
  console_.readConsoleLine();
  console_.closeConsole(platform::exit_status::Failure);
}

void Speech::stopAndFinishSpeech() {
  waitSpeechEnd();
  stopSpeech();
  if (externalActive_) {
    external_->synthFinish();
    externalActive_ = false;
  }
  synth_.finishDiphoneSynth();
}

std::string upcaseLatin1(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || b > 223) c = static_cast<char>(b - 32);
  }
  return out;
}

}  // namespace kaldro::speech

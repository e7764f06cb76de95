// The output module's two voices and the speaker that runs a message through them.
#include "sd_kaldro/module_voices.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "tts/engine_settings.h"
#include "tts/latin1_text.h"
#include "platform/text.h"
#include "platform/wave_file.h"
#include "platform/words.h"
#include "voice/speech_config.h"

namespace kaldro::app {

namespace {

// The most characters the translator takes at once.
constexpr size_t kMaxTranslatedRun = 999;

bool isFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The speed level of the built-in voice's settings (1 slowest .. 5 fastest) for the server's rate.
int speedLevelForRate(int rate) { return std::clamp(3 + static_cast<int>(std::lround(rate / 40.0)), 1, 5); }

}  // namespace

ModuleOptions readModuleOptions(std::string_view text) {
  ModuleOptions options;
  for (std::string_view line : tts::splitLines(text)) {
    line = tts::trimBlanks(line);
    if (line.empty() || line.front() == '#') continue;
    const size_t blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, blank);
    std::string value(tts::trimBlanks(line.substr(blank)));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (name == "KaldroDefaultVoice") options.defaultVoice = value;
    if (name == "KaldroSoundIconFolder" && !value.empty())
      options.soundIconFolder = value.back() == '/' ? value : value + '/';
  }
  return options;
}

// ---- the built-in voice ----

BuiltInVoice::BuiltInVoice(const platform::Configuration& config, const TextReading& reading)
    : config_(config), reading_(reading) {}

int BuiltInVoice::start(const std::string& abbreviationsFile) {
  lettersFolder_ = diphone::diphoneFoldersFromConfig(config_).letters;
  normaliser_.loadAbbreviations(abbreviationsFile);  // without it, abbreviations are read as words
  applySpeed(0);
  return synth_.startDiphoneSynth(config_);
}

void BuiltInVoice::applySpeed(int rate) {
  const int level = speedLevelForRate(rate);
  if (level == speedLevel_) return;
  speedLevel_ = level;
  const speech::SynthSettings settings = speech::readSynthSettings(config_, level);
  synth_.setConcatSettings(settings.unitCut, settings.unitMinimum, settings.wordGap);
}

void BuiltInVoice::handSound(const platform::AudioFormat& format, const uint8_t* bytes, size_t length, bool last) {
  if (cancelled_ || sink_ == nullptr) return;
  if (!resamplerReady_ || !(format == resamplerFormat_)) {
    resamplerFormat_ = format;
    resamplerReady_ = resampler_.configure(format, ModuleSampleRate, 1);
    if (!resamplerReady_) return;
  }
  if (length > 0) {
    resampler_.convert(bytes, length, converted_);
    if (!converted_.empty() && !(*sink_)(std::span<const int16_t>(converted_.data(), converted_.size()))) {
      cancelled_ = true;
      return;
    }
  }
  if (last) {
    resampler_.tail(converted_);
    if (!converted_.empty() && !(*sink_)(std::span<const int16_t>(converted_.data(), converted_.size())))
      cancelled_ = true;
    resampler_.restart();
  }
}

void BuiltInVoice::playImageWait(const uint8_t* image, size_t bytes) {
  if (bytes <= diphone::kWaveHeaderSize) return;
  const platform::AudioFormat format{diphone::kSampleRate, 8, 1};
  handSound(format, image + diphone::kWaveHeaderSize, bytes - diphone::kWaveHeaderSize, false);
}

VoiceResult BuiltInVoice::speakText(std::string_view text, const ModuleSettings& settings, const SampleSink& sink) {
  applySpeed(settings.rate);
  sink_ = &sink;
  cancelled_ = false;
  std::string_view words;
  const std::string own = reading_.ownWords(text);
  const std::string normalised = normaliser_.normaliseText(natural_ ? reading_.natural(own) : own);
  words = normalised;
  // The translator takes a bounded run: a long expansion is cut at blanks.
  while (!words.empty() && !cancelled_) {
    size_t take = std::min(words.size(), kMaxTranslatedRun);
    if (take < words.size()) {
      const size_t blank = words.substr(0, take).rfind(' ');
      if (blank != std::string_view::npos && blank > 0) take = blank + 1;
    }
    const std::string phonemes = synth_.translateText(words.substr(0, take));
    if (!phonemes.empty()) synth_.speakPhonemes(phonemes);
    words.remove_prefix(take);
  }
  handSound(resamplerFormat_, nullptr, 0, true);
  sink_ = nullptr;
  return cancelled_ ? VoiceResult::Cancelled : VoiceResult::Spoken;
}

VoiceResult BuiltInVoice::speakCharacter(uint8_t character, const ModuleSettings& settings, const SampleSink& sink) {
  const std::string path = lettersFolder_ + "_" + std::to_string(character) + ".wav";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    const std::string& name = normaliser_.charName(character);
    return name.empty() ? VoiceResult::Spoken : speakText(name, settings, sink);
  }
  const platform::WaveLayout layout = platform::parseWaveFile(file);
  std::vector<uint8_t> samples;
  if (layout.ok && layout.formatRead) {
    samples.resize(std::min<size_t>(layout.statedDataLength, 4 * 1024 * 1024));
    samples.resize(std::fread(samples.data(), 1, samples.size(), file));
  }
  std::fclose(file);
  const platform::AudioFormat format{layout.rate, layout.bits, layout.channels};
  if (samples.empty() || !format.playable()) {
    const std::string& name = normaliser_.charName(character);
    return name.empty() ? VoiceResult::Spoken : speakText(name, settings, sink);
  }
  sink_ = &sink;
  cancelled_ = false;
  handSound(format, samples.data(), samples.size(), true);
  sink_ = nullptr;
  return cancelled_ ? VoiceResult::Cancelled : VoiceResult::Spoken;
}

// ---- the speaker ----

ModuleSpeaker::ModuleSpeaker(const platform::Configuration& config, ModuleOptions options, tts::EnginePlaces places)
    : config_(config),
      options_(std::move(options)),
      reading_(config),
      builtIn_(config, reading_),
      ormia_(config, std::move(places)) {
  // The names are a help: without the system's annotations, signs keep our own names.
  (void)characters_.loadAnnotations(platform::CharacterNames::systemAnnotationFiles());
}

bool ModuleSpeaker::initialise(std::string& message) {
  const tts::EngineSettings settings = tts::readEngineSettings(config_);
  const int builtIn = builtIn_.start(settings.files().abbreviations);
  const bool engine = ormia_.start();
  std::string found;
  if (engine) found = ormia_.name();
  if (builtIn == 0) found += (found.empty() ? "" : ", ") + builtIn_.name();
  std::string said;
  if (found.empty()) {
    said = platform::words::ModuleNoVoice.str();
  } else {
    said = platform::words::ModuleVoicesReady.with({found});
  }
  if (!engine) said += "; " + platform::words::ModuleEngineUnavailable.with({ormia_.problem()});
  if (builtIn != 0) said += "; " + platform::words::ModuleBuiltInFailed.with({std::to_string(builtIn)});
  message = platform::cp1252ToUtf8(said);
  return !found.empty() && builtIn == 0;
}

std::vector<VoiceEntry> ModuleSpeaker::voices() const {
  std::vector<VoiceEntry> list;
  if (ormia_.available()) list.push_back({ormia_.name(), "pt-BR", "none"});
  list.push_back({builtIn_.name(), "pt-BR", "none"});
  return list;
}

std::string ModuleSpeaker::characterName(uint8_t character) const { return builtIn_.normaliser().charName(character); }

std::vector<SpeechStep> ModuleSpeaker::plan(MessageKind kind, std::string_view message,
                                            const ModuleSettings& settings) const {
  const PlanReading reading{[this](uint8_t c) { return characterName(c); }, characters_, reading_};
  return planSpeech(kind, message, settings, reading);
}

ModuleVoice& ModuleSpeaker::chooseVoice(const ModuleSettings& settings) {
  const std::string& wanted = settings.synthesisVoice.empty() ? options_.defaultVoice : settings.synthesisVoice;
  if (wanted == builtIn_.name()) return builtIn_;
  if (ormia_.available()) return ormia_;
  return builtIn_;
}

std::string ModuleSpeaker::iconPath(const std::string& name) const {
  if (name.empty() || name.find('/') != std::string::npos || name.front() == '.') return {};
  const std::string path = options_.soundIconFolder + name;
  return isFile(path) ? path : std::string();
}

void ModuleSpeaker::run(const std::vector<SpeechStep>& steps, const ModuleSettings& settings,
                        const SpeakerOutput& output) {
  // The server plays at a fixed level; the module's volume scales the samples (100 keeps them).
  const double gain = std::clamp((settings.volume + 100) / 200.0, 0.0, 1.0);
  const SampleSink sink = [&](std::span<const int16_t> samples) {
    if (gain >= 1.0) return output.audio(samples);
    scaled_.resize(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) scaled_[i] = static_cast<int16_t>(std::lround(samples[i] * gain));
    return output.audio(scaled_);
  };
  // Punctuation read in full is what a user asks for to hear every sign as written; otherwise the
  // reading of KALDRO.INI (natural unless LEITURA says literal).
  const tts::Reading reading = settings.punctuation == PunctuationMode::All ? tts::Reading::Literal : reading_.mode();
  builtIn_.setReading(reading);
  ormia_.setReading(reading);
  ModuleVoice* voice = &chooseVoice(settings);
  for (const SpeechStep& step : steps) {
    if (step.kind == SpeechStep::Kind::Mark) {
      output.mark(step.text);
      continue;
    }
    std::string_view text = step.text;
    std::string iconWords;
    if (step.kind == SpeechStep::Kind::Icon) {
      const std::string path = iconPath(step.text);
      if (!path.empty()) {
        output.icon(path);
        continue;
      }
      // No such sound: its name is said instead.
      iconWords = platform::utf8ToCp1252(step.text);
      std::replace(iconWords.begin(), iconWords.end(), '_', ' ');
      std::replace(iconWords.begin(), iconWords.end(), '-', ' ');
      text = iconWords;
    }
    const auto speak = [&](ModuleVoice& by) {
      return step.kind == SpeechStep::Kind::Character ? by.speakCharacter(step.character, settings, sink)
                                                       : by.speakText(text, settings, sink);
    };
    VoiceResult result = speak(*voice);
    if (result == VoiceResult::Failed && voice != &builtIn_) {
      output.log(platform::words::ModuleEngineFailed.with({voice->problem()}));
      voice = &builtIn_;
      result = speak(builtIn_);
    }
    if (result == VoiceResult::Cancelled) return;
  }
}

}  // namespace kaldro::app

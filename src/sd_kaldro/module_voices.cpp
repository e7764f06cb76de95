// The output module's voices, made from the voice table, and the speaker that runs a message
// through them.
#include "sd_kaldro/module_voices.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "platform/text.h"
#include "platform/words.h"
#include "tts/latin1_text.h"

namespace kaldro::app {

namespace {

bool isFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The server's scales (-100..100) as the voices' pace: speed spans an octave each way, pitch half an
// octave each way; the server plays at a fixed level, so the volume scales the samples (100 keeps them).
voice::Pace paceOf(const ModuleSettings& settings) {
  return {std::pow(2.0, -settings.rate / 100.0), std::pow(2.0, settings.pitch / 200.0),
          std::clamp((settings.volume + 100) / 200.0, 0.0, 1.0)};
}

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

// ---- the speaker ----

// The job's samples go to the worker; once it refuses them, the job was cancelled.
class ModuleSpeaker::JobSink final : public platform::SoundSink {
 public:
  explicit JobSink(const std::function<bool(std::span<const int16_t>)>& audio) : audio_(audio) {}
  bool takeSamples(std::span<const int16_t> samples) override {
    if (refused_) return false;
    refused_ = !audio_(samples);
    return !refused_;
  }
  // No samples: the worker only answers whether the job still stands (it may be cancelled while
  // MBROLA is waited for).
  bool stillWanted() override { return takeSamples({}); }
  bool refused() const { return refused_; }

 private:
  const std::function<bool(std::span<const int16_t>)>& audio_;
  bool refused_ = false;
};


ModuleSpeaker::ModuleSpeaker(const platform::Configuration& config, ModuleOptions options, tts::EnginePlaces places)
    : config_(config), options_(std::move(options)), reading_(config) {
  const voice::VoiceContext context{config, reading_, std::move(places)};
  for (const voice::VoiceRow& row : voice::voiceTable())
    if (row.make != nullptr && !row.name.empty()) voices_.push_back({&row, row.make(context)});
  // The names are a help: without the system's annotations, signs keep our own names.
  (void)characters_.loadAnnotations(platform::CharacterNames::systemAnnotationFiles());
}

platform::Status ModuleSpeaker::start() {
  std::string found, problems;
  platform::Status fallback;
  for (Made& made : voices_) {
    const platform::Status started = made.voice->start();
    made.started = started.ok();
    if (started.ok()) {
      found += (found.empty() ? "" : ", ") + std::string(made.row->name);
    } else if (&made == &voices_.back()) {
      fallback = started;
      problems += "; " + started.message();
    } else {
      problems += "; " + platform::words::ModuleEngineUnavailable.with({started.message()});
    }
  }
  const std::string said =
      (found.empty() ? platform::words::ModuleNoVoice.str() : platform::words::ModuleVoicesReady.with({found})) +
      problems;
  startReport_ = platform::cp1252ToUtf8(said);
  if (!fallback.ok()) return platform::Status::failure(fallback.code(), said);
  return {};
}

std::vector<VoiceEntry> ModuleSpeaker::voices() const {
  std::vector<VoiceEntry> list;
  for (const Made& made : voices_)
    if (made.started || &made == &voices_.back())
      list.push_back({std::string(made.row->name), std::string(made.row->language), "none"});
  return list;
}

std::string ModuleSpeaker::characterName(uint8_t character) const {
  return voices_.back().voice->characterName(character);
}

std::vector<SpeechStep> ModuleSpeaker::plan(MessageKind kind, std::string_view message,
                                            const ModuleSettings& settings) const {
  const PlanReading reading{[this](uint8_t c) { return characterName(c); }, characters_, reading_};
  return planSpeech(kind, message, settings, reading);
}

ModuleSpeaker::Made& ModuleSpeaker::chooseVoice(const ModuleSettings& settings) {
  const std::string& wanted = settings.synthesisVoice.empty() ? options_.defaultVoice : settings.synthesisVoice;
  for (Made& made : voices_)
    if (made.row->name == wanted && (made.started || &made == &voices_.back())) return made;
  // Any other name: the first voice that runs, the built-in one when none does.
  for (Made& made : voices_)
    if (made.started) return made;
  return voices_.back();
}

std::string ModuleSpeaker::iconPath(const std::string& name) const {
  if (name.empty() || name.find('/') != std::string::npos || name.front() == '.') return {};
  const std::string path = options_.soundIconFolder + name;
  return isFile(path) ? path : std::string();
}

void ModuleSpeaker::run(const std::vector<SpeechStep>& steps, const ModuleSettings& settings,
                        const SpeakerOutput& output) {
  // Punctuation read in full is what a user asks for to hear every sign as written; otherwise the
  // reading of KALDRO.INI (natural unless LEITURA says literal).
  const tts::Reading reading = settings.punctuation == PunctuationMode::All ? tts::Reading::Literal : reading_.mode();
  for (Made& made : voices_) {
    made.voice->setPace(paceOf(settings));
    made.voice->setReading(reading);
  }
  Made* by = &chooseVoice(settings);
  JobSink sink(output.audio);
  for (const SpeechStep& step : steps)
    if (!speakStep(step, by, sink, output)) return;
}

bool ModuleSpeaker::speakStep(const SpeechStep& step, Made*& by, JobSink& sink, const SpeakerOutput& output) {
  if (step.kind == SpeechStep::Kind::Mark) {
    output.mark(step.text);
    return true;
  }
  std::string_view text = step.text;
  std::string iconWords;
  if (step.kind == SpeechStep::Kind::Icon) {
    const std::string path = iconPath(step.text);
    if (!path.empty()) {
      output.icon(path);
      return true;
    }
    // No such sound: its name is said instead.
    iconWords = platform::utf8ToCp1252(step.text);
    std::replace(iconWords.begin(), iconWords.end(), '_', ' ');
    std::replace(iconWords.begin(), iconWords.end(), '-', ' ');
    text = iconWords;
  }
  const auto speak = [&](voice::Voice& voice) {
    if (step.kind != SpeechStep::Kind::Character) return voice.speak(text, sink);
    // A voice without the echo's recordings names the printable characters itself, and the keys the
    // echo says as characters (enter, tab) from the module's key table.
    if (&voice != voices_.back().voice.get() && voice.characterName(step.character).empty()) {
      const std::string key = keyCharacterName(step.character);
      return key.empty() || voice.speak(key, sink);
    }
    return voice.speakCharacter(step.character, sink);
  };
  if (speak(*by->voice) || sink.refused()) return !sink.refused();
  // The voice failed even after starting its engine again: the built-in voice says the rest.
  if (by != &voices_.back()) {
    output.log(platform::words::ModuleEngineFailed.with({by->voice->failure().message()}));
    by = &voices_.back();
    speak(*by->voice);
  }
  return !sink.refused();
}

}  // namespace kaldro::app

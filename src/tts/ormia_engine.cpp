// The Portuguese text-to-speech engine's lifecycle: start, speak, stop, shut down.
#include "tts/ormia_engine.h"

#include "platform/ending_signals.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/words.h"

namespace kaldro::tts {

namespace {
constexpr const char* kDefaultDatabase = "br4";

std::string orDefault(std::string value, const char* fallback) { return value.empty() ? fallback : value; }

bool isFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string replaceAll(std::string pattern, const std::string& name) {
  for (size_t at; (at = pattern.find("%s")) != std::string::npos;) pattern.replace(at, 2, name);
  return pattern;
}

bool blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}
}  // namespace

OrmiaEngine::OrmiaEngine(EnginePlaces places, std::function<void(const std::string&)> showMessage)
    : places_(std::move(places)), frontEnd_(std::move(showMessage)), scratch_(ScratchSamples) {}

OrmiaEngine::~OrmiaEngine() { shutdownEngine(); }

bool OrmiaEngine::readRegistryString(std::string_view path, std::string& out) const {
  const size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos) return false;
  const std::string_view key = path.substr(0, slash);
  // Only the default value of a voice's key exists here.
  if (slash + 1 != path.size()) return false;
  const std::string_view prefix = kVoiceRecordKey.substr(0, kVoiceRecordKey.size() - 1);
  if (key.size() <= prefix.size() + 1 || key.substr(0, prefix.size()) != prefix || key[prefix.size()] != '\\')
    return false;
  const std::string name(key.substr(prefix.size() + 1));
  if (name.find_first_of("/\\") != std::string::npos) return false;
  // Registry keys ignore case; voice folders are named in lower case.
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const std::string& pattern : places_.voicePatterns) {
    for (const std::string& candidate : {name, lower}) {
      const std::string file = replaceAll(pattern, candidate);
      if (isFile(file)) {
        out = file;
        return true;
      }
    }
  }
  return false;
}

std::string OrmiaEngine::mbrolaMessage() const {
  if (binding_) return binding_->lastErrorText();
  return bindingProblem_;
}

void OrmiaEngine::unbind() {
  if (!binding_) return;
  binding_->close();
  binding_.reset();
}

platform::Status OrmiaEngine::startEngine(std::string database, std::string rules, std::string exceptions,
                                          std::string abbreviations, std::string prosody, std::string diphones) {
  using platform::Status, platform::StatusCode;
  // A second start replaces the first.
  unbind();
  lostUtterance_ = {};
  MbrolaBound bound = bindMbrola(places_.mbrola);
  binding_ = std::move(bound.binding);
  bindingProblem_ = bound.status.message();
  if (!binding_) return bound.status;

  database = orDefault(std::move(database), kDefaultDatabase);
  rules = orDefault(std::move(rules), "portug.nrl");
  exceptions = orDefault(std::move(exceptions), "portug.exc");
  abbreviations = orDefault(std::move(abbreviations), "portug.abr");
  prosody = orDefault(std::move(prosody), "portug.pro");
  diphones = orDefault(std::move(diphones), "portug.dfn");

  // A database given as a path is used as it is; a name is looked up among the installed voices.
  if (database.find('/') == std::string::npos) {
    std::string record;
    if (readRegistryString(std::string(kVoiceRecordKey) + database + "\\", record)) database = record;
  }
  if (database.empty()) database = places_.engineFolder + kDefaultDatabase;
  databaseOpened_ = database;
  if (binding_->init(database) < 0) {
    bindingProblem_ = platform::words::MbrolaVoiceRefused.with({database, binding_->lastErrorText()}).substr(0, 255);
    binding_.reset();
    return Status::failure(StatusCode::Refused, bindingProblem_);
  }
  binding_->setNoError(1);

  frontEnd_.discard();
  if (const Status loaded = frontEnd_.load({rules, exceptions, abbreviations, prosody, diphones, dictionaries_}); !loaded.ok())
    return Status::failure(loaded.code(), loaded.message().substr(0, 255));
  return {};
}

OrmiaEngine::Attempt OrmiaEngine::sayOnce(std::string_view text, platform::SoundSink& sink, long long alreadyHeard) {
  Attempt attempt;
  // The sink takes samples; once it refuses (a key stopped the sound), no more phones are written and
  // no more pieces made: a stopped utterance costs no more synthesis. What MBROLA still holds is
  // dropped by the next reset.
  bool wanted = true;
  // Hands over what came, past the samples an earlier attempt already handed.
  auto take = [&](int count) {
    const long long before = attempt.samples;
    attempt.samples += count;
    const long long skip = std::clamp(alreadyHeard - before, 0LL, static_cast<long long>(count));
    if (wanted && skip < count &&
        !sink.takeSamples({scratch_.data() + skip, static_cast<size_t>(count - skip)})) {
      wanted = false;
      attempt.spoken = false;
    }
  };
  binding_->reset();
  // MBROLA's error on a line empties what it holds and the rest goes on; a failed synthesizer ends
  // the attempt (a reset would start it afresh in the middle). False: it failed.
  auto survived = [&] {
    if (binding_->lastError() == 0) return true;
    if (binding_->synthesizerFailed()) return false;
    binding_->reset();
    attempt.spoken = false;
    return true;
  };
  // Each piece of the text is spoken as soon as its lines are made: the first sound of a long text
  // comes as soon as a short one's, and only one piece's lines are held. What MBROLA made is taken
  // after each line (the program binding gathers lines and looks at its pipes a few times a
  // piece). False: the synthesizer failed or the sink refused.
  auto speakPiece = [&](std::vector<std::string>& lines, bool lastPiece) {
    // A program asked to end stops between pieces, not after the whole text (minutes for a long one).
    if (platform::endingSignalPending()) {
      attempt.spoken = false;
      return false;
    }
    for (size_t i = 0; i < lines.size() && wanted; ++i) {
      const bool last = lastPiece && i + 1 == lines.size();
      if (lines[i].empty() && !last) continue;
      binding_->write(lines[i] + "\r\n");
      if (!survived()) return false;
      if (last) binding_->flush();
      int count = binding_->read(scratch_.data(), static_cast<int>(ScratchSamples));
      while (count > 0 && wanted) {
        take(count);
        count = binding_->read(scratch_.data(), static_cast<int>(ScratchSamples));
      }
      if (!sink.stillWanted()) {
        wanted = false;
        attempt.spoken = false;
      }
      if (count < 0 && !survived()) return false;
    }
    return wanted;
  };
  if (lineMaker_) {
    std::vector<std::string> lines = lineMaker_(text, durationFactor_, pitchFactor_);
    speakPiece(lines, true);
  } else {
    frontEnd_.forEachPiece(text, durationFactor_, pitchFactor_, speakPiece);
  }
  if (binding_->synthesizerFailed()) {
    attempt.spoken = false;
    attempt.failure = binding_->lastErrorText();
  }
  return attempt;
}

bool OrmiaEngine::speakUtterance(std::string_view text, platform::SoundSink& sink) {
  if (blank(text)) return true;
  if (!binding_) return false;
  sink.beginUtterance(SampleRate);
  // A wait on MBROLA ends as soon as the utterance is no longer wanted: a stop from another thread
  // or a signal to end is answered at once, even while MBROLA is stopped.
  binding_->setPatience([&sink] { return sink.stillWanted() && !platform::endingSignalPending(); });
  Attempt attempt = sayOnce(text, sink, 0);
  if (!attempt.failure.empty() && sink.stillWanted()) {
    // The synthesizer failed in the middle (it ended, hung or flooded): it starts afresh and the
    // utterance is said again, its first samples, heard already, left out.
    attempt = sayOnce(text, sink, attempt.samples);
    if (!attempt.failure.empty())
      lostUtterance_ = platform::Status::failure(platform::StatusCode::Refused,
                                                 platform::words::EngineLostUtterance.with({attempt.failure}));
  }
  binding_->setPatience({});
  return sink.endUtterance() && attempt.spoken;
}

void OrmiaEngine::shutdownEngine() {
  frontEnd_.discard();
  unbind();
}

}  // namespace kaldro::tts

// The engine's pipeline, stage after stage: normalise, tokenise, patterns, transcribe, prosody.
#include "tts/front_end.h"

#include "platform/config.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/words.h"
#include "tts/normaliser.h"
#include "tts/prosody.h"
#include "tts/transcriber.h"

namespace kaldro::tts {

namespace words = platform::words;

DataFiles dataFilesIn(const std::string& folder, const std::string& baseName) {
  auto file = [&](const char* extension) {
    const std::string name = baseName + extension;
    return platform::findFileIgnoringCase(folder, name).value_or(folder + name);
  };
  return {file(".nrl"), file(".exc"), file(".abr"), file(".pro"), file(".dfn")};
}

DataFiles dataFilesFromConfig(const platform::Configuration& configuration) {
  std::string folder = configuration.readConfig("ORMIATTS", "DIR");
  if (folder.empty()) folder = configuration.prefix() + "/share/kaldro/ormiatts/";
  if (folder.back() != '/') folder += '/';
  std::string baseName = configuration.readConfig("ORMIATTS", "BASE");
  if (baseName.empty()) baseName = "portug";
  return dataFilesIn(folder, baseName);
}

std::string loadFailureText(LoadResult result, const std::string& readErrorText) {
  switch (result) {
    case LoadResult::Loaded: return {};
    case LoadResult::LexiconFailed: return platform::cp1252ToUtf8(words::EngineLexiconFailed);
    case LoadResult::AbbreviationsFailed: return platform::cp1252ToUtf8(words::EngineAbbreviationsFailed);
    case LoadResult::ProsodyFailed: return platform::cp1252ToUtf8(words::EngineProsodyFailed);
    case LoadResult::ReadError:
      return readErrorText.empty() ? platform::cp1252ToUtf8(words::EngineReadFailed) : readErrorText;
  }
  return {};
}

struct FrontEnd::Stages {
  explicit Stages(std::function<void(const std::string&)> showMessage) : prosody(std::move(showMessage)) {}
  Transcriber transcriber;
  Normaliser normaliser;
  Prosody prosody;
  NaturalReading natural{normaliser};
  Reading reading = Reading::Natural;
};

FrontEnd::FrontEnd(std::function<void(const std::string&)> showMessage)
    : showMessage_(showMessage), stages_(new Stages(std::move(showMessage))) {}
FrontEnd::~FrontEnd() { delete stages_; }

// In the engine's order: lexicons, abbreviations, prosody and diphone list; the first failure ends
// the load.
LoadResult FrontEnd::load(const DataFiles& files, std::string* readErrorText) {
  if (!stages_->transcriber.loadLexicons(files.rules, files.exceptions)) return LoadResult::LexiconFailed;
  // A file that exists but cannot be read is told apart from a missing or malformed one.
  std::string readError;
  auto failed = [&](LoadResult missingOrMalformed) {
    if (readError.empty()) return missingOrMalformed;
    if (readErrorText) *readErrorText = readError;
    return LoadResult::ReadError;
  };
  if (!stages_->normaliser.loadAbbreviations(files.abbreviations, &readError))
    return failed(LoadResult::AbbreviationsFailed);
  if (!stages_->prosody.loadProsody(files.prosody, &readError) ||
      !stages_->prosody.loadDiphones(files.diphones, &readError))
    return failed(LoadResult::ProsodyFailed);
  return LoadResult::Loaded;
}

void FrontEnd::discard() {
  stages_->transcriber.clear();
  stages_->prosody.discardDiphones();
}

void FrontEnd::setReading(Reading reading) { stages_->reading = reading; }

std::string FrontEnd::normalise(std::string_view text) const {
  if (stages_->reading == Reading::Literal) return stages_->normaliser.normaliseText(text);
  return stages_->normaliser.normaliseText(stages_->natural.read(text));
}

std::vector<std::string> FrontEnd::mbrolaLines(std::string_view text, double durationFactor,
                                               double pitchFactor) const {
  const Prosody& prosody = stages_->prosody;
  const std::vector<std::string> tokenLines = prosody.assignPatterns(prosody.tokenise(normalise(text)), true);
  return prosody.buildProsody(stages_->transcriber.transcribe(tokenLines), durationFactor, pitchFactor);
}

std::string FrontEnd::phones(std::string_view text) const {
  const Prosody& prosody = stages_->prosody;
  return joinPhones(stages_->transcriber.transcribe(prosody.assignPatterns(prosody.tokenise(normalise(text)), true)));
}

}  // namespace kaldro::tts

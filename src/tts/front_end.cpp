// The engine's pipeline, stage after stage: normalise, tokenise, patterns, transcribe, prosody.
#include "tts/front_end.h"

#include "platform/config.h"
#include "platform/profile.h"
#include "tts/prosody.h"

namespace kaldro::tts {

namespace {

// Stand-in for the transcription stage until it is part of the tree: word headers, pause codes
// and word ends, no phones (every word silent).
std::vector<std::string> transcribeSilently(const std::vector<std::string>& tokenLines) {
  std::vector<std::string> list;
  for (const std::string& line : tokenLines) {
    list.push_back(";" + line);
    const std::string_view token = line.size() > 4 ? std::string_view(line).substr(4) : std::string_view();
    if (token.empty()) {
      list.push_back("__");
      list.emplace_back();
    } else if (std::string_view("!(),.:;?").find(token.front()) != std::string_view::npos) {
      list.push_back(std::string("_") + token.front());
    } else {
      list.emplace_back();
    }
  }
  list.push_back("__");
  return list;
}

}  // namespace

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
    case LoadResult::LexiconFailed: return "Erro na base de dados de português";
    case LoadResult::AbbreviationsFailed: return "Erro no arquivo de abreviaturas";
    case LoadResult::ProsodyFailed: return "Erro no arquivo de prosódia";
    case LoadResult::ReadError: return readErrorText.empty() ? "Erro de leitura nos dados do motor" : readErrorText;
  }
  return {};
}

struct FrontEnd::Stages {
  explicit Stages(std::function<void(const std::string&)> showMessage) : prosody(std::move(showMessage)) {}
  Prosody prosody;
};

FrontEnd::FrontEnd(std::function<void(const std::string&)> showMessage)
    : showMessage_(showMessage), stages_(new Stages(std::move(showMessage))) {}
FrontEnd::~FrontEnd() { delete stages_; }

LoadResult FrontEnd::load(const DataFiles& files, std::string*) {
  if (!stages_->prosody.loadProsody(files.prosody) || !stages_->prosody.loadDiphones(files.diphones))
    return LoadResult::ProsodyFailed;
  return LoadResult::Loaded;
}

void FrontEnd::discard() { stages_->prosody.discardDiphones(); }

std::string FrontEnd::normalise(std::string_view text) const { return std::string(text); }

std::vector<std::string> FrontEnd::mbrolaLines(std::string_view text, double durationFactor,
                                               double pitchFactor) const {
  const Prosody& prosody = stages_->prosody;
  const std::vector<std::string> tokenLines = prosody.assignPatterns(prosody.tokenise(normalise(text)), true);
  return prosody.buildProsody(transcribeSilently(tokenLines), durationFactor, pitchFactor);
}

std::string FrontEnd::phones(std::string_view) const { return {}; }

}  // namespace kaldro::tts

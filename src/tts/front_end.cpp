// The engine's pipeline, stage after stage: normalise, phrase, transcribe, time and tune; in pieces.
#include "tts/front_end.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/profile.h"
#include "platform/text.h"
#include "platform/words.h"
#include "tts/latin1_text.h"
#include "tts/normaliser.h"
#include "tts/prosody.h"
#include "tts/transcriber.h"
#include "tts/user_dictionary.h"

namespace kaldro::tts {

namespace words = platform::words;

DataFiles dataFilesIn(const std::string& folder, const std::string& baseName) {
  auto file = [&](const char* extension) {
    const std::string name = baseName + extension;
    return platform::findFileIgnoringCase(folder, name).value_or(folder + name);
  };
  return {file(".nrl"), file(".exc"), file(".abr"), file(".pro"), file(".dfn")};
}

namespace {
// A data file the loaders would take without a word though it holds nothing they can use: empty
// (rules, prosody, diphones: every word would vanish) or binary (any file: a NUL byte is in no text).
// Files that cannot be opened are the loaders' to report.
platform::Status unusableDataFile(const DataFiles& files) {
  struct Check {
    const std::string& path;
    const platform::Cp1252Words& kind;
    bool mayBeEmpty;
  };
  const Check checks[] = {{files.rules, words::EngineLexiconFailed, false},
                          {files.exceptions, words::EngineLexiconFailed, true},
                          {files.abbreviations, words::EngineAbbreviationsFailed, true},
                          {files.prosody, words::EngineProsodyFailed, false},
                          {files.diphones, words::EngineProsodyFailed, false}};
  for (const Check& check : checks) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(check.path, error)) continue;
    std::ifstream in(check.path, std::ios::binary);
    char head[65536];
    in.read(head, sizeof head);
    const std::string_view read(head, static_cast<size_t>(in.gcount()));
    const std::string name = platform::utf8ToCp1252(check.path);
    if (read.empty() && !check.mayBeEmpty)
      return platform::Status::failure(platform::StatusCode::Malformed, words::EngineDataFileEmpty.with({check.kind, name}));
    if (read.find('\0') != std::string_view::npos)
      return platform::Status::failure(platform::StatusCode::Malformed, words::EngineDataFileBinary.with({check.kind, name}));
  }
  return {};
}
}  // namespace

struct FrontEnd::Stages {
  explicit Stages(std::function<void(const std::string&)> showMessage)
      : prosody(showMessage), showMessage(std::move(showMessage)) {}
  Transcriber transcriber;
  Normaliser normaliser;
  Prosody prosody;
  NaturalReading natural{normaliser};
  Reading reading = Reading::Natural;
  std::function<void(const std::string&)> showMessage;
  UserDictionary dictionary;  // the user's readings, before either reading
};

FrontEnd::FrontEnd(std::function<void(const std::string&)> showMessage)
    : stages_(new Stages(std::move(showMessage))) {}
FrontEnd::~FrontEnd() { delete stages_; }

// A file of nothing usable first, then the engine's order: lexicons, abbreviations, prosody and
// diphone list; the first failure ends the load.
platform::Status FrontEnd::load(const DataFiles& files) {
  platform::Status status = unusableDataFile(files);
  if (status.ok()) status = stages_->transcriber.loadLexicons(files.rules, files.exceptions);
  if (status.ok()) status = stages_->normaliser.loadAbbreviations(files.abbreviations);
  if (status.ok()) status = stages_->prosody.loadProsody(files.prosody);
  if (status.ok()) status = stages_->prosody.loadDiphones(files.diphones);
  stages_->dictionary = UserDictionary(files.dictionaries, stages_->showMessage);
  return status;
}

void FrontEnd::discard() {
  stages_->transcriber.clear();
  stages_->prosody.discardDiphones();
}

void FrontEnd::setReading(Reading reading) { stages_->reading = reading; }

std::string FrontEnd::normalise(std::string_view text) const {
  const std::string own = stages_->dictionary.apply(text);
  if (stages_->reading == Reading::Literal) return stages_->normaliser.normaliseText(own);
  return stages_->normaliser.normaliseText(stages_->natural.read(own));
}

// One utterance on its way through the stages: its factors, the piece being made, and what each
// stage carries from one piece to the next.
struct FrontEnd::Utterance {
  double durationFactor = 1.0;
  double pitchFactor = 1.0;
  bool lastPiece = true;
  bool transcribed = false;  // a piece before this one has been transcribed
  bool sounding = false;     // a phone of the utterance has been timed
  PhrasingCarry phrasing;
  ProsodyCarry prosody;
};

std::vector<Token> FrontEnd::tokenise(const std::string& normalised, Utterance& utterance) const {
  return stages_->prosody.phrasing().tokenise(normalised, utterance.phrasing);
}

std::vector<PhrasedToken> FrontEnd::phrase(const std::vector<Token>& tokens, Utterance& utterance) const {
  return stages_->prosody.phrasing().assignPatterns(tokens, utterance.phrasing, utterance.lastPiece);
}

std::vector<PhoneLine> FrontEnd::transcribe(const std::vector<PhrasedToken>& tokens, Utterance& utterance) const {
  PieceNeighbours neighbours;
  neighbours.continuing = utterance.transcribed;
  // The token phrasing holds back for its neighbour is the first of the next piece.
  if (utterance.phrasing.held) neighbours.following = utterance.phrasing.held->text;
  utterance.transcribed = true;
  return stages_->transcriber.transcribe(tokens, neighbours);
}

namespace {
bool isSound(const PhoneLine& line) { return line.kind == PhoneLine::Kind::Phone && !line.name.empty(); }

// An utterance starts with its first phone: a screen reader speaks thousands of short messages,
// each heard only after whatever silence leads it. The pause before every sentence and those of
// marks before the first word ("(Bom dia") go, with the headers of tokens that make no sound; the
// first word's header and the pauses of later sentences stay.
void dropLeadingSilence(std::vector<PhoneLine>& phones, bool& sounding) {
  if (sounding) return;
  const size_t first = std::find_if(phones.begin(), phones.end(), isSound) - phones.begin();
  sounding = first < phones.size();
  size_t firstHeader = phones.size();
  for (size_t i = 0; sounding && i < first; ++i)
    if (phones[i].kind == PhoneLine::Kind::WordHeader) firstHeader = i;
  std::vector<PhoneLine> kept;
  kept.reserve(phones.size());
  for (size_t i = 0; i < phones.size(); ++i) {
    const PhoneLine::Kind kind = phones[i].kind;
    const bool silent = kind == PhoneLine::Kind::Pause || kind == PhoneLine::Kind::WordEnd ||
                        (kind == PhoneLine::Kind::WordHeader && i != firstHeader);
    if (i >= first || !silent) kept.push_back(std::move(phones[i]));
  }
  phones = std::move(kept);
}
}  // namespace

std::vector<std::string> FrontEnd::timeAndTune(const std::vector<PhoneLine>& phones, Utterance& utterance) const {
  return stages_->prosody.buildProsody(phones, utterance.prosody, utterance.lastPiece, utterance.durationFactor,
                                       utterance.pitchFactor);
}

std::vector<std::string> FrontEnd::linesOfPiece(std::string_view normalised, Utterance& utterance) const {
  const std::vector<Token> tokens = tokenise(std::string(normalised), utterance);
  const std::vector<PhrasedToken> phrased = phrase(tokens, utterance);
  std::vector<PhoneLine> phones = transcribe(phrased, utterance);
  dropLeadingSilence(phones, utterance.sounding);
  return timeAndTune(phones, utterance);
}

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

size_t FrontEnd::pieceEnd(std::string_view normalised, size_t from) const {
  const size_t limit = std::min(normalised.size(), from + kPieceLength);
  if (limit == normalised.size()) return limit;
  // The text is already read (words, blanks and the marks that pause), so every cut before a blank
  // is one the whole text has too; the stages after reading carry what they need across it. Each
  // piece holds at least two characters.
  size_t clauseEnd = 0, wordEnd = 0;
  for (size_t cut = from + 2; cut < limit; ++cut) {
    const char before = normalised[cut - 1];
    if (!isBlank(normalised[cut]) || isBlank(before)) continue;
    if (before == '.' || before == '!' || before == '?') {
      if (cut - from >= kShortestPiece) return cut;
      clauseEnd = cut;
    } else if (before == ',' || before == ';' || before == ':') {
      clauseEnd = cut;
    } else {
      wordEnd = cut;
    }
  }
  if (clauseEnd) return clauseEnd;
  if (wordEnd) return wordEnd;
  return limit;  // one word longer than a piece: cut between two of its letters
}

bool FrontEnd::forEachPiece(std::string_view text, double durationFactor, double pitchFactor,
                            const PieceTaker& take) const {
  Utterance utterance;
  utterance.durationFactor = durationFactor;
  utterance.pitchFactor = pitchFactor;
  // The whole text is read at once, so that no cut changes how a date, a sum or an abbreviation
  // reads; only the stages after reading go piece by piece.
  const std::string normalised = normalise(text);
  size_t from = 0;
  do {
    const size_t end = pieceEnd(normalised, from);
    utterance.lastPiece = end == normalised.size();
    std::vector<std::string> lines = linesOfPiece(std::string_view(normalised).substr(from, end - from), utterance);
    if (!take(lines, utterance.lastPiece)) return false;
    from = end;
  } while (from < normalised.size());
  return true;
}

std::vector<std::string> FrontEnd::mbrolaLines(std::string_view text, double durationFactor,
                                               double pitchFactor) const {
  std::vector<std::string> all;
  forEachPiece(text, durationFactor, pitchFactor, [&](std::vector<std::string>& lines, bool) {
    all.insert(all.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    return true;
  });
  return all;
}

void FrontEnd::forEachPhonePiece(std::string_view text,
                                 const std::function<void(const std::vector<PhoneLine>&)>& take) const {
  Utterance utterance;
  const std::string normalised = normalise(text);
  size_t from = 0;
  do {
    const size_t end = pieceEnd(normalised, from);
    utterance.lastPiece = end == normalised.size();
    const std::vector<Token> tokens = tokenise(normalised.substr(from, end - from), utterance);
    take(transcribe(phrase(tokens, utterance), utterance));
    from = end;
  } while (from < normalised.size());
}

std::string FrontEnd::phones(std::string_view text) const {
  std::string all;
  forEachPhonePiece(text, [&](const std::vector<PhoneLine>& list) {
    const std::string piece = joinPhones(textLines(list));
    if (!all.empty() && !piece.empty()) all += ' ';
    all += piece;
  });
  return all;
}

}  // namespace kaldro::tts

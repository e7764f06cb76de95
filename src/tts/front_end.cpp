// The engine's pipeline, stage after stage: normalise, phrase, transcribe, time and tune; in pieces.
#include "tts/front_end.h"

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
  PhrasingCarry phrasing;
  ProsodyCarry prosody;
};

// Each piece is read naturally on its own: pieces end at sentence ends, clause ends or word ends,
// none of which the natural reading looks across but for a noun's gender after a long text's cut.
std::string FrontEnd::normalise(std::string_view piece, Utterance&) const { return normalise(piece); }

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

std::vector<std::string> FrontEnd::timeAndTune(const std::vector<PhoneLine>& phones, Utterance& utterance) const {
  return stages_->prosody.buildProsody(phones, utterance.prosody, utterance.lastPiece, utterance.durationFactor,
                                       utterance.pitchFactor);
}

std::vector<std::string> FrontEnd::linesOfPiece(std::string_view piece, Utterance& utterance) const {
  const std::string normalised = normalise(piece, utterance);
  const std::vector<Token> tokens = tokenise(normalised, utterance);
  const std::vector<PhrasedToken> phrased = phrase(tokens, utterance);
  const std::vector<PhoneLine> phones = transcribe(phrased, utterance);
  return timeAndTune(phones, utterance);
}

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLetterOrDigit(char c) { return isPortugueseLetter(c) || (c >= '0' && c <= '9'); }
}  // namespace

// A full stop ends a sentence unless it is an abbreviation's ("Sr.", "Dr.", and the initial of a
// name), whose expansion needs the text after it, or follows an ordinal sign ("nº.").
bool FrontEnd::endsSentenceHere(std::string_view text, size_t from, size_t mark) const {
  if (text[mark] != '.') return true;
  size_t start = mark;
  while (start > from && (isPortugueseLetter(text[start - 1]) || text[start - 1] == '-')) --start;
  if (start == mark) {  // a digit, a bracket, a sign before the mark
    const auto previous = static_cast<unsigned char>(text[mark - 1]);
    return previous != 0xAA && previous != 0xBA && previous != 0xB0;  // ª º °
  }
  // A word glued to what comes before it (an apostrophe, a digit) is not looked up whole here.
  if (start > from && !isBlank(text[start - 1])) return false;
  const std::string_view word = text.substr(start, mark - start);
  return word.size() > 1 && stages_->normaliser.lookupAbbreviation(word).empty();
}

size_t FrontEnd::pieceEnd(std::string_view text, size_t from) const {
  const size_t limit = std::min(text.size(), from + kPieceLength);
  if (limit == text.size()) return limit;
  // A cut goes before a blank that follows a letter, a digit or a mark; the piece before it then
  // reads as in the whole text, and the piece after it starts with its blank. Each piece holds at
  // least two characters (a text of one is read as that character's name).
  size_t clauseEnd = 0, wordEnd = 0;
  for (size_t cut = from + 2; cut < limit; ++cut) {
    const char before = text[cut - 1];
    if (!isBlank(text[cut]) || isBlank(before)) continue;
    if (before == '.' || before == '!' || before == '?') {
      if (cut - from >= kShortestPiece && endsSentenceHere(text, from, cut - 1)) return cut;
    } else if (before == ',' || before == ';' || before == ':') {
      clauseEnd = cut;
    } else if (isLetterOrDigit(before)) {
      wordEnd = cut;
    }
  }
  if (clauseEnd) return clauseEnd;
  if (wordEnd) return wordEnd;
  return limit;
}

bool FrontEnd::forEachPiece(std::string_view text, double durationFactor, double pitchFactor,
                            const PieceTaker& take) const {
  Utterance utterance;
  utterance.durationFactor = durationFactor;
  utterance.pitchFactor = pitchFactor;
  size_t from = 0;
  do {
    const size_t end = pieceEnd(text, from);
    utterance.lastPiece = end == text.size();
    std::vector<std::string> lines = linesOfPiece(text.substr(from, end - from), utterance);
    if (!take(lines, utterance.lastPiece)) return false;
    from = end;
  } while (from < text.size());
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
  size_t from = 0;
  do {
    const size_t end = pieceEnd(text, from);
    utterance.lastPiece = end == text.size();
    const std::string normalised = normalise(text.substr(from, end - from), utterance);
    const std::vector<Token> tokens = tokenise(normalised, utterance);
    take(transcribe(phrase(tokens, utterance), utterance));
    from = end;
  } while (from < text.size());
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

// The engine's pipeline from one utterance of text to MBROLA lines, as a list of stages: normalise,
// phrase (tokens, classes, intonation patterns), transcribe (phones with stress), then time and
// tune (durations, pitch targets). Long texts go through it in pieces of bounded length.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "tts/natural_reading.h"
#include "tts/phrasing.h"
#include "tts/transcriber.h"

namespace kaldro::tts {

// The five data files of the engine (full paths).
struct DataFiles {
  std::string rules;          // letter-to-phone rules (portug.nrl)
  std::string exceptions;     // word exceptions (portug.exc)
  std::string abbreviations;  // abbreviations (portug.abr)
  std::string prosody;        // durations, keyword classes, intonation patterns (portug.pro)
  std::string diphones;       // the voice's diphone list (portug.dfn)
  std::vector<std::string> dictionaries;  // the user's readings (dicionario.txt), the user's first
};

// folder + baseName + ".nrl", ".exc", ".abr", ".pro", ".dfn"; each name is found without regard to
// case when the exact one does not exist.
DataFiles dataFilesIn(const std::string& folder, const std::string& baseName = "portug");

class FrontEnd {
 public:
  // showMessage: how a loader's message box reaches the user (the host's notification); the text
  // is UTF-8.
  explicit FrontEnd(std::function<void(const std::string&)> showMessage = {});
  ~FrontEnd();
  FrontEnd(const FrontEnd&) = delete;
  FrontEnd& operator=(const FrontEnd&) = delete;

  // Loads the lexicons, then the abbreviations, then the prosody and diphone list, stopping at the
  // first failure, whose status (CP1252 message) this is: the loader's file missing (NotFound) or
  // malformed (Malformed) with the engine's message for that file, or one that cannot be read
  // (Unreadable) named with why. A file the loaders would take though it holds nothing usable
  // (empty where it must not be, or binary) is Malformed before anything is loaded.
  platform::Status load(const DataFiles& files);
  // Forgets the rule chains and the diphone list of an earlier load.
  void discard();

  // Natural (the default): texts are first read as a reader says them (dates, money...); literal:
  // sign by sign.
  void setReading(Reading reading);
  // Text (CP1252) to its normalised form: words, blanks and kept punctuation.
  std::string normalise(std::string_view text) const;
  // Text (CP1252) to MBROLA lines, with the engine's duration and pitch factors: phone lines,
  // ";word" comments and empty lines (word ends, for the reader; not for MBROLA). No "#": the
  // binding ends the utterance.
  std::vector<std::string> mbrolaLines(std::string_view text, double durationFactor,
                                       double pitchFactor) const;
  // The same, handed over piece by piece (the text is read whole, then cut into a sentence, a
  // clause, or at most kPieceLength bytes of read text) as each is made, so that sound can start after the first and memory stays bounded
  // whatever the text's length. The pieces together are the lines mbrolaLines gives. take returns
  // false to stop; then so does this.
  using PieceTaker = std::function<bool(std::vector<std::string>& lines, bool lastPiece)>;
  bool forEachPiece(std::string_view text, double durationFactor, double pitchFactor, const PieceTaker& take) const;
  // The phones of a text as transcription makes them, blank-separated, '>' before the stressed
  // vowel, pauses and word headers left out (what tools/compara-fonemas reads).
  std::string phones(std::string_view text) const;

  // The longest piece of read text the stages after reading take at once.
  static constexpr size_t kPieceLength = 600;
  // A piece ends at the first sentence end after this many bytes.
  static constexpr size_t kShortestPiece = 200;
  // Where the piece of normalised text (normalise's words, blanks and pausing marks) starting at
  // from ends: after a sentence end, else a clause end, else a word, else at kPieceLength.
  size_t pieceEnd(std::string_view normalised, size_t from) const;

 private:
  struct Stages;
  struct Utterance;
  // The stages, in order, over one piece of an utterance.
  std::vector<std::string> linesOfPiece(std::string_view normalised, Utterance& utterance) const;
  std::vector<Token> tokenise(const std::string& normalised, Utterance& utterance) const;
  std::vector<PhrasedToken> phrase(const std::vector<Token>& tokens, Utterance& utterance) const;
  std::vector<PhoneLine> transcribe(const std::vector<PhrasedToken>& tokens, Utterance& utterance) const;
  std::vector<std::string> timeAndTune(const std::vector<PhoneLine>& phones, Utterance& utterance) const;
  // The phone list of every piece, in order (for the phones of a text).
  void forEachPhonePiece(std::string_view text, const std::function<void(const std::vector<PhoneLine>&)>& take) const;
  Stages* stages_;
};

}  // namespace kaldro::tts

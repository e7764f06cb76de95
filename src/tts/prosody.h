// The engine's prosody: durations, pitch targets and diphone fillers of the phones transcription
// made. Its file (portug.pro) also holds the phrasing's keywords and patterns, read here and handed
// to the phrasing; the voice's diphone list is portug.dfn. All texts are CP1252.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "platform/words.h"
#include "tts/phrasing.h"
#include "tts/transcriber.h"

namespace kaldro::tts {

// What timing and tuning carry from one piece of an utterance to the next.
struct ProsodyCarry {
  int stressFactor = 100;   // percent: 145 from the stressed phone to the word's end or a mark
  size_t headerLength = 0;  // of the current word's header (its token and the ';')
  std::string pattern = "555";  // the current word's intonation pattern
  // 0 first phone of the word, 1 before the stress, 2 stressed phone reached, 3 after it.
  int pitchState = 0;
  std::string previous = "_";  // the last phone, for the diphone check
};

class Prosody {
 public:
  // showMessage: the host's notification for the prosody file's faults (text in UTF-8).
  explicit Prosody(std::function<void(const std::string&)> showMessage = {});

  // Reads the durations, keyword classes, intonation patterns and pitch settings. The sections may
  // come in any order. A file or a section missing or malformed is NotFound or Malformed, with the
  // engine's message for its prosody, after a message telling the fault. A file that exists but
  // cannot be read is Unreadable, naming the file and why, and no message.
  platform::Status loadProsody(const std::string& path);
  // Reads the voice's diphone list: NotFound (with the engine's message for its prosody) when the
  // file does not exist, Unreadable (naming the file and why) when it cannot be read.
  platform::Status loadDiphones(const std::string& path);
  void discardDiphones();

  // The keywords and intonation patterns of the file.
  const Phrasing& phrasing() const { return phrasing_; }
  // Phrasing of a whole text in the rules' text form: token lines "[" class "]" text, the first
  // one "[--]", and "pattern|text" lines (without the table every token gets 555).
  std::vector<std::string> tokenise(std::string_view text) const;
  std::string classOf(std::string_view word) const { return phrasing_.classOf(word); }
  std::vector<std::string> assignPatterns(const std::vector<std::string>& tokens, bool useTable) const;
  // Milliseconds of a phone code; 100 when the table does not list it.
  int durationOf(std::string_view code) const;
  // One piece's phone list to MBROLA lines: durations, pitch targets, fillers where the voice lacks
  // a diphone, word headers as comments, empty lines at word ends.
  std::vector<std::string> buildProsody(const std::vector<PhoneLine>& phones, ProsodyCarry& carry, bool lastPiece,
                                        double durationFactor, double pitchFactor) const;
  // The same for a whole phone list in the text form.
  std::vector<std::string> buildProsody(const std::vector<std::string>& phones, double durationFactor,
                                        double pitchFactor) const;
  // True when the voice has the diphone first-second (an empty list knows every diphone).
  bool hasDiphone(std::string_view first, std::string_view second) const;

  int hertz() const { return hertz_; }
  const std::array<int, 10>& tabHertz() const { return tabHertz_; }

  static constexpr size_t kMaxDurations = 100;
  static constexpr size_t kMaxKeywords = Phrasing::kMaxKeywords;
  static constexpr size_t kMaxPatterns = Phrasing::kMaxPatterns;

 private:
  struct Duration {
    std::string code;
    int milliseconds = 100;
  };
  bool readDurations(const std::vector<std::string_view>& lines);
  bool readKeywords(const std::vector<std::string_view>& lines, std::vector<Phrasing::Keyword>& keywords);
  bool readPatterns(const std::vector<std::string_view>& lines, std::vector<Phrasing::PatternEntry>& patterns);
  void report(const platform::Cp1252Words& message, std::string_view line = {}) const;
  // Position and frequency of the target of the phone being built, or empty.
  std::string pitchTarget(ProsodyCarry& word, bool wordEnd, double pitchFactor) const;
  std::string targetFor(char digit, int position, double pitchFactor) const;
  // The milliseconds a phone line (marks taken off) asks before stress and speed: a pause's own, or
  // the phone's, less in the unstressed start of a long word (headerLength: its header's). A pause
  // line becomes "_".
  int baseDuration(std::string& line, const ProsodyCarry& word) const;
  // Inserts a short filler before a phone whose diphone with the previous one the voice lacks.
  void checkDiphone(const std::string& previous, const std::string& current,
                    std::vector<std::string>& out) const;

  std::function<void(const std::string&)> showMessage_;
  std::vector<Duration> durations_;
  Phrasing phrasing_;
  std::vector<std::string> diphones_;  // "first-second" in lower case, sorted
  int hertz_ = 230;
  std::array<int, 10> tabHertz_{};  // percent of hertz_ per pattern digit; 0: no target
};

}  // namespace kaldro::tts

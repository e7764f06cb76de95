// The engine's prosody: tokens with prosodic classes and intonation patterns before transcription,
// durations, pitch targets and diphone fillers after it. Tables come from the prosody file
// (portug.pro) and the voice's diphone list (portug.dfn). All texts are CP1252.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::tts {

class Prosody {
 public:
  // showMessage: the host's notification for the prosody file's faults (text in UTF-8).
  explicit Prosody(std::function<void(const std::string&)> showMessage = {});

  // Reads the durations, keyword classes, intonation patterns and pitch settings. The sections may
  // come in any order; false (after a message) when the file or a section is missing or malformed.
  // A file that exists but cannot be read gives false with *readError telling why (UTF-8), and no
  // message: the caller reports it as a read error.
  bool loadProsody(const std::string& path, std::string* readError = nullptr);
  // Reads the voice's diphone list; false when the file does not exist or cannot be read (then
  // *readError tells why).
  bool loadDiphones(const std::string& path, std::string* readError = nullptr);
  void discardDiphones();

  // Normalised text to token lines "[" class "]" text, the first one "[--]"; every sentence mark
  // is followed by another "[--]".
  std::vector<std::string> tokenise(std::string_view text) const;
  // The keyword class of a word (any case), empty when the word is not a keyword.
  std::string classOf(std::string_view word) const;
  // Token lines to "pattern|text" lines; without the table every token gets 555.
  std::vector<std::string> assignPatterns(const std::vector<std::string>& tokens, bool useTable) const;
  // Milliseconds of a phone code; 100 when the table does not list it.
  int durationOf(std::string_view code) const;
  // Phone list (word headers, phones with their marks, pause codes, empty lines) to MBROLA lines.
  std::vector<std::string> buildProsody(const std::vector<std::string>& phones, double durationFactor,
                                        double pitchFactor) const;
  // True when the voice has the diphone first-second (an empty list knows every diphone).
  bool hasDiphone(std::string_view first, std::string_view second) const;

  int hertz() const { return hertz_; }
  const std::array<int, 10>& tabHertz() const { return tabHertz_; }

  static constexpr size_t kMaxDurations = 100;
  static constexpr size_t kMaxKeywords = 1000;
  static constexpr size_t kMaxPatterns = 300;

 private:
  struct Duration {
    std::string code;
    int milliseconds = 100;
  };
  struct Keyword {
    std::string word;
    std::string wordClass;
  };
  struct PatternEntry {
    std::string previous, current, next;  // empty matches anything
    std::string pattern;                  // three characters
  };
  // Pitch state of the word being built: 0 first phone, 1 before the stress, 2 stressed phone
  // reached, 3 after it.
  struct WordPitch {
    std::string pattern = "555";
    int state = 0;
  };

  bool readDurations(const std::vector<std::string_view>& lines);
  bool readKeywords(const std::vector<std::string_view>& lines);
  bool readPatterns(const std::vector<std::string_view>& lines);
  void report(std::string_view message, std::string_view line = {}) const;
  // Position and frequency of the target of the phone being built, or empty.
  std::string pitchTarget(WordPitch& pitch, bool wordEnd, double pitchFactor) const;
  std::string targetFor(char digit, int position, double pitchFactor) const;
  // The milliseconds a phone line (marks taken off) asks before stress and speed: a pause's own, or
  // the phone's, less in the unstressed start of a long word (headerLength: its header's). A pause
  // line becomes "_".
  int baseDuration(std::string& line, const WordPitch& pitch, size_t headerLength) const;
  // Inserts a short filler before a phone whose diphone with the previous one the voice lacks.
  void checkDiphone(const std::string& previous, const std::string& current,
                    std::vector<std::string>& out) const;

  std::function<void(const std::string&)> showMessage_;
  std::vector<Duration> durations_;
  std::vector<Keyword> keywords_;  // sorted by word
  std::vector<PatternEntry> patterns_;
  std::vector<std::string> diphones_;  // "first-second" in lower case, sorted
  int hertz_ = 230;
  std::array<int, 10> tabHertz_{};  // percent of hertz_ per pattern digit; 0: no target
};

}  // namespace kaldro::tts

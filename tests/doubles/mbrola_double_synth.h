// A stand-in for MBROLA in the tests: reads .pho lines and makes exactly the samples they ask for,
// a tone at the pitch targets (silence for "_"), with MBROLA's warnings and fatal errors, and on
// request the faults of a broken synthesizer.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::testing {

class MbrolaDouble {
 public:
  static constexpr int SampleRate = 16000;

  enum class Outcome { Taken, Flushed, BadLine, UnknownDiphone };

  // The database is a text file: a line "phones: a b ..." (no such line: every phone exists) and
  // lines "missing: x-y ..." naming diphones the voice lacks. False with MBROLA's message when absent.
  bool open(const std::string& database, std::string& message);
  // One line; samples of the phones it completes are appended to out. With recover, an unknown
  // diphone is a warning in message; without, it is fatal. A bad line is always fatal.
  Outcome takeLine(std::string_view line, bool recover, std::vector<int16_t>& out, std::string& message);
  // Ends the utterance: the held phone is made and the next one starts from silence.
  void flush(bool recover, std::vector<int16_t>& out, std::string& message);
  void reset();

  // A misbehaviour the voice asks for: "fault: KIND PHONE [once]" (see the program and the library).
  struct Fault {
    std::string kind;   // empty: none
    std::string phone;  // the line naming this phone sets it off
    bool once = false;  // only the first time in a run of the tests (a file beside the voice remembers)
  };
  const Fault& fault() const { return fault_; }

 private:
  struct Phone {
    std::string name;
    double durationMs = 0;
    std::vector<std::pair<double, double>> targets;  // (percent, Hz)
  };
  bool knownPair(const std::string& left, const std::string& right) const;
  bool checkPair(const std::string& left, const std::string& right, bool recover, std::string& message);
  void make(const Phone& phone, std::vector<int16_t>& out);

  std::set<std::string> phones_;
  std::set<std::string> missing_;
  Fault fault_;
  bool anyPhone_ = true;
  std::vector<Phone> held_;
  std::string previous_ = "_";
  double phase_ = 0;
  double lastPitch_ = 120;
};

}  // namespace kaldro::testing

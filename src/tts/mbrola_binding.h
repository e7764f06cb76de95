// The MBROLA synthesizer as the engine drives it: a shared library exporting the MBROLA calls, or the
// `mbrola` program run as a co-process fed .pho lines on a pipe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace kaldro::tts {

// The operations the engine uses, in the MBROLA library's terms.
class MbrolaBinding {
 public:
  virtual ~MbrolaBinding() = default;

  // Opens the voice database; below 0 means failure.
  virtual int init(const std::string& database) = 0;
  // Reports errors through lastError instead of stopping (1), or not (0).
  virtual void setNoError(int noError) = 0;
  // Empties the synthesizer: pending phones and samples are dropped.
  virtual void reset() = 0;
  // Queues one .pho line (its line end included or not); 0 or more on success.
  virtual int write(std::string_view line) = 0;
  // Makes the remaining samples of the utterance readable.
  virtual void flush() = 0;
  // Up to capacity samples delivered; 0 or less means none for now.
  virtual int read(int16_t* samples, int capacity) = 0;
  // Non-zero after an error.
  virtual int lastError() = 0;
  // What MBROLA last said about a problem (warnings included); empty when nothing.
  virtual std::string lastErrorText() = 0;
  // True when the synthesizer itself failed during the utterance (the program ended, stopped
  // answering, or gave far more samples than its lines ask for): the utterance's sound is incomplete
  // and the next reset starts the synthesizer afresh. MBROLA's own errors on a line are not this.
  virtual bool synthesizerFailed() const = 0;
  virtual void close() = 0;
  // Asked while the binding waits on the synthesizer (the program's pipes); false: nobody wants the
  // utterance any more (a stop from another thread, a signal to end), and the wait ends at once, no
  // samples read. Empty: the waits run their course. A library answers at once and never asks.
  virtual void setPatience(std::function<bool()> goOn) { (void)goOn; }
  // "biblioteca NAME" or "programa PATH", for messages.
  virtual std::string description() const = 0;
};

// The 23 calls a library must export to be used.
inline constexpr const char* kMbrolaCalls[] = {
    "init_MBR",          "init_rename_MBR",    "write_MBR",       "flush_MBR",          "read_MBR",
    "readtype_MBR",      "close_MBR",          "reset_MBR",       "lastError_MBR",      "lastErrorStr_MBR",
    "setNoError_MBR",    "getNoError_MBR",     "setFreq_MBR",     "getFreq_MBR",        "setVolumeRatio_MBR",
    "getVolumeRatio_MBR", "getVersion_MBR",    "getDatabaseInfo_MBR", "setParser_MBR",  "init_Phone",
    "reset_Phone",       "close_Phone",        "appendf0_Phone"};

// MBROLA makes a second of sound in a few milliseconds and writes it in pieces of a few kilobytes:
// 0.8 s without a word from it while it owes samples means it stopped.
inline constexpr int kMbrolaAnswerLimitMs = 800;

// Where MBROLA is looked for; the folders are the run's (platform::RunOptions), handed down by main.
struct MbrolaPlaces {
  // Library names tried with dlopen, in order (a configured name first, then the usual ones).
  std::vector<std::string> libraries = defaultLibraryNames();
  // The folders searched for the `mbrola` program (the run's PATH); none: no program.
  std::vector<std::string> programFolders;
  // The program is taken as hung when it answers nothing this long: at start, or since the last
  // samples while it owes more (a stopped program is found within it). It is then ended (SIGTERM,
  // and SIGKILL when that is ignored).
  int answerLimitMs = kMbrolaAnswerLimitMs;
  // Where the loader looks first for a library named without a folder (the run's LD_LIBRARY_PATH).
  std::vector<std::string> libraryFolders = {};

  static std::vector<std::string> defaultLibraryNames();
};

// A binding, or why there is none: NotFound when nothing of that name is there, Malformed when what
// is there cannot be used (not a regular file, a library without one of the calls).
struct MbrolaBound {
  std::unique_ptr<MbrolaBinding> binding;
  platform::Status status;
};

// The first way that works: a library with all 23 calls, else the program. When neither exists, the
// status tells what was missing: a library there but unusable, else NotFound.
MbrolaBound bindMbrola(const MbrolaPlaces& places);

// Each way on its own (tests, the benchmark). A library's name without a folder is looked for in
// libraryFolders before the loader's own places; the program takes its answer limit from places.
MbrolaBound bindMbrolaLibrary(const std::string& name, const std::vector<std::string>& libraryFolders);
std::unique_ptr<MbrolaBinding> bindMbrolaProgram(const std::string& programPath, const MbrolaPlaces& places);
// The most samples one utterance may give: what its lines ask for, with room for MBROLA's own
// rounding and for voices recorded at other rates; past it the synthesizer is taken as flooding.
long long mbrolaSampleLimit(double samplesAsked);
// The first executable regular file of that name in folders, as the shell finds a command; empty
// when there is none.
std::string findProgram(const std::string& name, const std::vector<std::string>& folders);

}  // namespace kaldro::tts

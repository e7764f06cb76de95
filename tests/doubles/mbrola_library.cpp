// The MBROLA stand-in as a shared library exporting the MBROLA calls. Built once complete and once
// without readtype_MBR (KALDRO_DOUBLE_LACKS_A_CALL), to show that a partial library is refused. A
// voice's "fault: KIND PHONE" line makes read_MBR misbehave once that phone is written: flood (it
// never runs dry) or overcount (it answers more samples than asked, writing only those asked).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mbrola_double_synth.h"

namespace {
// A C library keeps its state in the library, as MBROLA's does.
struct State {
  kaldro::testing::MbrolaDouble synth;
  bool open = false;
  int noError = 0;
  int error = 0;
  std::string errorText;
  std::vector<int16_t> output;
  size_t start = 0;
  std::string partialLine;
  bool faulty = false;  // the fault's phone was written
};
State& state() {
  static State s;
  return s;
}

void setError(const std::string& text) {
  state().error = -1;
  state().errorText = text;
}
}  // namespace

extern "C" {

int init_MBR(char* database) {
  std::string message;
  state().open = state().synth.open(database, message);
  if (!state().open) setError(message);
  return state().open ? 0 : -1;
}
int init_rename_MBR(char* database, char*, char*) { return init_MBR(database); }

int write_MBR(char* buffer) {
  State& s = state();
  if (!s.open) return setError("not initialised"), -1;
  s.partialLine += buffer;
  size_t end;
  while ((end = s.partialLine.find('\n')) != std::string::npos) {
    const std::string line = s.partialLine.substr(0, end);
    s.partialLine.erase(0, end + 1);
    std::string message;
    std::vector<int16_t> made;
    using Outcome = kaldro::testing::MbrolaDouble::Outcome;
    const auto& fault = s.synth.fault();
    if (!fault.kind.empty() && line.compare(0, fault.phone.size() + 1, fault.phone + " ") == 0) s.faulty = true;
    const Outcome outcome = s.synth.takeLine(line, true, made, message);
    s.output.insert(s.output.end(), made.begin(), made.end());
    if (outcome == Outcome::BadLine || outcome == Outcome::UnknownDiphone) setError(message);
    else if (!message.empty()) s.errorText = message;
  }
  return s.error == 0 ? 0 : -1;
}

int flush_MBR() {
  State& s = state();
  std::string message;
  std::vector<int16_t> made;
  s.synth.flush(true, made, message);
  s.output.insert(s.output.end(), made.begin(), made.end());
  return 0;
}

int read_MBR(short* buffer, int wanted) {
  State& s = state();
  if (s.faulty && wanted > 0 && s.synth.fault().kind == "flood") {
    std::fill(buffer, buffer + wanted, 1000);
    return wanted;
  }
  if (s.faulty && wanted > 0 && s.synth.fault().kind == "overcount") return wanted + 100;
  const size_t count = std::min(s.output.size() - s.start, static_cast<size_t>(std::max(wanted, 0)));
  if (count > 0) std::memcpy(buffer, s.output.data() + s.start, count * 2);  // an empty vector has no data
  s.start += count;
  if (s.start == s.output.size()) {
    s.output.clear();
    s.start = 0;
  }
  return static_cast<int>(count);
}

#ifndef KALDRO_DOUBLE_LACKS_A_CALL
int readtype_MBR(char* buffer, int wanted, int) { return read_MBR(reinterpret_cast<short*>(buffer), wanted / 2) * 2; }
#endif

void close_MBR() {
  state().open = false;
  state().output.clear();
  state().start = 0;
}
int reset_MBR() {
  State& s = state();
  s.synth.reset();
  s.output.clear();
  s.start = 0;
  s.partialLine.clear();
  s.error = 0;
  s.faulty = false;
  return 0;
}
int lastError_MBR() { return state().error; }
int lastErrorStr_MBR(char* buffer, int wanted) {
  if (wanted <= 0) return 0;
  std::strncpy(buffer, state().errorText.c_str(), static_cast<size_t>(wanted - 1));
  buffer[wanted - 1] = '\0';
  return static_cast<int>(std::strlen(buffer));
}
void setNoError_MBR(int noError) { state().noError = noError; }
int getNoError_MBR() { return state().noError; }
void setFreq_MBR(int) {}
int getFreq_MBR() { return kaldro::testing::MbrolaDouble::SampleRate; }
void setVolumeRatio_MBR(float) {}
float getVolumeRatio_MBR() { return 1.0f; }
int getVersion_MBR(char* buffer, int wanted) { return std::snprintf(buffer, wanted, "3.4-double"); }
int getDatabaseInfo_MBR(char* buffer, int wanted, int) { return std::snprintf(buffer, wanted, "double"); }
void setParser_MBR(void*) {}
void* init_Phone(const char*, float) { return nullptr; }
void reset_Phone(void*) {}
void close_Phone(void*) {}
void appendf0_Phone(void*, float, float) {}
}

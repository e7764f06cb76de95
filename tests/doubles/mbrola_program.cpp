// The MBROLA stand-in as a program: mbrola [-e] DATABASE - -, .pho lines on standard input, raw
// 16-bit samples on standard output, messages on standard error, MBROLA's exit statuses. A voice's
// "fault:" line makes it misbehave at the line naming a phone: crash (SIGABRT), exit (status 0, no
// word), quiet (reads and writes nothing more), deaf (the same, SIGTERM ignored), stop (SIGSTOP to
// itself, as a user or a debugger would), flood (samples for
// ever), panic (MBROLA's words on a damaged voice, then its end); "silent-start" answers nothing from
// the start and ignores SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "mbrola_double_synth.h"

namespace {
// Samples go through standard output's own buffer, as MBROLA writes them: in pieces of its size on a
// pipe, and all that is held at each flush.
void writeSamples(std::vector<int16_t>& samples, bool flush) {
  if (std::fwrite(samples.data(), 2, samples.size(), stdout) != samples.size()) std::exit(1);
  if (flush && std::fflush(stdout) != 0) std::exit(1);
  samples.clear();
}

[[noreturn]] void hang(bool deaf) {
  if (deaf) signal(SIGTERM, SIG_IGN);
  for (;;) pause();
}

// Misbehaves as the fault asks; returns only when the fault is not for now.
void misbehave(const kaldro::testing::MbrolaDouble::Fault& fault, const std::string& database) {
  if (fault.once) {
    const std::string done = database + ".feito";
    if (std::filesystem::exists(done)) return;
    std::ofstream{done} << "1\n";
  }
  if (fault.kind == "crash") std::abort();
  if (fault.kind == "exit") std::exit(0);
  if (fault.kind == "quiet" || fault.kind == "silent-start") hang(false);
  if (fault.kind == "deaf") hang(true);
  if (fault.kind == "stop") raise(SIGSTOP);
  if (fault.kind == "panic") {
    std::fprintf(stderr, "PANIC when reading phone %s-_\n", fault.phone.c_str());
    std::exit(1);
  }
  if (fault.kind == "flood") {
    std::vector<int16_t> noise(4096, 1000);
    for (;;) {
      std::vector<int16_t> copy = noise;
      writeSamples(copy, true);
    }
  }
}

void say(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "%s%s", message.c_str(), message.back() == '\n' ? "" : "\n");
}
}  // namespace

int main(int argc, char** argv) {
  bool recover = false;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "-e")
      recover = true;
    else if (argument[0] == '-' && argument != "-")
      return std::fprintf(stderr, "unknown option %s\n", argv[i]), 1;
    else
      names.push_back(argument);
  }
  if (names.size() != 3 || names[1] != "-" || names[2] != "-") {
    std::fprintf(stderr, "USAGE: mbrola [-e] database - -\n");
    return 1;
  }
  kaldro::testing::MbrolaDouble synth;
  std::string message;
  if (!synth.open(names[0], message)) {
    say(message);
    return 216;
  }
  std::vector<int16_t> samples;
  using Outcome = kaldro::testing::MbrolaDouble::Outcome;
  const auto& fault = synth.fault();
  if (fault.kind == "silent-start") misbehave(fault, names[0]);
  for (std::string line; std::getline(std::cin, line);) {
    if (!fault.kind.empty() && line.compare(0, fault.phone.size() + 1, fault.phone + " ") == 0)
      misbehave(fault, names[0]);
    message.clear();
    const Outcome outcome = synth.takeLine(line, recover, samples, message);
    writeSamples(samples, outcome != Outcome::Taken);
    std::fflush(stderr);
    say(message);
    if (outcome == Outcome::BadLine) return 253;
    if (outcome == Outcome::UnknownDiphone) return 193;
  }
  message.clear();
  synth.flush(recover, samples, message);
  writeSamples(samples, true);
  say(message);
  return 0;
}

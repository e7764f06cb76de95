// The MBROLA program as the engine drives it: .pho lines written to the co-process (the binding
// reads each line's duration to bound the samples it takes), and whatever the co-process answers
// read back, samples on standard output and messages on standard error, then its exit or its answer
// to the end phone.
#include <cstdlib>
#include <filesystem>

#include "targets.h"
#include "tts/latin1_text.h"
#include "tts/mbrola_binding.h"

namespace kaldro::fuzz {

namespace {
// Lines after which the rest of an input is left out: each costs a write to the co-process.
constexpr size_t kMaxLines = 2000;
constexpr int kScratchSamples = 16000;
// A reply that says nothing is taken as hung after this long, rather than the engine's seconds.
constexpr int kAnswerLimitMs = 200;

// What speakUtterance does after each line: read until nothing is there.
void readAvailable(tts::MbrolaBinding& binding, std::vector<int16_t>& samples) {
  while (binding.read(samples.data(), kScratchSamples) > 0) {
  }
  if (binding.lastError() != 0) binding.reset();
}
}  // namespace

// .pho lines %% the co-process's standard output %% its standard error %% its exit status.
void fuzzMbrolaLines(std::span<const uint8_t> input) {
  const auto [lines, rest] = splitInput(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  const auto [output, rest2] = splitInput(rest);
  const auto [errors, status] = splitInput(rest2);
  static const std::string reply = scratchFolder() + "/mbrola-reply";
  writeScratchFile(reply, output);
  writeScratchFile(reply + ".err", errors);
  writeScratchFile(reply + ".status", status.substr(0, 8));

  tts::MbrolaPlaces places;
  places.answerLimitMs = kAnswerLimitMs;
  const std::unique_ptr<tts::MbrolaBinding> binding = tts::bindMbrolaProgram(KALDRO_MBROLA_REPLY, places);
  if (binding->init(reply) < 0) {
    (void)binding->lastErrorText();
    return;
  }
  binding->setNoError(1);
  binding->reset();
  std::vector<int16_t> samples(kScratchSamples);
  size_t written = 0;
  for (std::string_view line : tts::splitLines(lines)) {
    if (++written > kMaxLines) break;
    binding->write(std::string(line) + "\r\n");
    readAvailable(*binding, samples);
  }
  binding->flush();
  readAvailable(*binding, samples);
  (void)binding->lastErrorText();
  binding->close();
}

}  // namespace kaldro::fuzz

namespace kaldro::fuzz {

// The library path: .pho lines %% what the library answers (see mbrola_reply_library.cpp) %% its
// error text. The binding must never hand on more samples than its buffer holds, whatever read_MBR
// claims, and must stop an utterance that never runs dry.
void fuzzMbrolaLibrary(std::span<const uint8_t> input) {
  const auto [lines, rest] = splitInput(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  const auto [answers, errors] = splitInput(rest);
  static const std::string reply = scratchFolder() + "/mbrola-library-reply";
  writeScratchFile(reply, answers);
  writeScratchFile(reply + ".err", errors);
  const std::unique_ptr<tts::MbrolaBinding> binding = tts::bindMbrolaLibrary(KALDRO_MBROLA_REPLY_LIBRARY, {}).binding;
  if (!binding || binding->init(reply) < 0) return;
  binding->setNoError(1);
  binding->reset();
  // One sample past the capacity is watched: a binding that copied more than it may would show.
  std::vector<int16_t> samples(kScratchSamples + 1, 0x5A5A);
  size_t written = 0;
  for (std::string_view line : tts::splitLines(lines)) {
    if (++written > kMaxLines) break;
    binding->write(std::string(line) + "\r\n");
    for (int n; (n = binding->read(samples.data(), kScratchSamples)) > 0;)
      if (n > kScratchSamples) std::abort();
    if (binding->lastError() != 0) binding->reset();
  }
  binding->flush();
  for (int n; (n = binding->read(samples.data(), kScratchSamples)) > 0;)
    if (n > kScratchSamples) std::abort();
  if (samples[kScratchSamples] != 0x5A5A) std::abort();
  (void)binding->lastErrorText();
  binding->close();
}

}  // namespace kaldro::fuzz

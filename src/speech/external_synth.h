// The seam to an external synthesizer: the five operations the speech services drive it through.
#pragma once

#include <string>
#include <string_view>

namespace kaldro::speech {

// Implemented by the engine dispatcher; speech calls nothing else of it.
class ExternalSynth {
 public:
  virtual ~ExternalSynth() = default;

  // True when the synthesizer of this kind is ready (an empty output file: sound is heard).
  virtual bool synthStart(int voice, int speed, int pitch, const std::string& outputFile, int kind) = 0;
  virtual void synthFinish() = 0;
  // Hands the whole text (CP1252) over; returns while it is still being spoken.
  virtual void synthSpeak(std::string_view text) = 0;
  virtual bool synthBusy(bool queuedOnly) = 0;
  virtual void synthStop() = 0;
  // True when speech meant for the output file was lost (a write failed).
  virtual bool synthOutputFailed() const { return false; }
  // A voice named in the configuration (UTF-8), for the next synthStart; empty: the voice number.
  virtual void synthSetVoiceName(std::string) {}
  // Why the synthesizer stopped speaking for good after it started (CP1252); empty while it speaks.
  virtual std::string synthLostCause() const { return {}; }
  // Why the last start failed (CP1252, one line); empty when it did not or the synthesizer cannot tell.
  virtual std::string synthFailureText() const { return {}; }
};

// Where no external synthesizer is available: it never starts, so speech stays built-in.
class NoExternalSynth final : public ExternalSynth {
 public:
  bool synthStart(int, int, int, const std::string&, int) override { return false; }
  void synthFinish() override {}
  void synthSpeak(std::string_view) override {}
  bool synthBusy(bool) override { return false; }
  void synthStop() override {}
};

}  // namespace kaldro::speech

// The seam to an external synthesizer: the five operations the speech services drive it through.
#pragma once

#include <string>
#include <string_view>

#include "voice/engine_kinds.h"

namespace kaldro::speech {

// Implemented by the engine dispatcher; speech calls nothing else of it.
class ExternalSynth {
 public:
  virtual ~ExternalSynth() = default;

  // True when the synthesizer of this kind is ready (an empty output file: sound is heard).
  virtual bool synthStart(int voice, int speed, int pitch, const std::string& outputFile, int kind) = 0;
  virtual void synthFinish() = 0;
  // Hands the whole text (CP1252) over. Heard through the wave player (the Portuguese engine,
  // eSpeak NG), the sound is made and queued inside the call, paced by the player's ring of four
  // blocks: it returns once the last block is queued, the last seconds still to be heard (synthBusy
  // tells when they end), and at once when a key stops the sound (the rest of the text is dropped;
  // the key stays queued). Into a file, it returns when the whole text is written. Speech
  // Dispatcher takes the text and returns at once.
  virtual void synthSpeak(std::string_view text) = 0;
  // The same, each sign read as written, whatever reading the synthesizer was started with.
  virtual void synthSpeakLiterally(std::string_view text) { synthSpeak(text); }
  virtual bool synthBusy(bool queuedOnly) = 0;
  virtual void synthStop() = 0;
  // True when speech meant for the output file was lost (a write failed).
  virtual bool synthOutputFailed() const { return false; }
  // A voice named in the configuration (UTF-8), for the next synthStart; empty: the voice number.
  virtual void synthSetVoiceName(std::string) {}
  // Why the last start failed, or why speech was lost after it (CP1252, one line); empty when
  // neither happened or the synthesizer cannot tell.
  virtual std::string synthFailureText() const { return {}; }
  // True once the synthesizer failed for good after a good start: the text just handed was lost.
  virtual bool synthSpeechLost() const { return false; }
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

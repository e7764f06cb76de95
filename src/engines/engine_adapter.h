// The five operations every external synthesizer offers; the dispatcher routes to one of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/host/host.h"
#include "platform/status.h"

namespace kaldro::engines {

// The message an external engine posts to the console (after it speaks, stops, or while it is
// busy): it only ends a wait for the next message.
inline constexpr uint64_t kSynthWakeMessage = 2980;

// Posts it; safe from any thread.
inline void postSynthWake(platform::Host& host) {
  platform::HostEvent wake;
  wake.kind = platform::EventKind::Wake;
  wake.cookie = kSynthWakeMessage;
  host.postFromAnyThread(wake);
}

// One external synthesizer (the Portuguese engine over MBROLA, Speech Dispatcher, eSpeak NG).
// Every operation is harmless before start and after a failed start: speak does nothing, busy is
// false, stop and finish do nothing. Called on the program's thread only.
class EngineAdapter {
 public:
  virtual ~EngineAdapter() = default;

  // voice, speed and pitch mean what each synthesizer makes of them; outputFile empty: heard. Ok when
  // the synthesizer is ready; else why not (CP1252, one line, the synthesizer's own words where it
  // gave some; no words when it cannot tell).
  virtual platform::Status start(int voice, int speed, int pitch, const std::string& outputFile) = 0;
  virtual void finish() = 0;
  // text: CP1252, the whole text of one call of the speech services. Returns as synthSpeak tells
  // (speech/external_synth.h): the player's ring paces it, a key ends it at once.
  virtual void speak(std::string_view text) = 0;
  // Each sign as written: engines with a reading of their own read literally here.
  virtual void speakLiterally(std::string_view text) { speak(text); }
  // queuedOnly: only text the synthesizer has not yet taken counts.
  virtual bool busy(bool queuedOnly) = 0;
  virtual void stop() = 0;
  // True when speech meant for the output file was lost (a write failed): the file is incomplete.
  virtual bool outputFailed() const { return false; }
  // A voice named in the configuration (UTF-8) for the next start: it takes the place of the voice
  // number when the synthesizer has a voice of that name. Empty: the number decides.
  virtual void setVoiceName(std::string) {}
  // Ok until the synthesizer failed for good after a good start (later texts would be lost too);
  // then why (CP1252, one line, as start tells). Then speak does nothing and busy is false until
  // the next start.
  virtual platform::Status speechLost() const { return {}; }
};

// The adapter of a synthesizer this build cannot reach: it never starts.
class UnavailableEngine final : public EngineAdapter {
 public:
  platform::Status start(int, int, int, const std::string&) override {
    return platform::Status::failure(platform::StatusCode::NotFound, {});
  }
  void finish() override {}
  void speak(std::string_view) override {}
  bool busy(bool) override { return false; }
  void stop() override {}
};

}  // namespace kaldro::engines

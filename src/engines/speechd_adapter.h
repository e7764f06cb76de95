// Speaking through Speech Dispatcher, the desktop speech service (engine kinds 5 and 54).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.h"
#include "engines/engine_adapter.h"
#include "engines/engine_voices.h"
#include "engines/speech_service_client.h"

namespace kaldro::engines {

class SpeechdAdapter final : public EngineAdapter {
 public:
  // Builds a fresh, unconnected client for each connection; wake reaches the program's thread from any thread.
  using ClientMaker = std::function<std::unique_ptr<SpeechServiceClient>(std::function<void()> wake)>;

  // How long busy waits for the end of speech before answering true.
  static constexpr int BusyWaitMs = 20;
  static constexpr int StopPauseMs = 50;
  static constexpr int FinishPollMs = 300;
  // A service that never reports the end of a text (no usable sound device) is taken as done after
  // this long, plus PerCharacterLimitMs for every character still to be spoken.
  static constexpr int64_t SpeechLimitMs = 3000;
  static constexpr int64_t PerCharacterLimitMs = 150;
  // While a text is being spoken and the service has been silent this long, it is asked whether it
  // lives; silent for UnresponsiveMs, it is taken as stopped (a stopped process answers nothing).
  // Shorter than SpeechLimitMs, so that a stopped service is told from one without end notices.
  static constexpr int64_t ProbeAfterMs = 500;
  static constexpr int64_t UnresponsiveMs = 2500;

  SpeechdAdapter(console::Console& console, std::string clientName, ClientMaker makeClient);
  ~SpeechdAdapter() override;

  // voice: 1-based index into the service's synthesis voices, or the voice set by setVoiceName;
  // when neither picks a voice, Brazilian Portuguese in the service's own voice for it (at rate 0
  // when the number or name picks none; voice 0 and no name: none given, the speed holds).
  // speed -10..10 is the service's -100..100. An output file cannot be written.
  platform::Status start(int voice, int speed, int pitch, const std::string& outputFile) override;
  // Texts cut off by a service that went away are said again on a new connection first.
  void finish() override;
  // A service that closed the connection (killed, restarted) is connected to again, once for this
  // text; the texts it cut off are said again first.
  void speak(std::string_view text) override;
  // False at once when the connection closes; a service silent for UnresponsiveMs is lost.
  bool busy(bool queuedOnly) override;
  void stop() override;
  void setVoiceName(std::string name) override { voiceName_ = std::move(name); }
  platform::Status speechLost() const override { return lost_; }

  bool started() const { return client_ != nullptr; }
  // The voices listed at start, and the one chosen (empty: the service's voice for the language).
  const std::vector<EngineVoice>& voices() const { return voices_; }
  const std::string& chosenVoice() const { return chosenVoice_; }

 private:
  std::unique_ptr<SpeechServiceClient> connectClient();
  void applySettings();
  bool reconnect();
  bool sayAndTrack(const std::string& utf8);
  bool speaking();
  void lose(platform::StatusCode code, std::string_view cause);

  console::Console& console_;
  std::string clientName_;
  ClientMaker makeClient_;
  std::unique_ptr<SpeechServiceClient> client_;
  std::vector<EngineVoice> voices_;
  std::string voiceName_;    // from the configuration, UTF-8
  std::string chosenVoice_;  // the service's name of the voice in use; empty: by language
  int rate_ = 0;
  int64_t lastSaid_ = 0;
  // Messages up to this one count as finished (stopped, or given up on after the time limit).
  int64_t settledThrough_ = 0;
  int64_t deadlineMs_ = 0;
  // The texts said and not yet reported finished (message number, UTF-8 text).
  std::deque<std::pair<int64_t, std::string>> unfinished_;
  // Texts the closed connection cut off, to say again once connected anew.
  std::vector<std::string> cutOff_;
  bool closed_ = false;
  platform::Status lost_;
};

// The adapter over libspeechd, connecting as the running program's name.
std::unique_ptr<EngineAdapter> makeSpeechdAdapter(console::Console& console);

}  // namespace kaldro::engines

// Speaking through Speech Dispatcher, the desktop speech service (engine kinds 5 and 54).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "engines/engine_adapter.h"
#include "engines/speech_service_client.h"

namespace kaldro::engines {

class SpeechdAdapter final : public EngineAdapter {
 public:
  // Builds a fresh, unconnected client for each start; wake reaches the program's thread from any thread.
  using ClientMaker = std::function<std::unique_ptr<SpeechServiceClient>(std::function<void()> wake)>;

  // How long busy waits for the end of speech before answering true.
  static constexpr int BusyWaitMs = 20;
  static constexpr int StopPauseMs = 50;
  static constexpr int FinishPollMs = 300;
  // A service that never reports the end of a text (no usable sound device) is taken as done after
  // this long, plus PerCharacterLimitMs for every character still to be spoken.
  static constexpr int64_t SpeechLimitMs = 3000;
  static constexpr int64_t PerCharacterLimitMs = 150;

  SpeechdAdapter(console::Console& console, std::string clientName, ClientMaker makeClient);
  ~SpeechdAdapter() override;

  // voice: 1-based index into the service's synthesis voices; any other number keeps the service's
  // own voice, at rate 0. speed -10..10 is the service's -100..100. An output file cannot be written.
  bool start(int voice, int speed, int pitch, const std::string& outputFile) override;
  void finish() override;
  void speak(std::string_view text) override;
  bool busy(bool queuedOnly) override;
  void stop() override;

  bool started() const { return client_ != nullptr; }
  // The voices listed at start.
  const std::vector<std::string>& voices() const { return voices_; }

 private:
  bool speaking();

  console::Console& console_;
  std::string clientName_;
  ClientMaker makeClient_;
  std::unique_ptr<SpeechServiceClient> client_;
  std::vector<std::string> voices_;
  int64_t lastSaid_ = 0;
  // Messages up to this one count as finished (stopped, or given up on after the time limit).
  int64_t settledThrough_ = 0;
  int64_t deadlineMs_ = 0;
};

// The adapter over libspeechd, connecting as the running program's name.
std::unique_ptr<EngineAdapter> makeSpeechdAdapter(console::Console& console);

}  // namespace kaldro::engines

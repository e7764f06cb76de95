// The engine dispatcher: the one way the speech services drive an external synthesizer. It keeps the
// kind chosen in KALDRO.INI and routes the five operations to that kind's adapter.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "console/console.h"
#include "engines/engine_adapter.h"
#include "speech/external_synth.h"
#include "voice/voice_table.h"

namespace kaldro::engines {

// Which adapter a kind number selects, as the voice table says (3 the Portuguese engine, 5 and 54
// Speech Dispatcher, every other number eSpeak NG).
using voice::EngineFamily;
using voice::familyOfKind;

// Makes the adapter of a family, once, the first time that family is used.
using AdapterFactory = std::function<std::unique_ptr<EngineAdapter>(EngineFamily)>;

class EngineDispatcher final : public speech::ExternalSynth {
 public:
  static constexpr int InitialKind = speech::engine_kind::Espeak;
  // The wait for a quiet engine after start polls this often, and gives up after the limit.
  static constexpr int QuietPollMs = 50;
  static constexpr int QuietLimitMs = 10000;

  EngineDispatcher(console::Console& console, AdapterFactory factory);
  ~EngineDispatcher() override;

  bool synthStart(int voice, int speed, int pitch, const std::string& outputFile, int kind) override;
  void synthFinish() override;
  void synthSpeak(std::string_view text) override;
  void synthSpeakLiterally(std::string_view text) override;
  bool synthBusy(bool queuedOnly) override;
  void synthStop() override;
  bool synthOutputFailed() const override;
  void synthSetVoiceName(std::string name) override { voiceName_ = std::move(name); }
  std::string synthFailureText() const override;
  bool synthSpeechLost() const override;

  int engineKind() const { return engineKind_; }
  // The adapter the current kind selects (made on first use).
  EngineAdapter& selected();

 private:
  // The adapter of the current kind when it was made; nothing before its first use.
  const EngineAdapter* selectedIfMade() const;
  console::Console& console_;
  AdapterFactory factory_;
  std::map<EngineFamily, std::unique_ptr<EngineAdapter>> adapters_;
  int engineKind_ = InitialKind;
  std::string voiceName_;
  platform::Status startStatus_;  // of the last synthStart
};

}  // namespace kaldro::engines

// Speaking through Speech Dispatcher: texts queue on the service, whose end and cancel notices say
// when speech is over.
#include "engines/speechd_adapter.h"

#include <errno.h>

#include <algorithm>

#include "platform/text.h"

namespace kaldro::engines {

SpeechdAdapter::SpeechdAdapter(console::Console& console, std::string clientName, ClientMaker makeClient)
    : console_(console), clientName_(std::move(clientName)), makeClient_(std::move(makeClient)) {}

SpeechdAdapter::~SpeechdAdapter() {
  if (client_) client_->disconnect();
}

bool SpeechdAdapter::start(int voice, int speed, int pitch, const std::string& outputFile) {
  if (client_) finish();
  // The service speaks only to the sound device.
  if (!outputFile.empty()) return false;
  platform::Host& host = console_.host();
  std::unique_ptr<SpeechServiceClient> client = makeClient_([&host] { postSynthWake(host); });
  if (!client || !client->connect(clientName_)) return false;
  std::vector<std::string> voices = client->synthesisVoices();
  if (voices.empty()) {
    client->disconnect();
    return false;
  }
  if (voice >= 1 && static_cast<size_t>(voice) <= voices.size()) {
    client->setVoice(voices[voice - 1]);
  } else {
    // The service's first voice is the first of its first language (Afrikaans): its own voice,
    // the one the user chose for the desktop, is the sensible one here.
    speed = 0;
  }
  // A rate the service refuses leaves its own.
  client->setRate(std::clamp(speed, -10, 10) * 10);
  client_ = std::move(client);
  voices_ = std::move(voices);
  lastSaid_ = settledThrough_ = 0;
  deadlineMs_ = 0;
  return true;
}

void SpeechdAdapter::finish() {
  if (!client_) return;
  while (busy(false)) console_.delayMs(FinishPollMs);
  client_->disconnect();
  client_.reset();
  voices_.clear();
}

void SpeechdAdapter::speak(std::string_view text) {
  if (!client_) return;
  const std::string utf8 = platform::cp1252ToUtf8(text.empty() ? std::string_view(" ") : text);
  const int64_t message = client_->say(utf8);
  if (message == 0) {
    console_.host().systemBeep();
    return;
  }
  lastSaid_ = std::max(lastSaid_, message);
  const int64_t now = client_->nowMs();
  deadlineMs_ = std::max(deadlineMs_, now) + SpeechLimitMs + PerCharacterLimitMs * static_cast<int64_t>(text.size());
}

bool SpeechdAdapter::speaking() {
  if (std::max(client_->lastFinished(), settledThrough_) >= lastSaid_) return false;
  if (client_->nowMs() >= deadlineMs_) {
    settledThrough_ = lastSaid_;
    return false;
  }
  return true;
}

bool SpeechdAdapter::busy(bool) {
  if (!client_ || !speaking()) return false;
  client_->waitForFinished(lastSaid_, BusyWaitMs);
  if (!speaking()) return false;
  // The caller waits for the next message: this one ends that wait, so it polls again at once.
  postSynthWake(console_.host());
  return true;
}

void SpeechdAdapter::stop() {
  if (!client_) return;
  if (client_->cancelAll()) console_.delayMs(StopPauseMs);
  // Whatever the service still reports, nothing said so far is awaited any more.
  settledThrough_ = lastSaid_;
}

std::unique_ptr<EngineAdapter> makeSpeechdAdapter(console::Console& console) {
  return std::make_unique<SpeechdAdapter>(console, program_invocation_short_name, makeSpeechdClient);
}

}  // namespace kaldro::engines

// Speaking through Speech Dispatcher: texts queue on the service, whose end and cancel notices say
// when speech is over; a service that goes away is connected to again once, else reported lost.
#include "engines/speechd_adapter.h"

#include <errno.h>

#include <algorithm>

#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::engines {

SpeechdAdapter::SpeechdAdapter(console::Console& console, std::string clientName, ClientMaker makeClient)
    : console_(console), clientName_(std::move(clientName)), makeClient_(std::move(makeClient)) {}

SpeechdAdapter::~SpeechdAdapter() {
  if (client_) client_->disconnect();
}

std::unique_ptr<SpeechServiceClient> SpeechdAdapter::connectClient() {
  platform::Host& host = console_.host();
  std::unique_ptr<SpeechServiceClient> client = makeClient_([&host] { postSynthWake(host); });
  if (!client || !client->connect(clientName_)) return nullptr;
  return client;
}

// What start chose, told to a connection; a setting the service refuses leaves its own.
void SpeechdAdapter::applySettings() {
  if (!chosenVoice_.empty())
    client_->setVoice(chosenVoice_);
  else
    client_->setLanguage(DefaultLanguage);
  client_->setRate(rate_);
}

platform::Status SpeechdAdapter::start(int voice, int speed, int pitch, const std::string& outputFile) {
  using platform::Status, platform::StatusCode;
  namespace words = platform::words;
  if (client_) finish();
  lost_ = {};
  // The service speaks only to the sound device.
  if (!outputFile.empty()) return Status::failure(StatusCode::Refused, words::SpeechServiceWritesNoFiles.str());
  std::unique_ptr<SpeechServiceClient> client = connectClient();
  if (!client) return Status::failure(StatusCode::NotFound, words::SpeechServiceMissing.str());
  std::vector<EngineVoice> voices = client->synthesisVoices();
  if (voices.empty()) {
    client->disconnect();
    return Status::failure(StatusCode::NotFound, words::SpeechServiceWithoutVoices.str());
  }
  // The service's first voice is the first of its first language (Afrikaans): without a voice of
  // the configuration's, the service's voice for Brazilian Portuguese speaks. A number or name that
  // picks no voice also drops the rate (it was meant for another voice); 0 means none was given.
  const std::optional<size_t> chosen = findVoice(voices, voice, voiceName_);
  chosenVoice_ = chosen ? voices[*chosen].name : std::string();
  const bool noneGiven = voice == 0 && voiceName_.empty();
  rate_ = chosen || noneGiven ? std::clamp(speed, -10, 10) * 10 : 0;
  client_ = std::move(client);
  applySettings();
  voices_ = std::move(voices);
  lastSaid_ = settledThrough_ = 0;
  deadlineMs_ = 0;
  unfinished_.clear();
  cutOff_.clear();
  closed_ = false;
  return {};
}

void SpeechdAdapter::finish() {
  if (!client_) return;
  const auto speaking = [this] { return busy(false); };
  console_.waitWhile(console::WaitSteps::pauses(FinishPollMs), speaking);
  // Cut off by the last text's end: one new connection to say them.
  if (!cutOff_.empty() && lost_.ok() && reconnect())
    console_.waitWhile(console::WaitSteps::pauses(FinishPollMs), speaking);
  if (!cutOff_.empty() && lost_.ok()) lose(platform::StatusCode::Refused, platform::words::SpeechServiceCutShort);
  client_->disconnect();
  client_.reset();
  voices_.clear();
}

void SpeechdAdapter::lose(platform::StatusCode code, std::string_view cause) {
  lost_ = platform::Status::failure(code, std::string(cause));
  settledThrough_ = lastSaid_;
  unfinished_.clear();
  cutOff_.clear();
}

// A new connection in place of one the service closed, told the same voice and rate; the texts it
// cut off are said again.
bool SpeechdAdapter::reconnect() {
  client_->disconnect();
  std::unique_ptr<SpeechServiceClient> client = connectClient();
  if (!client) {
    lose(platform::StatusCode::NotFound, platform::words::SpeechServiceGone);
    return false;
  }
  client_ = std::move(client);
  applySettings();
  // Message numbers start again with a new service.
  lastSaid_ = settledThrough_ = 0;
  deadlineMs_ = 0;
  closed_ = false;
  const std::vector<std::string> again = std::exchange(cutOff_, {});
  for (const std::string& text : again)
    if (!sayAndTrack(text)) break;
  return lost_.ok();
}

bool SpeechdAdapter::sayAndTrack(const std::string& utf8) {
  const int64_t message = client_->say(utf8);
  if (message == 0) return false;
  lastSaid_ = std::max(lastSaid_, message);
  unfinished_.emplace_back(message, utf8);
  const int64_t now = client_->nowMs();
  deadlineMs_ = std::max(deadlineMs_, now) + SpeechLimitMs + PerCharacterLimitMs * static_cast<int64_t>(utf8.size());
  return true;
}

void SpeechdAdapter::speak(std::string_view text) {
  if (!client_ || !lost_.ok()) return;
  const std::string utf8 = platform::cp1252ToUtf8(text.empty() ? std::string_view(" ") : text);
  bool reconnected = false;
  if (closed_ || client_->connectionClosed()) {
    if (!reconnect()) return;
    reconnected = true;
  }
  if (sayAndTrack(utf8)) return;
  // Gone between the last text and this one: the one new connection this text may have.
  if (!reconnected && client_->connectionClosed()) {
    if (!reconnect() || sayAndTrack(utf8)) return;
  }
  if (client_->connectionClosed()) {
    lose(platform::StatusCode::NotFound, platform::words::SpeechServiceGone);
  } else if (client_->stuck()) {
    lose(platform::StatusCode::Refused, platform::words::SpeechServiceSilent);
  } else {
    // A text the service refused.
    console_.host().systemBeep();
  }
}

bool SpeechdAdapter::speaking() {
  const int64_t finished = std::max(client_->lastFinished(), settledThrough_);
  while (!unfinished_.empty() && unfinished_.front().first <= finished) unfinished_.pop_front();
  if (finished >= lastSaid_) return false;
  if (client_->connectionClosed()) {
    // Killed or restarted: no notice will come, and what it was saying is cut off.
    closed_ = true;
    for (auto& [message, text] : unfinished_) cutOff_.push_back(std::move(text));
    unfinished_.clear();
    settledThrough_ = lastSaid_;
    return false;
  }
  const int64_t now = client_->nowMs();
  const int64_t silentMs = now - client_->lastSignOfLifeMs();
  if (silentMs >= UnresponsiveMs) {
    lose(platform::StatusCode::Refused, platform::words::SpeechServiceSilent);
    return false;
  }
  if (silentMs >= ProbeAfterMs) client_->probe();
  if (now >= deadlineMs_) {
    settledThrough_ = lastSaid_;
    unfinished_.clear();
    return false;
  }
  return true;
}

bool SpeechdAdapter::busy(bool) {
  if (!client_ || !lost_.ok() || !speaking()) return false;
  client_->waitForFinished(lastSaid_, BusyWaitMs);
  if (!lost_.ok() || !speaking()) return false;
  // The caller waits for the next message: this one ends that wait, so it polls again at once.
  postSynthWake(console_.host());
  return true;
}

void SpeechdAdapter::stop() {
  if (!client_) return;
  if (client_->cancelAll()) console_.delayMs(StopPauseMs);
  // Whatever the service still reports, nothing said so far is awaited (or said again) any more.
  settledThrough_ = lastSaid_;
  unfinished_.clear();
  cutOff_.clear();
}

std::unique_ptr<EngineAdapter> makeSpeechdAdapter(console::Console& console) {
  return std::make_unique<SpeechdAdapter>(console, program_invocation_short_name, makeSpeechdClient);
}

}  // namespace kaldro::engines

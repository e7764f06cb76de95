// The little the Speech Dispatcher adapter asks of the desktop speech service, behind an interface
// so that its logic can be tried against a stand-in (no voices, a refused text, a lost notice, a
// service that goes away or stops answering).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/engine_voices.h"

namespace kaldro::engines {

class SpeechServiceClient {
 public:
  virtual ~SpeechServiceClient() = default;

  // Opens the connection as clientName; false when the service cannot be reached.
  virtual bool connect(const std::string& clientName) = 0;
  // The synthesis voices, in the service's order (listed once: it takes seconds).
  virtual std::vector<EngineVoice> synthesisVoices() = 0;
  virtual bool setVoice(const std::string& name) = 0;
  // A language code such as "pt-BR": the service picks its voice for it.
  virtual bool setLanguage(const std::string& code) = 0;
  // -100..100, 0 the service's normal rate.
  virtual bool setRate(int rate) = 0;
  // Queues a UTF-8 text behind the ones already given. The message's number (numbers grow with
  // every text), or 0 when the service refused it or could not be asked.
  virtual int64_t say(const std::string& utf8Text) = 0;
  // Drops what is being spoken and everything queued.
  virtual bool cancelAll() = 0;
  // Closes the connection; a service that stopped answering is left without waiting for it.
  virtual void disconnect() = 0;

  // The newest of our messages the service reported ended or cancelled; 0 before any. The service
  // speaks one client's texts in order, so every older message is finished too.
  virtual int64_t lastFinished() const = 0;
  // Returns once lastFinished() reaches message, or after at most milliseconds.
  virtual void waitForFinished(int64_t message, int milliseconds) = 0;
  // The clock the time limits are counted on, in milliseconds.
  virtual int64_t nowMs() = 0;

  // True once the service has closed the connection (it ended, was killed or restarted).
  virtual bool connectionClosed() = 0;
  // True once a call outlived its time limit: the service no longer answers, no call is made again.
  virtual bool stuck() const = 0;
  // Asks the service for a sign of life without waiting for the answer (nothing when a question is
  // already out); lastSignOfLifeMs moves when it answers.
  virtual void probe() = 0;
  // When the service last answered a call or sent a notice, on the nowMs clock.
  virtual int64_t lastSignOfLifeMs() const = 0;
};

// The client over libspeechd. wake is called on libspeechd's own thread after a notice has been
// recorded; it must only wake the program's thread.
std::unique_ptr<SpeechServiceClient> makeSpeechdClient(std::function<void()> wake);

}  // namespace kaldro::engines

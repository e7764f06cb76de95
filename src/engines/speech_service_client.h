// The little the Speech Dispatcher adapter asks of the desktop speech service, behind an interface
// so that its logic can be tried against a stand-in (no voices, a refused text, a lost notice).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kaldro::engines {

class SpeechServiceClient {
 public:
  virtual ~SpeechServiceClient() = default;

  // Opens the connection as clientName; false when the service cannot be reached.
  virtual bool connect(const std::string& clientName) = 0;
  // The names of the synthesis voices, in the service's order (listed once: it takes seconds).
  virtual std::vector<std::string> synthesisVoices() = 0;
  virtual bool setVoice(const std::string& name) = 0;
  // -100..100, 0 the service's normal rate.
  virtual bool setRate(int rate) = 0;
  // Queues a UTF-8 text behind the ones already given. The message's number (numbers grow with
  // every text), or 0 when the service refused it.
  virtual int64_t say(const std::string& utf8Text) = 0;
  // Drops what is being spoken and everything queued.
  virtual bool cancelAll() = 0;
  virtual void disconnect() = 0;

  // The newest of our messages the service reported ended or cancelled; 0 before any. The service
  // speaks one client's texts in order, so every older message is finished too.
  virtual int64_t lastFinished() const = 0;
  // Returns once lastFinished() reaches message, or after at most milliseconds.
  virtual void waitForFinished(int64_t message, int milliseconds) = 0;
  // The clock the time limits are counted on, in milliseconds.
  virtual int64_t nowMs() = 0;
};

// The client over libspeechd. wake is called on libspeechd's own thread after a notice has been
// recorded; it must only wake the program's thread.
std::unique_ptr<SpeechServiceClient> makeSpeechdClient(std::function<void()> wake);

}  // namespace kaldro::engines

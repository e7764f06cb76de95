// The speech service client over libspeechd.
#include <libspeechd.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "engines/shared_library.h"
#include "engines/speech_service_client.h"

namespace kaldro::engines {

namespace {

class SpeechdClient;

// The calls used, bound when the service is first asked for.
struct SpeechdCalls {
  SharedLibrary library{"libspeechd.so.2"};
  decltype(&spd_open2) open = nullptr;
  decltype(&spd_get_client_id) clientId = nullptr;
  decltype(&spd_set_notification_on) notificationOn = nullptr;
  decltype(&spd_list_synthesis_voices) listSynthesisVoices = nullptr;
  decltype(&free_spd_voices) freeVoices = nullptr;
  decltype(&spd_set_synthesis_voice) setSynthesisVoice = nullptr;
  decltype(&spd_set_voice_rate) setVoiceRate = nullptr;
  decltype(&spd_say) say = nullptr;
  decltype(&spd_cancel) cancel = nullptr;
  decltype(&spd_close) close = nullptr;

  bool bound() {
    return library.bind(open, "spd_open2") && library.bind(clientId, "spd_get_client_id") &&
           library.bind(notificationOn, "spd_set_notification_on") &&
           library.bind(listSynthesisVoices, "spd_list_synthesis_voices") && library.bind(freeVoices, "free_spd_voices") &&
           library.bind(setSynthesisVoice, "spd_set_synthesis_voice") && library.bind(setVoiceRate, "spd_set_voice_rate") &&
           library.bind(say, "spd_say") && library.bind(cancel, "spd_cancel") && library.bind(close, "spd_close");
  }
};

// libspeechd calls its notification callbacks with the client's number and nothing of ours, so the
// clients of this process are found in one table keyed by that number. It lives exactly as long as
// the process, guarded by its own lock; the callback holds the lock while it records, so a client
// leaving the table is never called afterwards.
struct NoticeRoutes {
  std::mutex lock;
  std::map<size_t, SpeechdClient*> clients;
};

NoticeRoutes& noticeRoutes() {
  static NoticeRoutes routes;
  return routes;
}

class SpeechdClient final : public SpeechServiceClient {
 public:
  explicit SpeechdClient(std::function<void()> wake) : wake_(std::move(wake)) {}
  ~SpeechdClient() override { disconnect(); }

  bool connect(const std::string& clientName) override {
    disconnect();
    if (!calls_.bound()) return false;
    char* error = nullptr;
    connection_ = calls_.open(clientName.c_str(), "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    std::free(error);
    if (!connection_) return false;
    clientId_ = static_cast<size_t>(calls_.clientId(connection_));
    {
      NoticeRoutes& routes = noticeRoutes();
      std::lock_guard guard(routes.lock);
      routes.clients[clientId_] = this;
    }
    connection_->callback_end = onNotice;
    connection_->callback_cancel = onNotice;
    if (calls_.notificationOn(connection_, SPD_END) != 0 || calls_.notificationOn(connection_, SPD_CANCEL) != 0) {
      // Without the notices the end of speech could never be known.
      disconnect();
      return false;
    }
    return true;
  }

  std::vector<std::string> synthesisVoices() override {
    std::vector<std::string> names;
    if (!connection_) return names;
    SPDVoice** voices = calls_.listSynthesisVoices(connection_);
    for (SPDVoice** voice = voices; voice && *voice; ++voice)
      if ((*voice)->name) names.emplace_back((*voice)->name);
    if (voices) calls_.freeVoices(voices);
    return names;
  }

  bool setVoice(const std::string& name) override {
    return connection_ && calls_.setSynthesisVoice(connection_, name.c_str()) == 0;
  }
  bool setRate(int rate) override { return connection_ && calls_.setVoiceRate(connection_, rate) == 0; }

  int64_t say(const std::string& utf8Text) override {
    if (!connection_) return 0;
    // Texts said as "text" cancel one another; as "message" they queue.
    const int message = calls_.say(connection_, SPD_MESSAGE, utf8Text.c_str());
    return message > 0 ? message : 0;
  }

  bool cancelAll() override { return connection_ && calls_.cancel(connection_) == 0; }

  void disconnect() override {
    if (!connection_) return;
    {
      NoticeRoutes& routes = noticeRoutes();
      std::lock_guard guard(routes.lock);
      routes.clients.erase(clientId_);
    }
    calls_.close(connection_);
    connection_ = nullptr;
  }

  int64_t lastFinished() const override { return finished_.load(); }

  void waitForFinished(int64_t message, int milliseconds) override {
    std::unique_lock guard(waitLock_);
    noticed_.wait_for(guard, std::chrono::milliseconds(milliseconds), [&] { return finished_.load() >= message; });
  }

  int64_t nowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

 private:
  // On libspeechd's thread: record, wake the waiter and the program's thread, nothing else.
  static void onNotice(size_t message, size_t clientId, SPDNotificationType) {
    NoticeRoutes& routes = noticeRoutes();
    std::lock_guard guard(routes.lock);
    auto found = routes.clients.find(clientId);
    if (found != routes.clients.end()) found->second->record(static_cast<int64_t>(message));
  }

  void record(int64_t message) {
    int64_t seen = finished_.load();
    while (message > seen && !finished_.compare_exchange_weak(seen, message)) {
    }
    { std::lock_guard guard(waitLock_); }
    noticed_.notify_all();
    if (wake_) wake_();
  }

  SpeechdCalls calls_;
  std::function<void()> wake_;
  SPDConnection* connection_ = nullptr;
  size_t clientId_ = 0;
  std::atomic<int64_t> finished_{0};
  std::mutex waitLock_;
  std::condition_variable noticed_;
};

}  // namespace

std::unique_ptr<SpeechServiceClient> makeSpeechdClient(std::function<void()> wake) {
  return std::make_unique<SpeechdClient>(std::move(wake));
}

}  // namespace kaldro::engines

// The speech service client over libspeechd.
#include <libspeechd.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "engines/shared_library.h"
#include "engines/speech_service_client.h"

namespace kaldro::engines {

namespace {

class SpeechdClient;

// The calls used, bound when the service is first asked for.
struct SpeechdCalls {
  SharedLibrary library{"libspeechd.so.2"};
  decltype(&spd_open2) open = nullptr;
  decltype(&spd_execute_command_with_reply) commandWithReply = nullptr;
  decltype(&spd_set_notification_on) notificationOn = nullptr;
  decltype(&spd_list_synthesis_voices) listSynthesisVoices = nullptr;
  decltype(&free_spd_voices) freeVoices = nullptr;
  decltype(&spd_set_synthesis_voice) setSynthesisVoice = nullptr;
  decltype(&spd_set_language) setLanguage = nullptr;
  decltype(&spd_set_voice_rate) setVoiceRate = nullptr;
  decltype(&spd_say) say = nullptr;
  decltype(&spd_cancel) cancel = nullptr;
  decltype(&spd_close) close = nullptr;

  bool bound() {
    return library.bind(open, "spd_open2") && library.bind(commandWithReply, "spd_execute_command_with_reply") &&
           library.bind(notificationOn, "spd_set_notification_on") &&
           library.bind(listSynthesisVoices, "spd_list_synthesis_voices") && library.bind(freeVoices, "free_spd_voices") &&
           library.bind(setSynthesisVoice, "spd_set_synthesis_voice") && library.bind(setLanguage, "spd_set_language") &&
           library.bind(setVoiceRate, "spd_set_voice_rate") &&
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

// Runs libspeechd's calls one at a time on a thread of its own and waits for each with a time limit:
// a service whose output module hangs (no usable sound device) blocks its clients' calls for good.
// After a call outlives its limit the runner is stuck: every later call fails at once, and the
// blocked thread is left behind with what its call holds (the calls share ownership of it).
class CallRunner {
 public:
  CallRunner() : queue_(std::make_shared<Queue>()) {
    std::thread([queue = queue_] {
      // libspeechd writes to a socket whose service may have gone: the write must fail with EPIPE,
      // not end the program. The events thread libspeechd starts from here inherits the mask.
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
      queue->serve();
    }).detach();
  }
  ~CallRunner() { queue_->close(); }
  CallRunner(const CallRunner&) = delete;
  CallRunner& operator=(const CallRunner&) = delete;

  bool stuck() const { return stuck_; }

  // The call's result, or nothing when it did not end within limitMs.
  template <typename Call>
  auto run(Call call, int limitMs) -> std::optional<decltype(call())> {
    if (stuck_) return std::nullopt;
    auto task = std::make_shared<std::packaged_task<decltype(call())()>>(std::move(call));
    auto result = task->get_future();
    queue_->push([task] { (*task)(); });
    if (result.wait_for(std::chrono::milliseconds(limitMs)) != std::future_status::ready) {
      stuck_ = true;
      return std::nullopt;
    }
    return result.get();
  }

  // Queues a call without waiting for it (nothing once stuck).
  void post(std::function<void()> call) {
    if (!stuck_) queue_->push(std::move(call));
  }
  // After a call that was never waited for blocked: no later call is queued behind it.
  void giveUp() { stuck_ = true; }

 private:
  struct Queue {
    std::mutex lock;
    std::condition_variable ready;
    std::deque<std::function<void()>> tasks;
    bool closed = false;

    void push(std::function<void()> task) {
      { std::lock_guard guard(lock); tasks.push_back(std::move(task)); }
      ready.notify_one();
    }
    void close() {
      { std::lock_guard guard(lock); closed = true; }
      ready.notify_one();
    }
    void serve() {
      for (;;) {
        std::function<void()> task;
        {
          std::unique_lock guard(lock);
          ready.wait(guard, [&] { return closed || !tasks.empty(); });
          if (tasks.empty()) return;
          task = std::move(tasks.front());
          tasks.pop_front();
        }
        task();
      }
    }
  };

  std::shared_ptr<Queue> queue_;
  bool stuck_ = false;
};

// Time limits of the calls. Connecting may start the service (ready about 280 ms after it is
// spawned); listing its voices takes 1.3 to 3 s on a loaded machine.
constexpr int kConnectLimitMs = 10000;
constexpr int kListLimitMs = 15000;
constexpr int kCallLimitMs = 3000;
// A question about the service's life unanswered this long means it stopped answering.
constexpr int kProbeOverdueMs = 1000;

int64_t steadyNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// When the service last showed it was alive, shared with the questions still out (they may end
// after the client).
struct Liveness {
  std::atomic<int64_t> lastMs{0};
  std::atomic<bool> probeOut{false};
  std::atomic<int64_t> probeSentMs{0};
};

class SpeechdClient final : public SpeechServiceClient {
 public:
  explicit SpeechdClient(std::function<void()> wake) : wake_(std::move(wake)) {}
  ~SpeechdClient() override { disconnect(); }

  // Each step is a call of its own: after one outlives its limit no later one is queued behind it.
  bool connect(const std::string& clientName) override {
    disconnect();
    if (!calls_->bound()) return false;
    auto opened = runner_.run(
        [calls = calls_, clientName] {
          char* error = nullptr;
          SPDConnection* connection =
              calls->open(clientName.c_str(), "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
          std::free(error);
          // Our own handle on the socket, watched for the service's end: libspeechd closes its
          // own when it sees the end, and the number may then name another file.
          const int watched = connection ? ::fcntl(connection->socket, F_DUPFD_CLOEXEC, 0) : -1;
          return std::make_pair(connection, watched);
        },
        kConnectLimitMs);
    if (!opened || !opened->first) return false;
    connection_ = opened->first;
    watchedSocket_ = opened->second;
    // Without the notices the end of speech could never be known.
    const bool notified = answer([calls = calls_, connection = connection_] {
      return calls->notificationOn(connection, SPD_END) == 0 && calls->notificationOn(connection, SPD_CANCEL) == 0;
    });
    const std::optional<size_t> id = notified ? clientId() : std::nullopt;
    if (!id) {
      disconnect();
      return false;
    }
    clientId_ = *id;
    {
      NoticeRoutes& routes = noticeRoutes();
      std::lock_guard guard(routes.lock);
      routes.clients[clientId_] = this;
    }
    connection_->callback_end = onNotice;
    connection_->callback_cancel = onNotice;
    return true;
  }

  std::vector<EngineVoice> synthesisVoices() override {
    if (!connection_) return {};
    auto voices = runner_.run(
        [calls = calls_, connection = connection_] {
          std::vector<EngineVoice> found;
          SPDVoice** listed = calls->listSynthesisVoices(connection);
          for (SPDVoice** voice = listed; voice && *voice; ++voice)
            if ((*voice)->name) found.push_back({(*voice)->name, (*voice)->language ? (*voice)->language : "", ""});
          if (listed) calls->freeVoices(listed);
          return found;
        },
        kListLimitMs);
    if (!voices) return {};
    alive();
    return std::move(*voices);
  }

  bool setVoice(const std::string& name) override {
    return answer([calls = calls_, connection = connection_, name] {
      return calls->setSynthesisVoice(connection, name.c_str()) == 0;
    });
  }
  bool setLanguage(const std::string& code) override {
    return answer(
        [calls = calls_, connection = connection_, code] { return calls->setLanguage(connection, code.c_str()) == 0; });
  }
  bool setRate(int rate) override {
    return answer([calls = calls_, connection = connection_, rate] { return calls->setVoiceRate(connection, rate) == 0; });
  }

  int64_t say(const std::string& utf8Text) override {
    if (!connection_) return 0;
    // Texts said as "text" cancel one another; as "message" they queue.
    auto message = runner_.run(
        [calls = calls_, connection = connection_, utf8Text] {
          return calls->say(connection, SPD_MESSAGE, utf8Text.c_str());
        },
        kCallLimitMs);
    if (!message || *message <= 0) return 0;
    alive();
    return *message;
  }

  bool cancelAll() override {
    return answer([calls = calls_, connection = connection_] { return calls->cancel(connection) == 0; });
  }

  void disconnect() override {
    if (watchedSocket_ >= 0) ::close(watchedSocket_);
    watchedSocket_ = -1;
    if (!connection_) return;
    {
      NoticeRoutes& routes = noticeRoutes();
      std::lock_guard guard(routes.lock);
      auto found = routes.clients.find(clientId_);
      if (found != routes.clients.end() && found->second == this) routes.clients.erase(found);
    }
    // A question about its life still unanswered: the service stopped, and the closing would wait
    // behind it.
    if (liveness_->probeOut && nowMs() - liveness_->probeSentMs >= kProbeOverdueMs) runner_.giveUp();
    // A stuck service would block the closing too: its connection is left to the blocked call.
    runner_.run(
        [calls = calls_, connection = connection_] {
          calls->close(connection);
          return true;
        },
        kCallLimitMs);
    connection_ = nullptr;
  }

  int64_t lastFinished() const override { return finished_.load(); }

  void waitForFinished(int64_t message, int milliseconds) override {
    std::unique_lock guard(waitLock_);
    noticed_.wait_for(guard, std::chrono::milliseconds(milliseconds), [&] { return finished_.load() >= message; });
  }

  int64_t nowMs() override { return steadyNowMs(); }

  bool connectionClosed() override {
    if (watchedSocket_ < 0) return false;
    pollfd watched{watchedSocket_, POLLRDHUP, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) != 0;
  }

  bool stuck() const override { return runner_.stuck(); }

  void probe() override {
    if (!connection_ || runner_.stuck() || liveness_->probeOut.exchange(true)) return;
    liveness_->probeSentMs = nowMs();
    runner_.post([calls = calls_, connection = connection_, liveness = liveness_] {
      char* text = nullptr;
      const int result = calls->commandWithReply(connection, "HISTORY GET CLIENT_ID", &text);
      std::free(text);
      if (result == 0) liveness->lastMs = steadyNowMs();
      liveness->probeOut = false;
    });
  }

  int64_t lastSignOfLifeMs() const override { return liveness_->lastMs.load(); }

 private:
  void alive() { liveness_->lastMs = steadyNowMs(); }

  // Our number at the service, which its notices carry. Asked as a plain command: libspeechd's own
  // spd_get_client_id crashes when the service has gone.
  std::optional<size_t> clientId() {
    auto reply = runner_.run(
        [calls = calls_, connection = connection_]() -> std::string {
          char* text = nullptr;
          const int result = calls->commandWithReply(connection, "HISTORY GET CLIENT_ID", &text);
          std::string copy = result == 0 && text ? text : "";
          std::free(text);
          return copy;
        },
        kCallLimitMs);
    // "245-<number>" then "245 OK CLIENT ID SENT".
    if (!reply || reply->compare(0, 4, "245-") != 0) return std::nullopt;
    char* end = nullptr;
    const unsigned long id = std::strtoul(reply->c_str() + 4, &end, 10);
    if (end == reply->c_str() + 4) return std::nullopt;
    alive();
    return static_cast<size_t>(id);
  }

  template <typename Call>
  bool answer(Call call) {
    if (!connection_) return false;
    auto done = runner_.run(std::move(call), kCallLimitMs);
    if (done) alive();
    return done && *done;
  }

  // On libspeechd's thread: record, wake the waiter and the program's thread, nothing else.
  static void onNotice(size_t message, size_t clientId, SPDNotificationType) {
    NoticeRoutes& routes = noticeRoutes();
    std::lock_guard guard(routes.lock);
    auto found = routes.clients.find(clientId);
    if (found != routes.clients.end()) found->second->record(static_cast<int64_t>(message));
  }

  void record(int64_t message) {
    alive();
    int64_t seen = finished_.load();
    while (message > seen && !finished_.compare_exchange_weak(seen, message)) {
    }
    { std::lock_guard guard(waitLock_); }
    noticed_.notify_all();
    if (wake_) wake_();
  }

  std::shared_ptr<SpeechdCalls> calls_ = std::make_shared<SpeechdCalls>();
  CallRunner runner_;
  std::function<void()> wake_;
  SPDConnection* connection_ = nullptr;
  int watchedSocket_ = -1;
  size_t clientId_ = 0;
  std::shared_ptr<Liveness> liveness_ = std::make_shared<Liveness>();
  std::atomic<int64_t> finished_{0};
  std::mutex waitLock_;
  std::condition_variable noticed_;
};

}  // namespace

std::unique_ptr<SpeechServiceClient> makeSpeechdClient(std::function<void()> wake) {
  return std::make_unique<SpeechdClient>(std::move(wake));
}

}  // namespace kaldro::engines

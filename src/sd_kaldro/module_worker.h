// The output module's synthesis thread: runs one job at a time and only records its output and wakes
// the protocol loop, which stays free to hear STOP while a voice works.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sd_kaldro/module_protocol.h"
#include "sd_kaldro/module_speech_plan.h"
#include "sd_kaldro/module_voices.h"

namespace kaldro::app {

struct WorkerOutput {
  enum class Kind { Audio, Mark, Icon, Log, End };
  Kind kind = Kind::Audio;
  uint64_t job = 0;
  std::vector<int16_t> samples;
  std::string text;  // mark name, icon path, log line (CP1252)
};

class SpeechWorker {
 public:
  // The most sound a job runs ahead of the time it has been playing: the server queues what it is
  // sent, so a long text is made as it is heard, never minutes ahead, and a stop finds it mid-way.
  static constexpr double MaxLeadSeconds = 2.0;

  // wake is called from the worker thread after output is recorded; it must only signal.
  SpeechWorker(ModuleSpeaker& speaker, std::function<void()> wake);
  ~SpeechWorker();
  SpeechWorker(const SpeechWorker&) = delete;
  SpeechWorker& operator=(const SpeechWorker&) = delete;

  // Replaces any job not yet begun; a running one is cancelled. The message is planned on the
  // worker's thread, so that a long one never keeps the protocol from hearing STOP.
  void start(uint64_t job, MessageKind kind, std::string message, ModuleSettings settings);
  // Jobs up to this number stop at their next sample block.
  void cancel(uint64_t job);
  // The output recorded so far, oldest first.
  std::vector<WorkerOutput> take();
  // True once no job runs, waiting at most limit (a cancelled job ends at its next sample block,
  // unless its voice is stuck).
  bool idleWithin(std::chrono::milliseconds limit);

 private:
  struct Job {
    uint64_t number = 0;
    MessageKind kind = MessageKind::Text;
    std::string message;
    ModuleSettings settings;
  };
  void loop();
  bool cancelled(uint64_t job) const { return cancelledThrough_.load() >= job; }
  void record(WorkerOutput output);
  // Waits while the job's sound is further ahead than MaxLeadSeconds; false once it is cancelled.
  bool keepPace(uint64_t job, size_t samplesSent, std::chrono::steady_clock::time_point firstSound);

  ModuleSpeaker& speaker_;
  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable cancelled_;
  std::condition_variable idle_;
  bool running_ = false;  // a job is being spoken
  std::optional<Job> next_;
  std::deque<WorkerOutput> outputs_;
  bool closing_ = false;
  std::atomic<uint64_t> cancelledThrough_{0};
  std::thread thread_;
};

// The protocol's host: the speaker's voices, each message planned and handed to the worker.
class SpeakingModule final : public ModuleHost {
 public:
  SpeakingModule(ModuleSpeaker& speaker, SpeechWorker& worker) : speaker_(speaker), worker_(worker) {}
  bool initialise(std::string& message) override {
    const bool started = speaker_.start().ok();
    message = speaker_.startReport();
    return started;
  }
  std::vector<VoiceEntry> voices() override { return speaker_.voices(); }
  void startJob(uint64_t job, MessageKind kind, std::string text, const ModuleSettings& settings) override;
  void cancelJob(uint64_t job) override { worker_.cancel(job); }

 private:
  ModuleSpeaker& speaker_;
  SpeechWorker& worker_;
};

// Feeds the worker's output to the protocol, in order: what to write to the server.
std::string deliverWorkerOutput(ModuleProtocol& protocol, std::vector<WorkerOutput> outputs,
                                const std::function<void(const std::string&)>& log);

}  // namespace kaldro::app

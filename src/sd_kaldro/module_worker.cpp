// The output module's synthesis thread and the host that hands it each planned message.
#include "sd_kaldro/module_worker.h"

namespace kaldro::app {

SpeechWorker::SpeechWorker(ModuleSpeaker& speaker, std::function<void()> wake)
    : speaker_(speaker), wake_(std::move(wake)), thread_([this] { loop(); }) {}

SpeechWorker::~SpeechWorker() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    cancelledThrough_.store(UINT64_MAX);
  }
  jobReady_.notify_all();
  cancelled_.notify_all();
  thread_.join();
}

void SpeechWorker::start(uint64_t job, MessageKind kind, std::string message, ModuleSettings settings) {
  {
    std::lock_guard lock(mutex_);
    if (job > 0 && cancelledThrough_.load() < job - 1) cancelledThrough_.store(job - 1);
    next_ = Job{job, kind, std::move(message), std::move(settings)};
  }
  jobReady_.notify_all();
}

void SpeechWorker::cancel(uint64_t job) {
  uint64_t through = cancelledThrough_.load();
  while (through < job && !cancelledThrough_.compare_exchange_weak(through, job)) {
  }
  {
    std::lock_guard lock(mutex_);
    if (next_ && next_->number <= job) next_.reset();
  }
  cancelled_.notify_all();
}

bool SpeechWorker::keepPace(uint64_t job, size_t samplesSent, std::chrono::steady_clock::time_point firstSound) {
  const auto lead = std::chrono::duration<double>(static_cast<double>(samplesSent) / ModuleSampleRate - MaxLeadSeconds);
  const auto until = firstSound + std::chrono::duration_cast<std::chrono::steady_clock::duration>(lead);
  std::unique_lock lock(mutex_);
  cancelled_.wait_until(lock, until, [&] { return cancelled(job); });
  return !cancelled(job);
}

std::vector<WorkerOutput> SpeechWorker::take() {
  std::lock_guard lock(mutex_);
  std::vector<WorkerOutput> out(std::make_move_iterator(outputs_.begin()), std::make_move_iterator(outputs_.end()));
  outputs_.clear();
  return out;
}

void SpeechWorker::record(WorkerOutput output) {
  {
    std::lock_guard lock(mutex_);
    outputs_.push_back(std::move(output));
  }
  wake_();
}

void SpeechWorker::loop() {
  while (true) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      jobReady_.wait(lock, [&] { return closing_ || next_.has_value(); });
      if (closing_) return;
      job = std::move(*next_);
      next_.reset();
      running_ = true;
    }
    const uint64_t number = job.number;
    size_t samplesSent = 0;
    std::chrono::steady_clock::time_point firstSound;
    SpeakerOutput output;
    output.audio = [&](std::span<const int16_t> samples) {
      if (cancelled(number)) return false;
      if (samples.empty()) return true;  // a question only: is the job still wanted
      if (samplesSent == 0) firstSound = std::chrono::steady_clock::now();
      record({WorkerOutput::Kind::Audio, number, std::vector<int16_t>(samples.begin(), samples.end()), {}});
      samplesSent += samples.size();
      return keepPace(number, samplesSent, firstSound);
    };
    output.mark = [&](const std::string& name) {
      if (!cancelled(number)) record({WorkerOutput::Kind::Mark, number, {}, name});
    };
    output.icon = [&](const std::string& path) {
      if (!cancelled(number)) record({WorkerOutput::Kind::Icon, number, {}, path});
    };
    output.log = [&](const std::string& line) { record({WorkerOutput::Kind::Log, number, {}, line}); };
    if (!cancelled(number)) {
      const std::vector<SpeechStep> steps = speaker_.plan(job.kind, job.message, job.settings);
      if (!cancelled(number)) speaker_.run(steps, job.settings, output);
    }
    record({WorkerOutput::Kind::End, number, {}, {}});
    {
      std::lock_guard lock(mutex_);
      running_ = false;
    }
    idle_.notify_all();
  }
}

bool SpeechWorker::idleWithin(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, limit, [this] { return !running_; });
}

void SpeakingModule::startJob(uint64_t job, MessageKind kind, std::string text, const ModuleSettings& settings) {
  worker_.start(job, kind, std::move(text), settings);
}

std::string deliverWorkerOutput(ModuleProtocol& protocol, std::vector<WorkerOutput> outputs,
                                const std::function<void(const std::string&)>& log) {
  std::string out;
  for (WorkerOutput& output : outputs) {
    switch (output.kind) {
      case WorkerOutput::Kind::Audio:
        out += protocol.takeAudio(output.job, output.samples, ModuleSampleRate);
        break;
      case WorkerOutput::Kind::Mark:
        out += protocol.takeMark(output.job, output.text);
        break;
      case WorkerOutput::Kind::Icon:
        out += protocol.takeIcon(output.job, output.text);
        break;
      case WorkerOutput::Kind::Log:
        log(output.text);
        break;
      case WorkerOutput::Kind::End:
        out += protocol.takeJobEnd(output.job);
        break;
    }
  }
  return out;
}

}  // namespace kaldro::app

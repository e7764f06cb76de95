// The SDL2 sound device in callback mode, mixing queued blocks with the looping tone.
#include "platform/audio/audio_device_sdl.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace kaldro::platform {

namespace {
// The sound libraries under SDL (alsa-lib above all) complain on standard error when there is no
// card, which would land on a terminal host's screen and in a screen reader's ear. The failure is
// already reported as a value, so their words are dropped while the device is looked for.
class QuietStandardError {
 public:
  QuietStandardError() {
    std::fflush(stderr);
    saved_ = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, 2);
    if (null >= 0) ::close(null);
  }
  ~QuietStandardError() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
  }
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  int saved_ = -1;
};
}  // namespace

// SDL2's audio calls, bound at run time: a program needs SDL2 only once it plays on the sound card.
// SDL's own headers give the signatures, so a mismatch fails to compile. The library stays mapped
// after dlclose (RTLD_NODELETE): its audio thread may still be winding down.
class SdlAudioLibrary {
 public:
  SdlAudioLibrary() {
    handle_ = ::dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle_ == nullptr) return;
    const bool bound = bind(initSubSystem, "SDL_InitSubSystem") && bind(quitSubSystem, "SDL_QuitSubSystem") &&
                       bind(openAudioDevice, "SDL_OpenAudioDevice") &&
                       bind(closeAudioDevice, "SDL_CloseAudioDevice") &&
                       bind(pauseAudioDevice, "SDL_PauseAudioDevice");
    if (!bound) {
      ::dlclose(handle_);
      handle_ = nullptr;
    }
  }
  ~SdlAudioLibrary() {
    if (handle_ != nullptr) ::dlclose(handle_);
  }
  SdlAudioLibrary(const SdlAudioLibrary&) = delete;
  SdlAudioLibrary& operator=(const SdlAudioLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }

  decltype(&SDL_InitSubSystem) initSubSystem = nullptr;
  decltype(&SDL_QuitSubSystem) quitSubSystem = nullptr;
  decltype(&SDL_OpenAudioDevice) openAudioDevice = nullptr;
  decltype(&SDL_CloseAudioDevice) closeAudioDevice = nullptr;
  decltype(&SDL_PauseAudioDevice) pauseAudioDevice = nullptr;

 private:
  template <typename Function>
  bool bind(Function& function, const char* name) {
    function = reinterpret_cast<Function>(::dlsym(handle_, name));
    return function != nullptr;
  }

  void* handle_ = nullptr;
};

namespace {

// A sound card that failed to open is tried again after this long, not for every block.
constexpr int64_t kRetryOpenAfterMs = 1000;
// Parts of a block converted and queued at a time (under half a second of any sound).
constexpr size_t kPartBytes = 4096;
// Finished parts whose storage waits for the program's thread to free it.
constexpr size_t kSpentCapacity = 64;

int64_t steadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void audioCallback(void* user, Uint8* stream, int length) {
  static_cast<AudioDeviceSdl*>(user)->mix(reinterpret_cast<int16_t*>(stream), length / 2);
}

}  // namespace

AudioDeviceSdl::AudioDeviceSdl(Host& host) : host_(host), sdl_(std::make_unique<SdlAudioLibrary>()) {
  QuietStandardError quiet;
  subsystemReady_ = sdl_->loaded() && sdl_->initSubSystem(SDL_INIT_AUDIO) == 0;
  spent_.reserve(kSpentCapacity);
}

AudioDeviceSdl::~AudioDeviceSdl() {
  // Closing waits for a running callback, so nothing is posted after this.
  if (deviceId_ != 0) sdl_->closeAudioDevice(deviceId_);
  if (subsystemReady_) sdl_->quitSubSystem(SDL_INIT_AUDIO);
}

int AudioDeviceSdl::ensureDevice() {
  if (deviceId_ != 0) return audio_error::Ok;
  // Without SDL2 installed there is simply no sound card to play on.
  if (!sdl_->loaded()) return audio_error::NoDevice;
  if (!subsystemReady_) return audio_error::NoDriver;
  const int64_t nowMs = host_.monotonicMs();
  if (lastOpenFailureMs_ >= 0 && nowMs - lastOpenFailureMs_ < kRetryOpenAfterMs) return audio_error::NoDevice;
  SDL_AudioSpec wanted{};
  wanted.freq = DeviceRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = DeviceBufferFrames;
  wanted.callback = audioCallback;
  wanted.userdata = this;
  SDL_AudioSpec obtained{};
  SDL_AudioDeviceID id;
  {
    QuietStandardError quiet;
    id = sdl_->openAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  }
  if (id == 0) {
    lastOpenFailureMs_ = nowMs;
    return audio_error::NoDevice;
  }
  deviceId_ = id;
  deviceRate_ = obtained.freq;
  deviceChannels_ = obtained.channels;
  sdl_->pauseAudioDevice(deviceId_, 0);
  return audio_error::Ok;
}

int AudioDeviceSdl::open(const AudioFormat& format) {
  if (open_) return audio_error::Ok;
  if (!format.playable()) return audio_error::BadFormat;
  if (int error = ensureDevice(); error != audio_error::Ok) return error;
  if (!resampler_.configure(format, deviceRate_, deviceChannels_)) return audio_error::BadFormat;
  open_ = true;
  return audio_error::Ok;
}

int AudioDeviceSdl::write(const uint8_t* bytes, size_t length, uint64_t cookie) {
  if (!open_) return audio_error::InvalidHandle;
  size_t done = 0;
  do {
    const size_t part = std::min(length - done, kPartBytes);
    resampler_.convert(bytes + done, part, converted_);
    done += part;
    Block block;
    block.samples = std::move(converted_);
    block.cookie = cookie;
    block.lastPart = done == length;
    std::vector<Samples> spent;
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(block));
      spent.swap(spent_);
      spent_.reserve(kSpentCapacity);
    }
    converted_ = spent.empty() ? Samples{} : std::move(spent.back());
  } while (done < length);
  return audio_error::Ok;
}

int AudioDeviceSdl::release(uint64_t cookie) {
  std::lock_guard lock(mutex_);
  for (const Block& block : queue_)
    if (block.cookie == cookie) return audio_error::StillPlaying;
  return audio_error::Ok;
}

void AudioDeviceSdl::reset() {
  std::deque<Block> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(queue_);
  }
  resampler_.restart();
}

void AudioDeviceSdl::close() {
  if (!open_) return;
  reset();
  open_ = false;
}

void AudioDeviceSdl::playLoop(const AudioFormat& format, const uint8_t* bytes, size_t length) {
  if (ensureDevice() != audio_error::Ok) return;
  StreamResampler converter;
  Samples samples;
  if (!converter.configure(format, deviceRate_, deviceChannels_)) return;
  converter.convertLoop(bytes, length, samples);
  {
    std::lock_guard lock(mutex_);
    loop_.swap(samples);
    loopPosition_ = 0;
  }
}

void AudioDeviceSdl::stopLoop() {
  Samples dropped;
  std::lock_guard lock(mutex_);
  loop_.swap(dropped);
  loopPosition_ = 0;
}

void AudioDeviceSdl::mix(int16_t* out, int samples) {
  std::array<uint64_t, 16> finished{};
  size_t finishedCount = 0;
  std::fill(out, out + samples, int16_t{0});
  {
    std::lock_guard lock(mutex_);
    int filled = 0;
    while (filled < samples && !queue_.empty()) {
      Block& block = queue_.front();
      if (block.position == 0) lastBlockStartNs_.store(steadyNowNs());
      const size_t take = std::min(static_cast<size_t>(samples - filled), block.samples.size() - block.position);
      std::memcpy(out + filled, block.samples.data() + block.position, take * 2);
      filled += static_cast<int>(take);
      block.position += take;
      if (block.position >= block.samples.size()) {
        if (block.lastPart && finishedCount < finished.size()) finished[finishedCount++] = block.cookie;
        // The storage is freed by the program's thread; the callback does not allocate.
        if (spent_.size() < spent_.capacity()) spent_.push_back(std::move(block.samples));
        queue_.pop_front();
      }
    }
    if (filled == 0 && soundLastTime_) lastSilenceStartNs_.store(steadyNowNs());
    soundLastTime_ = filled > 0;
    if (!loop_.empty()) {
      for (int i = 0; i < samples; ++i) {
        const int sum = out[i] + loop_[loopPosition_];
        out[i] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
        if (++loopPosition_ >= loop_.size()) loopPosition_ = 0;
      }
    }
  }
  for (size_t i = 0; i < finishedCount; ++i) {
    HostEvent done;
    done.kind = EventKind::WaveDone;
    done.cookie = finished[i];
    host_.postFromAnyThread(done);
  }
}

std::unique_ptr<AudioDevice> makeAudioDeviceSdl(Host& host) { return std::make_unique<AudioDeviceSdl>(host); }

}  // namespace kaldro::platform

// The SDL device on SDL's dummy driver: blocks reported in order, nothing after a reset.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "platform/audio/audio_device_sdl.h"

namespace kaldro::platform {
namespace {

// Only what the SDL device needs: events posted from its callback thread, waited for here.
class PostedEventsHost : public Host {
 public:
  using Host::Host;
  std::string_view name() const override { return "test"; }
  std::optional<HostEvent> pollEvent() override {
    std::lock_guard lock(mutex_);
    if (posted_.empty()) return std::nullopt;
    HostEvent event = posted_.front();
    posted_.pop_front();
    return event;
  }
  void waitForEvent() override {}
  void postFromAnyThread(const HostEvent& event) override {
    {
      std::lock_guard lock(mutex_);
      posted_.push_back(event);
    }
    arrived_.notify_all();
  }
  void postAt(int64_t, const HostEvent&) override {}
  void cancelTimedEvents() override {}
  int64_t monotonicMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void sleepMs(uint32_t) override {}

  // The next finished block's cookie; 0 if none comes within ten seconds (a broken device).
  uint64_t nextDone() {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return !posted_.empty(); })) return 0;
    HostEvent event = posted_.front();
    posted_.pop_front();
    return event.kind == EventKind::WaveDone ? event.cookie : 0;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<HostEvent> posted_;
};

TEST(AudioDeviceSdl, ReportsBlocksInOrderAndDropsThemOnReset) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  Trace trace;
  PostedEventsHost host(trace);
  AudioDeviceSdl device(host);
  if (device.open({11025, 8, 1}) != audio_error::Ok) GTEST_SKIP() << "SDL's dummy driver is not available";

  std::vector<uint8_t> tenth(1102, 160);
  ASSERT_EQ(audio_error::Ok, device.write(tenth.data(), tenth.size(), 1));
  ASSERT_EQ(audio_error::Ok, device.write(tenth.data(), tenth.size(), 2));
  std::vector<uint8_t> tone(441, 200);
  device.playLoop({11025, 8, 1}, tone.data(), tone.size());
  EXPECT_EQ(1u, host.nextDone());
  EXPECT_EQ(audio_error::Ok, device.release(1));
  EXPECT_EQ(2u, host.nextDone());
  device.stopLoop();

  // A long block (several parts) dropped by a reset is never reported.
  std::vector<uint8_t> long_(5 * 11025, 96);
  ASSERT_EQ(audio_error::Ok, device.write(long_.data(), long_.size(), 3));
  EXPECT_EQ(audio_error::StillPlaying, device.release(3));
  device.reset();
  ASSERT_EQ(audio_error::Ok, device.write(tenth.data(), tenth.size(), 4));
  EXPECT_EQ(4u, host.nextDone());

  // Another format after a close; a sample split between blocks joins up.
  device.close();
  EXPECT_EQ(audio_error::InvalidHandle, device.write(tenth.data(), tenth.size(), 5));
  ASSERT_EQ(audio_error::Ok, device.open({16000, 16, 2}));
  std::vector<uint8_t> stereo(1601, 0);
  ASSERT_EQ(audio_error::Ok, device.write(stereo.data(), stereo.size(), 6));
  ASSERT_EQ(audio_error::Ok, device.write(stereo.data(), 3, 7));
  EXPECT_EQ(6u, host.nextDone());
  EXPECT_EQ(7u, host.nextDone());
}

}  // namespace
}  // namespace kaldro::platform

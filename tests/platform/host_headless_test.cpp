// The headless host: when script events arrive on the virtual clock, exhaustion, malformed scripts, host choice.
#include "platform/host_headless.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/host_factories.h"

namespace kaldro::platform {
namespace {

HostEvent waveDone(uint64_t cookie) {
  HostEvent event;
  event.kind = EventKind::WaveDone;
  event.cookie = cookie;
  return event;
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value, 1);
  }
  ~ScopedEnvironment() { old_ ? (void)::setenv(name_, old_->c_str(), 1) : (void)::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

int exitStatusOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ProgramExit& exit) {
    return exit.status;
  }
  return -1;
}

TEST(HostHeadless, AKeyWithoutWaitComesOnlyWhenNoSoundIsPlaying) {
  Trace trace;
  HostHeadless host(trace, "key A\n");
  host.postAt(1000, waveDone(7));

  EXPECT_FALSE(host.pollEvent());
  host.waitForEvent();  // a sound block is pending: the clock runs to its end, no key yet
  EXPECT_EQ(host.monotonicMs(), 1000);
  std::optional<HostEvent> event = host.pollEvent();
  ASSERT_TRUE(event);
  EXPECT_EQ(event->kind, EventKind::WaveDone);
  EXPECT_EQ(event->cookie, 7u);
  EXPECT_FALSE(host.pollEvent());

  host.waitForEvent();  // idle now
  EXPECT_EQ(host.monotonicMs(), 1000);
  std::vector<EventKind> kinds;
  while (auto next = host.pollEvent()) kinds.push_back(next->kind);
  EXPECT_EQ(kinds, (std::vector<EventKind>{EventKind::KeyDown, EventKind::Character, EventKind::KeyUp}));
}

TEST(HostHeadless, AWaitedKeyArrivesDuringALongSound) {
  Trace trace;
  HostHeadless host(trace, "wait 300\nkey Escape\n");
  host.postAt(5000, waveDone(1));
  host.waitForEvent();
  EXPECT_EQ(host.monotonicMs(), 300);
  std::optional<HostEvent> event = host.pollEvent();
  ASSERT_TRUE(event);
  EXPECT_EQ(event->kind, EventKind::KeyDown);
  EXPECT_EQ(event->virtualKey, vk::Escape);

  // Dropping the sound's blocks (a device reset) leaves nothing due: the script is exhausted.
  host.cancelTimedEvents();
  while (host.pollEvent()) {
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(exitStatusOf([&] { host.waitForEvent(); }), 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "key script exhausted\n");
}

TEST(HostHeadless, AWaitedKeyIsPolledOnceTheClockReachesIt) {
  Trace trace;
  HostHeadless host(trace, "key A\nwait 250\nkey B\n");
  host.waitForEvent();
  while (host.pollEvent()) {
  }
  host.sleepMs(100);
  host.postAt(2000, waveDone(1));
  host.sleepMs(149);  // 249 ms after key A
  EXPECT_FALSE(host.pollEvent());
  host.sleepMs(1);
  std::optional<HostEvent> event = host.pollEvent();
  ASSERT_TRUE(event);
  EXPECT_EQ(event->virtualKey, vk::LetterA + 1);
}

TEST(HostHeadless, TypesOneCharacterPerIdleMoment) {
  Trace trace;
  HostHeadless host(trace, "type ab\nclose\n");
  std::string typed;
  for (int i = 0; i < 2; ++i) {
    host.waitForEvent();
    std::optional<HostEvent> event = host.pollEvent();
    ASSERT_TRUE(event);
    ASSERT_EQ(event->kind, EventKind::Character);
    typed.push_back(static_cast<char>(event->character));
    EXPECT_FALSE(host.pollEvent());
  }
  EXPECT_EQ(typed, "ab");
  host.waitForEvent();
  EXPECT_EQ(host.pollEvent()->kind, EventKind::CloseRequest);
}

TEST(HostHeadless, ClipboardIsSetWhenItsLineIsReached) {
  Trace trace;
  HostHeadless host(trace, "clip primeiro\nkey A\nclip x\\ty\nwait 50\nclip tarde\nkey B\n");
  EXPECT_EQ(host.clipboardText(), "primeiro");
  host.waitForEvent();
  EXPECT_EQ(host.clipboardText(), "x\ty");  // right after key A
  while (host.pollEvent()) {
  }
  host.sleepMs(50);
  EXPECT_FALSE(host.pollEvent());  // the waited clip makes no event
  EXPECT_EQ(host.clipboardText(), "tarde");
  host.waitForEvent();
  EXPECT_EQ(host.pollEvent()->virtualKey, vk::LetterA + 1);
}

TEST(HostHeadless, TimedEventsInOrderAndPostsFromOtherThreads) {
  Trace trace;
  HostHeadless host(trace, "key A\n");
  host.postAt(200, waveDone(2));
  host.postAt(100, waveDone(1));
  host.postAt(200, waveDone(3));
  std::thread poster([&] {
    HostEvent wake;
    wake.kind = EventKind::Wake;
    wake.cookie = 2980;
    host.postFromAnyThread(wake);
  });
  poster.join();
  host.waitForEvent();
  EXPECT_EQ(host.monotonicMs(), 0);  // the posted wake is pending: no time passes
  EXPECT_EQ(host.pollEvent()->cookie, 2980u);
  std::vector<uint64_t> cookies;
  while (cookies.size() < 3) {
    host.waitForEvent();
    while (auto event = host.pollEvent()) cookies.push_back(event->cookie);
  }
  EXPECT_EQ(cookies, (std::vector<uint64_t>{1, 2, 3}));
  EXPECT_EQ(host.monotonicMs(), 200);
}

TEST(HostHeadless, MalformedScriptEndsWithStatusTwoAndNamesTheLine) {
  Trace trace;
  testing::internal::CaptureStderr();
  EXPECT_EQ(exitStatusOf([&] { HostHeadless host(trace, "key A\n\nkey Nada\n"); }), 2);
  std::string error = testing::internal::GetCapturedStderr();
  EXPECT_NE(error.find("linha 3"), std::string::npos) << error;
  EXPECT_NE(error.find("Nada"), std::string::npos) << error;
}

TEST(HostHeadless, FixedStartDateFollowsVirtualTime) {
  ScopedEnvironment now("KALDRO_NOW", "2024-02-29T23:59:58");
  Trace trace;
  HostHeadless host(trace, "");
  LocalDateTime start = host.localNow();
  EXPECT_EQ(start.year, 2024);
  EXPECT_EQ(start.month, 2);
  EXPECT_EQ(start.day, 29);
  EXPECT_EQ(start.weekday, 4);  // Thursday
  EXPECT_EQ(start.hour, 23);
  EXPECT_EQ(start.minute, 59);
  EXPECT_EQ(start.second, 58);
  host.sleepMs(2500);
  LocalDateTime later = host.localNow();
  EXPECT_EQ(later.month, 3);
  EXPECT_EQ(later.day, 1);
  EXPECT_EQ(later.weekday, 5);
  EXPECT_EQ(later.hour, 0);
  EXPECT_EQ(later.second, 0);
  EXPECT_EQ(later.millisecond, 500);

  HostHeadless asksLate(trace, "");
  asksLate.sleepMs(1000);
  EXPECT_EQ(asksLate.localNow().second, 59);  // the clock started with the host
}

class HostChoice : public testing::Test {
 protected:
  std::string writeScript(const std::string& text) {
    std::string path = testing::TempDir() + "kaldro_keys_" + std::to_string(::getpid()) + ".txt";
    std::ofstream(path) << text;
    return path;
  }
  Trace trace_;
};

TEST_F(HostChoice, HeadlessReadsTheScriptNamedByKaldroKeys) {
  std::string path = writeScript("key Enter\n");
  ScopedEnvironment host("KALDRO_HOST", "headless");
  ScopedEnvironment keys("KALDRO_KEYS", path.c_str());
  std::unique_ptr<Host> chosen = createHost(trace_);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->name(), "headless");
  EXPECT_EQ(chosen->workArea().width, 1024);
  EXPECT_EQ(chosen->workArea().height, 734);
  chosen->waitForEvent();
  EXPECT_EQ(chosen->pollEvent()->virtualKey, vk::Return);
  std::remove(path.c_str());
}

TEST_F(HostChoice, UnknownHostNameFallsBackToHeadlessWithOneLine) {
  std::string path = writeScript("");
  ScopedEnvironment host("KALDRO_HOST", "teletipo");
  ScopedEnvironment keys("KALDRO_KEYS", path.c_str());
  testing::internal::CaptureStderr();
  std::unique_ptr<Host> chosen = createHost(trace_);
  std::string error = testing::internal::GetCapturedStderr();
  EXPECT_EQ(chosen->name(), "headless");
  EXPECT_NE(error.find("teletipo"), std::string::npos);
  EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1);
  std::remove(path.c_str());
}

TEST_F(HostChoice, MissingOrMalformedScriptEndsWithStatusTwo) {
  ScopedEnvironment host("KALDRO_HOST", "headless");
  {
    ScopedEnvironment keys("KALDRO_KEYS", "/nonexistent/kaldro/keys.txt");
    testing::internal::CaptureStderr();
    EXPECT_EQ(exitStatusOf([&] { createHost(trace_); }), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("/nonexistent/kaldro/keys.txt"), std::string::npos);
  }
  std::string path = writeScript("key A\nwait soon\n");
  ScopedEnvironment keys("KALDRO_KEYS", path.c_str());
  testing::internal::CaptureStderr();
  EXPECT_EQ(exitStatusOf([&] { createHost(trace_); }), 2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("linha 2"), std::string::npos);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kaldro::platform

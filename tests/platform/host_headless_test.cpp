// The headless host: when script events arrive on the virtual clock, exhaustion, malformed scripts, host choice.
#include "platform/host/host_headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/host/host_factories.h"
#include "support/event_text.h"
#include "support/program_run.h"

namespace kaldro::platform {
namespace {

HostEvent waveDone(uint64_t cookie) {
  HostEvent event;
  event.kind = EventKind::WaveDone;
  event.cookie = cookie;
  return event;
}

// Every event the host has to give now, as text.
std::string pending(Host& host) {
  std::vector<HostEvent> events;
  while (std::optional<HostEvent> event = host.pollEvent()) events.push_back(*event);
  return describe(events);
}

using kaldro::testing::runToProgramEnd;
using kaldro::testing::ScopedEnvironment;

TEST(HostHeadless, AKeyWithoutWaitComesOnlyWhenNoSoundIsPlaying) {
  Trace trace;
  HostHeadless host(trace, "key A\n");
  host.postAt(1000, waveDone(7));
  EXPECT_EQ(pending(host), "");
  host.waitForEvent();  // a sound block is pending: the clock runs to its end, no key yet
  EXPECT_EQ(host.monotonicMs(), 1000);
  EXPECT_EQ(pending(host), "wavedone 7");
  host.waitForEvent();  // idle now
  EXPECT_EQ(host.monotonicMs(), 1000);
  EXPECT_EQ(pending(host), "down A; char 97; up A");
}

TEST(HostHeadless, AWaitedKeyArrivesDuringALongSound) {
  Trace trace;
  HostHeadless host(trace, "wait 300\nkey Escape\n");
  host.postAt(5000, waveDone(1));
  host.waitForEvent();
  EXPECT_EQ(host.monotonicMs(), 300);
  EXPECT_EQ(pending(host), "down Escape; char 27; up Escape");
  // Dropping the sound's blocks (a device reset) leaves nothing due: the script is exhausted.
  host.cancelTimedEvents();
  const auto end = runToProgramEnd([&] { host.waitForEvent(); });
  EXPECT_EQ(end.status, 3);
  EXPECT_EQ(end.standardError, "key script exhausted\n");
}

TEST(HostHeadless, AWaitedKeyIsPolledOnceTheClockReachesIt) {
  Trace trace;
  HostHeadless host(trace, "key A\nwait 250\nkey B\n");
  host.waitForEvent();
  EXPECT_EQ(pending(host), "down A; char 97; up A");
  host.sleepMs(100);
  host.postAt(2000, waveDone(1));
  host.sleepMs(149);  // 249 ms after key A
  EXPECT_EQ(pending(host), "");
  host.sleepMs(1);
  EXPECT_EQ(pending(host), "down B; char 98; up B");
}

TEST(HostHeadless, TypesOneCharacterPerIdleMoment) {
  Trace trace;
  HostHeadless host(trace, "type ab\nclose\n");
  for (const char* next : {"char 97", "char 98", "close"}) {
    host.waitForEvent();
    EXPECT_EQ(pending(host), next);
  }
}

TEST(HostHeadless, ClipboardIsSetWhenItsLineIsReached) {
  Trace trace;
  HostHeadless host(trace, "clip primeiro\nkey A\nclip x\\ty\nwait 50\nclip tarde\nkey B\n");
  EXPECT_EQ(host.clipboardText(), "primeiro");
  host.waitForEvent();
  EXPECT_EQ(host.clipboardText(), "x\ty");  // right after key A
  EXPECT_EQ(pending(host), "down A; char 97; up A");
  host.sleepMs(50);
  EXPECT_EQ(pending(host), "");  // the waited clip makes no event
  EXPECT_EQ(host.clipboardText(), "tarde");
  host.waitForEvent();
  EXPECT_EQ(pending(host), "down B; char 98; up B");
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
  EXPECT_EQ(pending(host), "wake 2980");
  host.waitForEvent();
  EXPECT_EQ(pending(host), "wavedone 1");
  host.waitForEvent();
  EXPECT_EQ(pending(host), "wavedone 2; wavedone 3");
  EXPECT_EQ(host.monotonicMs(), 200);
}

TEST(HostHeadless, FixedStartDateFollowsVirtualTime) {
  const char* start = "2024-02-29T23:59:58";
  Trace trace;
  HostHeadless host(trace, "");
  host.startClockAt(start);
  auto fields = [](const LocalDateTime& t) {
    return std::vector<int>{t.year, t.month, t.day, t.weekday, t.hour, t.minute, t.second, t.millisecond};
  };
  EXPECT_EQ(fields(host.localNow()), (std::vector<int>{2024, 2, 29, 4, 23, 59, 58, 0}));  // a Thursday
  host.sleepMs(2500);
  EXPECT_EQ(fields(host.localNow()), (std::vector<int>{2024, 3, 1, 5, 0, 0, 0, 500}));

  HostHeadless asksLate(trace, "");
  asksLate.startClockAt(start);
  asksLate.sleepMs(1000);
  EXPECT_EQ(asksLate.localNow().second, 59);  // the clock started with the host
}

TEST(HostChoice, HeadlessOrAnUnknownNameReadsTheScriptNamedByKaldroKeys) {
  kaldro::testing::ScratchFolder folder;
  folder.write("keys.txt", "key Enter\n");
  ScopedEnvironment keys("KALDRO_KEYS", folder.file("keys.txt").c_str());
  Trace trace;
  for (const char* name : {"headless", "teletipo"}) {
    ScopedEnvironment host("KALDRO_HOST", name);
    std::unique_ptr<Host> chosen;
    const std::string error = runToProgramEnd([&] { chosen = createHost(trace, RunOptions::fromEnvironment()); }).standardError;
    ASSERT_TRUE(chosen) << name;
    EXPECT_EQ(chosen->name(), "headless");
    EXPECT_EQ(chosen->workArea().width, 1024);
    EXPECT_EQ(chosen->workArea().height, 734);
    chosen->waitForEvent();
    EXPECT_EQ(chosen->pollEvent()->virtualKey, vk::Return);
    // An unknown name is said in one line.
    const bool unknown = std::string_view(name) == "teletipo";
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), unknown ? 1 : 0) << error;
    EXPECT_EQ(error.find("teletipo") != std::string::npos, unknown) << error;
  }
}

TEST(HostChoice, MissingOrMalformedScriptEndsWithStatusTwoAndIsNamed) {
  kaldro::testing::ScratchFolder folder;
  folder.write("keys.txt", "key A\n\nkey Nada\n");
  ScopedEnvironment host("KALDRO_HOST", "headless");
  Trace trace;
  const std::pair<std::string, std::string> cases[] = {
      {"/nonexistent/kaldro/keys.txt", "/nonexistent/kaldro/keys.txt"},
      {folder.file("keys.txt"), "linha 3: tecla desconhecida: \"Nada\""}};
  for (const auto& [script, named] : cases) {
    ScopedEnvironment keys("KALDRO_KEYS", script.c_str());
    const auto end = runToProgramEnd([&] { createHost(trace, RunOptions::fromEnvironment()); });
    EXPECT_EQ(end.status, 2) << script;
    EXPECT_NE(end.standardError.find(named), std::string::npos) << end.standardError;
  }
}

}  // namespace
}  // namespace kaldro::platform

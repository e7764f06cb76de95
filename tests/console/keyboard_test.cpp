// The key queue and the host's notifications: key codes, limits, pumps, line reading, endings.
#include <gtest/gtest.h>

#include "console/fake_host.h"

namespace kaldro::console::testing {
namespace {

using Codes = std::vector<uint8_t>;
constexpr Modifiers kCtrl{false, true, false};
constexpr Modifiers kAlt{false, false, true};
constexpr Modifiers kCtrlAlt{false, true, true};
constexpr Modifiers kShift{true, false, false};

int letter(char c) { return vk::LetterA + (c - 'A'); }

int exitStatusOf(const std::function<void()>& action) { return kaldro::testing::runToProgramEnd(action).status; }

TEST(ConsoleKeys, TwoCodeKeys) {
  ConsoleBench bench;
  FakeHost& host = bench.host;
  host.keyDown(vk::Up);
  host.keyDown(vk::Up, kCtrl);
  host.systemKeyDown(vk::Left, kAlt);  // Alt+Left gives the plain Left codes
  host.systemKeyDown(letter('Q'), kAlt);  // Alt with a letter alone belongs to the window system
  host.keyDown(letter('Q'), kCtrlAlt);
  host.keyDown(letter('W'), kCtrlAlt);
  host.character('@', kCtrlAlt);  // what AltGr+Q types on some layouts
  host.keyDown(vk::Digit0 + 1, kCtrlAlt);
  host.keyDown(vk::Digit0, kCtrlAlt);
  host.keyDown(vk::F1 + 11);
  host.keyDown(vk::F1 + 9, kCtrl);
  host.keyDown(vk::Insert, kShift);
  host.keyDown(vk::Insert, kCtrl);
  host.keyDown(vk::Delete, kCtrl);
  host.keyDown(vk::Shift);  // keys outside the table queue nothing
  EXPECT_TRUE(bench.console.keyPressed());
  Codes expected{0, 72, 0, 113, 0, 75, 0, 16, 0, 17, '@', 0, 120, 0, 129, 0, 70, 0, 103, 0, 254, 0, 255, 0, 83};
  EXPECT_EQ(bench.readAll(), expected);
}

TEST(ConsoleKeys, CharactersAndTheirModifiers) {
  ConsoleBench bench;
  FakeHost& host = bench.host;
  host.character(13, kCtrl);
  host.character(8, kCtrl);
  host.character(13);
  host.character(8);
  host.character(27);
  host.character('A', kShift);
  bench.console.keyPressed();
  EXPECT_EQ(bench.readAll(), (Codes{10, 127, 13, 8, 27, 'A'}));
  EXPECT_EQ(bench.console.modifiersOfLastKey(), kShift);

  // The modifiers belong to each queued key, not to the keyboard's state at reading time.
  host.keyDown(vk::Home, kShift);
  host.character('b');
  bench.console.keyPressed();
  EXPECT_EQ(bench.console.readKey(), 0);
  EXPECT_TRUE(bench.console.modifiersOfLastKey().shift);
  bench.console.readKey();
  bench.console.readKey();
  EXPECT_FALSE(bench.console.modifiersOfLastKey().shift);
}

// A key that finds no room, or has no code, is lost with a beep; a paste waits for room instead.
TEST(ConsoleKeys, FullQueueDropsNewKeysWithABeepAndAPasteWaits) {
  ConsoleBench bench;
  for (int i = 0; i < 65; ++i) bench.host.character(static_cast<uint8_t>('0' + i % 10));
  bench.host.notify(EventKind::LostCharacter);  // an emoji typed
  bench.console.keyPressed();
  EXPECT_EQ(bench.console.queuedKeyCount(), 64);
  EXPECT_EQ(bench.host.beeps, 2);
  EXPECT_EQ(bench.traceText(), "beep\nbeep\n");

  ConsoleBench pasting;
  Codes expected;
  for (int i = 0; i < 300; ++i) {
    HostEvent pasted{EventKind::Character, static_cast<uint8_t>(i % 2 ? '\r' : 'a' + i % 26)};
    pasted.pasted = true;
    pasting.host.push(pasted);
    expected.push_back(pasted.character);
  }
  pasting.host.character('z');  // typed after the paste: it comes after it
  expected.push_back('z');
  pasting.console.keyPressed();
  EXPECT_EQ(pasting.console.queuedKeyCount(), 64);
  EXPECT_EQ(pasting.readAll(), expected);
  EXPECT_EQ(pasting.host.beeps, 0);

  ConsoleBench nearlyFull;
  for (int i = 0; i < 63; ++i) nearlyFull.host.character('a');
  nearlyFull.host.keyDown(vk::Down);
  nearlyFull.host.keyDown(letter('Q'), kCtrlAlt);
  nearlyFull.host.character('z');
  nearlyFull.console.keyPressed();
  Codes codes = nearlyFull.readAll();
  ASSERT_EQ(codes.size(), 64u);
  EXPECT_EQ(codes.back(), 'z');
  EXPECT_EQ(nearlyFull.host.beeps, 2) << "Down and Ctrl+Alt+Q found one place, not two";
}

TEST(ConsoleKeys, ReadKeyWaitsWithTheCaret) {
  ConsoleBench bench;
  // The fake host ends the run when a wait has nothing to deliver: the caret was shown first.
  EXPECT_EQ(exitStatusOf([&] { bench.console.readKey(); }), 3);
  EXPECT_TRUE(bench.host.caretVisible);
}

TEST(ConsoleKeys, ReadConsoleLine) {
  ConsoleBench bench;
  FakeHost& host = bench.host;
  for (char c : std::string("abc")) host.character(static_cast<uint8_t>(c));
  host.character(8);
  host.keyDown(vk::Up);  // 0 is ignored, 72 is the printable H
  host.character(9);
  host.character(13);
  EXPECT_EQ(bench.console.readConsoleLine(), "abH\r\n");
  EXPECT_EQ(bench.console.screenChar(1, 1), 'a');
  EXPECT_EQ(bench.console.screenChar(3, 1), 'H');
  EXPECT_EQ(bench.console.cursorRow(), 2);

  for (char c : std::string("abcdef")) host.character(static_cast<uint8_t>(c));
  host.character(13);
  EXPECT_EQ(bench.console.readConsoleLine(5), "abc\r\n");  // room kept for CR LF
  host.character('x');
  host.character(13);
  EXPECT_EQ(bench.console.readConsoleLine(0), "\r\n");
}

TEST(ConsoleKeys, NotificationsThatEndTheProgramOrOnlyWake) {
  ConsoleBench bench;
  FakeHost& host = bench.host;
  std::vector<uint64_t> finished;
  bench.console.setWaveDoneHandler([&](uint64_t cookie) { finished.push_back(cookie); });
  host.notify(EventKind::WaveDone, 7);
  bench.console.pumpAllMessages();
  bench.console.enableWaveDoneHandler(true);
  host.notify(EventKind::Wake);
  host.notify(EventKind::WaveDone, 9);
  bench.console.waitForMessage();
  EXPECT_EQ(finished, (std::vector<uint64_t>{9}));

  host.keyDown(vk::Cancel, kCtrl);
  EXPECT_EQ(exitStatusOf([&] { bench.console.pumpConsoleMessages(); }), 255);
  bench.console.setBreakCheck(false);
  host.keyDown(vk::Cancel, kCtrl);
  host.systemKeyDown(letter('Q'), kAlt);  // without the check Alt letters reach the queue
  bench.console.pumpConsoleMessages();
  EXPECT_EQ(bench.readAll(), (Codes{0, 16}));

  host.notify(EventKind::Quit);
  EXPECT_EQ(exitStatusOf([&] { bench.console.delayMs(0); }), 255);
  host.notify(EventKind::CloseRequest);
  EXPECT_EQ(exitStatusOf([&] { bench.console.keyPressed(); }), 255);
  EXPECT_EQ(host.windowsClosed, 1);
}

// The one wait: a pause handles what came only after it, a pausing wait stops before a pause
// that would pass its limit (without asking again), a message wait ends when asked to or waits on.
TEST(ConsoleWaits, PausesThenPumpAndStopAtTheirLimit) {
  ConsoleBench bench;
  bench.host.character('k');
  bench.console.delayMs(250);
  EXPECT_EQ(bench.host.nowMs, 250);
  EXPECT_EQ(bench.console.queuedKeyCount(), 1);

  struct Case {
    WaitSteps steps;
    int goingAsks;  // the ask that answers false (0: never)
    int64_t passedMs;
    int asked;
  };
  const Case cases[] = {
      {WaitSteps::pauses(50, 175), 0, 150, 3},  // a fourth pause would pass 175 ms
      {WaitSteps::pauses(50, 150), 0, 150, 3},
      {WaitSteps::pauses(50, 40), 0, 0, 0},
      {WaitSteps::pauses(50), 3, 100, 3},
      {WaitSteps::pauses(0, 0), 2, 0, 2},  // a pause of nothing still pumps
  };
  for (const Case& c : cases) {
    const int64_t before = bench.host.nowMs;
    int asked = 0;
    bench.console.waitWhile(c.steps, [&] { return ++asked != c.goingAsks; });
    EXPECT_EQ(bench.host.nowMs - before, c.passedMs) << c.steps.limitMs;
    EXPECT_EQ(asked, c.asked) << c.steps.limitMs;
  }

  std::vector<uint64_t> finished;
  bench.console.setWaveDoneHandler([&](uint64_t cookie) { finished.push_back(cookie); });
  bench.console.enableWaveDoneHandler(true);
  bench.host.notify(EventKind::Wake);
  bench.host.notify(EventKind::WaveDone, 9);
  bench.console.waitWhile(WaitSteps::messages(), [&] { return finished.empty(); });
  EXPECT_EQ(finished, (std::vector<uint64_t>{9}));
  // With nothing more to come the wait goes on (the fake host then ends the run).
  EXPECT_EQ(exitStatusOf([&] { bench.console.waitWhile(WaitSteps::messages(), [] { return true; }); }), 3);
  // A key stops sound while it waits, and stays for the program to read.
  bench.host.character('s');
  EXPECT_TRUE(bench.console.keyStopsSound());
  EXPECT_EQ(bench.readAll(), (Codes{'k', 's'}));
  EXPECT_FALSE(bench.console.keyStopsSound());
}

}  // namespace
}  // namespace kaldro::console::testing

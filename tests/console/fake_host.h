// A host for console tests: queued notifications, a virtual clock, and a record of drawing.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "platform/config.h"
#include "platform/host.h"
#include "platform/trace.h"

namespace kaldro::console::testing {

namespace vk = platform::vk;
using platform::EventKind;
using platform::HostEvent;
using platform::Modifiers;

struct DrawnRow {
  int row, first, end;
  bool operator==(const DrawnRow&) const = default;
};

class FakeHost : public platform::Host {
 public:
  explicit FakeHost(platform::Trace& trace) : Host(trace) {}

  std::string_view name() const override { return "fake"; }
  platform::WorkArea workArea() override { return work; }
  void openWindow(const platform::WindowSettings& settings, const platform::TextGrid&) override {
    ++windowsOpened;
    opened = settings;
  }
  void closeWindow() override { ++windowsClosed; }
  void drawRow(int row, int first, int end) override { drawn.push_back({row, first, end}); }
  void scrolled(uint8_t fillAttribute) override { scrolls.push_back(fillAttribute); }
  void repaintAll() override { ++repaints; }
  void setCaret(bool visible, int, int) override { caretVisible = visible; }
  void systemBeep() override { ++beeps; }

  std::optional<HostEvent> pollEvent() override {
    if (events.empty()) return std::nullopt;
    HostEvent event = events.front();
    events.pop_front();
    return event;
  }
  // Nothing left to deliver would wait forever: end the run as the scripted host does.
  void waitForEvent() override {
    if (events.empty()) throw platform::ProgramExit{3};
  }
  void postFromAnyThread(const HostEvent& event) override { events.push_back(event); }
  void postAt(int64_t, const HostEvent& event) override { events.push_back(event); }
  void cancelTimedEvents() override {}
  int64_t monotonicMs() override { return nowMs; }
  void sleepMs(uint32_t milliseconds) override { nowMs += milliseconds; }
  bool reportsKeyUps() const override { return keyUps; }

  // Script helpers.
  void character(uint8_t c, Modifiers mods = {}) { push({EventKind::Character, c, 0, false, mods}); }
  void keyDown(int key, Modifiers mods = {}) { push({EventKind::KeyDown, 0, key, false, mods}); }
  void systemKeyDown(int key, Modifiers mods = {}) { push({EventKind::SystemKeyDown, 0, key, false, mods}); }
  void keyUp(int key, Modifiers mods = {}) { push({EventKind::KeyUp, 0, key, false, mods}); }
  void notify(EventKind kind, uint64_t cookie = 0) { push({kind, 0, 0, false, {}, cookie}); }
  void push(const HostEvent& event) { events.push_back(event); }

  std::deque<HostEvent> events;
  std::vector<DrawnRow> drawn;
  std::vector<uint8_t> scrolls;
  platform::WindowSettings opened;
  platform::WorkArea work{1024, 734};
  int windowsOpened = 0, windowsClosed = 0, repaints = 0, beeps = 0;
  bool caretVisible = false;
  bool keyUps = true;
  int64_t nowMs = 0;
};

// A console on a fake host, with its own trace file and, when given, its own KALDRO.INI.
struct ConsoleBench {
  explicit ConsoleBench(const std::string& ini = {}, bool writeIni = false)
      : folder(makeFolder(this, ini, writeIni)),
        tracePath(folder + "/trace.txt"),
        trace(tracePath),
        host(trace),
        config(platform::ConfigLocations{{folder}, folder, folder}),
        console(host, config, "/usr/local/bin/plumar") {}

  // A fresh folder per bench: the test's name and the bench's address keep benches apart.
  static std::string makeFolder(const void* self, const std::string& ini, bool writeIni) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::ostringstream name;
    name << ::testing::TempDir() << "console_" << ::getpid() << "_" << (test ? test->name() : "none") << "_" << self;
    const std::string folder = name.str();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    if (writeIni || !ini.empty()) std::ofstream(folder + "/KALDRO.INI") << ini;
    return folder;
  }
  std::string traceText() const {
    std::ifstream in(tracePath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<uint8_t> readAll() {
    std::vector<uint8_t> codes;
    while (console.queuedKeyCount() > 0) codes.push_back(console.readKey());
    return codes;
  }

  std::string folder;
  std::string tracePath;
  platform::Trace trace;
  FakeHost host;
  platform::Configuration config;
  Console console;
};

}  // namespace kaldro::console::testing

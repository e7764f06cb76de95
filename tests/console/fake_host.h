// A host for console tests: queued notifications, a virtual clock, and a record of drawing.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "console/console.h"
#include "platform/config.h"
#include "platform/host/host.h"
#include "platform/trace.h"
#include "support/program_run.h"

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
      : iniWritten((writeIni || !ini.empty()) && (folder.write("KALDRO.INI", ini), true)),
        trace(folder.file("trace.txt")),
        host(trace),
        config(platform::ConfigLocations{{folder.path()}, folder.path(), folder.path()}),
        console(host, config, "/usr/local/bin/plumar") {}

  std::string traceText() const { return folder.read("trace.txt"); }
  std::vector<uint8_t> readAll() {
    std::vector<uint8_t> codes;
    while (console.queuedKeyCount() > 0) codes.push_back(console.readKey());
    return codes;
  }

  kaldro::testing::ScratchFolder folder;
  bool iniWritten;  // before the configuration reads it
  platform::Trace trace;
  FakeHost host;
  platform::Configuration config;
  Console console;
};

}  // namespace kaldro::console::testing

// The narrow interface between the console and whatever stands in for a window system.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/trace.h"

namespace kaldro::platform {

// Virtual key numbers are those of the PC keyboard, so the key tables read as users know them.
namespace vk {
inline constexpr int Cancel = 0x03;  // Break (Ctrl+Pause)
inline constexpr int Back = 0x08;
inline constexpr int Tab = 0x09;
inline constexpr int Return = 0x0D;
inline constexpr int Shift = 0x10;
inline constexpr int Control = 0x11;
inline constexpr int Menu = 0x12;  // Alt
inline constexpr int Pause = 0x13;
inline constexpr int Escape = 0x1B;
inline constexpr int Space = 0x20;
inline constexpr int Prior = 0x21;  // Page Up
inline constexpr int Next = 0x22;   // Page Down
inline constexpr int End = 0x23;
inline constexpr int Home = 0x24;
inline constexpr int Left = 0x25;
inline constexpr int Up = 0x26;
inline constexpr int Right = 0x27;
inline constexpr int Down = 0x28;
inline constexpr int Insert = 0x2D;
inline constexpr int Delete = 0x2E;
inline constexpr int Digit0 = 0x30;  // '0'..'9' are 0x30..0x39
inline constexpr int LetterA = 0x41; // 'A'..'Z' are 0x41..0x5A
inline constexpr int F1 = 0x70;      // F1..F12 are 0x70..0x7B
inline constexpr int F12 = 0x7B;
inline constexpr int Oem = 0xBA;     // any other printable key (punctuation)
}  // namespace vk

struct Modifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool operator==(const Modifiers&) const = default;
};

enum class EventKind : uint8_t {
  Character,      // a translated character (CP1252 byte)
  KeyDown,        // a key went down (virtual key + modifiers)
  SystemKeyDown,  // a key with Alt, or F10, as the window system reports it
  KeyUp,
  CloseRequest,   // the user closes the window
  Wake,           // a private message that only ends a wait (stopSpeech, external engines)
  WaveDone,       // the audio device finished one block
  Quit,           // the window system's quit message: the process ends with 255
  LostCharacter,  // a typed character the console cannot hold (outside CP1252): it beeps
};

struct HostEvent {
  EventKind kind = EventKind::Wake;
  uint8_t character = 0;  // Character
  int virtualKey = 0;     // KeyDown, SystemKeyDown, KeyUp
  bool repeat = false;    // KeyDown of a key held down
  Modifiers modifiers;    // held when the event happened
  uint64_t cookie = 0;    // WaveDone: the finished block; Wake: the message number
  bool pasted = false;    // Character of a paste: held, never dropped, while the key queue is full
};

struct LocalDateTime {
  int year = 2000, month = 1, day = 1;
  int weekday = 0;  // 0 Sunday .. 6 Saturday
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The console's two grids; the host reads them when it paints.
struct TextGrid {
  static constexpr int Columns = 80;
  static constexpr int Rows = 25;
  std::array<uint8_t, Columns * Rows> chars{};
  std::array<uint8_t, Columns * Rows> attrs{};
  uint8_t charAt(int column0, int row0) const { return chars[row0 * Columns + column0]; }
  uint8_t attrAt(int column0, int row0) const { return attrs[row0 * Columns + column0]; }
};

struct Rgb {
  uint8_t red, green, blue;
};

// The 16 colours every host paints with; a palette index above 15 is black.
Rgb paletteColour(int index);

// What the console settings tell the host about its window.
struct WindowSettings {
  std::array<uint8_t, 16> colourTable{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  bool copyPixelsOnScroll = false;  // LENTO
  int magnifierFactor = 2;          // AMPLIF
  std::string fontFace = "Lucida Console";
  int fontWidth = 0;   // pixels
  int fontHeight = 0;  // pixels
  bool maximized = false;
  std::string title;  // the program's own path, at most 79 characters
};

struct WorkArea {
  int width = 1024;
  int height = 734;
};

class Host {
 public:
  explicit Host(Trace& trace) : trace_(trace) {}
  virtual ~Host() = default;
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  virtual std::string_view name() const = 0;

  // Window lifetime and drawing. The grid stays owned by the console and outlives the window.
  virtual WorkArea workArea() { return {}; }
  virtual void openWindow(const WindowSettings& settings, const TextGrid& grid) {}
  virtual void closeWindow() {}
  // Columns [firstColumn, endColumn) of a row changed (0-based).
  virtual void drawRow(int row, int firstColumn, int endColumn) {}
  // The grid moved up one row; fillAttribute is the attribute of the new last row.
  virtual void scrolled(uint8_t fillAttribute) {}
  virtual void repaintAll() {}
  // The caret shows while the console waits for a key (0-based cursor); the console asks at every
  // key wait, and the host decides whether it can be seen (a window only while it has the focus).
  virtual void setCaret(bool visible, int column, int row) {}
  // The console's cursor moved (0-based; the deferred-wrap column shows on the last column).
  // A terminal keeps its own cursor there, which is what screen readers follow.
  virtual void cursorMoved(int column, int row) {}
  virtual void systemBeep() {}

  // Notifications.
  // The next pending notification, or nothing; never waits.
  virtual std::optional<HostEvent> pollEvent() = 0;
  // Blocks until a notification is pending. The headless host advances its virtual clock here,
  // and ends the process (status 3) when its key script is exhausted and nothing else is due.
  virtual void waitForEvent() = 0;
  // Safe from any thread: the event is delivered on the program's thread.
  virtual void postFromAnyThread(const HostEvent& event) = 0;
  // Program's thread only: the event is delivered once the clock reaches dueMs (monotonic).
  // Sound devices that keep time themselves (none, wav:) report finished blocks this way.
  virtual void postAt(int64_t dueMs, const HostEvent& event) = 0;
  // Drops every postAt event not yet delivered (a device reset).
  virtual void cancelTimedEvents() = 0;

  // Clock.
  virtual int64_t monotonicMs() = 0;
  virtual void sleepMs(uint32_t milliseconds) = 0;
  LocalDateTime localNow();
  // From now on the clock runs from this local time (AAAA-MM-DDTHH:MM:SS) instead of the real one;
  // a text that is no such time changes nothing.
  void startClockAt(std::string_view localTime);

  // Clipboard, as CP1252 text.
  virtual void setClipboardText(const std::string& text) { clipboard_ = text; }
  virtual std::optional<std::string> clipboardText() { return clipboard_; }

  // A message the user must hear once (CP1252; empty when there is none); the speech services
  // take it at their next prompt and say it first.
  virtual std::string takeNotice() { return {}; }

  // Whether key-ups are reported (the braille keyboard needs them).
  virtual bool reportsKeyUps() const { return true; }

  Trace& trace() { return trace_; }

 protected:
  std::optional<std::string> clipboard_;

 private:
  Trace& trace_;
  bool clockAnchored_ = false;
  int64_t anchorMonotonicMs_ = 0;
  int64_t anchorEpochMs_ = 0;  // local time, as milliseconds since 1970 in local wall time
};

// Thrown to end the program: it unwinds to main, which restores the terminal, writes the screen
// dump and the trace's exit line, and returns the status.
struct ProgramExit {
  int status = 0;
};

// The programs' exit statuses, as --help and the documentation state them.
namespace exit_status {
inline constexpr int Success = 0;
inline constexpr int Failure = 1;           // what the user asked for was not done (the reason on standard error)
inline constexpr int Usage = 2;             // a wrong command line, or a malformed key script
inline constexpr int ScriptExhausted = 3;   // the headless host's key script ran out
inline constexpr int Cancelled = 4;         // the user cancelled (an empty name, a refused rewrite)
inline constexpr int Quit = 255;            // the window system's quit message or Ctrl+Break
}  // namespace exit_status

}  // namespace kaldro::platform

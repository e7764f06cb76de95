// The talking console: an 80 x 25 character terminal with a key queue, on any host.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_settings.h"
#include "platform/config.h"
#include "platform/host/host.h"

namespace kaldro::console {

struct Date {
  int year, month, day;
  int weekday;  // 0 Sunday .. 6 Saturday
};

struct Time {
  int hour, minute, second, hundredths;
};

// Where continuous tones are heard; the sound unit provides it once a device exists.
class ToneOutput {
 public:
  virtual ~ToneOutput() = default;
  // A looping in-memory WAV image (44-byte header and samples); replaces any tone playing.
  virtual void playLooping(const std::vector<uint8_t>& waveImage) = 0;
  virtual void stopLooping() = 0;
};

// The square-wave tone of startTone, as a WAV image of 8-bit mono at 11025 Hz.
std::vector<uint8_t> buildToneSound(uint16_t frequency);

// How a wait of the console passes each of its rounds: waiting for the next notification and
// handling every one pending, or pausing a fixed time without handling any and handling them after.
struct WaitSteps {
  static constexpr uint32_t NoLimit = UINT32_MAX;
  // Rounds that end at the next notification.
  static WaitSteps messages() { return {}; }
  // Rounds of pauseMs each; the wait ends before a pause that would take it past limitMs in all.
  static WaitSteps pauses(uint16_t pauseMs, uint32_t limitMs = NoLimit) { return {pauseMs, limitMs}; }
  std::optional<uint16_t> pauseMs;  // none: until the next notification
  uint32_t limitMs = NoLimit;
};

class Console {
 public:
  static constexpr int Columns = platform::TextGrid::Columns;
  static constexpr int Rows = platform::TextGrid::Rows;
  static constexpr int QueueCapacity = 64;
  // A paste longer than this (a whole file by mistake) loses the rest, with a beep.
  static constexpr size_t MaxHeldPaste = 1 << 20;

  // programPath: the program's own path, the window's title (cut to 79 characters).
  Console(platform::Host& host, const platform::Configuration& config, std::string programPath);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Window and grid. Coordinates are 1-based (column 1..80, row 1..25).
  void ensureConsoleWindow();
  void clearScreen();
  void clearToEndOfLine();
  void moveCursor(int column, int row);
  int cursorColumn() const;
  int cursorRow() const;
  void setTextColour(int colour);
  void setBackgroundColour(int colour);
  uint8_t currentAttribute() const { return attribute_; }
  // Restores a saved attribute (the file chooser puts the screen back as it found it).
  void setCurrentAttribute(uint8_t attribute) { attribute_ = attribute; }
  uint8_t screenChar(int column, int row) const;
  uint8_t screenAttribute(int column, int row) const;
  // Stores a character and attribute in a cell directly and repaints it (screen restore).
  void putCell(int column, int row, uint8_t character, uint8_t attribute);
  // What every write to the program's text output does: control codes 7, 8, 10, 13 act,
  // 32..255 are stored with the deferred wrap, the rest is ignored.
  void writeToConsole(std::string_view bytes);
  void write(std::string_view bytes) { writeToConsole(bytes); }
  // The text, then carriage return and line feed.
  void writeLine(std::string_view bytes = {});
  void copyToClipboard(std::string_view text);
  // The clipboard's text cut to capacity - 1 characters; empty when it holds none.
  std::string pasteFromClipboard(size_t capacity);
  Date currentDate();
  Time currentTime();
  // Closes the window and ends the program with the status (0: success; throws platform::ProgramExit).
  [[noreturn]] void closeConsole(int status = 0);

  // Keyboard and message pump.
  void pumpConsoleMessages();
  void pumpAllMessages();
  bool keyPressed();
  uint8_t readKey();
  void delayMs(uint16_t milliseconds) { waitRound(WaitSteps::pauses(milliseconds)); }
  // Waits for the next notification of any kind and handles every one pending: the wait that
  // speech uses ("while busy, wait for the next window message").
  void waitForMessage() { waitRound(WaitSteps::messages()); }
  // The program's one way to wait for time or events: while the pauses allow another and
  // `going` answers true, one round. Every busy loop (sound, engines, pauses, key waits) is one.
  void waitWhile(WaitSteps steps, const std::function<bool()>& going);
  // Whether a key waiting in the queue stops the sound in progress (pumping first, as keyPressed).
  // Every player, engine adapter and speaking loop asks this one question, so that what a key
  // interrupts is decided here; the reads of typed-ahead keys ask keyPressed.
  bool keyStopsSound() { return soundStopsOnKey_ && keyPressed(); }
  // The wave player's interruptOnKey: on from the start, and nothing turns it off for now.
  bool soundStopsOnKey() const { return soundStopsOnKey_; }
  void startTone(uint16_t frequency);
  void stopTone();
  void setBrailleMode(int mode);
  int brailleMode() const { return brailleMode_; }
  // The standard-input line reader: echoes, ends at Enter; the result ends with CR LF.
  std::string readConsoleLine(size_t capacity = 128);
  // The modifiers held when the key most recently taken by readKey was pressed
  // (the platform's key-state query).
  platform::Modifiers modifiersOfLastKey() const { return lastKeyModifiers_; }
  int queuedKeyCount() const { return queueCount_; }
  // The Ctrl+Break check (on from the start).
  void setBreakCheck(bool on) { breakCheck_ = on; }

  // Slot for the wave player: called with each finished block's cookie while enabled.
  void setWaveDoneHandler(std::function<void(uint64_t cookie)> handler);
  void enableWaveDoneHandler(bool enabled) { waveDoneEnabled_ = enabled; }
  // Where tones are heard (may be null: then they are only traced).
  void setToneOutput(ToneOutput* output) { toneOutput_ = output; }

  const ConsoleSettings& settings() const { return settings_; }
  const platform::TextGrid& grid() const { return grid_; }
  platform::Host& host() { return host_; }
  const platform::Configuration& configuration() const { return config_; }
  // 25 lines of 80 characters (UTF-8), 25 lines of 160 hexadecimal digits, "cursor C R".
  std::string screenDump() const;

 private:
  // The one place the program waits: a pause (then the notifications that came meanwhile) or
  // the wait for the next notification (then every one pending).
  void waitRound(const WaitSteps& steps);
  void handleEvent(const platform::HostEvent& event);
  void onCharacter(const platform::HostEvent& event);
  void onKeyDown(const platform::HostEvent& event);
  void onSystemKeyDown(const platform::HostEvent& event);
  void onKeyUp(const platform::HostEvent& event);
  bool queueCode(uint8_t code, const platform::Modifiers& modifiers);
  // A typed character's code, in the queue (Ctrl makes Backspace 127 and Enter 10).
  void queueCharacter(const platform::HostEvent& event);
  // The sound of a key that found no room or has no code.
  void keyLost();
  // Hands held pasted characters to the queue while it has room.
  void releaseHeldPaste();
  void lineFeed();
  void markChanged(int column);
  void paintPending();
  // Tells the host where the cursor stands now (terminals follow it for screen readers).
  void cursorChanged();
  void showCaret();
  void hideCaret();
  // The caret's 0-based column: the deferred-wrap column 80 shows on the last column.
  int caretColumn() const { return column_ < Columns ? column_ : Columns - 1; }
  void handleKeyDown(const platform::HostEvent& event);
  void endBrailleCell(const platform::HostEvent& event);
  uint8_t applySignRules(uint8_t cell);
  void clearBrailleFlags();
  [[noreturn]] void endWithStatus(int status);

  platform::Host& host_;
  const platform::Configuration& config_;
  std::string title_;
  ConsoleSettings settings_;
  bool settingsRead_ = false;
  bool windowOpen_ = false;
  platform::TextGrid grid_;
  int column_ = 0;  // 0-based; may stand at 80 after the last column was written
  int row_ = 0;
  uint8_t attribute_ = 0x0F;
  int pendingFirst_ = -1;  // painting of the current row, columns [pendingFirst_, pendingEnd_)
  int pendingEnd_ = -1;

  std::array<uint8_t, QueueCapacity> queue_{};
  std::array<platform::Modifiers, QueueCapacity> queueModifiers_{};
  int queueCount_ = 0;
  std::deque<platform::HostEvent> heldPaste_;  // pasted characters waiting for room in the queue
  platform::Modifiers lastKeyModifiers_;
  bool waitingForKey_ = false;
  bool caretShown_ = false;
  bool breakCheck_ = true;
  bool soundStopsOnKey_ = true;

  int brailleMode_ = 0;
  int chord_ = 0;
  int keysHeld_ = 0;
  bool capitalNext_ = false;
  bool capitalsLock_ = false;
  bool numberFlag_ = false;

  std::function<void(uint64_t)> waveDoneHandler_;
  bool waveDoneEnabled_ = false;
  ToneOutput* toneOutput_ = nullptr;
  bool tonePlaying_ = false;
};

}  // namespace kaldro::console

// The console's keyboard: the 64-code key queue, the host's notifications, the braille chord
// keyboard, the message pumps, the program's one wait and the standard-input line reader.
#include "console/console.h"
#include "console/key_codes.h"

#include <algorithm>

namespace kaldro::console {

namespace vk = platform::vk;
using platform::EventKind;
using platform::HostEvent;

namespace {

// Absence of a character: a braille sign cell types nothing.
constexpr uint8_t kNoCharacter = 254;
constexpr int kSpaceBit = 64;

struct KeyCodes {
  int virtualKey;
  uint8_t plain;
  uint8_t withCtrl;
};

// Function, cursor and editing keys: key::Extended and then one of these numbers.
constexpr KeyCodes functionKey(int number) {
  return {vk::F1 + number - 1, extended::function(number), extended::ctrlFunction(number)};
}
constexpr KeyCodes kKeyTable[] = {
    functionKey(1),  functionKey(2),  functionKey(3),  functionKey(4),
    functionKey(5),  functionKey(6),  functionKey(7),  functionKey(8),
    functionKey(9),  functionKey(10), functionKey(11), functionKey(12),
    {vk::Home, extended::Home, extended::CtrlHome},
    {vk::Up, extended::Up, extended::CtrlUp},
    {vk::Prior, extended::PageUp, extended::CtrlPageUp},
    {vk::Left, extended::Left, extended::CtrlLeft},
    {vk::Right, extended::Right, extended::CtrlRight},
    {vk::End, extended::End, extended::CtrlEnd},
    {vk::Down, extended::Down, extended::CtrlDown},
    {vk::Next, extended::PageDown, extended::CtrlPageDown},
    {vk::Insert, extended::Insert, extended::CtrlInsert},
    {vk::Delete, extended::Delete, extended::Delete},
};

// One braille cell per sum of dots (F 1, D 2, S 4, J 8, K 16, L 32), as Latin-1 bytes.
constexpr uint8_t kBrailleCells[64] = {
    ' ',  'a',  ',',  'b',  '\'', 'k',  ';',  'l',   //
    '^',  'c',  'i',  'f',  0xED, 'm',  's',  'p',   // í
    '~',  'e',  ':',  'h',  '*',  'o',  '!',  'r',   //
    0xAC, 'd',  'j',  'g',  0xE3, 'n',  't',  'q',   // ¬ ã
    0xFD, 0xE2, '?',  0xEA, '-',  'u',  '"',  'v',   // ý â ê
    '{',  0xEE, 0xF5, 0xE0, 0xF3, 'x',  0xE8, 0xE7,  // î õ à ó è ç
    '$',  0xFB, 0xFF, 0xFC, '}',  'z',  '=',  0xE1,  // û ÿ ü á
    '_',  0xF4, 'w',  0xEF, '#',  'y',  0xFA, 0xE9,  // ô ï ú é
};
constexpr uint8_t kCapitalSign = '{';
constexpr uint8_t kNumberSign = '#';

// The dot a chord key stands for; 0 for any other key.
int chordBit(int virtualKey) {
  switch (virtualKey) {
    case vk::Space: return kSpaceBit;
    case vk::LetterA + ('F' - 'A'): return 1;
    case vk::LetterA + ('D' - 'A'): return 2;
    case vk::LetterA + ('S' - 'A'): return 4;
    case vk::LetterA + ('J' - 'A'): return 8;
    case vk::LetterA + ('K' - 'A'): return 16;
    case vk::LetterA + ('L' - 'A'): return 32;
    default: return 0;
  }
}

bool isLetterKey(int virtualKey) { return virtualKey >= vk::LetterA && virtualKey <= vk::LetterA + 25; }
bool isDigitKey(int virtualKey) { return virtualKey >= vk::Digit0 && virtualKey <= vk::Digit0 + 9; }

}  // namespace

bool Console::queueCode(uint8_t code, const platform::Modifiers& modifiers) {
  if (queueCount_ >= QueueCapacity) {
    keyLost();
    return false;
  }
  queue_[queueCount_] = code;
  queueModifiers_[queueCount_] = modifiers;
  ++queueCount_;
  return true;
}

void Console::keyLost() {
  // A key is never lost without a sound: the user knows to type it again.
  host_.trace().event("beep");
  host_.systemBeep();
}

void Console::releaseHeldPaste() {
  while (!heldPaste_.empty() && queueCount_ < QueueCapacity) {
    queueCharacter(heldPaste_.front());
    heldPaste_.pop_front();
  }
}

void Console::handleEvent(const HostEvent& event) {
  switch (event.kind) {
    case EventKind::Character: onCharacter(event); break;
    case EventKind::KeyDown: onKeyDown(event); break;
    case EventKind::SystemKeyDown: onSystemKeyDown(event); break;
    case EventKind::KeyUp: onKeyUp(event); break;
    case EventKind::CloseRequest: closeConsole(platform::exit_status::Quit);  // not a finished run
    case EventKind::Wake: break;  // only ends a wait
    case EventKind::WaveDone:
      if (waveDoneEnabled_ && waveDoneHandler_) waveDoneHandler_(event.cookie);
      break;
    case EventKind::Quit: endWithStatus(255);
    case EventKind::LostCharacter: keyLost(); break;
  }
}

void Console::onCharacter(const HostEvent& event) {
  const uint8_t c = event.character;
  // In braille mode the chord keys type the text; their letters and blanks are not wanted twice.
  if (brailleMode_ != 0 && (c == ' ' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return;
  // A paste waits while the queue is full, and whatever comes after it waits behind it.
  if (!heldPaste_.empty() || (event.pasted && queueCount_ >= QueueCapacity)) {
    if (heldPaste_.size() < MaxHeldPaste) heldPaste_.push_back(event);
    else keyLost();
    return;
  }
  queueCharacter(event);
}

void Console::queueCharacter(const HostEvent& event) {
  const uint8_t c = event.character;
  uint8_t code = c;
  if (c == key::Backspace && event.modifiers.ctrl) code = key::CtrlBackspace;
  if (c == key::Enter && event.modifiers.ctrl) code = key::CtrlEnter;
  queueCode(code, event.modifiers);
}

void Console::onKeyDown(const HostEvent& event) { handleKeyDown(event); }

void Console::onSystemKeyDown(const HostEvent& event) {
  // While Break is checked, Alt combinations belong to the window system, except Alt+Left/Right.
  if (breakCheck_ && event.virtualKey != vk::Left && event.virtualKey != vk::Right) return;
  handleKeyDown(event);
}

void Console::handleKeyDown(const HostEvent& event) {
  const int key = event.virtualKey;
  const platform::Modifiers& mods = event.modifiers;
  if (breakCheck_ && key == vk::Cancel) endWithStatus(255);

  if (mods.alt) {
    if (mods.ctrl && key == vk::F12) {
      setBrailleMode(0);
      return;
    }
    if (mods.ctrl && key == vk::F1 + 10) {
      setBrailleMode(brailleMode_ + 1);
      return;
    }
    if (isLetterKey(key) || isDigitKey(key)) {
      if (queueCount_ > QueueCapacity - 2) return keyLost();
      uint8_t code;
      if (isLetterKey(key)) {
        code = extended::AltLetters[key - vk::LetterA];
      } else {
        const int digit = key - vk::Digit0;
        code = static_cast<uint8_t>(digit == 0 ? extended::AltDigit0 : extended::AltDigit1 - 1 + digit);
      }
      queueCode(key::Extended, mods);
      queueCode(code, mods);
      return;
    }
  }

  if (!mods.ctrl && brailleMode_ != 0) {
    if (int bit = chordBit(key)) {
      chord_ |= bit;
      keysHeld_ |= bit;
      return;
    }
  }

  const KeyCodes* entry = std::find_if(std::begin(kKeyTable), std::end(kKeyTable),
                                       [&](const KeyCodes& row) { return row.virtualKey == key; });
  if (entry == std::end(kKeyTable)) return;
  if (queueCount_ > QueueCapacity - 2) return keyLost();
  uint8_t code = entry->plain;
  if (mods.ctrl) code = entry->withCtrl;
  else if (key == vk::Insert && mods.shift) code = extended::ShiftInsert;
  queueCode(key::Extended, mods);
  queueCode(code, mods);
}

void Console::clearBrailleFlags() {
  numberFlag_ = false;
  capitalNext_ = false;
  capitalsLock_ = false;
}

void Console::onKeyUp(const HostEvent& event) {
  if (brailleMode_ == 0) return;
  const int key = event.virtualKey;
  if (event.modifiers.ctrl || (key != vk::Space && !isLetterKey(key))) {
    clearBrailleFlags();
    return;
  }
  keysHeld_ &= ~chordBit(key);
  if (keysHeld_ != 0) return;
  endBrailleCell(event);
}

void Console::endBrailleCell(const HostEvent& event) {
  uint8_t c;
  if (chord_ & kSpaceBit) {
    clearBrailleFlags();
    // Space with dots types the control code of the cell's letter (space+a is 1).
    c = chord_ == kSpaceBit ? ' ' : static_cast<uint8_t>(kBrailleCells[chord_ & 63] & 31);
  } else {
    c = kBrailleCells[chord_ & 63];
    if (brailleMode_ == 2) c = applySignRules(c);
  }
  if (c != kNoCharacter) queueCode(c, event.modifiers);
  chord_ = 0;
}

uint8_t Console::applySignRules(uint8_t c) {
  if (numberFlag_) {
    if (c == '\'') c = '.';
    else if (c >= 'a' && c <= 'i') c = static_cast<uint8_t>('1' + (c - 'a'));
    else if (c == 'j') c = '0';
    else if (c == '~') numberFlag_ = false;
  }
  if ((capitalNext_ || capitalsLock_) && c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
  if (c == kNumberSign) {
    numberFlag_ = true;
    return kNoCharacter;
  }
  if (c == kCapitalSign) {
    if (capitalNext_) capitalsLock_ = true;
    capitalNext_ = true;
    return kNoCharacter;
  }
  capitalNext_ = false;
  return c;
}

void Console::setBrailleMode(int mode) {
  if (mode > 2) mode = 1;
  if (mode < 0) mode = 0;
  // Chords are made of key releases; a host that reports none cannot type braille.
  if (mode != 0 && !host_.reportsKeyUps()) return;
  auto signal = [this](uint16_t frequency) {
    startTone(frequency);
    delayMs(200);
    stopTone();
  };
  if (mode == 0) {
    chord_ = 0;
    keysHeld_ = 0;
    clearBrailleFlags();
    if (brailleMode_ != 0) signal(100);
  } else {
    signal(800);
    signal(mode == 1 ? 1600 : 400);
  }
  brailleMode_ = mode;
}

void Console::pumpConsoleMessages() {
  while (std::optional<HostEvent> event = host_.pollEvent()) handleEvent(*event);
}

void Console::pumpAllMessages() { pumpConsoleMessages(); }

bool Console::keyPressed() {
  ensureConsoleWindow();
  pumpAllMessages();
  return queueCount_ > 0;
}

void Console::showCaret() {
  // Asked for even without the focus: the host shows it when the focus arrives during the wait.
  if (caretShown_) return;
  host_.setCaret(true, caretColumn(), row_);
  caretShown_ = true;
}

void Console::hideCaret() {
  if (!caretShown_) return;
  host_.setCaret(false, caretColumn(), row_);
  caretShown_ = false;
}

uint8_t Console::readKey() {
  if (!keyPressed()) {
    waitingForKey_ = true;
    showCaret();
    waitWhile(WaitSteps::messages(), [this] { return queueCount_ == 0; });
    hideCaret();
    waitingForKey_ = false;
  }
  const uint8_t code = queue_[0];
  lastKeyModifiers_ = queueModifiers_[0];
  for (int i = 1; i < queueCount_; ++i) {
    queue_[i - 1] = queue_[i];
    queueModifiers_[i - 1] = queueModifiers_[i];
  }
  --queueCount_;
  releaseHeldPaste();
  return code;
}

void Console::waitRound(const WaitSteps& steps) {
  if (steps.pauseMs) {
    // A pause handles nothing while it lasts (the headless clock jumps over it), only afterwards.
    host_.sleepMs(*steps.pauseMs);
    pumpAllMessages();
    pumpConsoleMessages();
  } else {
    host_.waitForEvent();
    pumpAllMessages();
  }
}

void Console::waitWhile(WaitSteps steps, const std::function<bool()>& going) {
  uint64_t pausedMs = 0;
  auto anotherPauseFits = [&] {
    return !steps.pauseMs || steps.limitMs == WaitSteps::NoLimit || pausedMs + *steps.pauseMs <= steps.limitMs;
  };
  // The limit is looked at before `going`: a wait whose time is up asks nothing more.
  while (anotherPauseFits() && going()) {
    waitRound(steps);
    if (steps.pauseMs) pausedMs += *steps.pauseMs;
  }
}

std::string Console::readConsoleLine(size_t capacity) {
  std::string line;
  // Room is kept for the carriage return and line feed that end the line.
  const size_t limit = capacity >= 2 ? capacity - 2 : 0;
  for (;;) {
    const uint8_t code = readKey();
    if (code == key::Enter) break;
    if (code == key::Backspace) {
      if (!line.empty()) {
        line.pop_back();
        writeToConsole("\b");
      }
    } else if (code >= key::FirstCharacter && line.size() < limit) {
      line.push_back(static_cast<char>(code));
      writeToConsole(std::string_view(line).substr(line.size() - 1));
    }
  }
  line += "\r\n";
  writeToConsole("\r\n");
  return line;
}

void Console::setWaveDoneHandler(std::function<void(uint64_t cookie)> handler) {
  waveDoneHandler_ = std::move(handler);
}

void Console::endWithStatus(int status) {
  hideCaret();
  throw platform::ProgramExit{status};
}

}  // namespace kaldro::console

// The key script of the headless host: parsing its lines, and turning a key into the notifications a window delivers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host.h"

namespace kaldro::platform {

// One key of the keyboard with the modifiers held while it is pressed.
struct KeyStroke {
  int virtualKey = 0;
  Modifiers modifiers;
  // The CP1252 character the key types without and with Shift; 0 when it types none.
  uint8_t plainCharacter = 0;
  uint8_t shiftedCharacter = 0;
  bool operator==(const KeyStroke&) const = default;
};

enum class ScriptAction : uint8_t {
  Type,      // text: each character typed
  Press,     // key: key-down, character, key-up
  Down,      // key: key-down only
  Up,        // key: key-up only
  Clip,      // text: the clipboard's new contents
  Close,     // the user closes the window
};

struct ScriptStep {
  ScriptAction action = ScriptAction::Press;
  KeyStroke key;
  std::string text;  // CP1252
  // Set by a "wait MS" before this step: it comes MS ms after the previous step, busy or not.
  std::optional<uint32_t> delayMs;
  int line = 0;  // 1-based, for messages
};

struct ScriptFault {
  int line = 0;
  std::string message;  // Portuguese
};

struct KeyScript {
  std::vector<ScriptStep> steps;
  std::optional<ScriptFault> fault;  // the first malformed line; steps are then incomplete
};

KeyScript parseKeyScript(std::string_view utf8Text);

// "[MODS+]NAME" as a key, or nothing when a modifier or the name is unknown.
std::optional<KeyStroke> parseKeyName(std::string_view text);

// The notifications of one press (down, the character if any, up), one down, or one up.
// Alt+F4 also brings the close request that the window system makes of it.
enum class KeyPhase : uint8_t { Press, DownOnly, UpOnly };
std::vector<HostEvent> expandKey(const KeyStroke& key, KeyPhase phase);

// The character a key-down produces with the key's modifiers, as the window translates it.
std::optional<uint8_t> characterOfKey(const KeyStroke& key);

// Whether the key-down is reported as a system key (Alt without Ctrl, or F10 without Ctrl).
bool isSystemKeyDown(const KeyStroke& key);

// The notifications every host makes of keys: a key going down (as a system key where it is one),
// a character typed, a key coming up.
HostEvent keyDownEvent(const KeyStroke& key, bool repeat = false);
HostEvent characterEvent(uint8_t character, Modifiers modifiers, bool repeat = false);
HostEvent keyUpEvent(int virtualKey, Modifiers modifiers);

}  // namespace kaldro::platform

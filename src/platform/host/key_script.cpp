// The key script: one event a line, parsed into steps; keys expanded into a window's notifications.
#include "platform/host/key_script.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/profile.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::platform {

namespace {

struct NamedKey {
  std::string_view name;
  int virtualKey;
  uint8_t plainCharacter;
  uint8_t shiftedCharacter;
};

// Keys named by a word. Cursor and editing keys type nothing; the control keys type their codes.
constexpr std::array<NamedKey, 16> kNamedKeys{{
    {"Space", vk::Space, ' ', ' '},
    {"Enter", vk::Return, '\r', '\r'},
    {"Escape", vk::Escape, 0x1B, 0x1B},
    {"Tab", vk::Tab, '\t', '\t'},
    {"Backspace", vk::Back, '\b', '\b'},
    {"Up", vk::Up, 0, 0},
    {"Down", vk::Down, 0, 0},
    {"Left", vk::Left, 0, 0},
    {"Right", vk::Right, 0, 0},
    {"Home", vk::Home, 0, 0},
    {"End", vk::End, 0, 0},
    {"PageUp", vk::Prior, 0, 0},
    {"PageDown", vk::Next, 0, 0},
    {"Insert", vk::Insert, 0, 0},
    {"Delete", vk::Delete, 0, 0},
    {"Break", vk::Cancel, 0, 0},
}};

// The US layout's symbols on Shift with the digits 0..9.
constexpr std::string_view kShiftedDigits = ")!@#$%^&*(";

// Characters that Ctrl turns into a control code besides the letters (US layout).
struct ControlCharacter {
  int virtualKey;
  uint8_t plainCharacter;  // tells the punctuation keys apart (all are vk::Oem)
  uint8_t code;
};
constexpr std::array<ControlCharacter, 7> kControlCharacters{{
    {vk::Oem, '[', 27},
    {vk::Oem, '\\', 28},
    {vk::Oem, ']', 29},
    {vk::Space, ' ', ' '},
    {vk::Return, '\r', '\r'},  // the console makes Ctrl+Enter a line feed itself
    {vk::Back, '\b', '\b'},    // and Ctrl+Backspace 127
    {vk::Escape, 0x1B, 0x1B},
}};

constexpr int kF4 = vk::F1 + 3;
constexpr int kF10 = vk::F1 + 9;

constexpr uint32_t kLongestWaitMs = 86'400'000;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::optional<Modifiers> addModifier(Modifiers modifiers, std::string_view name) {
  if (equalsIgnoringCase(name, "Ctrl")) {
    modifiers.ctrl = true;
  } else if (equalsIgnoringCase(name, "Alt")) {
    modifiers.alt = true;
  } else if (equalsIgnoringCase(name, "Shift")) {
    modifiers.shift = true;
  } else {
    return std::nullopt;
  }
  return modifiers;
}

std::optional<KeyStroke> keyOfName(std::string_view name) {
  if (name.empty()) return std::nullopt;
  for (const NamedKey& named : kNamedKeys) {
    if (equalsIgnoringCase(name, named.name)) {
      KeyStroke key{named.virtualKey, {}, named.plainCharacter, named.shiftedCharacter};
      if (named.virtualKey == vk::Cancel) key.modifiers.ctrl = true;  // Break is Ctrl+Pause
      return key;
    }
  }
  if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
    int number = 0;
    for (char c : name.substr(1)) {
      if (c < '0' || c > '9') return std::nullopt;
      number = number * 10 + (c - '0');
      if (number > 12) return std::nullopt;
    }
    if (number < 1 || name[1] == '0') return std::nullopt;
    return KeyStroke{vk::F1 + number - 1, {}, 0, 0};
  }
  // One printable character.
  size_t length = 0;
  std::optional<char32_t> codePoint = decodeUtf8(name, 0, length);
  if (name.empty() || !codePoint || length != name.size()) return std::nullopt;
  char32_t c = *codePoint;
  if (c >= 'a' && c <= 'z') c = c - 'a' + 'A';
  if (c >= 'A' && c <= 'Z') {
    auto upper = static_cast<uint8_t>(c);
    return KeyStroke{vk::LetterA + (upper - 'A'), {}, static_cast<uint8_t>(upper - 'A' + 'a'), upper};
  }
  if (c >= '0' && c <= '9') {
    auto digit = static_cast<uint8_t>(c);
    return KeyStroke{vk::Digit0 + (digit - '0'), {}, digit, static_cast<uint8_t>(kShiftedDigits[digit - '0'])};
  }
  if (c == ' ') return KeyStroke{vk::Space, {}, ' ', ' '};
  if (c < 0x21 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) return std::nullopt;
  std::optional<unsigned char> byte = codePointToCp1252(c);
  if (!byte) return std::nullopt;
  return KeyStroke{vk::Oem, {}, *byte, *byte};
}

std::string unescapeClip(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[i + 1];
      char replacement = next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next == '\\' ? '\\' : 0;
      if (replacement != 0) {
        out.push_back(replacement);
        ++i;
        continue;
      }
    }
    // Any other backslash stays as written (Windows paths in a clipboard text).
    out.push_back(text[i]);
  }
  return out;
}

// The typed text as CP1252, or the fault of its first character that CP1252 cannot hold.
std::optional<std::string> typedText(std::string_view utf8, std::string& fault) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    size_t length = 0;
    std::optional<char32_t> codePoint = decodeUtf8(utf8, i, length);
    if (!codePoint) {  // not UTF-8: the byte is read as Latin-1, as in every text file
      out.push_back(utf8[i]);
      ++i;
      continue;
    }
    std::optional<unsigned char> byte = codePointToCp1252(*codePoint);
    if (!byte) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*codePoint));
      fault = words::KeyScriptOutsideLatin1.utf8({utf8.substr(i, length), code});
      return std::nullopt;
    }
    out.push_back(static_cast<char>(*byte));
    i += length;
  }
  return out;
}

std::optional<uint32_t> parseMilliseconds(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value;
}

}  // namespace

std::optional<KeyStroke> parseKeyName(std::string_view text) {
  Modifiers modifiers;
  std::string_view rest = trim(text);
  // "Ctrl++" is Ctrl with the plus key: a '+' only separates when something follows it.
  for (size_t plus = rest.find('+', 1); plus != std::string_view::npos && plus + 1 < rest.size();
       plus = rest.find('+', 1)) {
    std::optional<Modifiers> more = addModifier(modifiers, rest.substr(0, plus));
    if (!more) break;
    modifiers = *more;
    rest = rest.substr(plus + 1);
  }
  std::optional<KeyStroke> key = keyOfName(rest);
  if (!key) return std::nullopt;
  key->modifiers.ctrl = key->modifiers.ctrl || modifiers.ctrl;
  key->modifiers.alt = modifiers.alt;
  key->modifiers.shift = modifiers.shift;
  return key;
}

// One line's action other than wait into step; the fault, or "".
static std::string parseStep(std::string_view verb, std::string_view argument, ScriptStep& step) {
  if (equalsIgnoringCase(verb, "type")) {
    if (argument.empty()) return words::KeyScriptTypeWithoutText.utf8();
    std::string fault;
    std::optional<std::string> text = typedText(argument, fault);
    if (!text) return fault;
    step.action = ScriptAction::Type;
    step.text = std::move(*text);
  } else if (equalsIgnoringCase(verb, "key") || equalsIgnoringCase(verb, "down") || equalsIgnoringCase(verb, "up")) {
    std::string_view name = trim(argument);
    if (name.empty()) return words::KeyScriptKeyWithoutName.utf8({verb});
    std::optional<KeyStroke> key = parseKeyName(name);
    if (!key) return words::KeyScriptUnknownKey.utf8({name});
    step.action = equalsIgnoringCase(verb, "key")    ? ScriptAction::Press
                  : equalsIgnoringCase(verb, "down") ? ScriptAction::Down
                                                     : ScriptAction::Up;
    step.key = *key;
  } else if (equalsIgnoringCase(verb, "clip")) {
    step.action = ScriptAction::Clip;
    step.text = utf8ToCp1252(unescapeClip(argument));
  } else if (equalsIgnoringCase(verb, "close")) {
    if (!trim(argument).empty()) return words::KeyScriptCloseAlone.utf8();
    step.action = ScriptAction::Close;
  } else {
    return words::KeyScriptUnknownCommand.utf8({verb});
  }
  return "";
}

KeyScript parseKeyScript(std::string_view utf8Text) {
  KeyScript script;
  std::optional<uint32_t> pendingDelay;
  int lineNumber = 0;
  auto fail = [&](std::string message) {
    script.fault = ScriptFault{lineNumber, std::move(message)};
    return script;
  };

  std::string_view rest = utf8Text;
  while (!rest.empty()) {
    ++lineNumber;
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::string_view content = line;
    while (!content.empty() && isBlank(content.front())) content.remove_prefix(1);
    if (trim(content).empty() || content.front() == '#') continue;

    size_t space = content.find(' ');
    std::string_view verb = content.substr(0, space);
    bool hasArgument = space != std::string_view::npos;
    std::string_view argument = hasArgument ? content.substr(space + 1) : std::string_view();

    if (equalsIgnoringCase(verb, "wait")) {
      std::optional<uint32_t> ms = parseMilliseconds(trim(argument));
      if (!ms) return fail(words::KeyScriptBadWait.utf8({trim(argument)}));
      // Waits add up, held below a day of virtual time however many there are.
      pendingDelay = std::min<uint32_t>(pendingDelay.value_or(0) + *ms, kLongestWaitMs);
      continue;
    }
    ScriptStep step;
    step.line = lineNumber;
    if (std::string fault = parseStep(verb, argument, step); !fault.empty()) return fail(fault);
    step.delayMs = pendingDelay;
    pendingDelay.reset();
    script.steps.push_back(std::move(step));
  }
  return script;
}

bool isSystemKeyDown(const KeyStroke& key) {
  return !key.modifiers.ctrl && (key.modifiers.alt || key.virtualKey == kF10);
}

std::optional<uint8_t> characterOfKey(const KeyStroke& key) {
  // Alt alone makes a system key; Ctrl+Alt types nothing on the US layout.
  if (key.modifiers.alt) return std::nullopt;
  if (key.modifiers.ctrl) {
    if (key.virtualKey >= vk::LetterA && key.virtualKey < vk::LetterA + 26)
      return static_cast<uint8_t>(key.virtualKey - vk::LetterA + 1);
    for (const ControlCharacter& control : kControlCharacters)
      if (control.virtualKey == key.virtualKey && control.plainCharacter == key.plainCharacter) return control.code;
    return std::nullopt;
  }
  uint8_t character = key.modifiers.shift ? key.shiftedCharacter : key.plainCharacter;
  if (character == 0) return std::nullopt;
  return character;
}

HostEvent keyDownEvent(const KeyStroke& key, bool repeat) {
  HostEvent down;
  down.kind = isSystemKeyDown(key) ? EventKind::SystemKeyDown : EventKind::KeyDown;
  down.virtualKey = key.virtualKey;
  down.modifiers = key.modifiers;
  down.repeat = repeat;
  return down;
}

HostEvent characterEvent(uint8_t character, Modifiers modifiers, bool repeat) {
  HostEvent typed;
  typed.kind = EventKind::Character;
  typed.character = character;
  typed.modifiers = modifiers;
  typed.repeat = repeat;
  return typed;
}

HostEvent keyUpEvent(int virtualKey, Modifiers modifiers) {
  HostEvent up;
  up.kind = EventKind::KeyUp;
  up.virtualKey = virtualKey;
  up.modifiers = modifiers;
  return up;
}

std::vector<HostEvent> expandKey(const KeyStroke& key, KeyPhase phase) {
  std::vector<HostEvent> events;
  if (phase != KeyPhase::UpOnly) {
    events.push_back(keyDownEvent(key));
    // Alt+F4 is the window system's own: it closes the window (the console never sees it as a key).
    if (events.back().kind == EventKind::SystemKeyDown && key.modifiers.alt && key.virtualKey == kF4) {
      HostEvent close;
      close.kind = EventKind::CloseRequest;
      events.push_back(close);
    }
  }
  if (phase == KeyPhase::Press) {
    if (std::optional<uint8_t> character = characterOfKey(key))
      events.push_back(characterEvent(*character, key.modifiers));
  }
  if (phase != KeyPhase::DownOnly) events.push_back(keyUpEvent(key.virtualKey, key.modifiers));
  return events;
}

}  // namespace kaldro::platform

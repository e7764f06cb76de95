// Decoding of terminal key bytes: control bytes, UTF-8, Alt as an Escape prefix, and the CSI and
// SS3 sequences of xterm, tmux and the Linux console.
#include "platform/host/terminal_keys.h"

#include "platform/decimal.h"
#include "platform/host/key_script.h"
#include "platform/text.h"

namespace kaldro::platform {

namespace {

constexpr uint8_t kEscape = 0x1B;

// What one byte (or one decoded character) stands for: a key, its modifiers and what it types.
struct TypedKey {
  int virtualKey = 0;
  Modifiers modifiers;
  std::optional<uint8_t> character;
};

void appendPress(std::vector<HostEvent>& out, int virtualKey, Modifiers modifiers, std::optional<uint8_t> character) {
  out.push_back(keyDownEvent(KeyStroke{virtualKey, modifiers, 0, 0}));
  // A window types nothing while Alt is held: Alt makes menu keys, Ctrl+Alt the console's Alt codes.
  if (character && !modifiers.alt) out.push_back(characterEvent(*character, modifiers));
}

void appendLost(std::vector<HostEvent>& out) {
  HostEvent lost;
  lost.kind = EventKind::LostCharacter;
  out.push_back(lost);
}

// A key reported by number (CSI u, or xterm's "modify other keys"): its character follows the
// window's rules for the modifiers, exactly as the headless host's key scripts type it.
void appendKeyOfCode(std::vector<HostEvent>& out, int code, Modifiers modifiers) {
  KeyStroke key;
  key.modifiers = modifiers;
  switch (code) {
    case 13: key = {vk::Return, modifiers, '\r', '\r'}; break;
    case 9: key = {vk::Tab, modifiers, '\t', '\t'}; break;
    case 27: key = {vk::Escape, modifiers, kEscape, kEscape}; break;
    case 8:
    case 127: key = {vk::Back, modifiers, '\b', '\b'}; break;
    case 32: key = {vk::Space, modifiers, ' ', ' '}; break;
    default:
      if (code >= 'A' && code <= 'Z') {
        code += 'a' - 'A';
        key.modifiers.shift = true;
      }
      if (code >= 'a' && code <= 'z') {
        auto lower = static_cast<uint8_t>(code);
        key = {vk::LetterA + (code - 'a'), key.modifiers, lower, static_cast<uint8_t>(lower - 'a' + 'A')};
      } else if (code >= '0' && code <= '9') {
        key = {vk::Digit0 + (code - '0'), key.modifiers, static_cast<uint8_t>(code), static_cast<uint8_t>(code)};
      } else if (code > 32 && code < 0x110000) {
        std::optional<unsigned char> byte = codePointToCp1252(static_cast<char32_t>(code));
        if (!byte || *byte < 0x21 || *byte == 0x7F) return;  // kitty's private keys and the like
        key = {vk::Oem, key.modifiers, *byte, *byte};
      } else {
        return;
      }
  }
  out.push_back(keyDownEvent(key));
  if (std::optional<uint8_t> character = characterOfKey(key)) out.push_back(characterEvent(*character, key.modifiers));
}

// The key behind one ASCII byte as a terminal sends it.
TypedKey keyOfByte(uint8_t byte) {
  TypedKey key;
  key.character = byte;
  switch (byte) {
    case 0x00:  // Ctrl+Space (or Ctrl+@)
      key.virtualKey = vk::Space;
      key.modifiers.ctrl = true;
      key.character = ' ';
      return key;
    case 0x08:  // terminals that keep 0x7F for Backspace send this for Ctrl+Backspace
      key.virtualKey = vk::Back;
      key.modifiers.ctrl = true;
      return key;
    case 0x09: key.virtualKey = vk::Tab; return key;
    case 0x0D: key.virtualKey = vk::Return; return key;
    case kEscape: key.virtualKey = vk::Escape; return key;
    case 0x7F:
      key.virtualKey = vk::Back;
      key.character = '\b';
      return key;
    case 0x1C:
    case 0x1D:  // Ctrl+\ and Ctrl+]
      key.virtualKey = vk::Oem;
      key.modifiers.ctrl = true;
      return key;
    case 0x1E:  // Ctrl+^ (Ctrl+Shift+6)
      key.virtualKey = vk::Digit0 + 6;
      key.modifiers.ctrl = key.modifiers.shift = true;
      return key;
    case 0x1F:  // Ctrl+_ (Ctrl+Shift+-)
      key.virtualKey = vk::Oem;
      key.modifiers.ctrl = key.modifiers.shift = true;
      return key;
    default: break;
  }
  if (byte < 0x20) {  // Ctrl+A .. Ctrl+Z
    key.virtualKey = vk::LetterA + byte - 1;
    key.modifiers.ctrl = true;
  } else if (byte == ' ') {
    key.virtualKey = vk::Space;
  } else if (byte >= 'a' && byte <= 'z') {
    key.virtualKey = vk::LetterA + (byte - 'a');
  } else if (byte >= 'A' && byte <= 'Z') {
    key.virtualKey = vk::LetterA + (byte - 'A');
    key.modifiers.shift = true;
  } else if (byte >= '0' && byte <= '9') {
    key.virtualKey = vk::Digit0 + (byte - '0');
  } else {
    key.virtualKey = vk::Oem;
  }
  return key;
}

int utf8Length(uint8_t lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// One character that is not a sequence: ASCII, UTF-8, or a lone byte of a Latin-1 terminal.
// Returns the bytes used, or 0 while a UTF-8 character is still arriving.
size_t decodeCharacter(std::string_view s, bool timedOut, bool alt, std::vector<HostEvent>& out) {
  auto byte = static_cast<uint8_t>(s[0]);
  if (byte < 0x80) {
    TypedKey key = keyOfByte(byte);
    key.modifiers.alt = alt;
    appendPress(out, key.virtualKey, key.modifiers, key.character);
    return 1;
  }
  Modifiers modifiers;
  modifiers.alt = alt;
  const size_t needed = utf8Length(byte);
  size_t present = 1;
  while (present < needed && present < s.size() && (static_cast<uint8_t>(s[present]) & 0xC0) == 0x80) ++present;
  const bool malformed = needed == 0 || (present < needed && present < s.size());
  if (malformed) {
    // A Latin-1 terminal sends the letter itself; C1 control bytes mean nothing here.
    if (byte >= 0xA0) appendPress(out, vk::Oem, modifiers, byte);
    return 1;
  }
  if (present < needed) {
    if (!timedOut) return 0;
    // Nothing followed in time: a Latin-1 terminal's letter, not the start of a UTF-8 one.
    if (byte >= 0xA0) appendPress(out, vk::Oem, modifiers, byte);
    return 1;
  }
  size_t length = 0;
  std::optional<char32_t> codePoint = decodeUtf8(s, 0, length);
  if (!codePoint) return needed;
  std::optional<unsigned char> cp1252 = codePointToCp1252(*codePoint);
  if (*codePoint < 0xA0) return needed;  // a C1 control is no character
  if (!cp1252) {
    appendLost(out);  // no key types it: the console beeps
  } else {
    appendPress(out, vk::Oem, modifiers, *cp1252);
  }
  return needed;
}

Modifiers modifiersOfParameter(int parameter) {
  // xterm's rule: 1 + Shift 1 + Alt 2 + Ctrl 4 (+ Meta 8, taken as Alt).
  Modifiers modifiers;
  if (parameter < 2) return modifiers;
  const int bits = parameter - 1;
  modifiers.shift = (bits & 1) != 0;
  modifiers.alt = (bits & 2) != 0 || (bits & 8) != 0;
  modifiers.ctrl = (bits & 4) != 0;
  return modifiers;
}

std::optional<int> cursorKeyOfFinal(char final) {
  switch (final) {
    case 'A': return vk::Up;
    case 'B': return vk::Down;
    case 'C': return vk::Right;
    case 'D': return vk::Left;
    case 'H': return vk::Home;
    case 'F': return vk::End;
    case 'P': return vk::F1;
    case 'Q': return vk::F1 + 1;
    case 'R': return vk::F1 + 2;
    case 'S': return vk::F1 + 3;
    default: return std::nullopt;
  }
}

struct NumberedKey {
  int number;
  int virtualKey;
  bool shift;  // vt220 F13..F20, which terminals send for Shift+F3..F10
};

constexpr NumberedKey kNumberedKeys[] = {
    {1, vk::Home, false},      {2, vk::Insert, false},     {3, vk::Delete, false},     {4, vk::End, false},
    {5, vk::Prior, false},     {6, vk::Next, false},       {7, vk::Home, false},       {8, vk::End, false},
    {11, vk::F1, false},       {12, vk::F1 + 1, false},    {13, vk::F1 + 2, false},    {14, vk::F1 + 3, false},
    {15, vk::F1 + 4, false},   {17, vk::F1 + 5, false},    {18, vk::F1 + 6, false},    {19, vk::F1 + 7, false},
    {20, vk::F1 + 8, false},   {21, vk::F1 + 9, false},    {23, vk::F1 + 10, false},   {24, vk::F1 + 11, false},
    {25, vk::F1 + 2, true},    {26, vk::F1 + 3, true},     {28, vk::F1 + 4, true},     {29, vk::F1 + 5, true},
    {31, vk::F1 + 6, true},    {32, vk::F1 + 7, true},     {33, vk::F1 + 8, true},     {34, vk::F1 + 9, true},
};

// A complete CSI sequence: its parameter bytes and its final byte.
void interpretCsi(std::string_view parameters, char final, bool alt, std::vector<HostEvent>& out) {
  // Private markers begin replies and mouse reports, which are no keys.
  if (!parameters.empty() && (parameters[0] == '<' || parameters[0] == '=' || parameters[0] == '>' || parameters[0] == '?'))
    return;
  std::vector<int> values;  // -1 where a parameter is left out
  int current = -1;
  bool inSubParameter = false;
  for (char c : parameters) {
    if (c == ';') {
      values.push_back(current);
      current = -1;
      inSubParameter = false;
    } else if (c == ':') {
      inSubParameter = true;  // kitty's alternates: the first value is the key
    } else if (c >= '0' && c <= '9' && !inSubParameter) {
      current = (current < 0 ? 0 : current) * 10 + (c - '0');
      if (current > 0x10FFFF) current = 0x10FFFF;
    }
  }
  values.push_back(current);
  auto parameter = [&](size_t index, int fallback) {
    return index < values.size() && values[index] >= 0 ? values[index] : fallback;
  };
  Modifiers modifiers = modifiersOfParameter(parameter(1, 1));
  modifiers.alt = modifiers.alt || alt;

  if (std::optional<int> key = cursorKeyOfFinal(final)) {
    appendPress(out, *key, modifiers, std::nullopt);
    return;
  }
  if (final == 'Z') {  // back tab
    modifiers.shift = true;
    appendPress(out, vk::Tab, modifiers, '\t');
    return;
  }
  if (final == 'u') {
    appendKeyOfCode(out, parameter(0, 0), modifiers);
    return;
  }
  if (final != '~') return;  // focus reports, the keypad's centre key and the like
  const int number = parameter(0, 0);
  if (number == 27) {  // xterm: ESC [ 27 ; modifiers ; code ~
    appendKeyOfCode(out, parameter(2, 0), modifiers);
    return;
  }
  for (const NumberedKey& key : kNumberedKeys) {
    if (key.number != number) continue;
    modifiers.shift = modifiers.shift || key.shift;
    appendPress(out, key.virtualKey, modifiers, std::nullopt);
    return;
  }
}

size_t decodeKey(std::string_view s, bool timedOut, std::vector<HostEvent>& out);

// s begins with ESC [.
size_t decodeCsi(std::string_view s, bool timedOut, bool alt, std::vector<HostEvent>& out) {
  if (s.size() == 2) {
    if (!timedOut) return 0;
    return 1 + decodeCharacter(s.substr(1), true, true, out);  // Alt+[
  }
  if (s[2] == '[') {  // the Linux console's F1..F5
    if (s.size() == 3) return timedOut ? 3 : 0;
    if (s[3] >= 'A' && s[3] <= 'E') {
      Modifiers modifiers;
      modifiers.alt = alt;
      appendPress(out, vk::F1 + (s[3] - 'A'), modifiers, std::nullopt);
    }
    return 4;
  }
  size_t i = 2;
  while (i < s.size() && s[i] >= 0x30 && s[i] <= 0x3F) ++i;
  const size_t parametersEnd = i;
  while (i < s.size() && s[i] >= 0x20 && s[i] <= 0x2F) ++i;
  if (i == s.size()) return timedOut ? i : 0;
  if (s[i] < 0x40 || s[i] > 0x7E) return i;  // broken off by a stray byte: the stray byte is a key of its own
  interpretCsi(s.substr(2, parametersEnd - 2), s[i], alt, out);
  return i + 1;
}

// s begins with ESC O.
size_t decodeSs3(std::string_view s, bool timedOut, bool alt, std::vector<HostEvent>& out) {
  if (s.size() == 2) {
    if (!timedOut) return 0;
    return 1 + decodeCharacter(s.substr(1), true, true, out);  // Alt+Shift+O
  }
  size_t i = 2;
  // Old xterms put the modifiers here: ESC O 5 P. Only the low bits mean anything.
  int parameter = 0;
  if (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    const Decimal digits = readDecimal(s, i);
    i = digits.end;
    parameter = clampToInt(digits.value, 0, 255);
  }
  if (i == s.size()) return timedOut ? i : 0;
  Modifiers modifiers = modifiersOfParameter(parameter);
  modifiers.alt = modifiers.alt || alt;
  if (std::optional<int> key = cursorKeyOfFinal(s[i])) {
    appendPress(out, *key, modifiers, std::nullopt);
  } else if (s[i] == 'M') {  // the keypad's Enter
    appendPress(out, vk::Return, modifiers, '\r');
  }
  return i + 1;
}

// Decodes the key at the start of s. Returns the bytes it used (a sequence that means no key is
// used up and dropped), or 0 when s may be the beginning of a key still arriving.
size_t decodeKey(std::string_view s, bool timedOut, std::vector<HostEvent>& out) {
  if (static_cast<uint8_t>(s[0]) != kEscape) return decodeCharacter(s, timedOut, false, out);
  if (s.size() == 1) {
    if (!timedOut) return 0;
    appendPress(out, vk::Escape, {}, kEscape);
    return 1;
  }
  if (s[1] == '[') return decodeCsi(s, timedOut, false, out);
  if (s[1] == 'O') return decodeSs3(s, timedOut, false, out);
  if (static_cast<uint8_t>(s[1]) == kEscape) {
    // Escape pressed twice while the program was busy: two Escapes, never a lost one.
    appendPress(out, vk::Escape, {}, kEscape);
    return 1;
  }
  // Alt+key: the terminal sends ESC before what the key types.
  const size_t used = decodeCharacter(s.substr(1), timedOut, true, out);
  return used == 0 ? 0 : used + 1;
}

constexpr std::string_view kPasteStart = "\x1b[200~";
constexpr std::string_view kPasteEnd = "\x1b[201~";

void appendPasted(std::vector<HostEvent>& out, uint8_t character) {
  HostEvent event = characterEvent(character, {});
  event.pasted = true;
  out.push_back(event);
}

// Pasted text up to its end marker: characters only, each line end one Enter. Returns the bytes
// used; an unfinished character or line end, or what may begin the end marker, waits for more.
size_t decodePaste(std::string_view s, bool timedOut, std::vector<HostEvent>& out) {
  size_t i = 0;
  while (i < s.size()) {
    const auto byte = static_cast<uint8_t>(s[i]);
    if (byte == kEscape) {
      if (s.substr(i).starts_with(kPasteEnd)) return i;
      if (!timedOut && kPasteEnd.starts_with(s.substr(i))) return i;
      appendLost(out);  // a control key inside a paste types nothing
      ++i;
    } else if (byte == '\r' || byte == '\n') {
      if (byte == '\r' && i + 1 == s.size() && !timedOut) return i;
      appendPasted(out, '\r');
      i += byte == '\r' && i + 1 < s.size() && s[i + 1] == '\n' ? 2 : 1;
    } else if (byte == '\t' || (byte >= 0x20 && byte < 0x7F)) {
      appendPasted(out, byte);
      ++i;
    } else if (byte < 0x80) {
      appendLost(out);
      ++i;
    } else {
      const size_t needed = static_cast<size_t>(utf8Length(byte));
      if (needed > 1 && i + needed > s.size() && !timedOut) {
        bool prefix = true;  // the rest of a UTF-8 character may still be coming
        for (size_t k = i + 1; k < s.size(); ++k) prefix = prefix && (static_cast<uint8_t>(s[k]) & 0xC0) == 0x80;
        if (prefix) return i;
      }
      size_t length = 0;
      std::optional<char32_t> codePoint = decodeUtf8(s, i, length);
      if (!codePoint) {  // a Latin-1 terminal's letter
        if (byte >= 0xA0) appendPasted(out, byte);
        else appendLost(out);
        ++i;
        continue;
      }
      std::optional<unsigned char> cp1252 = codePointToCp1252(*codePoint);
      if (cp1252 && *codePoint >= 0xA0) appendPasted(out, *cp1252);
      else appendLost(out);
      i += length;
    }
  }
  return i;
}

}  // namespace

void TerminalKeyDecoder::feed(std::string_view bytes, int64_t nowMs, std::vector<HostEvent>& out) {
  if (!pending_.empty() && nowMs - lastArrivalMs_ >= EscapeTimeoutMs) decodePending(true, out);
  pending_.append(bytes);
  lastArrivalMs_ = nowMs;
  decodePending(false, out);
}

void TerminalKeyDecoder::expire(int64_t nowMs, std::vector<HostEvent>& out) {
  if (!pending_.empty() && nowMs - lastArrivalMs_ >= EscapeTimeoutMs) decodePending(true, out);
}

std::optional<int64_t> TerminalKeyDecoder::deadline() const {
  if (pending_.empty()) return std::nullopt;
  return lastArrivalMs_ + EscapeTimeoutMs;
}

void TerminalKeyDecoder::decodePending(bool timedOut, std::vector<HostEvent>& out) {
  size_t position = 0;
  while (position < pending_.size()) {
    const std::string_view rest = std::string_view(pending_).substr(position);
    if (inPaste_) {
      const size_t used = decodePaste(rest, timedOut, out);
      position += used;
      if (rest.substr(used).starts_with(kPasteEnd)) {
        inPaste_ = false;
        position += kPasteEnd.size();
        continue;
      }
      if (used == 0) break;
      continue;
    }
    if (rest.starts_with(kPasteStart)) {
      inPaste_ = true;
      position += kPasteStart.size();
      continue;
    }
    const size_t used = decodeKey(rest, timedOut, out);
    if (used == 0) break;
    position += used;
  }
  pending_.erase(0, position);
}

std::vector<HostEvent> decodeTerminalKeys(std::string_view bytes) {
  TerminalKeyDecoder decoder;
  std::vector<HostEvent> events;
  decoder.feed(bytes, 0, events);
  decoder.expire(TerminalKeyDecoder::EscapeTimeoutMs, events);
  return events;
}

}  // namespace kaldro::platform

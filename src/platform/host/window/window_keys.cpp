// SDL keys to window notifications: virtual keys, AltGr as Ctrl+Alt, control characters from key-downs.
#include "platform/host/window/window_keys.h"

#include "platform/host/key_script.h"
#include "platform/text.h"

namespace kaldro::platform {

namespace {

struct KeyOfSdl {
  SDL_Keycode sdl;
  int virtualKey;
};

constexpr KeyOfSdl kNamedKeys[] = {
    {SDLK_UP, vk::Up},         {SDLK_DOWN, vk::Down},       {SDLK_LEFT, vk::Left},     {SDLK_RIGHT, vk::Right},
    {SDLK_HOME, vk::Home},     {SDLK_END, vk::End},         {SDLK_PAGEUP, vk::Prior},  {SDLK_PAGEDOWN, vk::Next},
    {SDLK_INSERT, vk::Insert}, {SDLK_DELETE, vk::Delete},   {SDLK_RETURN, vk::Return}, {SDLK_RETURN2, vk::Return},
    {SDLK_KP_ENTER, vk::Return}, {SDLK_BACKSPACE, vk::Back}, {SDLK_TAB, vk::Tab},      {SDLK_ESCAPE, vk::Escape},
    {SDLK_SPACE, vk::Space},   {SDLK_PAUSE, vk::Pause},     {SDLK_LSHIFT, vk::Shift},  {SDLK_RSHIFT, vk::Shift},
    {SDLK_LCTRL, vk::Control}, {SDLK_RCTRL, vk::Control},   {SDLK_LALT, vk::Menu},     {SDLK_RALT, vk::Menu},
    {SDLK_MODE, vk::Menu},
};

// The keypad's keys as cursor keys, when Num Lock is off.
constexpr KeyOfSdl kKeypadCursorKeys[] = {
    {SDLK_KP_8, vk::Up},   {SDLK_KP_2, vk::Down},  {SDLK_KP_4, vk::Left},  {SDLK_KP_6, vk::Right},
    {SDLK_KP_7, vk::Home}, {SDLK_KP_1, vk::End},   {SDLK_KP_9, vk::Prior}, {SDLK_KP_3, vk::Next},
    {SDLK_KP_0, vk::Insert}, {SDLK_KP_PERIOD, vk::Delete},
};

constexpr SDL_Keycode kKeypadCharacterKeys[] = {
    SDLK_KP_0, SDLK_KP_1, SDLK_KP_2, SDLK_KP_3, SDLK_KP_4, SDLK_KP_5, SDLK_KP_6, SDLK_KP_7, SDLK_KP_8,
    SDLK_KP_9, SDLK_KP_PERIOD, SDLK_KP_COMMA, SDLK_KP_DIVIDE, SDLK_KP_MULTIPLY, SDLK_KP_MINUS, SDLK_KP_PLUS,
};

// The key as a key script names it, so that the character rules are the same on every host.
KeyStroke strokeOf(int virtualKey, SDL_Keycode sdl, Modifiers modifiers) {
  KeyStroke key{virtualKey, modifiers, 0, 0};
  switch (virtualKey) {
    case vk::Return: key.plainCharacter = key.shiftedCharacter = '\r'; break;
    case vk::Back: key.plainCharacter = key.shiftedCharacter = '\b'; break;
    case vk::Tab: key.plainCharacter = key.shiftedCharacter = '\t'; break;
    case vk::Escape: key.plainCharacter = key.shiftedCharacter = 0x1B; break;
    case vk::Space: key.plainCharacter = key.shiftedCharacter = ' '; break;
    default:
      if (virtualKey >= vk::LetterA && virtualKey < vk::LetterA + 26) {
        key.plainCharacter = static_cast<uint8_t>('a' + (virtualKey - vk::LetterA));
        key.shiftedCharacter = static_cast<uint8_t>('A' + (virtualKey - vk::LetterA));
      } else if (virtualKey == vk::Oem && sdl > 0x20 && sdl < 0x7F) {
        key.plainCharacter = key.shiftedCharacter = static_cast<uint8_t>(sdl);
      }
  }
  return key;
}

}  // namespace

std::optional<int> virtualKeyOfSdl(SDL_Keycode key, uint16_t modifierState) {
  if (key >= SDLK_a && key <= SDLK_z) return vk::LetterA + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return vk::Digit0 + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return vk::F1 + (key - SDLK_F1);
  for (const KeyOfSdl& named : kNamedKeys)
    if (named.sdl == key) return named.virtualKey;
  if (!(modifierState & KMOD_NUM)) {
    for (const KeyOfSdl& keypad : kKeypadCursorKeys)
      if (keypad.sdl == key) return keypad.virtualKey;
    if (key == SDLK_KP_5) return std::nullopt;  // the keypad's centre: no key the console knows
  }
  for (SDL_Keycode keypad : kKeypadCharacterKeys)
    if (keypad == key) return vk::Oem;
  // The layout's other character keys (punctuation, ç, dead accents) carry their character as code.
  if (key > 0x20 && key < 0x110000 && key != 0x7F) return vk::Oem;
  return std::nullopt;
}

Modifiers modifiersOfSdl(uint16_t modifierState) {
  Modifiers modifiers;
  modifiers.shift = (modifierState & KMOD_SHIFT) != 0;
  modifiers.ctrl = (modifierState & (KMOD_CTRL | KMOD_RALT | KMOD_MODE)) != 0;
  modifiers.alt = (modifierState & (KMOD_ALT | KMOD_MODE)) != 0;
  return modifiers;
}

void WindowKeyTranslator::keyDown(const SDL_Keysym& key, bool repeat, std::vector<HostEvent>& out) {
  // Windows typed nothing for a key with Ctrl or Left Alt; AltGr (right Alt) types the layout's third level.
  dropText_ = (key.mod & (KMOD_CTRL | KMOD_LALT)) != 0;
  std::optional<int> virtualKey = virtualKeyOfSdl(key.sym, key.mod);
  if (!virtualKey) return;
  const Modifiers modifiers = modifiersOfSdl(key.mod);
  if (*virtualKey == vk::Pause && modifiers.ctrl) virtualKey = vk::Cancel;  // Break
  const KeyStroke stroke = strokeOf(*virtualKey, key.sym, modifiers);

  out.push_back(keyDownEvent(stroke, repeat));

  // SDL's text input has no control characters: they come from the key-down, as Windows made them.
  const bool controlKey = *virtualKey == vk::Return || *virtualKey == vk::Back || *virtualKey == vk::Tab ||
                          *virtualKey == vk::Escape;
  if (!modifiers.ctrl && !controlKey) return;
  if (std::optional<uint8_t> character = characterOfKey(stroke))
    out.push_back(characterEvent(*character, modifiers, repeat));
}

void WindowKeyTranslator::keyUp(const SDL_Keysym& key, std::vector<HostEvent>& out) {
  dropText_ = false;  // a key's text comes right after its key-down or not at all
  std::optional<int> virtualKey = virtualKeyOfSdl(key.sym, key.mod);
  if (!virtualKey) return;
  // The modifiers as they are now: a modifier released first is already up, as on Windows.
  const Modifiers modifiers = modifiersOfSdl(key.mod);
  out.push_back(keyUpEvent(*virtualKey == vk::Pause && modifiers.ctrl ? vk::Cancel : *virtualKey, modifiers));
}

void WindowKeyTranslator::textInput(std::string_view utf8, uint16_t modifierState, std::vector<HostEvent>& out) {
  if (dropText_) {
    dropText_ = false;  // only the text of that one key: an input method's text may follow on its own
    return;
  }
  const Modifiers modifiers = modifiersOfSdl(modifierState);
  size_t position = 0;
  while (position < utf8.size()) {
    size_t length = 1;
    std::optional<char32_t> codePoint = decodeUtf8(utf8, position, length);
    position += length == 0 ? 1 : length;
    if (!codePoint || *codePoint < 0x20 || (*codePoint >= 0x7F && *codePoint < 0xA0)) continue;
    std::optional<unsigned char> byte = codePointToCp1252(*codePoint);
    if (!byte) {  // no CP1252 character: nothing typed, and the user hears so
      HostEvent lost;
      lost.kind = EventKind::LostCharacter;
      out.push_back(lost);
      continue;
    }
    out.push_back(characterEvent(*byte, modifiers));
  }
}

}  // namespace kaldro::platform

// SDL key and text events to window notifications, as a Windows window procedure received them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/event_text.h"
#include "platform/host/window/window_keys.h"

namespace kaldro::platform {
namespace {

SDL_Keysym keysym(SDL_Keycode key, uint16_t mod = KMOD_NONE) {
  SDL_Keysym sym{};
  sym.sym = key;
  sym.mod = mod;
  return sym;
}

// A key pressed: its key-down, then the text SDL reports for it (if any).
std::string press(SDL_Keycode key, uint16_t mod = KMOD_NONE, std::string_view text = {}) {
  WindowKeyTranslator translator;
  std::vector<HostEvent> events;
  translator.keyDown(keysym(key, mod), false, events);
  if (!text.empty()) translator.textInput(text, mod, events);
  return describe(events);
}

TEST(WindowKeys, KeyPresses) {
  const struct {
    SDL_Keycode key;
    uint16_t mod;
    std::string_view text;
    const char* expected;
  } cases[] = {
      // Printable keys type their text.
      {SDLK_a, KMOD_NONE, "a", "down A; char 97"},
      {SDLK_a, KMOD_LSHIFT, "A", "down A shift; char 65 shift"},
      {SDLK_5, KMOD_NONE, "5", "down 5; char 53"},
      {SDLK_SPACE, KMOD_NONE, " ", "down Space; char 32"},
      {SDLK_COMMA, KMOD_NONE, ",", "down Oem; char 44"},
      {0xE7, KMOD_NONE, "ç", "down Oem; char 231"},  // the ç key of a Brazilian keyboard
      {SDLK_e, KMOD_NONE, "\xe2\x82\xac", "down E; char 128"},  // € in CP1252
      {SDLK_e, KMOD_NONE, "\xe4\xb8\xad", "down E; lost"},  // nothing CP1252 can hold: a beep
      // Control characters come from the key-downs.
      {SDLK_RETURN, KMOD_NONE, "", "down Return; char 13"},
      {SDLK_KP_ENTER, KMOD_NONE, "", "down Return; char 13"},
      {SDLK_RETURN, KMOD_LCTRL, "", "down Return ctrl; char 13 ctrl"},  // the console makes it 10
      {SDLK_BACKSPACE, KMOD_NONE, "", "down Back; char 8"},
      {SDLK_BACKSPACE, KMOD_RCTRL, "", "down Back ctrl; char 8 ctrl"},  // the console makes it 127
      {SDLK_TAB, KMOD_NONE, "", "down Tab; char 9"},
      {SDLK_TAB, KMOD_LSHIFT, "", "down Tab shift; char 9 shift"},
      {SDLK_TAB, KMOD_LCTRL, "", "down Tab ctrl"},
      {SDLK_ESCAPE, KMOD_NONE, "", "down Escape; char 27"},
      {SDLK_c, KMOD_LCTRL, "c", "down C ctrl; char 3 ctrl"},
      {SDLK_z, KMOD_LCTRL | KMOD_LSHIFT, "Z", "down Z shift ctrl; char 26 shift ctrl"},
      {SDLK_BACKSLASH, KMOD_LCTRL, "\\", "down Oem ctrl; char 28 ctrl"},
      {SDLK_SPACE, KMOD_LCTRL, " ", "down Space ctrl; char 32 ctrl"},
      {SDLK_1, KMOD_LCTRL, "1", "down 1 ctrl"},  // the text SDL adds for Ctrl is dropped
      // Alt makes system keys; AltGr is Ctrl+Alt.
      {SDLK_x, KMOD_LALT, "x", "sys X alt"},
      {SDLK_LEFT, KMOD_LALT, "", "sys Left alt"},
      {SDLK_F4, KMOD_LALT, "", "sys F4 alt"},
      // What X delivers for Ctrl+Alt+Shift+F9 (Ctrl+Alt+F9 itself switches terminals and never comes).
      {SDLK_F9, KMOD_LCTRL | KMOD_LALT | KMOD_LSHIFT, "", "down F9 shift ctrl alt"},
      {SDLK_q, KMOD_LCTRL | KMOD_LALT, "q", "down Q ctrl alt"},
      // A Brazilian keyboard's AltGr+Q types '/': the Alt codes and then the character.
      {SDLK_q, KMOD_RALT, "/", "down Q ctrl alt; char 47 ctrl alt"},
      {SDLK_F10, KMOD_NONE, "", "sys F10"},
      {SDLK_F10, KMOD_LCTRL, "", "down F10 ctrl"},
      // Function, cursor and editing keys.
      {SDLK_F1, KMOD_NONE, "", "down F1"},
      {SDLK_F12, KMOD_LSHIFT, "", "down F12 shift"},
      {SDLK_UP, KMOD_LCTRL, "", "down Up ctrl"},
      {SDLK_PAGEDOWN, KMOD_NONE, "", "down Next"},
      {SDLK_INSERT, KMOD_RSHIFT, "", "down Insert shift"},
      {SDLK_DELETE, KMOD_NONE, "", "down Delete"},
      {SDLK_PAUSE, KMOD_LCTRL, "", "down Cancel ctrl"},
      {SDLK_PAUSE, KMOD_NONE, "", "down Pause"},
      {SDLK_CAPSLOCK, KMOD_NONE, "", ""},
      // The keypad follows Num Lock.
      {SDLK_KP_8, KMOD_NONE, "", "down Up"},
      {SDLK_KP_PERIOD, KMOD_NONE, "", "down Delete"},
      {SDLK_KP_8, KMOD_NUM, "8", "down Oem; char 56"},
      {SDLK_KP_5, KMOD_NONE, "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(press(c.key, c.mod, c.text), c.expected) << c.key << " " << c.mod;
}

TEST(WindowKeys, KeyUpsAndRepeats) {
  WindowKeyTranslator translator;
  std::vector<HostEvent> events;
  // A braille chord: F and D down, released in the other order; each release is reported.
  translator.keyDown(keysym(SDLK_f), false, events);
  translator.textInput("f", KMOD_NONE, events);
  translator.keyDown(keysym(SDLK_d), false, events);
  translator.keyDown(keysym(SDLK_d), true, events);
  translator.keyUp(keysym(SDLK_f), events);
  translator.keyUp(keysym(SDLK_d), events);
  EXPECT_EQ(describe(events), "down F; char 102; down D; down D repeat; up F; up D");
  events.clear();
  translator.keyUp(keysym(SDLK_LCTRL), events);  // Ctrl released: its state is already gone
  translator.keyUp(keysym(SDLK_a, KMOD_LSHIFT), events);
  EXPECT_EQ(describe(events), "up Control; up A shift");
}

TEST(WindowKeys, TextAfterACtrlKeyIsDroppedOnlyUntilTheNextKey) {
  WindowKeyTranslator translator;
  std::vector<HostEvent> events;
  translator.keyDown(keysym(SDLK_a, KMOD_LCTRL), false, events);
  translator.textInput("a", KMOD_LCTRL, events);
  translator.keyDown(keysym(SDLK_b), false, events);
  translator.textInput("b", KMOD_NONE, events);
  EXPECT_EQ(describe(events), "down A ctrl; char 1 ctrl; down B; char 98");
  events.clear();
  // Text with no key-down of its own (an input method, a compose key) after a Ctrl key still types.
  translator.keyDown(keysym(SDLK_UP, KMOD_LCTRL), false, events);
  translator.keyUp(keysym(SDLK_UP, KMOD_LCTRL), events);
  translator.textInput("ç", KMOD_NONE, events);
  EXPECT_EQ(describe(events), "down Up ctrl; up Up ctrl; char 231");
}

}  // namespace
}  // namespace kaldro::platform

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

TEST(WindowKeys, PrintableKeysTypeTheirText) {
  EXPECT_EQ(press(SDLK_a, KMOD_NONE, "a"), "down A; char 97");
  EXPECT_EQ(press(SDLK_a, KMOD_LSHIFT, "A"), "down A shift; char 65 shift");
  EXPECT_EQ(press(SDLK_5, KMOD_NONE, "5"), "down 5; char 53");
  EXPECT_EQ(press(SDLK_SPACE, KMOD_NONE, " "), "down Space; char 32");
  EXPECT_EQ(press(SDLK_COMMA, KMOD_NONE, ","), "down Oem; char 44");
  EXPECT_EQ(press(0xE7, KMOD_NONE, "ç"), "down Oem; char 231");       // the ç key of a Brazilian keyboard
  EXPECT_EQ(press(SDLK_e, KMOD_NONE, "\xe2\x82\xac"), "down E; char 128");  // € in CP1252
  EXPECT_EQ(press(SDLK_e, KMOD_NONE, "\xe4\xb8\xad"), "down E; lost");  // nothing CP1252 can hold: a beep
}

TEST(WindowKeys, ControlCharactersComeFromKeyDowns) {
  EXPECT_EQ(press(SDLK_RETURN), "down Return; char 13");
  EXPECT_EQ(press(SDLK_KP_ENTER), "down Return; char 13");
  EXPECT_EQ(press(SDLK_RETURN, KMOD_LCTRL), "down Return ctrl; char 13 ctrl");  // the console makes it 10
  EXPECT_EQ(press(SDLK_BACKSPACE), "down Back; char 8");
  EXPECT_EQ(press(SDLK_BACKSPACE, KMOD_RCTRL), "down Back ctrl; char 8 ctrl");  // the console makes it 127
  EXPECT_EQ(press(SDLK_TAB), "down Tab; char 9");
  EXPECT_EQ(press(SDLK_TAB, KMOD_LSHIFT), "down Tab shift; char 9 shift");
  EXPECT_EQ(press(SDLK_TAB, KMOD_LCTRL), "down Tab ctrl");
  EXPECT_EQ(press(SDLK_ESCAPE), "down Escape; char 27");
  EXPECT_EQ(press(SDLK_c, KMOD_LCTRL, "c"), "down C ctrl; char 3 ctrl");
  EXPECT_EQ(press(SDLK_z, KMOD_LCTRL | KMOD_LSHIFT, "Z"), "down Z shift ctrl; char 26 shift ctrl");
  EXPECT_EQ(press(SDLK_BACKSLASH, KMOD_LCTRL, "\\"), "down Oem ctrl; char 28 ctrl");
  EXPECT_EQ(press(SDLK_SPACE, KMOD_LCTRL, " "), "down Space ctrl; char 32 ctrl");
  EXPECT_EQ(press(SDLK_1, KMOD_LCTRL, "1"), "down 1 ctrl") << "the text SDL adds for Ctrl is dropped";
}

TEST(WindowKeys, AltMakesSystemKeysAndAltGrIsCtrlAlt) {
  EXPECT_EQ(press(SDLK_x, KMOD_LALT, "x"), "sys X alt");
  EXPECT_EQ(press(SDLK_LEFT, KMOD_LALT), "sys Left alt");
  EXPECT_EQ(press(SDLK_F4, KMOD_LALT), "sys F4 alt");
  // What X delivers for Ctrl+Alt+Shift+F9 (Ctrl+Alt+F9 itself switches terminals and never comes).
  EXPECT_EQ(press(SDLK_F9, KMOD_LCTRL | KMOD_LALT | KMOD_LSHIFT), "down F9 shift ctrl alt");
  EXPECT_EQ(press(SDLK_q, KMOD_LCTRL | KMOD_LALT, "q"), "down Q ctrl alt");
  // A Brazilian keyboard's AltGr+Q types '/': the Alt codes and then the character.
  EXPECT_EQ(press(SDLK_q, KMOD_RALT, "/"), "down Q ctrl alt; char 47 ctrl alt");
  EXPECT_EQ(press(SDLK_F10), "sys F10");
  EXPECT_EQ(press(SDLK_F10, KMOD_LCTRL), "down F10 ctrl");
}

TEST(WindowKeys, FunctionCursorAndEditingKeys) {
  EXPECT_EQ(press(SDLK_F1), "down F1");
  EXPECT_EQ(press(SDLK_F12, KMOD_LSHIFT), "down F12 shift");
  EXPECT_EQ(press(SDLK_UP, KMOD_LCTRL), "down Up ctrl");
  EXPECT_EQ(press(SDLK_PAGEDOWN), "down Next");
  EXPECT_EQ(press(SDLK_INSERT, KMOD_RSHIFT), "down Insert shift");
  EXPECT_EQ(press(SDLK_DELETE), "down Delete");
  EXPECT_EQ(press(SDLK_PAUSE, KMOD_LCTRL), "down Cancel ctrl");
  EXPECT_EQ(press(SDLK_PAUSE), "down Pause");
  EXPECT_EQ(press(SDLK_CAPSLOCK), "");
}

TEST(WindowKeys, KeypadFollowsNumLock) {
  EXPECT_EQ(press(SDLK_KP_8), "down Up");
  EXPECT_EQ(press(SDLK_KP_PERIOD), "down Delete");
  EXPECT_EQ(press(SDLK_KP_8, KMOD_NUM, "8"), "down Oem; char 56");
  EXPECT_EQ(press(SDLK_KP_5), "");
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

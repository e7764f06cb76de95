// Turns SDL's key and text events into the notifications a Windows window procedure received.
#pragma once

#include <SDL2/SDL_keyboard.h>

#include <optional>
#include <string_view>
#include <vector>

#include "platform/host/host.h"

namespace kaldro::platform {

// The virtual key of an SDL key; nothing for keys the console has no name for. The keypad's
// keys count as cursor keys while Num Lock is off.
std::optional<int> virtualKeyOfSdl(SDL_Keycode key, uint16_t modifierState);

// Ctrl, Alt and Shift as Windows reports them: AltGr (right Alt) is Ctrl+Alt.
Modifiers modifiersOfSdl(uint16_t modifierState);

// One window's key translation. Printable characters come from SDL's text input; the control
// characters Windows made from key-downs (Enter, Backspace, Tab, Escape, Ctrl+letter) are made here.
// The text SDL reports for a key pressed with Ctrl or Left Alt is dropped: Windows typed none.
class WindowKeyTranslator {
 public:
  void keyDown(const SDL_Keysym& key, bool repeat, std::vector<HostEvent>& out);
  void keyUp(const SDL_Keysym& key, std::vector<HostEvent>& out);
  // modifierState: the modifiers held when the text arrived.
  void textInput(std::string_view utf8, uint16_t modifierState, std::vector<HostEvent>& out);

 private:
  bool dropText_ = false;
};

}  // namespace kaldro::platform

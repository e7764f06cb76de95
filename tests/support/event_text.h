// Host notifications written as short text, so the key tables of the tests read plainly.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host.h"

namespace kaldro::platform {

inline std::string keyName(int virtualKey) {
  struct Named {
    int key;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {vk::Cancel, "Cancel"}, {vk::Back, "Back"},     {vk::Tab, "Tab"},         {vk::Return, "Return"},
      {vk::Shift, "Shift"},   {vk::Control, "Control"}, {vk::Menu, "Menu"},     {vk::Pause, "Pause"},
      {vk::Escape, "Escape"}, {vk::Space, "Space"},   {vk::Prior, "Prior"},     {vk::Next, "Next"},
      {vk::End, "End"},       {vk::Home, "Home"},     {vk::Left, "Left"},       {vk::Up, "Up"},
      {vk::Right, "Right"},   {vk::Down, "Down"},     {vk::Insert, "Insert"},   {vk::Delete, "Delete"},
      {vk::Oem, "Oem"},
  };
  for (const Named& named : kNames)
    if (named.key == virtualKey) return named.name;
  if (virtualKey >= vk::Digit0 && virtualKey <= vk::Digit0 + 9) return std::string(1, static_cast<char>(virtualKey));
  if (virtualKey >= vk::LetterA && virtualKey < vk::LetterA + 26) return std::string(1, static_cast<char>(virtualKey));
  if (virtualKey >= vk::F1 && virtualKey <= vk::F12) return "F" + std::to_string(virtualKey - vk::F1 + 1);
  return "vk" + std::to_string(virtualKey);
}

inline std::string describeModifiers(const Modifiers& modifiers) {
  std::string text;
  if (modifiers.shift) text += " shift";
  if (modifiers.ctrl) text += " ctrl";
  if (modifiers.alt) text += " alt";
  return text;
}

// "down Up ctrl; char 13; wavedone 7", events joined by "; ".
inline std::string describe(const std::vector<HostEvent>& events) {
  std::string text;
  for (const HostEvent& event : events) {
    if (!text.empty()) text += "; ";
    switch (event.kind) {
      case EventKind::Character: text += "char " + std::to_string(event.character); break;
      case EventKind::KeyDown: text += "down " + keyName(event.virtualKey); break;
      case EventKind::SystemKeyDown: text += "sys " + keyName(event.virtualKey); break;
      case EventKind::KeyUp: text += "up " + keyName(event.virtualKey); break;
      case EventKind::CloseRequest: text += "close"; break;
      case EventKind::Wake: text += "wake"; break;
      case EventKind::WaveDone: text += "wavedone"; break;
      case EventKind::Quit: text += "quit"; break;
      case EventKind::LostCharacter: text += "lost"; break;
    }
    if (event.cookie) text += " " + std::to_string(event.cookie);
    if (event.kind != EventKind::CloseRequest && event.kind != EventKind::Quit) text += describeModifiers(event.modifiers);
    if (event.repeat) text += " repeat";
    if (event.pasted) text += " pasted";
  }
  return text;
}

inline std::string describeBytes(std::string_view bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    char hex[8];
    std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02x", c);
    text += hex;
  }
  return text;
}

}  // namespace kaldro::platform

// Every code the console's key queue delivers. An ordinary key is one code, its Latin-1 byte; a
// function, cursor, editing or Alt key is two: key::Extended (0), then one of the extended numbers.
#pragma once

#include <cstdint>

namespace kaldro::console {

namespace key {
inline constexpr uint8_t Extended = 0;  // an extended number follows
// Ordinary codes with a meaning of their own.
inline constexpr uint8_t CtrlC = 3;
inline constexpr uint8_t CtrlD = 4;
inline constexpr uint8_t Backspace = 8;
inline constexpr uint8_t Tab = 9;
inline constexpr uint8_t CtrlEnter = 10;
inline constexpr uint8_t CtrlK = 11;
inline constexpr uint8_t CtrlL = 12;
inline constexpr uint8_t Enter = 13;
inline constexpr uint8_t CtrlS = 19;
inline constexpr uint8_t CtrlU = 21;
inline constexpr uint8_t CtrlV = 22;
inline constexpr uint8_t CtrlY = 25;
inline constexpr uint8_t Escape = 27;
inline constexpr uint8_t CtrlBackslash = 28;
inline constexpr uint8_t Space = ' ';
inline constexpr uint8_t CtrlBackspace = 127;
// The window gained or lost the keyboard focus.
inline constexpr uint8_t FocusGained = 222;
inline constexpr uint8_t FocusLost = 223;
// The first code that a key types as a character.
inline constexpr uint8_t FirstCharacter = 32;
}  // namespace key

// The numbers after key::Extended.
namespace extended {
inline constexpr uint8_t ShiftTab = 15;
// Alt with a letter gives the PC keyboard's scan code of the letter: Ctrl+Alt+Q, W and E arrive so.
inline constexpr uint8_t AltQ = 16;
inline constexpr uint8_t AltW = 17;
inline constexpr uint8_t AltE = 18;
inline constexpr uint8_t F1 = 59;  // F1 .. F12 are 59 .. 70
inline constexpr uint8_t F4 = 62;
inline constexpr uint8_t F5 = 63;
inline constexpr uint8_t F6 = 64;
inline constexpr uint8_t F8 = 66;
inline constexpr uint8_t F12 = 70;
inline constexpr uint8_t Home = 71;
inline constexpr uint8_t Up = 72;
inline constexpr uint8_t PageUp = 73;
inline constexpr uint8_t Left = 75;
inline constexpr uint8_t Right = 77;
inline constexpr uint8_t End = 79;
inline constexpr uint8_t Down = 80;
inline constexpr uint8_t PageDown = 81;
inline constexpr uint8_t Insert = 82;
inline constexpr uint8_t Delete = 83;
inline constexpr uint8_t CtrlF1 = 94;  // Ctrl+F1 .. Ctrl+F12 are 94 .. 105
inline constexpr uint8_t CtrlF4 = 97;
inline constexpr uint8_t CtrlF5 = 98;
inline constexpr uint8_t CtrlF8 = 101;
inline constexpr uint8_t CtrlF9 = 102;
inline constexpr uint8_t CtrlF11 = 104;
inline constexpr uint8_t CtrlUp = 113;
inline constexpr uint8_t CtrlDown = 114;
inline constexpr uint8_t CtrlLeft = 115;
inline constexpr uint8_t CtrlRight = 116;
inline constexpr uint8_t CtrlEnd = 117;
inline constexpr uint8_t CtrlPageDown = 118;
inline constexpr uint8_t CtrlHome = 119;
inline constexpr uint8_t AltDigit1 = 120;  // Alt+1 .. Alt+9 are 120 .. 128, Alt+0 is 129
inline constexpr uint8_t AltDigit0 = 129;
inline constexpr uint8_t CtrlPageUp = 132;
inline constexpr uint8_t ShiftInsert = 254;
inline constexpr uint8_t CtrlInsert = 255;

// F1 .. F12 and Ctrl+F1 .. Ctrl+F12 by their number.
constexpr uint8_t function(int number) { return static_cast<uint8_t>(F1 - 1 + number); }
constexpr uint8_t ctrlFunction(int number) { return static_cast<uint8_t>(CtrlF1 - 1 + number); }
constexpr bool isAltDigit(uint8_t code) { return code >= AltDigit1 && code <= AltDigit0; }
// Alt with the letters A .. Z, in order.
inline constexpr uint8_t AltLetters[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                           49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
}  // namespace extended

}  // namespace kaldro::console

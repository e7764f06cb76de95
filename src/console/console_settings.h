// The console's look and keyboard options, read once from KALDRO.INI ([VIDEO], [BRAILLE]).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/config.h"
#include "platform/host/host.h"

namespace kaldro::console {

struct ConsoleSettings {
  std::array<uint8_t, 16> colourTable{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  bool coloursFixed = false;        // CORESFIXAS
  bool copyPixelsOnScroll = false;  // LENTO
  uint8_t initialAttribute = 0x07;  // CORFUNDO * 16 + CORLETRA
  int brailleMode = 0;              // MODO
  int magnifierFactor = 2;          // AMPLIF
  std::string fontFace = "Lucida Console";
  int fontWidth = 0;
  int fontHeight = 0;
  bool maximized = false;           // CANTOTELA
};

// Reads the keys from the system folder's KALDRO.INI (values cut to 79 characters).
ConsoleSettings readConsoleSettings(const platform::Configuration& config, platform::WorkArea workArea);

// TABCORES: up to 16 decimal palette indexes separated by commas.
void parseColourTable(std::string value, std::array<uint8_t, 16>& table);

}  // namespace kaldro::console

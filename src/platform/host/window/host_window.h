// The window host's geometry: window size limits and the magnifier's source rectangle.
#pragma once

#include "platform/host/host.h"

namespace kaldro::platform {

struct CellSize {
  int width = 8;
  int height = 16;
};

struct PixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const PixelSize&) const = default;
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

struct WindowSizeLimits {
  PixelSize smallest;
  PixelSize largest;  // also the maximized size
};

// Sizes of the window's inside: at least 16 columns by 4 rows, at most the whole grid or the screen.
WindowSizeLimits windowSizeLimits(CellSize cell, WorkArea screen);

// The part of a window of the given size that the magnifier stretches over the whole window, so
// the point under the mouse stays where it is. A factor of 0 counts as 1.
PixelRect magnifierSource(int mouseX, int mouseY, PixelSize window, int factor);

// The colour of a logical colour (an attribute's nibble) through the colour table.
Rgb logicalColour(int logical, const std::array<uint8_t, 16>& colourTable);

}  // namespace kaldro::platform

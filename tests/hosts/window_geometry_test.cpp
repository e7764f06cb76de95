// The window's size limits, the magnifier's source rectangle and the colours cells are painted in.
#include <gtest/gtest.h>

#include "platform/host/window/host_window.h"

namespace kaldro::platform {
namespace {

TEST(WindowGeometry, SizeLimitsFollowTheCellAndTheScreen) {
  const WindowSizeLimits roomy = windowSizeLimits({13, 28}, {1920, 1040});
  EXPECT_EQ(roomy.smallest, (PixelSize{16 * 13, 4 * 28}));
  EXPECT_EQ(roomy.largest, (PixelSize{80 * 13, 25 * 28}));
  const WindowSizeLimits cramped = windowSizeLimits({24, 39}, {1280, 734});
  EXPECT_EQ(cramped.largest, (PixelSize{1280, 734})) << "never larger than the screen";
}

TEST(WindowGeometry, MagnifierKeepsThePointUnderTheMouse) {
  EXPECT_EQ(magnifierSource(400, 300, {800, 600}, 2), (PixelRect{200, 150, 400, 300}));
  EXPECT_EQ(magnifierSource(0, 0, {800, 600}, 2), (PixelRect{0, 0, 400, 300}));
  EXPECT_EQ(magnifierSource(800, 600, {800, 600}, 4), (PixelRect{600, 450, 200, 150}));
  // The point under the mouse: source x + mouse x / factor is the mouse x itself.
  const PixelRect source = magnifierSource(333, 77, {1040, 700}, 3);
  EXPECT_EQ(source.x + 333 / 3, 333);
  EXPECT_EQ(source.y + 77 / 3, 77);
  EXPECT_EQ(magnifierSource(300, 200, {800, 600}, 0), (PixelRect{0, 0, 800, 600})) << "factor 0 is 1";
}

TEST(WindowGeometry, CellColoursGoThroughTheColourTable) {
  std::array<uint8_t, 16> table{7, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 99};
  EXPECT_EQ(logicalColour(0, table).red, 192);  // logical 0 painted with palette 7
  EXPECT_EQ(logicalColour(1, table).blue, 0);
  const Rgb beyond = logicalColour(15, table);  // an index above 15 is black
  EXPECT_EQ(beyond.red + beyond.green + beyond.blue, 0);
  EXPECT_EQ(logicalColour(5, table).red, 142);
}

}  // namespace
}  // namespace kaldro::platform

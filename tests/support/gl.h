// Test support for drawing: a renderer with a real window and GL context in
// this process, and pixels read back from the frame being drawn.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "runtime/gfx2d/renderer.h"

namespace mxt_test {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Rgba&) const = default;
};

// Every channel within the tolerance of the other's, alpha included.
bool near(const Rgba& a, const Rgba& b, int tolerance);

// The pixel at window (x, y), origin top-left, from the back buffer.
Rgba read_pixel(int x, int y);
float read_depth(int x, int y);

// A renderer made the way start-up makes it, installed as the runtime's.
mxt::VuduRODoverore* make_renderer(int width, int height, int samples = 0);
void destroy_renderer(mxt::VuduRODoverore* r);

// Fills the logical rectangle [x0, x1) x [y0, y1) with a colour, untextured.
void fill_rect(float x0, float y0, float x1, float y1, float r, float g, float b);

// A window of its own for a test suite, reset to the default 2D state and
// cleared to black before each test.
class RendererTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  static mxt::VuduRODoverore* renderer;
  static constexpr int kWidth = 200;
  static constexpr int kHeight = 200;
};

inline std::ostream& operator<<(std::ostream& os, const Rgba& c) {
  return os << "rgba(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << "," << int(c.a) << ")";
}

}  // namespace mxt_test

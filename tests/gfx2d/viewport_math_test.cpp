// The arithmetic of the logical screen, without a window.
#include <gtest/gtest.h>

#include "runtime/base/singletons.h"
#include <moxtril.h>
#include "runtime/core/window.h"
#include "runtime/gfx2d/viewport.h"
#include "runtime/input/screen_map.h"

using namespace mxt;

TEST(ViewportMath, VirtualScreenScaleSnapsAndCentres) {
  struct Case { int ww, wh; double a, b; float scale; int ox, oy; } cases[] = {
      {800, 600, 640, 480, 1.0f, 80, 60},     // r = 1.25
      {1600, 1200, 640, 480, 2.0f, 160, 120}, // r = 2.5
      {6400, 4800, 640, 480, 10.0f, 0, 0},    // r = 10
      {6336, 4752, 640, 480, 8.0f, 608, 456}, // r = 9.9
      {960, 720, 640, 480, 1.5f, 0, 0},       // r = 1.5
      {3200, 2400, 640, 480, 4.0f, 320, 240}, // r = 5: never 5
      {640, 480, 1280, 960, 1.0f, -320, -240},// never below 1
      {13000, 4800, 640, 480, 10.0f, 3300, 0},
  };
  for (const Case& c : cases) {
    const VirtualScreen vs = fit_virtual_screen(c.a, c.b, c.ww, c.wh);
    EXPECT_EQ(vs.scale, c.scale) << c.ww << "x" << c.wh;
    EXPECT_EQ(vs.offset_x, c.ox) << c.ww << "x" << c.wh;
    EXPECT_EQ(vs.offset_y, c.oy) << c.ww << "x" << c.wh;
    EXPECT_EQ(vs.width, static_cast<int>(c.a));
  }
  EXPECT_EQ(snap_virtual_scale(9.99), 8.0f);
  EXPECT_EQ(snap_virtual_scale(7.9), 4.0f);
  EXPECT_EQ(snap_virtual_scale(3.5), 3.0f);
  EXPECT_EQ(snap_virtual_scale(12.7), 12.0f);
  EXPECT_EQ(snap_virtual_scale(1.49), 1.0f);
}

TEST(ViewportMath, ViewportsScaleIntoTheVirtualScreenAndBack) {
  VirtualScreen vs;
  vs.scale = 2;
  vs.offset_x = 160;
  vs.offset_y = 120;
  vs.width = 640;
  vs.height = 480;
  const ScaledViewport v = scale_viewport(vs, 10, 20, 100, 50);
  EXPECT_EQ(v.rect, (ViewportRect{180, 160, 200, 100}));
  EXPECT_EQ(v.zoom, 2.0f);
  EXPECT_EQ(unscale_viewport(vs, v.rect), (ViewportRect{10, 20, 100, 50}));
  // width 0 covers exactly the scaled picture, not the whole window
  EXPECT_EQ(scale_viewport(vs, 0, 0, 0, 0).rect, (ViewportRect{160, 120, 1280, 960}));
  vs.command_surface = 3;  // drawing into a surface: no virtual screen
  EXPECT_EQ(scale_viewport(vs, 10, 20, 100, 50).rect, (ViewportRect{10, 20, 100, 50}));
  EXPECT_EQ(scale_viewport(vs, 10, 20, 100, 50).zoom, 1.0f);
}

TEST(ViewportMath, GlViewportForEachOrientation) {
  // window 640 x 480, logical viewport (10, 20, 100, 50)
  EXPECT_EQ(gl_viewport_for(0, 10, 20, 100, 50, 640, 480), (ViewportRect{10, 410, 100, 50}));
  EXPECT_EQ(gl_viewport_for(1, 10, 20, 100, 50, 640, 480), (ViewportRect{570, 370, 50, 100}));
  EXPECT_EQ(gl_viewport_for(2, 10, 20, 100, 50, 640, 480), (ViewportRect{530, 20, 100, 50}));
  EXPECT_EQ(gl_viewport_for(3, 10, 20, 100, 50, 640, 480), (ViewportRect{20, 10, 50, 100}));
}

TEST(ViewportMath, WindowAndLogicalPointsConvertBothWays) {
  int lx, ly;
  window_to_logical(1, 0, 0, 640, 480, &lx, &ly);
  EXPECT_EQ(lx, 0);
  EXPECT_EQ(ly, 639);
  for (int o = 0; o < 4; ++o) {
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{639, 479}, std::pair{17, 300}}) {
      int a, b, wx, wy;
      window_to_logical(o, x, y, 640, 480, &a, &b);
      logical_to_window(o, a, b, 640, 480, &wx, &wy);
      EXPECT_EQ(wx, x) << "orientation " << o;
      EXPECT_EQ(wy, y) << "orientation " << o;
    }
  }
  double tx, ty;
  turn_direction(1, 1, 0, &tx, &ty);
  EXPECT_EQ(tx, -0.0);
  EXPECT_EQ(ty, 1);
  turn_direction(3, 2, 5, &tx, &ty);
  EXPECT_EQ(tx, 5);
  EXPECT_EQ(ty, -2);
}

TEST(WindowPlacement, CentresOnTheWorkAreaWithoutItsOrigin) {
  // 800 x 480 on a 1920 x 1040 work area with 1-pixel borders and a 23-pixel caption
  const WindowPlacement p = centre_window(800, 480, 1920, 1040, 1, 1, 23);
  EXPECT_EQ(p.x, 560);
  EXPECT_EQ(p.y, 280);
  EXPECT_EQ(p.outer_w, 806);
  EXPECT_EQ(p.outer_h, 509);
  const WindowPlacement q = centre_window(801, 481, 1920, 1040, 0, 0, 0);
  EXPECT_EQ(q.x, 559);  // (1920 - 801) / 2 truncates
  EXPECT_EQ(q.y, 279);
  const WindowPlacement big = centre_window(2001, 1100, 1920, 1040, 0, 0, 0);
  EXPECT_EQ(big.x, -40);  // truncation toward zero
  EXPECT_EQ(big.y, -30);
}

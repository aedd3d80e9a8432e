// Drawing, checked by reading pixels back. Tolerances: exact unless a test
// says otherwise (blending and filtering round by one step at most).
#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/base/singletons.h"
#include <moxtril.h>
#include "runtime/core/runtime.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/sprites.h"
#include "support/gl.h"

using namespace mxt;
using namespace mxt_test;

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kWhite{255, 255, 255, 255};

constexpr int32_t abgr(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return static_cast<int32_t>(static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 |
                              static_cast<uint32_t>(b) << 16 | static_cast<uint32_t>(a) << 24);
}

// A sprite from a function of (x, y) giving 0xAABBGGRR.
void make_sprite(int n, int w, int h, const std::function<int32_t(int, int)>& colour) {
  RtArray<int32_t> a;
  mxt_dim(a, w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) a(y * w + x) = colour(x, y);
  ASSERT_TRUE(mxt_sprite_from_array(a, n, w, h));
}

class Draw : public RendererTest {};

}  // namespace

TEST_F(Draw, ASpriteCoversExactlyItsRectangle) {
  make_sprite(1, 10, 6, [](int, int) { return abgr(255, 0, 0); });
  mxt_set_smoothing(0);
  mxt_draw_sprite(1, 20, 30);
  for (int y = 28; y < 38; ++y)
    for (int x = 18; x < 32; ++x) {
      const bool inside = x >= 20 && x < 30 && y >= 30 && y < 36;
      ASSERT_EQ(read_pixel(x, y), inside ? kRed : kBlack) << x << "," << y;
    }
  mxt_set_smoothing(1);
  mxt_draw_sprite(1, 100, 100);
  EXPECT_EQ(read_pixel(100, 100), kRed) << "a 1:1 draw hits texel centres either way";
  EXPECT_EQ(read_pixel(109, 105), kRed);
  EXPECT_EQ(read_pixel(110, 105), kBlack);
}

TEST_F(Draw, AnimationFramesPickTheirSubRectangle) {
  // 30 x 20 with frames of 10 x 10: red, green, blue on top; white, black, red below
  const int32_t colours[6] = {abgr(255, 0, 0), abgr(0, 255, 0), abgr(0, 0, 255),
                              abgr(255, 255, 255), abgr(0, 0, 0), abgr(255, 0, 0)};
  make_sprite(10, 30, 20, [&](int x, int y) { return colours[(y / 10) * 3 + x / 10]; });
  mxt_set_anim_size(10, 10, 10);
  mxt_set_smoothing(0);
  const Rgba expected[6] = {kRed, kGreen, kBlue, kWhite, kBlack, kRed};
  for (int f = 0; f < 6; ++f) {
    mxt_draw_anim(10, f, 15 * f, 0);
    EXPECT_EQ(read_pixel(15 * f + 5, 5), expected[f]) << "frame " << f;
    EXPECT_EQ(read_pixel(15 * f + 9, 9), expected[f]) << "frame " << f;
  }
  mxt_stretch_anim(10, 1, 0, 50, 40, 20);  // frame 1 stretched to 40 x 20
  EXPECT_EQ(read_pixel(2, 52), kGreen);
  EXPECT_EQ(read_pixel(39, 69), kGreen);
  mxt_rotozoom_anim(10, 2, 100, 100, 0, 2);  // frame 2 doubled about its centre (105, 105)
  EXPECT_EQ(read_pixel(96, 96), kBlue);
  EXPECT_EQ(read_pixel(114, 114), kBlue);
  EXPECT_EQ(read_pixel(94, 94), kBlack);
  // A frame wider than the picture: no frames per row, frame 2 is column 2.
  mxt_set_anim_size(10, 40, 10);
  renderer->clear_background();
  mxt_draw_anim(10, 0, 0, 0);
  EXPECT_EQ(read_pixel(25, 5), kBlue);
  mxt_draw_anim(10, -1, 50, 50);
  EXPECT_EQ(read_pixel(55, 55), kBlack) << "a negative frame draws nothing";
  mxt_set_anim_size(10, 10, 10);
  SpriteRecord* r = sprite_record(10);
  r->frame_width = 0;
  mxt_draw_anim(10, 0, 60, 60);
  EXPECT_EQ(read_pixel(65, 65), kBlack) << "no frame size, nothing drawn";
}

TEST_F(Draw, ZoomRotateAndStretchLandWhereTheyShould) {
  make_sprite(1, 45, 45, [](int, int) { return abgr(0, 255, 0); });
  mxt_set_smoothing(0);
  mxt_zoom_sprite(1, 100, 100, 2, 2);  // covers (78, 78)-(168, 168)
  EXPECT_EQ(read_pixel(78, 78), kGreen);
  EXPECT_EQ(read_pixel(167, 167), kGreen);
  EXPECT_EQ(read_pixel(77, 100), kBlack);
  EXPECT_EQ(read_pixel(168, 100), kBlack);

  renderer->clear_background();
  // Right column red, the rest blue: a quarter turn puts the red edge on top.
  make_sprite(2, 20, 20, [](int x, int) { return x >= 18 ? abgr(255, 0, 0) : abgr(0, 0, 255); });
  mxt_rotate_sprite(2, 50, 50, 90);
  EXPECT_EQ(read_pixel(60, 51), kRed);
  EXPECT_EQ(read_pixel(60, 68), kBlue);
  EXPECT_EQ(read_pixel(68, 60), kBlue);

  renderer->clear_background();
  mxt_zoom_sprite(2, 50, 50, -1, 1);  // mirrored in place
  EXPECT_EQ(read_pixel(51, 60), kRed);
  EXPECT_EQ(read_pixel(68, 60), kBlue);
}

TEST_F(Draw, AlphaModesBlendAsStated) {
  make_sprite(1, 4, 4, [](int, int) { return abgr(255, 255, 255); });
  renderer->set_clear_colour(0x000080);  // dark red background (128, 0, 0)
  mxt_set_alpha_mode(-0.25);
  mxt_draw_sprite(1, 0, 0);
  // Alpha blends like the colours: 0.25 x 0.25 + 0.75 x 1 of the opaque frame.
  EXPECT_TRUE(near(read_pixel(1, 1), Rgba{159, 64, 64, 207}, 1)) << read_pixel(1, 1);
  mxt_set_alpha_mode(3);  // additive at full strength
  mxt_draw_sprite(1, 10, 0);
  EXPECT_EQ(read_pixel(11, 1), kWhite);
  mxt_set_alpha_mode(0.5);  // additive at half
  mxt_draw_sprite(1, 20, 0);
  EXPECT_TRUE(near(read_pixel(21, 1), Rgba{255, 128, 128, 255}, 1)) << read_pixel(21, 1);

  // Opaque mode: a transparent texel shows its own colour.
  make_sprite(3, 4, 4, [](int, int) { return abgr(0, 0, 255, 0); });
  mxt_set_alpha_mode(0);
  mxt_draw_sprite(3, 30, 0);
  EXPECT_TRUE(near(read_pixel(31, 1), Rgba{0, 0, 255, 0}, 0)) << read_pixel(31, 1) << ": the texel, its alpha too";
  mxt_set_alpha_mode(-1);
  mxt_draw_sprite(3, 40, 0);
  EXPECT_EQ(read_pixel(41, 1), (Rgba{128, 0, 0, 255})) << "blended away";
}

TEST_F(Draw, AlphaTestHidesTexelsAtOrBelowTheThreshold) {
  make_sprite(1, 2, 1, [](int x, int) { return x == 0 ? abgr(0, 255, 0, 127) : abgr(0, 255, 0, 200); });
  mxt_set_smoothing(0);
  mxt_set_alpha_mode(1);  // additive: even then the test applies
  mxt_set_alpha_test(0.5);
  mxt_stretch_sprite(1, 0, 0, 20, 4);
  EXPECT_EQ(read_pixel(3, 1), kBlack);
  EXPECT_NE(read_pixel(15, 1), kBlack);
  renderer->begin_frame();  // the frame reset switches the test off
  EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
}

TEST_F(Draw, SmoothingChoosesBetweenNearestAndLinear) {
  make_sprite(1, 2, 1, [](int x, int) { return x == 0 ? abgr(0, 0, 0) : abgr(255, 255, 255); });
  mxt_set_smoothing(0);
  mxt_stretch_sprite(1, 0, 0, 40, 2);
  EXPECT_EQ(read_pixel(19, 0), kBlack);
  EXPECT_EQ(read_pixel(20, 0), kWhite);
  mxt_set_smoothing(1);
  mxt_stretch_sprite(1, 0, 10, 40, 2);
  const Rgba mid = read_pixel(20, 10);
  EXPECT_GT(mid.r, 20);
  EXPECT_LT(mid.r, 235) << "filtered between the two texels";
}

TEST_F(Draw, StateChangesBetweenDrawsApplyOnlyToLaterDraws) {
  make_sprite(1, 8, 8, [](int, int) { return abgr(255, 255, 255); });
  make_sprite(2, 8, 8, [](int, int) { return abgr(0, 0, 255); });
  for (int i = 0; i < 20; ++i) mxt_draw_sprite(1, i * 9, 0);
  mxt_set_alpha_mode(-0.5);
  mxt_draw_sprite(1, 0, 20);
  mxt_draw_sprite(2, 9, 0);  // a different texture over an earlier quad
  mxt_set_smoothing(0);
  mxt_draw_sprite(1, 30, 20);
  EXPECT_EQ(read_pixel(4, 4), kWhite);
  EXPECT_TRUE(near(read_pixel(4, 24), Rgba{128, 128, 128, 191}, 1)) << read_pixel(4, 24);
  EXPECT_TRUE(near(read_pixel(13, 4), Rgba{128, 128, 255, 191}, 1)) << read_pixel(13, 4);
  EXPECT_EQ(read_pixel(22, 4), kWhite);
  delete_sprite(2);
  mxt_draw_sprite(1, 60, 60);
  EXPECT_TRUE(near(read_pixel(62, 62), Rgba{128, 128, 128, 191}, 1)) << read_pixel(62, 62);
}

TEST_F(Draw, LinesDotsAndRectangles) {
  mxt_draw_line(5, 5, 5, 5, 0x0000FF);
  EXPECT_EQ(read_pixel(5, 5), kRed) << "a line of one point sets its pixel";
  mxt_draw_line(2, 30, 8, 30, 0x00FF00);
  for (int x = 2; x <= 8; ++x) EXPECT_EQ(read_pixel(x, 30), kGreen) << x;
  EXPECT_EQ(read_pixel(1, 30), kBlack);
  EXPECT_EQ(read_pixel(9, 30), kBlack);
  mxt_draw_line(50, 40, 50, 44, 0xFF0000);
  for (int y = 40; y <= 44; ++y) EXPECT_EQ(read_pixel(50, y), kBlue) << y;

  mxt_draw_rect(10, 10, -3, -2, 0xFFFFFF);  // x 8..10, y 9..10
  for (int y = 7; y <= 12; ++y)
    for (int x = 6; x <= 12; ++x)
      EXPECT_EQ(read_pixel(x, y), (x >= 8 && x <= 10 && y >= 9 && y <= 10) ? kWhite : kBlack) << x << "," << y;
  mxt_draw_dot(100, 101, 0x00FF00);
  EXPECT_EQ(read_pixel(100, 101), kGreen);
  EXPECT_EQ(read_pixel(101, 101), kBlack);
  mxt_draw_rect(120, 120, 5, 5, 0x8000FF);  // the colour key: alpha 0, invisible
  EXPECT_EQ(read_pixel(122, 122), kBlack);
  EXPECT_EQ(rt.renderer->gl.colour()[0], 1.0f) << "the GL colour is restored after a primitive";
}

TEST_F(Draw, PolygonBatchesInEachMode) {
  mxt_start_poly(-1, 0);  // one smoothly shaded triangle
  mxt_poly_vector(0, 0, 0, 0, 0x0000FF);
  mxt_poly_vector(60, 0, 0, 0, 0x00FF00);
  mxt_poly_vector(0, 60, 0, 0, 0xFF0000);
  mxt_end_poly();
  const Rgba inside = read_pixel(15, 15);
  EXPECT_GT(inside.r, 40);
  EXPECT_GT(inside.g, 40);
  EXPECT_GT(inside.b, 40);
  EXPECT_EQ(read_pixel(50, 50), kBlack);

  // Two strips joined by degenerate triangles: the gap between stays empty.
  mxt_start_poly(-1, 2);
  for (const auto& [x, y] : {std::pair{100, 0}, std::pair{120, 0}, std::pair{100, 20}, std::pair{120, 20}})
    mxt_poly_vector(x, y, 0, 0, 0xFFFFFF);
  mxt_poly_new_group();
  for (const auto& [x, y] : {std::pair{160, 0}, std::pair{180, 0}, std::pair{160, 20}, std::pair{180, 20}})
    mxt_poly_vector(x, y, 0, 0, 0xFFFFFF);
  mxt_end_poly();
  EXPECT_EQ(read_pixel(110, 10), kWhite);
  EXPECT_EQ(read_pixel(170, 10), kWhite);
  EXPECT_EQ(read_pixel(140, 10), kBlack);

  mxt_start_poly(-1, 1);  // separate triangles
  mxt_poly_new_group();   // first call: nothing to join
  for (const auto& [x, y] : {std::pair{0, 100}, std::pair{20, 100}, std::pair{0, 120}})
    mxt_poly_vector(x, y, 0, 0, 0x00FF00);
  mxt_end_poly();
  EXPECT_EQ(read_pixel(3, 103), kGreen);

  // Textured, with coordinates in image pixels, y down.
  make_sprite(4, 16, 16, [](int x, int) { return x < 8 ? abgr(255, 0, 0) : abgr(0, 0, 255); });
  mxt_set_smoothing(0);
  mxt_start_poly(4, 0);
  mxt_poly_vector(100, 100, 0, 0, 0xFFFFFF);
  mxt_poly_vector(132, 100, 16, 0, 0xFFFFFF);
  mxt_poly_vector(132, 132, 16, 16, 0xFFFFFF);
  mxt_poly_vector(100, 132, 0, 16, 0xFFFFFF);
  mxt_end_poly();
  EXPECT_EQ(read_pixel(104, 110), kRed);
  EXPECT_EQ(read_pixel(128, 110), kBlue);
  mxt_start_poly(4, 7);  // an unknown mode draws nothing
  mxt_poly_vector(0, 150, 0, 0, 0xFFFFFF);
  mxt_poly_vector(40, 150, 16, 0, 0xFFFFFF);
  mxt_poly_vector(0, 190, 0, 16, 0xFFFFFF);
  mxt_end_poly();
  EXPECT_EQ(read_pixel(5, 155), kBlack);
}

TEST_F(Draw, NeverLoadedSpritesAndNumbersOutsideTheTableDrawNothingVisible) {
  delete_sprite(9);
  mxt_draw_sprite(9, 10, 10);
  mxt_rotozoom_sprite(9, 10, 10, 30, 2);
  mxt_draw_sprite(-5, 10, 10);
  mxt_draw_sprite(70000, 10, 10);
  mxt_draw_anim(70000, 0, 10, 10);
  EXPECT_EQ(read_pixel(10, 10), kBlack);
}

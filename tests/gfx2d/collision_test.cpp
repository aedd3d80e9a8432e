// Pixel-exact collision against the sprites' own pixels: the edge placements,
// mask rows counted from the image's top, reloads and surfaces refreshing the
// alpha, frames of strips, and a thousand random placements of irregular
// sprites checked against a plain scan of the pixels they were made from.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include <moxtril.h>
#include "runtime/base/singletons.h"
#include "runtime/gfx2d/renderer.h"
#include "support/gl.h"

using namespace mxt;
using namespace mxt_test;

namespace {

using Alpha = std::function<bool(int x, int y)>;

// A sprite of w x h, opaque red where `opaque` says, else fully transparent.
std::vector<bool> make_sprite(int n, int w, int h, const Alpha& opaque) {
  RtArray<int32_t> a;
  mxt_dim(a, w * h);
  std::vector<bool> kept(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool on = opaque(x, y);
      kept[static_cast<size_t>(y * w + x)] = on;
      a(y * w + x) = on ? static_cast<int32_t>(0xFF0000FFu) : 0;
    }
  EXPECT_TRUE(mxt_sprite_from_array(a, n, w, h));
  return kept;
}

const Alpha kSolid = [](int, int) { return true; };

class Collision : public RendererTest {};

}  // namespace

TEST_F(Collision, TouchingBoxesShareOnePixelAndAdjacentOnesNone) {
  make_sprite(1, 10, 10, kSolid);
  make_sprite(2, 10, 10, kSolid);
  EXPECT_TRUE(mxt_sprite_collision(1, 0, 0, 2, 9, 9));
  EXPECT_FALSE(mxt_sprite_collision(1, 0, 0, 2, 10, 0));
  EXPECT_FALSE(mxt_sprite_collision(1, 0, 0, 2, 0, 10));
  EXPECT_TRUE(mxt_sprite_collision(2, 100, 50, 1, 95, 45));
  EXPECT_FALSE(mxt_sprite_collision(1, 0, 0, 99, 0, 0)) << "an empty sprite never collides";
  EXPECT_FALSE(mxt_sprite_collision(1, 0, 0, 70000, 0, 0)) << "a number outside the table";
  EXPECT_FALSE(mxt_sprite_collision(1, 2147483600, 0, 2, 2147483640, 0)) << "far off positions, no overflow";
}

TEST_F(Collision, MaskRowsCountFromTheTopOfTheImage) {
  make_sprite(1, 10, 10, [](int x, int y) { return x == 0 && y == 0; });  // only its top-left pixel
  make_sprite(2, 1, 1, kSolid);
  EXPECT_TRUE(mxt_sprite_collision(1, 20, 30, 2, 20, 30));
  EXPECT_FALSE(mxt_sprite_collision(1, 20, 30, 2, 20, 39)) << "the bottom-left pixel is transparent";
  EXPECT_FALSE(mxt_sprite_collision(1, 20, 30, 2, 29, 30));
}

TEST_F(Collision, NewPixelsAreReadAgainAfterAReloadOrASurface) {
  make_sprite(1, 8, 8, kSolid);
  make_sprite(2, 8, 8, kSolid);
  EXPECT_TRUE(mxt_sprite_collision(1, 0, 0, 2, 4, 4));
  make_sprite(1, 8, 8, [](int x, int) { return x < 2; });  // now only its left edge
  EXPECT_FALSE(mxt_sprite_collision(1, 0, 0, 2, 4, 4));
  EXPECT_TRUE(mxt_sprite_collision(1, 0, 0, 2, 1, 4));

  ASSERT_TRUE(mxt_create_screen(0, 3, 8, 8));  // transparent when made
  EXPECT_FALSE(mxt_sprite_collision(3, 0, 0, 2, 0, 0));
  mxt_use_screen(0);
  mxt_set_alpha_mode(0);
  mxt_draw_rect(0, 0, 8, 8, 0x00FF00);
  mxt_use_screen(-1);
  EXPECT_TRUE(mxt_sprite_collision(3, 0, 0, 2, 0, 0)) << "drawing into the surface refreshed its alpha";
}

TEST_F(Collision, FramesOfStripsCollideByTheirOwnPixels) {
  // A strip of three 10 x 10 frames: solid, empty, solid.
  make_sprite(1, 30, 10, [](int x, int) { return x < 10 || x >= 20; });
  mxt_set_anim_size(1, 10, 10);
  make_sprite(2, 10, 10, kSolid);
  EXPECT_TRUE(mxt_anim_collision(1, 0, 50, 50, 2, 0, 55, 55));
  EXPECT_FALSE(mxt_anim_collision(1, 1, 50, 50, 2, 0, 55, 55)) << "the empty frame";
  EXPECT_TRUE(mxt_anim_collision(1, 2, 50, 50, 2, 0, 55, 55));
  EXPECT_FALSE(mxt_anim_collision(1, 7, 50, 50, 2, 0, 55, 55)) << "a frame beyond the strip";
  EXPECT_FALSE(mxt_anim_collision(1, -1, 50, 50, 2, 0, 55, 55));
  // Without frame sizes the whole images are compared.
  make_sprite(3, 10, 10, [](int x, int y) { return x == 9 && y == 9; });
  for (int dx = 0; dx < 12; ++dx)
    EXPECT_EQ(mxt_anim_collision(3, 5, 0, 0, 2, 9, dx, dx), mxt_sprite_collision(3, 0, 0, 2, dx, dx)) << dx;
}

TEST_F(Collision, ThousandRandomPlacementsAgreeWithAPlainScanOfThePixels) {
  std::mt19937 rng(1234);
  const int aw = 37, ah = 23, bw = 19, bh = 41;
  const std::vector<bool> a = make_sprite(1, aw, ah, [&](int x, int y) {
    return (x - 18) * (x - 18) + (y - 11) * (y - 11) * 3 < 200 && (x + y) % 7 != 0;  // a holed ellipse
  });
  const std::vector<bool> b = make_sprite(2, bw, bh, [&](int x, int y) { return (x * 7 + y * 3) % 11 < 2; });
  int hits = 0;
  for (int i = 0; i < 1000; ++i) {
    const int bx = static_cast<int>(rng() % 70) - 25, by = static_cast<int>(rng() % 70) - 25;
    bool expected = false;
    for (int y = 0; y < ah && !expected; ++y)
      for (int x = 0; x < aw && !expected; ++x) {
        const int u = x - bx, v = y - by;
        expected = a[static_cast<size_t>(y * aw + x)] && u >= 0 && u < bw && v >= 0 && v < bh &&
                   b[static_cast<size_t>(v * bw + u)];
      }
    hits += expected;
    ASSERT_EQ(mxt_sprite_collision(1, 0, 0, 2, bx, by), expected) << bx << "," << by;
  }
  EXPECT_GT(hits, 100);
  EXPECT_LT(hits, 900);
}

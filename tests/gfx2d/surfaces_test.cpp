// Offscreen surfaces, grabs, pixel reads, saving and background pictures,
// with a real GL context: what is drawn into a surface is read back from its
// sprite, grabs are compared texel by texel with what was drawn, at every
// orientation.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <moxtril.h>
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gfx2d/surfaces.h"
#include "support/child.h"
#include "support/gl.h"
#include "support/images.h"
#include "support/runtime.h"

using namespace mxt;
using namespace mxt_test;

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
constexpr int kKey = 0x8000FF;

Rgba image_pixel(const ImageBuffer& image, int x, int y) {
  const uint8_t* p = image.pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

// A pattern no turn or mirror maps onto itself: each pixel of a w x h
// rectangle gets its own colour from its position.
int pattern(int x, int y) { return (x * 20 + 10) | (y * 20 + 10) << 8 | 0x40 << 16; }
Rgba pattern_rgba(int x, int y) {
  return {static_cast<uint8_t>(x * 20 + 10), static_cast<uint8_t>(y * 20 + 10), 0x40, 255};
}

void draw_pattern(int x0, int y0, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) mxt_draw_rect(x0 + x, y0 + y, 1, 1, pattern(x, y));
}

class Surfaces : public RendererTest {
 protected:
  void TearDown() override {
    mxt_use_screen(-1);
    for (int s = 0; s < kSurfaceCount; ++s) destroy_framebuffer(renderer->surfaces[s]);
    renderer->framebuffers_supported = true;
  }
};

}  // namespace

TEST_F(Surfaces, DrawingLandsInTheSurfaceSpriteInItsOwnPixels) {
  ASSERT_TRUE(mxt_create_screen(2, 100, 100, 60));
  const SpriteRecord* rec = sprite_record(100);
  EXPECT_EQ(rec->texture_width, 128);
  EXPECT_EQ(rec->texture_height, 64);
  mxt_use_screen(2);
  int w = 0, h = 0;
  mxt_screen_size(w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 60);
  mxt_set_alpha_mode(0);
  mxt_draw_rect(0, 0, 100, 60, 0x0000FF);  // red everywhere
  mxt_draw_rect(90, 50, 10, 10, 0xFF0000);  // blue in the bottom-right corner
  EXPECT_EQ(mxt_get_pixel(95, 55), 0xFF0000) << "a pixel read comes from the surface while it is in use";
  EXPECT_EQ(mxt_get_pixel(5, 5), 0x0000FF);
  mxt_use_screen(-1);
  mxt_screen_size(w, h);
  EXPECT_EQ(w, kWidth);
  EXPECT_EQ(read_pixel(5, 5), kBlack) << "the window was not drawn on";

  ImageBuffer image;
  ASSERT_TRUE(read_sprite_back(100, image));
  ASSERT_EQ(image.width, 100);
  ASSERT_EQ(image.height, 60);
  EXPECT_EQ(image_pixel(image, 0, 0), kRed);
  EXPECT_EQ(image_pixel(image, 89, 49), kRed);
  EXPECT_EQ(image_pixel(image, 90, 50), kBlue);
  EXPECT_EQ(image_pixel(image, 99, 59), kBlue);

  mxt_set_smoothing(0);
  mxt_draw_sprite(100, 20, 30);
  EXPECT_EQ(read_pixel(20, 30), kRed);
  EXPECT_EQ(read_pixel(115, 85), kBlue);
  EXPECT_EQ(read_pixel(119, 89), kBlue);
  EXPECT_EQ(read_pixel(120, 90), kBlack);
}

TEST_F(Surfaces, BadArgumentsFailAndTheSurfaceEndsWithTheFrame) {
  mxt_load_sprite("", 100);
  RtArray<int32_t> one;
  mxt_dim(one, 4);
  ASSERT_TRUE(mxt_sprite_from_array(one, 100, 2, 2));
  EXPECT_FALSE(mxt_create_screen(3, 100, 0, 50));
  int w = 1, h = 1;
  mxt_sprite_size(100, w, h);
  EXPECT_EQ(w, 0) << "a failed create leaves the sprite deleted";

  ASSERT_TRUE(mxt_sprite_from_array(one, 100, 2, 2));
  EXPECT_FALSE(mxt_create_screen(32, 100, 64, 64));
  EXPECT_FALSE(mxt_create_screen(-1, 100, 64, 64));
  mxt_sprite_size(100, w, h);
  EXPECT_EQ(w, 2) << "a surface number out of range changes nothing";

  EXPECT_EQ(mxt_free_screen(), 31);
  ASSERT_TRUE(mxt_create_screen(31, 101, 16, 16));
  EXPECT_EQ(mxt_free_screen(), 30);

  mxt_use_screen(31);
  renderer->present();
  EXPECT_EQ(renderer->current_surface, -1) << "showing the frame ends drawing into a surface";
  mxt_screen_size(w, h);
  EXPECT_EQ(w, kWidth);
}

TEST_F(Surfaces, TheColourKeyPunchesTransparentPixelsIntoASurface) {
  ASSERT_TRUE(mxt_create_screen(0, 100, 32, 32));
  mxt_use_screen(0);
  mxt_draw_rect(0, 0, 32, 32, 0x00FF00);
  mxt_draw_rect(8, 8, 8, 8, kKey);
  mxt_use_screen(-1);
  ImageBuffer image;
  ASSERT_TRUE(read_sprite_back(100, image));
  EXPECT_EQ(image_pixel(image, 0, 0), kGreen);
  EXPECT_EQ(image_pixel(image, 10, 10).a, 0) << "the key colour leaves a hole";
  mxt_set_smoothing(0);
  mxt_draw_rect(0, 0, 60, 60, 0xFF0000);
  mxt_draw_sprite(100, 0, 0);
  EXPECT_EQ(read_pixel(10, 10), kBlue) << "what lies below shows through the hole";
  EXPECT_EQ(read_pixel(2, 2), kGreen);
}

TEST_F(Surfaces, ReloadingTheSpriteKeepsTheSurfaceDrawingIntoIt) {
  ASSERT_TRUE(mxt_create_screen(5, 100, 40, 40));
  RtArray<int32_t> pixels;
  mxt_dim(pixels, 40 * 40);
  ASSERT_TRUE(mxt_sprite_from_array(pixels, 100, 40, 40));
  mxt_use_screen(5);
  mxt_set_alpha_mode(0);
  mxt_draw_rect(0, 0, 40, 40, 0xFF0000);
  mxt_use_screen(-1);
  ImageBuffer image;
  ASSERT_TRUE(read_sprite_back(100, image));
  EXPECT_EQ(image_pixel(image, 20, 20), kBlue);
}

TEST_F(Surfaces, WithoutFramebuffersTheWindowCornerStandsInAndIsPutBack) {
  mxt_draw_rect(0, 0, kWidth, kHeight, 0x00FF00);
  ASSERT_TRUE(mxt_create_screen(1, 100, 40, 30));
  renderer->framebuffers_supported = false;
  mxt_use_screen(1);
  mxt_set_alpha_mode(0);
  mxt_draw_rect(0, 0, 20, 30, 0x0000FF);
  mxt_use_screen(-1);
  ImageBuffer image;
  ASSERT_TRUE(read_sprite_back(100, image));
  EXPECT_EQ(image_pixel(image, 5, 5), kRed);
  EXPECT_EQ(image_pixel(image, 30, 5).a, 0) << "the part not drawn stays transparent";
  EXPECT_EQ(read_pixel(5, 5), kGreen) << "the window's corner is restored";
  EXPECT_EQ(read_pixel(100, 100), kGreen);
}

TEST_F(Surfaces, GrabsTurnEveryOrientationUpright) {
  for (int orientation = 0; orientation < 4; ++orientation) {
    SCOPED_TRACE(orientation);
    reset_drawing_state(*renderer);
    mxt_set_orientation(orientation);
    mxt_set_alpha_mode(0);
    draw_pattern(30, 40, 7, 5);
    mxt_grab_sprite(200, 30, 40, 7, 5);
    ImageBuffer image;
    ASSERT_TRUE(read_sprite_back(200, image));
    ASSERT_EQ(image.width, 7);
    ASSERT_EQ(image.height, 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) ASSERT_EQ(image_pixel(image, x, y), pattern_rgba(x, y)) << x << "," << y;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        ASSERT_EQ(mxt_get_pixel(30 + x, 40 + y), pattern(x, y)) << "a pixel read finds the logical point " << x
                                                                  << "," << y;
  }
}

TEST_F(Surfaces, GrabsReuseATextureOfTheRightSizeAndSizeZeroDeletes) {
  mxt_grab_sprite(7, 0, 0, 20, 20);
  const uint32_t first = sprite_record(7)->texture;
  ASSERT_NE(first, 0u);
  mxt_grab_sprite(7, 10, 10, 30, 17);  // still a 32 x 32 texture
  EXPECT_EQ(sprite_record(7)->texture, first);
  int w = 0, h = 0;
  mxt_sprite_size(7, w, h);
  EXPECT_EQ(w, 30);
  EXPECT_EQ(h, 17);
  mxt_grab_sprite(7, 0, 0, 0, 10);
  mxt_sprite_size(7, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(sprite_record(7)->texture, 0u);
}

TEST_F(Surfaces, AGrabOfAnEnlargedVirtualScreenComesOutAtLogicalSize) {
  mxt_set_virtual_resolution(100, 100);  // 200 x 200 window: scale 2
  mxt_set_alpha_mode(0);
  mxt_set_smoothing(0);
  mxt_draw_rect(10, 10, 10, 10, 0xFF0000);
  mxt_grab_sprite(300, 10, 10, 10, 10);
  mxt_set_virtual_resolution(0, 0);
  int w = 0, h = 0;
  mxt_sprite_size(300, w, h);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 10);
  ImageBuffer image;
  ASSERT_TRUE(read_sprite_back(300, image));
  EXPECT_EQ(image_pixel(image, 5, 5), kBlue);
}

TEST_F(Surfaces, PixelReadsGiveTheColourKeyBackAsItWasCleared) {
  mxt_set_clear_colour(kKey);
  EXPECT_EQ(mxt_get_pixel(50, 50), kKey);
}

TEST_F(Surfaces, SavedScreensAndSpritesDecodeToWhatWasDrawn) {
  TempDir dir;
  mxt_draw_rect(10, 20, 5, 5, 0x00FF00);
  ASSERT_TRUE(mxt_save_screen(RtString(dir.file("shot.png").c_str())));
  ImageBuffer image;
  ASSERT_TRUE(read_png(image, RtString(dir.file("shot.png").c_str()), -1));
  EXPECT_EQ(image.width, kWidth);
  EXPECT_EQ(image.height, kHeight);
  EXPECT_EQ(image_pixel(image, 12, 22), kGreen);
  EXPECT_EQ(image_pixel(image, 0, 0), kBlack);

  mxt_grab_sprite(9, 10, 20, 5, 5);
  ASSERT_TRUE(mxt_save_sprite(RtString(dir.file("grab.bmp").c_str()), 9));
  ImageBuffer bmp;
  ASSERT_TRUE(read_bmp(bmp, RtString(dir.file("grab.bmp").c_str()), -1));
  EXPECT_EQ(bmp.width, 5);
  EXPECT_EQ(image_pixel(bmp, 2, 2), kGreen);

  EXPECT_FALSE(mxt_save_sprite(RtString(dir.file("none.png").c_str()), 12345));
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_FALSE(mxt_save_screen(RtString(dir.file("no/such/folder.png").c_str())));
  EXPECT_EQ(mxt_last_error(), 3);
}

TEST_F(Surfaces, ABackgroundPictureReplacesTheClearUntilAColourIsSet) {
  TempDir dir;
  BmpSpec spec;
  spec.width = 40;
  spec.height = -40;
  spec.bits = 24;
  spec.pixel_data = bmp_rows(40, 40, 24, [](int x, int) -> uint32_t { return x < 20 ? 0xFF0000u : 0xFF0080u; });
  ASSERT_TRUE(write_file(dir.file("back.bmp"), build_bmp(spec)));
  mxt_load_background(RtString(dir.file("back.bmp").c_str()));
  EXPECT_EQ(mxt_last_error(), 0);
  renderer->begin_frame();
  EXPECT_EQ(read_pixel(5, 5), kRed) << "the picture is drawn instead of the clear";
  EXPECT_EQ(read_pixel(30, 5), (Rgba{255, 0, 128, 255})) << "no colour key for backgrounds";
  EXPECT_EQ(read_pixel(100, 100), kBlack);
  const int sprite = renderer->background_slots[0];
  mxt_grab_background();
  EXPECT_EQ(renderer->background_slots[0], sprite) << "the old background's sprite is released, its number free again";
  EXPECT_EQ(sprite_record(sprite)->image_width, kWidth);

  mxt_set_clear_colour(0xFF0000);
  EXPECT_EQ(renderer->background_slots[0], -1);
  renderer->begin_frame();
  EXPECT_EQ(read_pixel(5, 5), kBlue);

  mxt_load_background(RtString(dir.file("missing.png").c_str()));
  EXPECT_EQ(mxt_last_error(), 3);
  renderer->begin_frame();
  EXPECT_EQ(read_pixel(5, 5), kBlack) << "a missing background clears to black";
}

// Texture preservation: the store file's records, saving and restoring twice,
// a short file, and a GL context made anew with sprites, a font and a surface
// drawn the same before and after.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <moxtril.h>
#include "runtime/base/singletons.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/platform/platform.h"
#include "runtime/types/bytes.h"
#include "support/child.h"
#include "support/gl.h"
#include "support/runtime.h"

using namespace mxt;
using namespace mxt_test;

namespace {

void make_sprite(int n, int w, int h, uint32_t seed) {
  RtArray<int32_t> a;
  mxt_dim(a, w * h);
  for (int i = 0; i < w * h; ++i) a(i) = static_cast<int32_t>((static_cast<uint32_t>(i) * 2654435761u + seed) | 0xFF000000u);
  ASSERT_TRUE(mxt_sprite_from_array(a, n, w, h));
}

std::vector<uint8_t> pixels_of(int n) {
  ImageBuffer image;
  EXPECT_TRUE(read_sprite_pixels(n, image));
  return std::vector<uint8_t>(image.pixels, image.pixels + int64_t{image.width} * image.height * 4);
}

class Preserve : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    for (int n : {1, 5, 9, kFirstFontSprite}) delete_sprite(n);
  }
  void TearDown() override { remove_texture_store(*renderer); }
};

}  // namespace

TEST_F(Preserve, TheStoreHoldsOneRecordASpriteInOrderAndRestoresExactlyThose) {
  make_sprite(5, 45, 45, 7);
  make_sprite(1, 3, 2, 9);
  make_sprite(kFirstFontSprite, 16, 8, 11);
  // Every other sprite the suite left behind goes first, so the file holds these three.
  for (int n = 0; n < kSpriteCount - 1; ++n)
    if (n != 1 && n != 5 && n != kFirstFontSprite) delete_sprite(n);
  const std::vector<uint8_t> one = pixels_of(1), five = pixels_of(5), font = pixels_of(kFirstFontSprite);

  ASSERT_TRUE(mxt_preserve_textures(0));
  const std::string store = read_file(texture_store_name(*renderer));
  ASSERT_EQ(store.size(), (12u + 3 * 2 * 4) + (12u + 45 * 45 * 4) + (12u + 16 * 8 * 4));
  const auto* bytes = reinterpret_cast<const uint8_t*>(store.data());
  EXPECT_EQ(read_le32(bytes), 1u);
  EXPECT_EQ(read_le32(bytes + 4), 3u);
  EXPECT_EQ(read_le32(bytes + 8), 2u);
  EXPECT_EQ(read_le32(bytes + 36), 5u) << "in increasing sprite number";
  EXPECT_EQ(read_le32(bytes + 36 + 12 + 8100), static_cast<uint32_t>(kFirstFontSprite));
  EXPECT_EQ(0, std::memcmp(bytes + 12, one.data(), one.size())) << "RGBA, top row first";

  ASSERT_TRUE(mxt_preserve_textures(0)) << "saving again replaces the file";
  EXPECT_EQ(read_file(texture_store_name(*renderer)).size(), store.size());

  delete_sprite(1);
  delete_sprite(5);
  delete_sprite(kFirstFontSprite);
  ASSERT_TRUE(mxt_preserve_textures(1));
  EXPECT_EQ(pixels_of(1), one);
  EXPECT_EQ(pixels_of(5), five);
  EXPECT_EQ(pixels_of(kFirstFontSprite), font);
  EXPECT_FALSE(file_exists(texture_store_name(*renderer))) << "a restore removes the file";
  EXPECT_FALSE(mxt_preserve_textures(1)) << "so a second restore has nothing to open";
}

TEST_F(Preserve, AShortOrLyingFileRestoresWhatItHoldsWhole) {
  make_sprite(1, 4, 4, 3);
  const std::vector<uint8_t> one = pixels_of(1);
  std::string file;
  append_le32(file, 1);
  append_le32(file, 4);
  append_le32(file, 4);
  file.append(reinterpret_cast<const char*>(one.data()), one.size());
  std::string lying = file;
  append_le32(lying, 9);
  append_le32(lying, 30000);  // claims 30000 x 30000 pixels with none behind it
  append_le32(lying, 30000);
  lying += "abcd";
  delete_sprite(1);
  ASSERT_TRUE(write_file(texture_store_name(*renderer), lying));
  ASSERT_TRUE(mxt_preserve_textures(1));
  EXPECT_EQ(pixels_of(1), one);
  int w = 0, h = 0;
  mxt_sprite_size(9, w, h);
  EXPECT_EQ(w, 0) << "the record without its pixels is not made";

  ASSERT_TRUE(write_file(texture_store_name(*renderer), file.substr(0, file.size() - 5)));
  delete_sprite(1);
  ASSERT_TRUE(mxt_preserve_textures(1));
  mxt_sprite_size(1, w, h);
  EXPECT_EQ(w, 0) << "a record cut short ends the restore";
}

TEST_F(Preserve, ANewContextDrawsSpritesFontsAndSurfacesAsBefore) {
  make_sprite(1, 24, 16, 5);
  mxt_set_anim_size(1, 8, 8);
  ASSERT_TRUE(mxt_create_screen(4, 9, 32, 32));
  mxt_use_screen(4);
  mxt_set_alpha_mode(0);
  mxt_draw_rect(0, 0, 32, 32, 0x00FFFF);
  mxt_use_screen(-1);
  auto scene = [] {
    mxt_set_alpha_mode(-1);
    mxt_set_smoothing(0);
    mxt_draw_sprite(1, 10, 10);
    mxt_draw_anim(1, 4, 60, 10);
    mxt_draw_sprite(9, 100, 10);
    mxt_set_font(0, 2);
    mxt_print("Keep me", 10, 60, 1);
  };
  scene();
  ImageBuffer before;
  ASSERT_TRUE(renderer->read_frame(before));

  ASSERT_TRUE(renderer->recreate_context(kWidth, kHeight));
  reset_drawing_state(*renderer);
  scene();
  ImageBuffer after;
  ASSERT_TRUE(renderer->read_frame(after));
  ASSERT_EQ(before.width, after.width);
  EXPECT_EQ(0, std::memcmp(before.pixels, after.pixels, static_cast<size_t>(before.width * before.height * 4)))
      << "every pixel the same";
  EXPECT_NE(read_pixel(120, 20), (Rgba{0, 0, 0, 255})) << "the surface's sprite was drawn";

  // The surface still draws into its sprite in the new context.
  mxt_use_screen(4);
  mxt_draw_rect(0, 0, 32, 32, 0xFF0000);
  mxt_use_screen(-1);
  ImageBuffer surface;
  ASSERT_TRUE(read_sprite_pixels(9, surface));
  EXPECT_EQ(surface.pixel(5, 5)[2], 255);
}

TEST_F(Preserve, AWindowWhoseContextCannotMoveRefusesTheResizeUnchanged) {
  platform::refuse_context_moves(renderer->window, true);
  int w = 0, h = 0;
  EXPECT_FALSE(platform::set_window_size(renderer->window, kWidth + 40, kHeight));
  platform::window_size(renderer->window, &w, &h);
  EXPECT_EQ(w, kWidth);
  mxt_draw_rect(0, 0, 10, 10, 0x0000FF);
  EXPECT_EQ(read_pixel(5, 5), (Rgba{255, 0, 0, 255})) << "the context still draws on the window";
  platform::refuse_context_moves(renderer->window, false);
}

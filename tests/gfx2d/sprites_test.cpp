// The sprite store with a real GL context: textures, loading from files,
// the pixel-array commands, and bad files.
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include "runtime/base/singletons.h"
#include <moxtril.h>
#include "runtime/core/runtime.h"
#include "runtime/gfx2d/sprites.h"
#include "support/child.h"
#include "support/gl.h"
#include "support/images.h"

using namespace mxt;
using namespace mxt_test;

namespace {

class Sprites : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    for (int n : {1, 5, 7, 10, 11, kScratchSprite, kScratchSprite - 1}) {
      delete_sprite(n);
      mxt_set_anim_size(n, 0, 0);
      if (SpriteRecord* r = sprite_record(n)) r->frame_width = r->frame_height = 0;
    }
  }
  RtString save(const std::string& name, const std::string& bytes) {
    write_file(tmp.file(name), bytes);
    return RtString(tmp.file(name).c_str());
  }
  TempDir tmp;
};

RtArray<int32_t> array_of(std::initializer_list<int32_t> values) {
  RtArray<int32_t> a;
  mxt_dim(a, static_cast<int>(values.size()));
  int i = 0;
  for (int32_t v : values) a(i++) = v;
  return a;
}

std::string solid_png(int w, int h, std::array<uint8_t, 4> rgba) {
  PngSpec spec{w, h, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, {}, {}};
  for (int i = 0; i < w * h; ++i) spec.samples.insert(spec.samples.end(), rgba.begin(), rgba.end());
  return build_png(spec);
}

}  // namespace

TEST_F(Sprites, TexturesArePowersOfTwoOfAtLeastSixteen) {
  EXPECT_EQ(texture_side(1), 16);
  EXPECT_EQ(texture_side(16), 16);
  EXPECT_EQ(texture_side(17), 32);
  EXPECT_EQ(texture_side(300), 512);
  mxt_load_sprite(save("a.png", solid_png(45, 45, {1, 2, 3, 255})), 10);
  const SpriteRecord* r = sprite_record(10);
  EXPECT_EQ(r->texture_width, 64);
  EXPECT_EQ(r->texture_height, 64);
  EXPECT_FLOAT_EQ(r->u_max, 45.0f / 64);
  EXPECT_FLOAT_EQ(r->v_max, 45.0f / 64);
  EXPECT_NE(r->texture, 0u);
  EXPECT_NE(r->mipmapped_texture, 0u) << "the square copy for 3D drawing";
  mxt_load_sprite(save("b.png", solid_png(10, 300, {1, 2, 3, 255})), 11);
  EXPECT_EQ(sprite_record(11)->texture_width, 16);
  EXPECT_EQ(sprite_record(11)->texture_height, 512);
  int w, h;
  mxt_sprite_size(11, w, h);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 300);
  double dw, dh;
  mxt_sprite_size(11.0, dw, dh);
  EXPECT_EQ(dh, 300.0);
  EXPECT_EQ(mxt_sprite_texture(11), static_cast<int>(sprite_record(11)->texture));
}

TEST_F(Sprites, EmptyNamesMissingFilesAndFrameSizes) {
  mxt_load_sprite(save("a.png", solid_png(4, 4, {9, 9, 9, 255})), 5);
  ASSERT_GT(sprite_record(5)->image_width, 0);
  mxt_load_sprite("", 5);
  EXPECT_EQ(sprite_record(5)->image_width, 0) << "an empty name deletes";
  EXPECT_EQ(mxt_last_error(), 0);
  mxt_load_bump_sprite("", 5);
  EXPECT_EQ(mxt_last_error(), 3);

  mxt_load_anim(save("strip.png", solid_png(90, 45, {1, 1, 1, 255})), 10, 45, 45);
  EXPECT_EQ(sprite_record(10)->frame_width, 45);
  mxt_load_anim("no-such-file.png", 10, 30, 30);
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_EQ(sprite_record(10)->image_width, 0) << "a failed load leaves the number free";
  EXPECT_EQ(sprite_record(10)->frame_width, 45) << "and keeps the frame size";
  mxt_set_anim_size(10, 9, 9);
  EXPECT_EQ(sprite_record(10)->frame_width, 45) << "no frame size for a free number";
}

TEST_F(Sprites, FreeNumbersAreFoundFromTheTopBelowTheFontSlots) {
  const RtArray<int32_t> one = array_of({-1});
  ASSERT_TRUE(mxt_sprite_from_array(one, kScratchSprite, 1, 1));
  ASSERT_TRUE(mxt_sprite_from_array(one, kScratchSprite - 1, 1, 1));
  EXPECT_EQ(mxt_free_sprite(), kScratchSprite - 2);
  delete_sprite(kScratchSprite);
  EXPECT_EQ(mxt_free_sprite(), kScratchSprite);
}

TEST_F(Sprites, ArraysCarryPixelsAsAbgrIntegers) {
  const RtArray<int32_t> three = array_of({1, 2, 3});
  ASSERT_TRUE(mxt_sprite_from_array(array_of({0x11223344}), 7, 1, 1));
  EXPECT_FALSE(mxt_sprite_from_array(three, 7, 2, 2));
  EXPECT_EQ(sprite_record(7)->image_width, 1) << "a wrong count leaves the sprite alone";

  ASSERT_TRUE(mxt_sprite_from_array(array_of({static_cast<int32_t>(0xFF0000FF), 0x7F00FF00, 0, -1}), 7, 2, 2));
  RtArray<int32_t> back;
  ASSERT_TRUE(mxt_sprite_to_array(back, 7));
  ASSERT_EQ(back.count, 4);
  EXPECT_EQ(static_cast<uint32_t>(back(0)), 0xFF0000FFu) << "opaque red";
  EXPECT_EQ(back(1), 0x7F00FF00);
  EXPECT_EQ(back(3), -1);
  EXPECT_FALSE(mxt_sprite_to_array(back, 1)) << "a free number has no pixels";

  int w = 0, h = 0;
  RtArray<int32_t> loaded;
  ASSERT_TRUE(mxt_load_image_array(save("k.png", solid_png(3, 2, {5, 6, 7, 255})), w, h, loaded));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(loaded.count, 6);
  EXPECT_EQ(static_cast<uint32_t>(loaded(5)), 0xFF070605u);
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_FALSE(mxt_load_image_array(save("k.bmp", "BM but no picture"), w, h, loaded));
  EXPECT_EQ(mxt_last_error(), 3) << "a file that does not decode, like one that is missing";
  EXPECT_EQ(w, 3) << "and the results are left as they were";
  EXPECT_EQ(loaded.count, 6);
  EXPECT_FALSE(mxt_load_image_array("missing.png", w, h, loaded));
  EXPECT_EQ(mxt_last_error(), 3);
}

TEST_F(Sprites, TheColourKeyAppliesToDecodedColourButNotToOwnAlpha) {
  PngSpec rgba{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, {}, {255, 0, 128, 200}};
  mxt_load_sprite(save("rgba.png", build_png(rgba)), 7);
  RtArray<int32_t> px;
  ASSERT_TRUE(mxt_sprite_to_array(px, 7));
  EXPECT_EQ(static_cast<uint32_t>(px(0)), 0xC88000FFu);

  BmpSpec bmp;
  bmp.width = 2;
  bmp.height = 1;
  bmp.pixel_data = bmp_rows(2, 1, 24, [](int x, int) { return x ? 0xFF0080u : 0x00FF00u; });
  mxt_load_sprite(save("key.bmp", build_bmp(bmp)), 7);
  ASSERT_TRUE(mxt_sprite_to_array(px, 7));
  EXPECT_EQ(px(1), 0) << "transparent, and black: an edge pixel has no interior neighbour to bleed from";
  EXPECT_EQ(static_cast<uint32_t>(px(0)), 0xFF00FF00u);
}

TEST_F(Sprites, BumpSpritesBecomeNormalMaps) {
  mxt_load_bump_sprite(save("flat.png", solid_png(16, 16, {0, 0, 90, 255})), 7);  // fills its texture
  RtArray<int32_t> px;
  ASSERT_TRUE(mxt_sprite_to_array(px, 7));
  // A flat height map points straight up: (0.5, 0.5, 1) in colour.
  EXPECT_EQ(static_cast<uint32_t>(px(0)) & 0xFFFFFF, 0xFF7F7Fu);
}

TEST_F(Sprites, BadFilesGiveErrorThreeAndAnEmptySprite) {
  std::vector<std::pair<std::string, std::string>> bad;
  bad.emplace_back("empty", "");
  bad.emplace_back("bm-only", "BM");
  bad.emplace_back("random", std::string("\x13\x37\xC0\xDE garbage that is no picture at all"));
  auto bmp = [](int w, int h, int bits, size_t data_bytes) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    s.bits = bits;
    if (bits <= 8) s.palette.assign(static_cast<size_t>(1) << bits, Rgb{1, 2, 3});
    s.pixel_data.assign(data_bytes, 0x55);
    return build_bmp(s);
  };
  bad.emplace_back("bmp-zero-width", bmp(0, 4, 24, 64));
  bad.emplace_back("bmp-negative-width", bmp(-4, 4, 24, 64));
  bad.emplace_back("bmp-overflowing-size", bmp(100000, 100000, 24, 64));
  bad.emplace_back("bmp-data-past-end", bmp(100, 100, 24, 10));
  bad.emplace_back("bmp-seven-bits", bmp(4, 4, 7, 64));
  std::string palette_past_end = bmp(4, 4, 8, 16);
  palette_past_end[10] = '\xFF';  // data offset far beyond the file
  palette_past_end[11] = '\xFF';
  bad.emplace_back("bmp-palette-past-end", palette_past_end);
  BmpSpec cut_rle;
  cut_rle.width = 8;
  cut_rle.height = 2;
  cut_rle.bits = 8;
  cut_rle.compression = 1;
  cut_rle.palette = {{1, 1, 1}};
  cut_rle.pixel_data = {0, 20, 1, 1};  // a literal run of 20 that stops after 2
  bad.emplace_back("bmp-rle-cut-in-run", build_bmp(cut_rle));
  // Wider than any GL texture here, though a valid picture.
  BmpSpec huge_side;
  huge_side.width = 20000;
  huge_side.height = 1;
  huge_side.bits = 1;
  huge_side.palette = {{0, 0, 0}, {1, 1, 1}};
  huge_side.pixel_data.assign(2500, 0);
  bad.emplace_back("bmp-above-texture-limit", build_bmp(huge_side));

  const std::string png = solid_png(16, 16, {1, 2, 3, 255});
  bad.emplace_back("png-signature-only", png.substr(0, 8));
  bad.emplace_back("png-cut-in-header", png.substr(0, 20));
  bad.emplace_back("png-cut-in-data", png.substr(0, png.size() - 20));
  std::string bad_crc = png;
  bad_crc[29] ^= 0x40;  // the IHDR checksum
  bad.emplace_back("png-bad-header-crc", bad_crc);
  std::string huge_png = png;
  huge_png[16] = 0x00;  // width 0x00FFFFFF > any limit, its checksum fixed below
  huge_png[17] = '\xFF';
  huge_png[18] = '\xFF';
  huge_png[19] = '\xFF';
  const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(huge_png.data() + 12), 17));
  for (int i = 0; i < 4; ++i) huge_png[29 + static_cast<size_t>(i)] = static_cast<char>(crc >> (24 - 8 * i));
  bad.emplace_back("png-huge-dimensions", huge_png);
  PngSpec no_palette{2, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {{1, 2, 3}}, {}, {0, 0}};
  std::string without_plte = build_png(no_palette);
  const size_t plte = without_plte.find("PLTE");
  without_plte.erase(plte - 4, 4 + 4 + 3 + 4);  // length, type, 3 bytes, checksum
  bad.emplace_back("png-palette-missing", without_plte);

  std::vector<uint8_t> rgb(64 * 64 * 3, 128);
  const std::string jpeg = build_jpeg(64, 64, 3, rgb, false);
  bad.emplace_back("jpeg-cut-in-half", jpeg.substr(0, jpeg.size() / 2));
  bad.emplace_back("jpeg-soi-then-garbage", std::string("\xFF\xD8\xFF\x01 not a marker stream"));
  std::string huge_jpeg = jpeg;
  const size_t sof = huge_jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  huge_jpeg[sof + 5] = '\xFF';  // height
  huge_jpeg[sof + 6] = '\xF0';
  huge_jpeg[sof + 7] = '\xFF';  // width
  huge_jpeg[sof + 8] = '\xF0';
  bad.emplace_back("jpeg-huge-dimensions", huge_jpeg);

  // Small files whose headers claim what they do not hold.
  for (const char* name : {"image-png-huge-text-chunk.png", "bmp-8192-nodata.bmp", "bmp-8192-rle8-empty.bmp",
                           "jpeg-8192-progressive-cut.jpg", "png-16384x4096-no-data.png"})
    bad.emplace_back(name, read_file(std::string(MXT_SOURCE_DIR) + "/tests/data/regressions/" + name));

  ASSERT_GE(bad.size(), 19u);
  for (const auto& [name, bytes] : bad) {
    mxt_load_sprite(save("ok.png", solid_png(2, 2, {1, 1, 1, 255})), 7);
    ASSERT_GT(sprite_record(7)->image_width, 0);
    mxt_load_sprite(save(name, bytes), 7);
    EXPECT_EQ(mxt_last_error(), 3) << name;
    EXPECT_EQ(sprite_record(7)->image_width, 0) << name;
    EXPECT_EQ(sprite_record(7)->texture, 0u) << name;
  }
}

TEST_F(Sprites, OddButDecodableFilesLoadWithoutHarm) {
  // A palette index past the palette's end is black; an RLE run past its row is cut.
  BmpSpec index;
  index.width = 2;
  index.height = 1;
  index.bits = 8;
  index.palette = {{200, 100, 50}};
  index.pixel_data = {0, 200, 0, 0};
  mxt_load_sprite(save("index.bmp", build_bmp(index)), 7);
  EXPECT_EQ(mxt_last_error(), 0);
  RtArray<int32_t> px;
  ASSERT_TRUE(mxt_sprite_to_array(px, 7));
  EXPECT_EQ(static_cast<uint32_t>(px(0)), 0xFF3264C8u);
  EXPECT_EQ(static_cast<uint32_t>(px(1)), 0xFF000000u);
  BmpSpec run = index;
  run.compression = 1;
  run.pixel_data = {255, 0, 0, 2, 50, 50, 0, 1};  // a run of 255, a delta far outside
  mxt_load_sprite(save("run.bmp", build_bmp(run)), 7);
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(sprite_record(7)->image_width, 2);
}

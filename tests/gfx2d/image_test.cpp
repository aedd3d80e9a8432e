// Image decoding and encoding from bytes made in the test.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>

#include "runtime/base/singletons.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/gfx2d/image.h"
#include "runtime/platform/platform.h"
#include "support/child.h"
#include "support/images.h"

using namespace mxt;
using namespace mxt_test;

namespace {

std::span<const uint8_t> bytes_of(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

std::array<int, 4> px(const ImageBuffer& image, int x, int y) {
  const uint8_t* p = image.pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

constexpr int32_t kKey = 0x8000FF;  // red 255, green 0, blue 128

}  // namespace

// ---------------------------------------------------------------------------
// BMP

TEST(Bmp, TwentyFourBitRowsArePaddedToFourBytesAndStoredBottomUp) {
  BmpSpec spec;
  spec.width = 5;
  spec.height = 2;
  spec.bits = 24;
  // stored row 0 is the bottom: red there, blue on top
  spec.pixel_data = bmp_rows(5, 2, 24, [](int x, int y) { return y == 0 ? 0xFF0000u + static_cast<uint32_t>(x) : 0x0000FFu; });
  ASSERT_EQ(spec.pixel_data.size(), 32u) << "5 pixels of 3 bytes make 16-byte rows";
  ImageBuffer image;
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(spec)), -1));
  EXPECT_EQ(image.width, 5);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.own_alpha, 0);
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0, 0, 255, 255}));
  EXPECT_EQ(px(image, 4, 1), (std::array<int, 4>{255, 0, 4, 255}));
}

TEST(Bmp, PaletteDepthsIndexTheirPalette) {
  const std::vector<Rgb> two = {{0, 0, 0}, {255, 255, 255}};
  std::vector<Rgb> sixteen, full;
  for (int i = 0; i < 16; ++i) sixteen.push_back({static_cast<uint8_t>(i * 16), 1, 2});
  for (int i = 0; i < 256; ++i) full.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7});
  struct Case { int bits, width; std::vector<Rgb> palette; size_t row_bytes; } cases[] = {
      {1, 33, two, 8}, {4, 4, sixteen, 4}, {4, 7, sixteen, 4}, {8, 3, full, 4}, {8, 5, full, 8}};
  for (const Case& c : cases) {
    BmpSpec spec;
    spec.width = c.width;
    spec.height = 2;
    spec.bits = c.bits;
    spec.palette = c.palette;
    const uint32_t n = static_cast<uint32_t>(c.palette.size());
    spec.pixel_data = bmp_rows(c.width, 2, c.bits, [&](int x, int y) { return static_cast<uint32_t>(x * 3 + y) % n; });
    ASSERT_EQ(spec.pixel_data.size(), c.row_bytes * 2) << c.bits << " bits, " << c.width << " wide";
    ImageBuffer image;
    ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(spec)), -1)) << c.bits;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const Rgb& e = c.palette[static_cast<size_t>(x * 3 + (1 - y)) % n];  // output row 0 is stored row 1
        EXPECT_EQ(px(image, x, y), (std::array<int, 4>{e[0], e[1], e[2], 255})) << c.bits << " bits at " << x << "," << y;
      }
    }
  }
}

TEST(Bmp, SixteenAndThirtyTwoBitsAndBitfields) {
  BmpSpec spec;
  spec.width = 3;
  spec.height = 1;
  spec.bits = 16;
  spec.pixel_data = bmp_rows(3, 1, 16, [](int x, int) { return std::array<uint32_t, 3>{0x7FFF, 0x001F, 0x7C00}[static_cast<size_t>(x)]; });
  ImageBuffer image;
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(spec)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{255, 255, 255, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0, 0, 255, 255}));
  EXPECT_EQ(px(image, 2, 0), (std::array<int, 4>{255, 0, 0, 255}));

  spec.compression = 3;  // 5-6-5
  spec.masks = {0xF800, 0x07E0, 0x001F};
  spec.pixel_data = bmp_rows(3, 1, 16, [](int x, int) { return std::array<uint32_t, 3>{0xF800, 0x07E0, 0xFFFF}[static_cast<size_t>(x)]; });
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(spec)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0, 255, 0, 255}));
  EXPECT_EQ(px(image, 2, 0), (std::array<int, 4>{255, 255, 255, 255}));

  BmpSpec wide;
  wide.width = 2;
  wide.height = 1;
  wide.bits = 32;
  wide.pixel_data = {0x10, 0x20, 0x30, 0x99, 0x80, 0x00, 0xFF, 0x00};  // blue, green, red, ignored
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(wide)), kKey));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0x30, 0x20, 0x10, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0, 0, 0, 0})) << "the colour key";
}

TEST(Bmp, TopDownFilesAndCoreHeadersAndTheColourKey) {
  BmpSpec spec;
  spec.width = 2;
  spec.height = -2;  // top-down: the first stored row is the top
  spec.bits = 24;
  spec.pixel_data = bmp_rows(2, 2, 24, [](int, int y) { return y == 0 ? 0x00FF00u : 0xFF0080u; });
  ImageBuffer image;
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(spec)), kKey));
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0, 255, 0, 255}));
  EXPECT_EQ(px(image, 1, 1), (std::array<int, 4>{0, 0, 0, 0})) << "red 255, blue 128 is the colour key";
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(spec)), -1));
  EXPECT_EQ(px(image, 1, 1), (std::array<int, 4>{255, 0, 128, 255})) << "no key, no transparency";

  for (int bits : {1, 8}) {
    BmpSpec core;
    core.core_header = true;
    core.width = 3;
    core.height = 1;
    core.bits = bits;
    for (int i = 0; i < (1 << bits); ++i) core.palette.push_back({static_cast<uint8_t>(i ? 200 : 10), 20, 30});
    core.pixel_data = bmp_rows(3, 1, bits, [](int x, int) { return static_cast<uint32_t>(x & 1); });
    ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(core)), -1)) << bits;
    EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{10, 20, 30, 255})) << bits;
    EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{200, 20, 30, 255})) << bits;
  }

  BmpSpec v4 = spec;
  v4.info_size = 108;  // a later header version is left to the next decoder
  EXPECT_FALSE(decode_bmp(image, bytes_of(build_bmp(v4)), -1));
  EXPECT_EQ(image.width, 0);
}

TEST(Bmp, RunLengthEncodedPictures) {
  const std::vector<Rgb> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  BmpSpec rle8;
  rle8.width = 5;
  rle8.height = 2;
  rle8.bits = 8;
  rle8.compression = 1;
  rle8.palette = palette;
  // bottom row: a literal red, green, blue (padded), 2 x red, end of line;
  // top row: a delta of (2, 0), 3 x green, end of picture
  rle8.pixel_data = {0, 3, 1, 2, 3, 0, 2, 1, 0, 0, 0, 2, 2, 0, 3, 2, 0, 1};
  ImageBuffer image;
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(rle8)), -1));
  EXPECT_EQ(px(image, 0, 1), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(px(image, 2, 1), (std::array<int, 4>{0, 0, 255, 255}));
  EXPECT_EQ(px(image, 4, 1), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0, 0, 0, 255})) << "skipped by the delta";
  EXPECT_EQ(px(image, 2, 0), (std::array<int, 4>{0, 255, 0, 255}));
  EXPECT_EQ(px(image, 4, 0), (std::array<int, 4>{0, 255, 0, 255}));

  BmpSpec rle4 = rle8;
  rle4.bits = 4;
  rle4.compression = 2;
  rle4.height = 1;
  rle4.pixel_data = {4, 0x12, 0, 1};  // alternating 1, 2, 1, 2
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(rle4)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0, 255, 0, 255}));
  EXPECT_EQ(px(image, 3, 0), (std::array<int, 4>{0, 255, 0, 255}));

  // A run past the row is cut; a stream cut inside a literal run fails.
  rle8.pixel_data = {200, 1, 0, 1};
  EXPECT_TRUE(decode_bmp(image, bytes_of(build_bmp(rle8)), -1));
  rle8.pixel_data = {0, 9, 1, 2};
  EXPECT_FALSE(decode_bmp(image, bytes_of(build_bmp(rle8)), -1));
}

// ---------------------------------------------------------------------------
// PNG

TEST(Png, EveryColourTypeBecomesRgba) {
  ImageBuffer image;
  PngSpec grey{2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {}, {}, {10, 200}};
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(grey)), -1));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{200, 200, 200, 255}));
  EXPECT_EQ(image.own_alpha, 0);

  PngSpec grey1{8, 1, PNG_COLOR_TYPE_GRAY, 1, false, {}, {}, {0x81}};
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(grey1)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{255, 255, 255, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0, 0, 0, 255}));

  PngSpec rgb{2, 1, PNG_COLOR_TYPE_RGB, 8, false, {}, {}, {255, 0, 128, 1, 2, 3}};
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(rgb)), kKey));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0, 0, 0, 0})) << "the colour key in an RGB picture";
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{1, 2, 3, 255}));

  PngSpec rgba{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, {}, {255, 0, 128, 77}};
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(rgba)), kKey));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{255, 0, 128, 77})) << "own alpha wins over the key";
  EXPECT_EQ(image.own_alpha, 1);

  PngSpec pal{2, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {{9, 8, 7}, {6, 5, 4}}, {}, {1, 0}};
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(pal)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{6, 5, 4, 255}));
  pal.trns = {0, 128};
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(pal)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{6, 5, 4, 128})) << "tRNS gives four channels";
  EXPECT_EQ(image.own_alpha, 1);

  PngSpec deep{1, 1, PNG_COLOR_TYPE_RGB, 16, false, {}, {}, {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF}};
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(deep)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0x12, 0xAB, 0xFF, 255})) << "16-bit samples keep their high byte";

  PngSpec grey_alpha{1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {}, {}, {5, 6}};
  EXPECT_FALSE(decode_png(image, bytes_of(build_png(grey_alpha)), -1)) << "grey with alpha is refused";
}

TEST(Png, InterlacedPicturesDecodeWhole) {
  PngSpec spec{9, 9, PNG_COLOR_TYPE_RGB_ALPHA, 8, true, {}, {}, {}};
  for (int i = 0; i < 81; ++i) {
    const uint8_t v = static_cast<uint8_t>(i * 3);
    spec.samples.insert(spec.samples.end(), {v, static_cast<uint8_t>(255 - v), 0x42, 255});
  }
  ImageBuffer image;
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(spec)), -1));
  for (int i : {0, 40, 80}) EXPECT_EQ(px(image, i % 9, i / 9)[0], i * 3);
}

// ---------------------------------------------------------------------------
// JPEG

TEST(Jpeg, BaselineProgressiveAndGrey) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) rgb.insert(rgb.end(), {static_cast<uint8_t>(x < 8 ? 250 : 5), 30, static_cast<uint8_t>(y < 8 ? 240 : 10)});
  for (bool progressive : {false, true}) {
    ImageBuffer image;
    ASSERT_TRUE(decode_jpeg(image, bytes_of(build_jpeg(16, 16, 3, rgb, progressive))));
    EXPECT_EQ(image.width, 16);
    EXPECT_EQ(image.own_alpha, 0);
    const auto p = px(image, 2, 2);  // well inside the first 8 x 8 block
    EXPECT_NEAR(p[0], 250, 8);
    EXPECT_NEAR(p[1], 30, 8);
    EXPECT_NEAR(p[2], 240, 8);
    EXPECT_EQ(p[3], 255);
    EXPECT_NEAR(px(image, 13, 13)[0], 5, 8);
  }
  std::vector<uint8_t> grey(64, 77);
  ImageBuffer image;
  ASSERT_TRUE(decode_jpeg(image, bytes_of(build_jpeg(8, 8, 1, grey, false))));
  const auto g = px(image, 3, 3);
  EXPECT_EQ(g[0], g[1]);
  EXPECT_EQ(g[1], g[2]);
  EXPECT_NEAR(g[0], 77, 2);
}

TEST(Jpeg, TruncatedStreamsAndMemoryNamesFail) {
  std::vector<uint8_t> rgb(32 * 32 * 3, 99);
  const std::string whole = build_jpeg(32, 32, 3, rgb, false);
  ImageBuffer image;
  EXPECT_FALSE(decode_jpeg(image, bytes_of(whole.substr(0, whole.size() / 2))));
  EXPECT_EQ(image.width, 0);

  // Through the file layer a real file decodes and an in-memory name does not.
  TempDir tmp;
  write_file(tmp.file("a.jpg"), whole);
  EXPECT_TRUE(read_jpeg(image, RtString(tmp.file("a.jpg").c_str())));
  const RtString memory = mxt_register_memory_file(whole.data(), static_cast<int64_t>(whole.size()));
  EXPECT_FALSE(read_jpeg(image, memory));
  EXPECT_TRUE(read_png(image, memory, -1) == false);
  mxt_unregister_memory_file(whole.data());
}

// ---------------------------------------------------------------------------
// Transparent edges and writing

TEST(Images, BleedingGivesTransparentPixelsTheirNeighboursColour) {
  ImageBuffer image;
  ASSERT_TRUE(image.size_to(5, 3));
  // row 1: (1,1) opaque red, (2,1) transparent, (3,1) opaque blue
  std::memcpy(image.pixel(1, 1), "\xFF\x00\x00\xFF", 4);
  std::memcpy(image.pixel(3, 1), "\x00\x00\xFF\xFF", 4);
  std::memcpy(image.pixel(0, 0), "\x00\xFF\x00\xFF", 4);  // on the border: never a neighbour
  bleed_transparent(image);
  EXPECT_EQ(px(image, 2, 1), (std::array<int, 4>{127, 0, 127, 0}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{255, 0, 0, 0})) << "only interior neighbours count";
  EXPECT_EQ(px(image, 4, 2)[3], 0);
}

TEST(Images, PngAndBmpRoundTripAndTheExtensionChoosesTheFormat) {
  TempDir tmp;
  ImageBuffer image;
  ASSERT_TRUE(image.size_to(7, 5));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      uint8_t* p = image.pixel(x, y);
      p[0] = static_cast<uint8_t>(x * 30);
      p[1] = static_cast<uint8_t>(y * 50);
      p[2] = static_cast<uint8_t>(x * y);
      p[3] = 255;
    }
  image.pixel(6, 4)[3] = 128;

  ASSERT_TRUE(write_image(RtString(tmp.file("a.PNG").c_str()), image));
  const std::string png = read_file(tmp.file("a.PNG"));
  EXPECT_EQ(png.substr(1, 3), "PNG");
  ImageBuffer back;
  ASSERT_TRUE(decode_png(back, bytes_of(png), -1));
  ASSERT_EQ(back.width, 7);
  EXPECT_EQ(std::memcmp(back.pixels, image.pixels, 7 * 5 * 4), 0) << "PNG keeps every byte";

  ASSERT_TRUE(write_image(RtString(tmp.file("b.bmp").c_str()), image));
  ASSERT_TRUE(decode_bmp(back, bytes_of(read_file(tmp.file("b.bmp"))), -1));
  EXPECT_EQ(px(back, 3, 2), px(image, 3, 2));
  EXPECT_EQ(px(back, 6, 4), (std::array<int, 4>{255, 0, 128, 255})) << "a non-opaque pixel is stored as the key";

  ASSERT_TRUE(write_image(RtString(tmp.file("c.jpeg").c_str()), image));
  EXPECT_EQ(read_file(tmp.file("c.jpeg")).substr(0, 2), "BM") << ".jpeg is not .jpg";
  const std::string here = platform::current_dir();
  ASSERT_TRUE(platform::set_current_dir(tmp.path()));
  EXPECT_TRUE(write_image(".png", image));
  platform::set_current_dir(here);
  EXPECT_EQ(read_file(tmp.file(".png")).substr(0, 2), "BM") << "the four-character name .png is no extension";
  ASSERT_TRUE(write_image(RtString(tmp.file("d.jpg").c_str()), image));
  EXPECT_EQ(read_file(tmp.file("d.jpg")).substr(0, 2), "\xFF\xD8");
  ASSERT_TRUE(decode_jpeg(back, bytes_of(read_file(tmp.file("d.jpg")))));
  EXPECT_EQ(back.width, 7);
}

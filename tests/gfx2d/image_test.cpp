// Image decoding and encoding from bytes made in the test.
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "runtime/base/singletons.h"
#include <moxtril.h>
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

std::string regression(const std::string& name) {
  return read_file(std::string(MXT_SOURCE_DIR) + "/tests/data/regressions/" + name);
}

// A "VmRSS" or "VmHWM" figure of this process, in KiB; -1 when not found.
int64_t memory_kib(const char* field) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  int64_t kib = -1;
  const size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, field, n) == 0 && line[n] == ':') kib = std::strtoll(line + n + 1, nullptr, 10);
  std::fclose(f);
  return kib;
}

// How far the peak resident memory of this process rose while `work` ran, in
// MiB; -1 where the system keeps no peak that can be reset. Decoders zero or
// fill what they allocate for a picture, so a rise shows the allocation.
int64_t peak_rise_mib(const std::function<void()>& work) {
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (!f) return -1;
  const bool reset = std::fputs("5", f) >= 0;
  if (std::fclose(f) != 0 || !reset) return -1;
  const int64_t before = memory_kib("VmRSS");
  work();
  const int64_t peak = memory_kib("VmHWM");
  return before < 0 || peak < 0 ? -1 : (peak - before) / 1024;
}

// A decode that must fail without ever holding the picture its header claims.
void expect_refused_cheaply(const std::function<bool()>& decode, const std::string& what) {
  bool decoded = true;
  const int64_t rise = peak_rise_mib([&] { decoded = decode(); });
  EXPECT_FALSE(decoded) << what;
  if (rise >= 0) {
    EXPECT_LT(rise, 16) << what << ": MiB of peak memory on the way to failing";
  }
}

// A PNG with one more chunk after its header, checksum and all.
std::string with_chunk(const std::string& png, const char* type, const std::string& data) {
  std::string chunk;
  for (int i = 3; i >= 0; --i) chunk += static_cast<char>(data.size() >> (8 * i));
  chunk += std::string(type, 4) + data;
  const uint32_t crc = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4), static_cast<uInt>(chunk.size() - 4)));
  for (int i = 3; i >= 0; --i) chunk += static_cast<char>(crc >> (8 * i));
  return png.substr(0, 33) + chunk + png.substr(33);  // the signature and IHDR are 33 bytes
}

// A JPEG's frame header made to claim another size.
void claim_jpeg_size(std::string& jpeg, int width, int height) {
  size_t sof = jpeg.find("\xFF\xC0");
  if (sof == std::string::npos) sof = jpeg.find("\xFF\xC2");
  ASSERT_NE(sof, std::string::npos);
  jpeg[sof + 5] = static_cast<char>(height >> 8);
  jpeg[sof + 6] = static_cast<char>(height);
  jpeg[sof + 7] = static_cast<char>(width >> 8);
  jpeg[sof + 8] = static_cast<char>(width);
}

std::vector<uint8_t> noise(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t x = 12345;
  for (uint8_t& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

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

  BmpSpec os2 = spec;
  os2.info_size = 64;  // OS/2 2.x: its compression numbers mean other things; left to the next decoder
  EXPECT_FALSE(decode_bmp(image, bytes_of(build_bmp(os2)), -1));
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

TEST(Bmp, LaterHeaderVersionsCarryTheirMasks) {
  // Bitfields as image editors write them: alpha, red, green, blue, high to low.
  const std::vector<uint8_t> argb = bmp_rows(2, 1, 32, [](int x, int) { return x ? 0x80102030u : 0xFF405060u; });
  for (uint32_t size : {52u, 56u, 108u, 124u}) {
    BmpSpec spec;
    spec.width = 2;
    spec.height = 1;
    spec.bits = 32;
    spec.info_size = size;
    spec.compression = 3;
    spec.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
    spec.alpha_mask = 0xFF000000;  // written from 56 bytes on
    spec.pixel_data = argb;
    ImageBuffer image;
    ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(spec)), kKey)) << size;
    EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0x40, 0x50, 0x60, 255})) << size;
    const int alpha = size == 52 ? 255 : 0x80;
    EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0x10, 0x20, 0x30, alpha})) << size;
    EXPECT_EQ(image.own_alpha, size == 52 ? 0 : 1) << size;
  }

  // Without the bitfield compression the masks mean nothing: 32 bits are
  // blue, green, red and an unused byte, whatever the header says.
  BmpSpec v5;
  v5.width = 3;
  v5.height = 1;
  v5.bits = 32;
  v5.info_size = 124;
  v5.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
  v5.alpha_mask = 0xFF000000;
  v5.pixel_data = {0x10, 0x20, 0x30, 0x00, 0x80, 0x00, 0xFF, 0x00, 1, 2, 3, 4};
  ImageBuffer image;
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(v5)), kKey));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0x30, 0x20, 0x10, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0, 0, 0, 0})) << "the colour key";
  EXPECT_EQ(px(image, 2, 0), (std::array<int, 4>{3, 2, 1, 255})) << "the fourth byte is unused";
  EXPECT_EQ(image.own_alpha, 0);

  // An alpha mask over nothing but zeros was never filled in: opaque, keyed.
  v5.compression = 3;
  v5.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
  v5.pixel_data[11] = 0;
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(v5)), kKey));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0x30, 0x20, 0x10, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0, 0, 0, 0})) << "the colour key";
  EXPECT_EQ(px(image, 2, 0)[3], 255);
  EXPECT_EQ(image.own_alpha, 0);
  // One pixel with alpha makes it the file's own: then the key does not apply.
  v5.pixel_data[11] = 0x01;
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(v5)), kKey));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{255, 0, 128, 0}));
  EXPECT_EQ(px(image, 2, 0), (std::array<int, 4>{3, 2, 1, 1}));
  EXPECT_EQ(image.own_alpha, 1);

  // Refused: embedded JPEG or PNG data, and a header the file cuts short.
  for (uint32_t compression : {4u, 5u}) {
    v5.compression = compression;
    EXPECT_FALSE(decode_bmp(image, bytes_of(build_bmp(v5)), -1)) << compression;
  }
  v5.compression = 0;
  EXPECT_FALSE(decode_bmp(image, bytes_of(build_bmp(v5).substr(0, 14 + 100)), -1));
}

TEST(Bmp, AnEmbeddedColourProfileIsNeitherPaletteNorPixels) {
  BmpSpec spec;
  spec.width = 3;
  spec.height = 1;
  spec.bits = 8;
  spec.info_size = 124;
  spec.palette = {{10, 20, 30}, {40, 50, 60}};
  spec.profile.assign(96, 0xAB);
  spec.pixel_data = {1, 0, 5, 0};
  ImageBuffer image;
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(spec)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{40, 50, 60, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{10, 20, 30, 255}));
  EXPECT_EQ(px(image, 2, 0), (std::array<int, 4>{0, 0, 0, 255})) << "past the two stated entries: black, not profile bytes";

  BmpSpec rgb;
  rgb.width = 2;
  rgb.height = 1;
  rgb.info_size = 124;
  rgb.profile.assign(200, 0xCD);
  rgb.pixel_data = bmp_rows(2, 1, 24, [](int x, int) { return x ? 0x123456u : 0xABCDEFu; });
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(rgb)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0xAB, 0xCD, 0xEF, 255}));
  EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{0x12, 0x34, 0x56, 255}));
}

TEST(Bmp, PicturesTheFileDoesNotHoldAreRefusedBeforeTheyAreAllocated) {
  ImageBuffer image;
  const std::string nodata = regression("bmp-8192-nodata.bmp");
  ASSERT_EQ(nodata.size(), 54u);
  expect_refused_cheaply([&] { return decode_bmp(image, bytes_of(nodata), -1); }, "8192 x 8192 header, no pixels");
  const std::string empty_rle = regression("bmp-8192-rle8-empty.bmp");
  ASSERT_EQ(empty_rle.size(), 56u);
  expect_refused_cheaply([&] { return decode_bmp(image, bytes_of(empty_rle), -1); }, "8192 x 8192 RLE8, end of picture only");

  // Above a million pixels, an RLE stream must code one pixel in sixteen.
  BmpSpec rle;
  rle.width = 2048;
  rle.height = 1024;
  rle.bits = 8;
  rle.compression = 1;
  rle.palette = {{0, 0, 0}, {9, 8, 7}};
  auto coded_rows = [](int rows) {
    std::vector<uint8_t> stream;
    for (int y = 0; y < rows; ++y) {
      for (int i = 0; i < 8; ++i) stream.insert(stream.end(), {255, 1});
      stream.insert(stream.end(), {8, 1, 0, 0});  // 8 x 255 + 8 = 2048, end of line
    }
    stream.insert(stream.end(), {0, 1});
    return stream;
  };
  rle.pixel_data = coded_rows(64);  // 2048 x 64 = a sixteenth
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(rle)), -1));
  EXPECT_EQ(px(image, 2047, 1023), (std::array<int, 4>{9, 8, 7, 255})) << "the bottom row is stored first";
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0, 0, 0, 255})) << "left out: palette entry 0";
  rle.pixel_data = coded_rows(63);
  EXPECT_FALSE(decode_bmp(image, bytes_of(build_bmp(rle)), -1));
  rle.pixel_data.assign(4096, 0);  // end-of-line codes code nothing however many there are
  EXPECT_FALSE(decode_bmp(image, bytes_of(build_bmp(rle)), -1));

  // Smaller pictures may leave out what they like, as they always could.
  rle.width = rle.height = 1024;
  rle.pixel_data = {0, 1};
  ASSERT_TRUE(decode_bmp(image, bytes_of(build_bmp(rle)), -1));
  EXPECT_EQ(px(image, 1023, 1023), (std::array<int, 4>{0, 0, 0, 255}));
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
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(grey_alpha)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{5, 5, 5, 6})) << "grey with alpha becomes RGBA";
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

TEST(Png, GreyWithAlphaBecomesRgba) {
  struct Case {
    const char* what;
    PngSpec spec;
    std::array<int, 4> first, last;
  };
  const Case cases[] = {
      {"8 bits", {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {}, {}, {10, 200, 99, 0}}, {10, 10, 10, 200}, {99, 99, 99, 0}},
      {"8 bits interlaced",
       {3, 3, PNG_COLOR_TYPE_GRAY_ALPHA, 8, true, {}, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}},
       {1, 1, 1, 2}, {17, 17, 17, 18}},
      {"16 bits", {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, {}, {}, {0x12, 0x34, 0xAB, 0xCD, 0xFE, 0, 0x01, 0xFF}},
       {0x12, 0x12, 0x12, 0xAB}, {0xFE, 0xFE, 0xFE, 0x01}},
      {"16 bits interlaced", {1, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 16, true, {}, {}, {0x40, 0, 0x80, 0, 0x50, 0, 0x90, 0}},
       {0x40, 0x40, 0x40, 0x80}, {0x50, 0x50, 0x50, 0x90}},
      {"8-bit tRNS", {2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {}, {}, {10, 77}, 77}, {10, 10, 10, 255}, {77, 77, 77, 0}},
      {"2-bit tRNS", {4, 1, PNG_COLOR_TYPE_GRAY, 2, false, {}, {}, {0x1B}, 3}, {0, 0, 0, 255}, {255, 255, 255, 0}},
      {"16-bit tRNS", {2, 1, PNG_COLOR_TYPE_GRAY, 16, false, {}, {}, {0x12, 0x34, 0x12, 0x35}, 0x1234},
       {0x12, 0x12, 0x12, 0}, {0x12, 0x12, 0x12, 255}},
  };
  for (const Case& c : cases) {
    ImageBuffer image;
    ASSERT_TRUE(decode_png(image, bytes_of(build_png(c.spec)), kKey)) << c.what;
    EXPECT_EQ(px(image, 0, 0), c.first) << c.what;
    EXPECT_EQ(px(image, c.spec.width - 1, c.spec.height - 1), c.last) << c.what;
    EXPECT_EQ(image.own_alpha, 1) << c.what;
  }
  // Grey without alpha stays as it was.
  ImageBuffer image;
  PngSpec grey16{1, 1, PNG_COLOR_TYPE_GRAY, 16, true, {}, {}, {0xC0, 0x01}};
  ASSERT_TRUE(decode_png(image, bytes_of(build_png(grey16)), -1));
  EXPECT_EQ(px(image, 0, 0), (std::array<int, 4>{0xC0, 0xC0, 0xC0, 255}));
  EXPECT_EQ(image.own_alpha, 0);
}

TEST(Png, AChunkLengthIsAClaimNotAnAllocation) {
  ImageBuffer image;
  const std::string huge_text = regression("image-png-huge-text-chunk.png");
  ASSERT_EQ(huge_text.size(), 41u);
  expect_refused_cheaply([&] { return decode_png(image, bytes_of(huge_text), -1); }, "a tEXt chunk claiming 1.2 GB");

  const std::string png = build_png({2, 1, PNG_COLOR_TYPE_RGB, 8, false, {}, {}, {1, 2, 3, 4, 5, 6}});
  // Under libpng's chunk limit, and still not there.
  const std::string claim = png.substr(0, 33) + std::string("\x03\xC0\x00\x00", 4) + "zTXt";  // 60 MiB
  expect_refused_cheaply([&] { return decode_png(image, bytes_of(claim), -1); }, "a zTXt chunk claiming 60 MiB");

  // Chunks that are there cost their reading only, damaged or not.
  std::string rich = with_chunk(png, "tEXt", "Comment" + std::string(1, '\0') + std::string(3 << 20, 'x'));
  rich = with_chunk(rich, "iCCP", std::string("icc\0\0not deflate data", 21));
  rich = with_chunk(rich, "ruSt", "unknown and safe to copy");
  std::string bad_crc = with_chunk(png, "iTXt", "XML:com.adobe.xmp");
  bad_crc[33 + 8 + 17] ^= 0x55;
  for (const std::string& file : {rich, bad_crc}) {
    ASSERT_TRUE(decode_png(image, bytes_of(file), -1));
    EXPECT_EQ(px(image, 1, 0), (std::array<int, 4>{4, 5, 6, 255}));
  }
}

// A header whose rows the rest of the file cannot inflate to (16384 x 4096
// RGBA over an empty IDAT chunk, as the fuzzer found it) is refused before
// the rows are allocated. The rows would never be touched, so resident
// memory cannot show the allocation; the process's peak of address space
// can. That peak never goes down, so the check is made on a fresh process,
// as ctest runs every test; run after bigger tests it proves nothing.
TEST(Png, AHeaderItsDataCannotFillReservesNothing) {
  const std::string no_data = regression("png-16384x4096-no-data.png");
  ASSERT_EQ(no_data.size(), 41u);
  ImageBuffer image;
  const int64_t before = memory_kib("VmPeak");
  EXPECT_FALSE(decode_png(image, bytes_of(no_data), -1));
  const int64_t after = memory_kib("VmPeak");
  if (before >= 0 && after >= 0) {
    EXPECT_LT((after - before) / 1024, 64) << "MiB of address space reserved for rows that are not there";
  }

  // The bound is deflate's own: a large, well-compressed picture still loads.
  std::vector<uint8_t> flat(size_t{2048} * 2048 * 4, 0x40);
  const std::string big = build_png({2048, 2048, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, {}, flat});
  ASSERT_LT(big.size(), size_t{64} << 10);
  ASSERT_TRUE(decode_png(image, bytes_of(big), -1));
  EXPECT_EQ(px(image, 2047, 2047), (std::array<int, 4>{0x40, 0x40, 0x40, 0x40}));
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

TEST(Jpeg, FourComponentFilesBecomeOpaqueRgb) {
  // 32 x 16: cyan ink on the left, half black on the right; whole 16 x 16
  // blocks, so subsampled YCCK keeps them apart.
  const std::array<uint8_t, 4> cyan{255, 0, 0, 0}, grey{0, 0, 0, 128};
  struct Case { const char* what; bool ycck, adobe; } cases[] = {
      {"Adobe CMYK", false, true}, {"Adobe YCCK", true, true}, {"plain CMYK", false, false}};
  for (const Case& c : cases) {
    std::vector<uint8_t> samples;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x)
        for (uint8_t ink : x < 16 ? cyan : grey) samples.push_back(c.adobe ? static_cast<uint8_t>(255 - ink) : ink);
    ImageBuffer image;
    ASSERT_TRUE(decode_jpeg(image, bytes_of(build_cmyk_jpeg(32, 16, samples, c.ycck, c.adobe)))) << c.what;
    EXPECT_EQ(image.own_alpha, 0) << c.what;
    const auto left = px(image, 5, 8), right = px(image, 26, 8);
    const std::array<int, 4> want_left{0, 255, 255, 255}, want_right{127, 127, 127, 255};
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_NEAR(left[i], want_left[i], 6) << c.what << ", channel " << i;
      EXPECT_NEAR(right[i], want_right[i], 6) << c.what << ", channel " << i;
    }
  }
}

TEST(Jpeg, DataThatRunsOutOrLosesItsPlaceFails) {
  ImageBuffer image;
  const std::vector<uint8_t> rgb = noise(64 * 64 * 3);
  std::string taller = build_jpeg(64, 64, 3, rgb, false);
  claim_jpeg_size(taller, 64, 128);  // half the blocks missing before a proper end marker
  EXPECT_FALSE(decode_jpeg(image, bytes_of(taller)));
  EXPECT_EQ(image.width, 0);

  std::string vast = build_jpeg(127, 64, 3, noise(127 * 64 * 3), false);
  claim_jpeg_size(vast, 4097, 4097);
  expect_refused_cheaply([&] { return decode_jpeg(image, bytes_of(vast)); }, "4097 x 4097 over 127 x 64");
  const std::string cut = regression("jpeg-8192-progressive-cut.jpg");
  ASSERT_EQ(cut.size(), 406u);
  expect_refused_cheaply([&] { return decode_jpeg(image, bytes_of(cut)); }, "a cut progressive 8192 x 8192");

  // A restart marker out of its place: a segment is lost.
  const std::string restarts = build_jpeg(64, 64, 3, rgb, false, 95, 1);
  ASSERT_TRUE(decode_jpeg(image, bytes_of(restarts)));
  const size_t rst1 = restarts.find("\xFF\xD1");
  ASSERT_NE(rst1, std::string::npos);
  std::string misplaced = restarts;
  misplaced[rst1 + 1] = '\xD5';
  EXPECT_FALSE(decode_jpeg(image, bytes_of(misplaced)));

  // Stray bytes before a marker lose nothing: such files keep decoding.
  std::string padded = restarts;
  const size_t tables = padded.find("\xFF\xDB");
  ASSERT_NE(tables, std::string::npos);
  padded.insert(tables, "\x12\x34", 2);
  ASSERT_TRUE(decode_jpeg(image, bytes_of(padded)));
  EXPECT_EQ(image.width, 64);
}

TEST(Jpeg, TheSizeFloorLeavesHighlyCompressedFilesAlone) {
  // A flat progressive picture spends about two bits a block; the floor is one.
  const int side = 2048;
  const std::string flat = build_jpeg(side, side, 1, std::vector<uint8_t>(static_cast<size_t>(side) * side, 90), true, 75);
  const size_t blocks = static_cast<size_t>(side / 8) * (side / 8);
  ASSERT_LT(flat.size() * 8, blocks * 4) << "near the floor, or the case proves nothing";
  ImageBuffer image;
  ASSERT_TRUE(decode_jpeg(image, bytes_of(flat)));
  EXPECT_EQ(image.height, side);
  EXPECT_NEAR(px(image, side - 1, side - 1)[0], 90, 2);
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

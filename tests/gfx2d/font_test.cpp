// Fonts with a real GL context: the built-in font's pixels, font images of
// both layouts printed monospaced and proportionally, the metrics scan,
// widths and sizes, slots and bad files. Pixels are exact: fonts draw with
// nearest filtering, 1:1 or at whole scales.
#include <gtest/gtest.h>

#include <png.h>

#include <functional>
#include <set>
#include <string>

#include "runtime/base/singletons.h"
#include <moxtril.h>
#include "runtime/gfx2d/fonts.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/sprites.h"
#include "support/child.h"
#include "support/gl.h"
#include "support/images.h"

using namespace mxt;
using namespace mxt_test;

namespace {

const Rgba kBlack{0, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kWhite{255, 255, 255, 255};
const Rgba kOutline{8, 8, 8, 255};
const Rgba kRed{255, 0, 0, 255};

// The test fonts' ink: character c fills columns lo..hi of its cell over
// rows 1 .. height - 2, each pixel coloured (c, 128 + x, 128 + y) so that a
// read-back says which texel of which character landed there.
struct Ink {
  int lo, hi;
};
Ink ink_128(int c) { return {c % 5, c % 5 + 3 + c % 7}; }  // in 16-pixel cells
Ink ink_256(int c) { return {c % 3, c % 3 + 2 + c % 3}; }  // in 8-pixel cells

Rgba ink_colour(int c, int x, int y) {
  return {static_cast<uint8_t>(c), static_cast<uint8_t>(128 + x), static_cast<uint8_t>(128 + y), 255};
}

// A font image of w x h, 16 cells a row, where ink(c) says which columns of
// character c are inked; the cells of characters `blank` stay empty.
using InkFn = std::function<Ink(int)>;

bool inked(const InkFn& ink, int cw, int ch, int characters, int x, int y, int& c, int& cx, int& cy) {
  if (cw < 1 || ch < 1) return false;  // a picture with no cells: no ink either
  c = (y / ch) * 16 + x / cw;
  cx = x % cw;
  cy = y % ch;
  if (c == 0 || c >= characters) return false;  // character 0 stays empty: it never prints
  const Ink k = ink(c);
  return cx >= k.lo && cx <= k.hi && cy >= 1 && cy <= ch - 2;
}

// 24-bit BMP: the ink in colour, the rest black (the default font key).
std::string font_bmp(int w, int h, const InkFn& ink) {
  const FontLayout l = font_layout(w, h);
  BmpSpec s;
  s.width = w;
  s.height = -h;  // top-down: stored rows are image rows
  s.bits = 24;
  s.pixel_data = bmp_rows(w, h, 24, [&](int x, int y) -> uint32_t {
    int c, cx, cy;
    if (!inked(ink, l.cell_width, l.cell_height, l.characters, x, y, c, cx, cy)) return 0;
    const Rgba p = ink_colour(c, cx, cy);
    return static_cast<uint32_t>(p.r) << 16 | static_cast<uint32_t>(p.g) << 8 | p.b;
  });
  return build_bmp(s);
}

// RGBA PNG: the ink opaque, the rest fully transparent.
std::string font_png(int w, int h, const InkFn& ink) {
  const FontLayout l = font_layout(w, h);
  PngSpec spec{w, h, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, {}, {}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int c, cx, cy;
      const bool on = inked(ink, l.cell_width, l.cell_height, l.characters, x, y, c, cx, cy);
      const Rgba p = on ? ink_colour(c, cx, cy) : Rgba{0, 0, 0, 0};
      spec.samples.insert(spec.samples.end(), {p.r, p.g, p.b, p.a});
    }
  return build_png(spec);
}

// The built-in font's pixel (x, y) of character c's 8 x 8 cell, worked out
// from the glyph word alone.
Rgba builtin_pixel(int c, int x, int y, const Rgba& background) {
  auto glyph = [c](int gx, int gy) {
    return gx >= 0 && gx < 5 && gy >= 0 && gy < 6 && ((builtin_glyph(c) >> (5 * gy + gx)) & 1u);
  };
  const int gx = x - 1, gy = y - 1;
  if (glyph(gx, gy)) return kWhite;
  if (glyph(gx - 1, gy) || glyph(gx + 1, gy) || glyph(gx, gy - 1) || glyph(gx, gy + 1)) return kOutline;
  return background;
}

// The whole frame read back once, for checks of many pixels.
struct Frame {
  ImageBuffer image;
  explicit Frame(VuduRODoverore& r) { EXPECT_TRUE(r.read_frame(image)); }
  Rgba at(int x, int y) const {
    const uint8_t* p = image.pixel(x, y);
    return {p[0], p[1], p[2], p[3]};
  }
};

class Fonts : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    VuduRODoverore& r = *renderer;
    for (int f = 0; f < kFontSlots; ++f) {
      delete_sprite(kFirstFontSprite + f);
      for (GlyphRecord& g : r.glyphs[f]) g = GlyphRecord{};
      r.font_scale[f] = 0;
    }
    r.current_font = 0;
    install_builtin_font(0);
    mxt_set_font(0, 1);
  }
  RtString save(const std::string& name, const std::string& bytes) {
    write_file(tmp.file(name), bytes);
    return RtString(tmp.file(name).c_str());
  }
  // Slot f as the built-in font at scale 4, as a failed load leaves it.
  void expect_builtin(int f) {
    const SpriteRecord* rec = sprite_record(kFirstFontSprite + f);
    EXPECT_EQ(rec->image_width, 128);
    EXPECT_EQ(rec->image_height, 64);
    EXPECT_EQ(renderer->font_scale[f], 4.0f);
    EXPECT_EQ(renderer->glyphs[f]['i'].width, 8);
    EXPECT_FLOAT_EQ(renderer->glyphs[f]['i'].u_left, 9 * 8 / 128.0f);
  }
  TempDir tmp;
};

}  // namespace

// ---------------------------------------------------------------------------
// The built-in font

TEST_F(Fonts, TheBuiltInDesignIsLegible) {
  EXPECT_EQ(builtin_glyph(' '), 0u);
  EXPECT_EQ(builtin_glyph(31), 0u);
  EXPECT_EQ(builtin_glyph(128), 0u);
  // The bit layout: "T" has its whole top row (bits 0..4) and a centre stem
  // (gx 2 in every row but the last).
  const uint32_t t = builtin_glyph('T');
  EXPECT_EQ(t & 0x1Fu, 0x1Fu);
  for (int gy = 1; gy < 5; ++gy) EXPECT_EQ((t >> (5 * gy)) & 0x1Fu, 0x4u) << "row " << gy;
  EXPECT_EQ(t >> 25, 0u) << "nothing below the baseline";
  EXPECT_NE(builtin_glyph('g') >> 25, 0u) << "g descends into the sixth row";
  // Every printable character has ink, and no two look alike.
  std::set<uint32_t> seen;
  for (int c = 33; c < 127; ++c) {
    EXPECT_NE(builtin_glyph(c), 0u) << char(c);
    EXPECT_TRUE(seen.insert(builtin_glyph(c)).second) << char(c) << " looks like another character";
  }
}

TEST_F(Fonts, TheBuiltInFontPrintsItsGlyphsWithADarkOutline) {
  renderer->set_clear_colour(0xFF0000);  // blue, so the dark outline stands out
  // All 96 characters, 16 a line, in 8 x 8 cells at scale 1.
  for (int line = 0; line < 6; ++line) {
    std::string text;
    for (int i = 0; i < 16; ++i) text += static_cast<char>(32 + line * 16 + i);
    mxt_print(RtString(text.c_str(), text.size()), 4, 4 + 10 * line, 0);
  }
  const Frame frame(*renderer);
  for (int c = 32; c < 128; ++c) {
    const int x0 = 4 + 8 * ((c - 32) % 16), y0 = 4 + 10 * ((c - 32) / 16);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        ASSERT_EQ(frame.at(x0 + x, y0 + y), builtin_pixel(c, x, y, kBlue))
            << "character " << c << " at cell pixel " << x << "," << y;
  }
  EXPECT_EQ(read_pixel(4, 12), kBlue) << "the gap between lines is not drawn";

  // At its own scale of 4 each texel is a sharp 4 x 4 block.
  renderer->clear_background();
  install_builtin_font(0);
  int w = 0, h = 0;
  mxt_font_size(w, h);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 32);
  mxt_set_smoothing(1);  // sprites smooth; text never does
  mxt_print("A", 10, 10, 1);
  const Frame scaled(*renderer);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      ASSERT_EQ(scaled.at(10 + x, 10 + y), builtin_pixel('A', x / 4, y / 4, kBlue)) << x << "," << y;
}

// ---------------------------------------------------------------------------
// Font images

TEST_F(Fonts, ImageShapesDecideCellsAndCharacterCounts) {
  struct Case {
    int w, h, cw, ch, characters;
  };
  for (const Case& k : {Case{256, 128, 16, 16, 128}, Case{256, 256, 16, 32, 128}, Case{128, 256, 8, 16, 256}}) {
    const FontLayout l = font_layout(k.w, k.h);
    EXPECT_EQ(l.cell_width, k.cw) << k.w << "x" << k.h;
    EXPECT_EQ(l.cell_height, k.ch) << k.w << "x" << k.h;
    EXPECT_EQ(l.characters, k.characters) << k.w << "x" << k.h;
    // Loaded, the same shapes give the same cells.
    mxt_load_font(save("shape.png", font_png(k.w, k.h, ink_256)), 3);
    EXPECT_EQ(mxt_last_error(), 0);
    EXPECT_EQ(mxt_get_font(), 3);
    double dw = 0, dh = 0;
    mxt_font_size(dw, dh);
    EXPECT_EQ(dw, k.cw) << k.w << "x" << k.h;
    EXPECT_EQ(dh, k.ch) << k.w << "x" << k.h;
  }
}

TEST_F(Fonts, TheScanFindsInkedSpansAndSpacing) {
  // 256 x 128: 16 x 16 cells, a 256-texel texture.
  ImageBuffer image;
  ASSERT_TRUE(image.size_to(256, 128));
  auto ink = [&](int c, int x0, int x1) {  // columns x0..x1 of character c, one pixel row
    for (int x = x0; x <= x1; ++x) image.pixel((c % 16) * 16 + x, (c / 16) * 16 + 7)[3] = 255;
  };
  ink('A', 3, 6);    // room to the right: one column of spacing
  ink('B', 0, 15);   // the whole cell: no spacing
  ink('C', 2, 15);   // touching the right edge: no spacing either
  ink('D', 5, 5);    // one column
  ink('E', 1, 1);    // two columns apart: the gap counts as ink span
  ink('E', 9, 9);
  ink('j', 4, 8);
  GlyphRecord g[256];
  ASSERT_TRUE(measure_font(image, 256, g));
  EXPECT_EQ(g['A'].left, 3);
  EXPECT_EQ(g['A'].width, 5);
  EXPECT_FLOAT_EQ(g['A'].u_left, (16 * 1 + 3) / 256.0f);
  EXPECT_FLOAT_EQ(g['A'].u_right, (16 * 1 + 3 + 5) / 256.0f);
  EXPECT_EQ(g['B'].left, 0);
  EXPECT_EQ(g['B'].width, 16);
  EXPECT_EQ(g['C'].left, 2);
  EXPECT_EQ(g['C'].width, 14);
  EXPECT_EQ(g['D'].width, 2);
  EXPECT_EQ(g['E'].left, 1);
  EXPECT_EQ(g['E'].width, 10);
  // A cell without ink is a full cell wide.
  EXPECT_EQ(g['Z'].left, 0);
  EXPECT_EQ(g['Z'].width, 16);
  EXPECT_FLOAT_EQ(g['Z'].u_left, (16 * 10) / 256.0f);
  EXPECT_FLOAT_EQ(g['Z'].u_right, (16 * 11) / 256.0f);
  // The space is as wide as j, from the start of its own cell.
  EXPECT_EQ(g['j'].width, 6);
  EXPECT_EQ(g[' '].width, 6);
  EXPECT_EQ(g[' '].u_left, 0.0f);
  EXPECT_FLOAT_EQ(g[' '].u_right, 6 / 256.0f);
  // A 128-character font: codes 128..255 are 0..127 again.
  EXPECT_EQ(g['A' + 128].width, 5);
  EXPECT_EQ(g['A' + 128].u_left, g['A'].u_left);

  ImageBuffer narrow;
  ASSERT_TRUE(narrow.size_to(15, 64));
  EXPECT_FALSE(measure_font(narrow, 16, g)) << "no cells in an image narrower than 16 pixels";
  ImageBuffer flat;
  ASSERT_TRUE(flat.size_to(64, 4));
  EXPECT_FALSE(measure_font(flat, 64, g)) << "no cells in an image lower than its 8 rows";
}

TEST_F(Fonts, A128CharacterFontPrintsMonospacedAndProportionally) {
  mxt_load_font(save("font.bmp", font_bmp(256, 128, ink_128)), 1);
  ASSERT_EQ(mxt_last_error(), 0);
  ASSERT_EQ(mxt_get_font(), 1);
  EXPECT_EQ(renderer->font_scale[1], 1.0f);

  // Monospaced: every character a whole 16 x 16 cell, from x = ceil(10.2).
  mxt_print("AB", 10.2, 20, 0);
  const Frame mono(*renderer);
  for (int i = 0; i < 2; ++i) {
    const int c = "AB"[i];
    const int x0 = 11 + 16 * i;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const Ink k = ink_128(c);
        const bool on = x >= k.lo && x <= k.hi && y >= 1 && y <= 14;
        ASSERT_EQ(mono.at(x0 + x, 20 + y), on ? ink_colour(c, x, y) : kBlack) << char(c) << " " << x << "," << y;
      }
  }
  EXPECT_EQ(read_pixel(10, 25), kBlack) << "nothing left of the rounded-up start";

  // Proportional: each character's inked columns plus one of spacing, side by side.
  renderer->clear_background();
  mxt_print("Hi!", 5, 50.5, 1);  // top at ceil(50.5) = 51
  int x = 5;
  for (const char c : std::string("Hi!")) {
    const Ink k = ink_128(c);
    for (int i = 0; i <= k.hi - k.lo; ++i) {
      ASSERT_EQ(read_pixel(x + i, 51 + 3), ink_colour(c, k.lo + i, 3)) << c << " column " << i;
      ASSERT_EQ(read_pixel(x + i, 51 + 14), ink_colour(c, k.lo + i, 14)) << c << " column " << i;
    }
    EXPECT_EQ(read_pixel(x + k.hi - k.lo + 1, 51 + 3), kBlack) << c << ": its spacing column";
    x += k.hi - k.lo + 2;
  }
  EXPECT_EQ(mxt_text_width("Hi!", 1), x - 5);
  EXPECT_EQ(mxt_text_width("Hi!", 0), 48);

  // Byte 128 is character 0 here: the text ends before it; 200 is 72 ("H").
  renderer->clear_background();
  mxt_print("A\x80" "B", 0, 100, 0);
  EXPECT_EQ(read_pixel(ink_128('A').lo, 105).r, 'A');
  EXPECT_EQ(read_pixel(16 + ink_128('B').lo, 105), kBlack) << "nothing after byte 128";
  EXPECT_EQ(mxt_text_width("A\x80" "B", 0), 16) << "the width of what prints";
  mxt_print(RtString("A\0B", 3), 0, 130, 0);
  EXPECT_EQ(read_pixel(16 + ink_128('B').lo, 135), kBlack) << "nor after byte 0";
  mxt_print("\xC8", 100, 100, 0);
  EXPECT_EQ(read_pixel(100 + ink_128('H').lo, 105), ink_colour('H', ink_128('H').lo, 5));
  EXPECT_EQ(mxt_text_width("\xC8", 1), mxt_text_width("H", 1));
}

TEST_F(Fonts, A256CharacterFontKeepsItsUpperHalf) {
  mxt_load_font(save("font.png", font_png(128, 256, ink_256)), 4);
  ASSERT_EQ(mxt_last_error(), 0);
  int w = 0, h = 0;
  mxt_font_size(w, h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 16);
  // Monospaced 8 x 16 cells; 200 is its own character, in the last rows.
  mxt_print("H\xC8\xFF", 20, 30, 0);
  const Frame mono(*renderer);
  const int codes[3] = {'H', 200, 255};
  for (int i = 0; i < 3; ++i) {
    const Ink k = ink_256(codes[i]);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool on = x >= k.lo && x <= k.hi && y >= 1 && y <= 14;
        ASSERT_EQ(mono.at(20 + 8 * i + x, 30 + y), on ? ink_colour(codes[i], x, y) : kBlack)
            << codes[i] << " " << x << "," << y;
      }
  }
  // Proportional at scale 2: each texel two pixels wide.
  renderer->clear_background();
  mxt_set_font(4, 2);
  mxt_print("\xC8" "A", 0, 100, 1);
  const Ink k = ink_256(200);
  const int span = k.hi - k.lo + 1;
  for (int i = 0; i < span; ++i) {
    EXPECT_EQ(read_pixel(2 * i, 100 + 2 * 5), ink_colour(200, k.lo + i, 5)) << i;
    EXPECT_EQ(read_pixel(2 * i + 1, 100 + 2 * 5 + 1), ink_colour(200, k.lo + i, 5)) << i;
  }
  const int a_start = 2 * (span + 1);
  EXPECT_EQ(read_pixel(a_start - 1, 110), kBlack) << "the spacing column, doubled";
  EXPECT_EQ(read_pixel(a_start, 110), ink_colour('A', ink_256('A').lo, 5));
  EXPECT_EQ(mxt_text_width("\xC8" "A", 1), 2 * (span + 1 + ink_256('A').hi - ink_256('A').lo + 2));
}

TEST_F(Fonts, WidthsAndSizesFollowTheScale) {
  EXPECT_EQ(mxt_text_width("abc", 0), 24);
  EXPECT_EQ(mxt_text_width("abc", 1), 24) << "the built-in font is 8 wide throughout";
  mxt_set_font(0, 1.5);
  EXPECT_EQ(mxt_text_width("abc", 0), 36);
  double w = 0, h = 0;
  mxt_font_size(w, h);
  EXPECT_EQ(w, 12.0);
  EXPECT_EQ(h, 12.0);
  mxt_set_font(0, 0.7);
  EXPECT_EQ(mxt_text_width("abcdefghij", 0), 56);
  int iw = 0, ih = 0;
  mxt_font_size(iw, ih);
  EXPECT_EQ(iw, 5) << "5.6 truncated";
  EXPECT_EQ(mxt_text_width("", 0), 0);
}

// ---------------------------------------------------------------------------
// Slots and failures

TEST_F(Fonts, SlotsAreCheckedAndAMissingFileLeavesTheBuiltInFont) {
  mxt_load_font("no-such-font.png", 2);
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_EQ(mxt_get_font(), 2);
  expect_builtin(2);
  int w = 0, h = 0;
  mxt_font_size(w, h);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 32);

  for (int bad : {32, 40, -1}) {
    mxt_load_font(save("ok.png", font_png(256, 128, ink_128)), bad);
    EXPECT_EQ(mxt_last_error(), 7) << bad;
    EXPECT_EQ(mxt_get_font(), 2) << bad;
    mxt_load_font("", bad);
    EXPECT_EQ(mxt_last_error(), 0) << "an empty name asks for nothing: " << bad;
    mxt_set_font(bad, 3);
    EXPECT_EQ(mxt_last_error(), 7) << bad;
    EXPECT_EQ(mxt_get_font(), 2) << bad;
  }
  EXPECT_EQ(renderer->font_scale[2], 4.0f);

  // Free slots: every slot but 0 and 2 is empty; deleting one frees it again.
  EXPECT_EQ(mxt_free_font(), 31);
  for (int f = 3; f < kFontSlots; ++f) install_builtin_font(f);
  EXPECT_EQ(mxt_free_font(), 1);
  install_builtin_font(1);
  EXPECT_EQ(mxt_free_font(), -1);
  mxt_load_font("", 7);
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(sprite_record(kFirstFontSprite + 7)->image_width, 0);
  EXPECT_EQ(renderer->font_scale[7], 1.0f);
  EXPECT_EQ(renderer->glyphs[7]['i'].width, 8) << "metrics stay with a deleted font";
  EXPECT_EQ(mxt_get_font(), 2) << "deleting does not change the current font";
  EXPECT_EQ(mxt_free_font(), 7);

  // A deleted font prints nothing and measures nothing.
  mxt_set_font(7, 1);
  mxt_print("ABC", 0, 0, 1);
  EXPECT_EQ(read_pixel(4, 4), kBlack);
  EXPECT_EQ(mxt_text_width("ABC", 1), 0);
}

TEST_F(Fonts, BadFontImagesGiveErrorThreeAndTheBuiltInFont) {
  std::vector<std::pair<std::string, std::string>> bad;
  bad.emplace_back("empty", "");
  bad.emplace_back("no-picture", "not a picture of anything");
  BmpSpec zero;
  zero.width = 0;
  zero.height = 16;
  zero.pixel_data.assign(64, 0);
  bad.emplace_back("zero-width.bmp", build_bmp(zero));
  bad.emplace_back("narrow.png", font_png(15, 64, ink_256));
  bad.emplace_back("flat.png", font_png(64, 7, ink_256));
  std::string cut = font_png(256, 128, ink_128);
  cut.resize(cut.size() / 2);
  bad.emplace_back("truncated.png", cut);
  // Larger than any texture the context takes, though it decodes.
  BmpSpec huge;
  huge.width = 20000;
  huge.height = 16;
  huge.bits = 1;
  huge.palette = {{0, 0, 0}, {255, 255, 255}};
  huge.pixel_data = bmp_rows(20000, 16, 1, [](int x, int) { return static_cast<uint32_t>(x % 3 == 0); });
  bad.emplace_back("huge.bmp", build_bmp(huge));
  BmpSpec oversized = huge;
  oversized.width = 100000;
  oversized.pixel_data.assign(64, 0);
  bad.emplace_back("oversized.bmp", build_bmp(oversized));
  for (const auto& [name, bytes] : bad) {
    // A good font first, so that a bad one cannot pass for it.
    mxt_load_font(save("good.png", font_png(256, 128, ink_128)), 5);
    ASSERT_EQ(mxt_last_error(), 0);
    ASSERT_EQ(renderer->glyphs[5]['A'].width, ink_128('A').hi - ink_128('A').lo + 2);
    mxt_load_font(save(name, bytes), 5);
    EXPECT_EQ(mxt_last_error(), 3) << name;
    SCOPED_TRACE(name);
    expect_builtin(5);
    EXPECT_EQ(renderer->glyphs[5]['A'].width, 8);
  }
  mxt_print("A", 0, 0, 0);  // and the slot prints
  EXPECT_EQ(read_pixel(12, 4), kWhite) << "the top of the built-in A at scale 4";
}

TEST_F(Fonts, TheFontColourKeyDecidesWhatIsInk) {
  // Black ink on the runtime's key colour (0x8000FF: red 255, blue 128).
  BmpSpec s;
  s.width = 128;
  s.height = -64;
  s.bits = 24;
  s.pixel_data = bmp_rows(128, 64, 24, [](int x, int y) -> uint32_t {
    return (y / 8 == 4 && x / 8 == 1 && x % 8 >= 2 && x % 8 <= 4) ? 0x000000 : 0xFF0080;  // "A": columns 2..4
  });
  mxt_set_transparency(0x8000FF);
  mxt_load_font(save("dark.bmp", build_bmp(s)), 6);
  ASSERT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(renderer->glyphs[6]['A'].left, 2);
  EXPECT_EQ(renderer->glyphs[6]['A'].width, 4);
  EXPECT_EQ(renderer->glyphs[6]['B'].width, 8) << "a cell of key colour only is empty";
}

// ---------------------------------------------------------------------------
// Drawing order and draw calls

TEST_F(Fonts, EachTextIsOneDrawCallInItsPlaceAmongOtherDrawing) {
  RtArray<int32_t> red;
  mxt_dim(red, 64 * 64);
  for (int i = 0; i < 64 * 64; ++i) red(i) = static_cast<int32_t>(0xFF0000FFu);
  ASSERT_TRUE(mxt_sprite_from_array(red, 1, 64, 64));
  install_builtin_font(0);  // scale 4: "T" is 32 x 32 with its top bar in rows 4..7

  const uint64_t before = renderer->gl.draw_calls;
  mxt_draw_sprite(1, 0, 0);
  mxt_print("T", 0, 0, 0);  // over the sprite
  EXPECT_EQ(renderer->gl.draw_calls, before + 2) << "the sprite's quads first, then the text";
  EXPECT_EQ(read_pixel(12, 5), kWhite) << "the text is on top";
  EXPECT_EQ(read_pixel(40, 40), kRed);

  const uint64_t once = renderer->gl.draw_calls;
  std::string line(300, 'W');
  mxt_print(RtString(line.c_str(), line.size()), 0, 100, 1);
  EXPECT_EQ(renderer->gl.draw_calls, once + 1) << "300 characters, one strip";
  EXPECT_EQ(renderer->text.count, 1200);
  EXPECT_GE(renderer->text.capacity, 1200);

  mxt_print("T", 100, 0, 0);
  mxt_draw_sprite(1, 100, 0);  // over the text
  EXPECT_EQ(read_pixel(112, 5), kRed) << "the sprite drawn after the text covers it";

  // The font's own image drawn first, 1:1: nothing about the state changes
  // when the text comes, and still the text lands on top. At (12, 17) the
  // image has the outline of "!" and the text the stem of "T".
  renderer->clear_background();
  mxt_set_smoothing(0);
  mxt_draw_sprite(kFirstFontSprite, 0, 0);
  mxt_print("T", 0, 0, 0);
  EXPECT_EQ(read_pixel(12, 17), kWhite);
  mxt_draw_sprite(kFirstFontSprite, 0, 0);
  EXPECT_EQ(read_pixel(12, 17), kOutline) << "and under what comes after it";
}

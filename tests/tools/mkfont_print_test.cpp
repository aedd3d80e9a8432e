// Fonts made by mkfont from the DejaVu fonts, loaded and printed by the
// runtime in a real GL context, and read back: every character's ink lands
// where its cell or its proportional advance says, on one baseline, with the
// gaps that keep text legible. White text on black at scale 1 under the
// default blending: a screen pixel's red is its texel's alpha, within 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <moxtril.h>
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "support/child.h"
#include "support/gl.h"

using namespace mxt_test;

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/";
const std::string kSans = kDejaVu + "DejaVuSans.ttf";
const std::string kMono = kDejaVu + "DejaVuSansMono.ttf";
const std::string kText = "Hello, World";

// mkfont's PNG as decoded data: 128 characters (the default), cells from its shape.
struct GlyphImage {
  mxt::ImageBuffer image;
  int cell_w = 0, cell_h = 0;
  bool load(const std::string& path) {
    const std::string bytes = read_file(path);
    if (!mxt::decode_png(image, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), -1))
      return false;
    cell_w = image.width / 16;
    cell_h = image.height / 8;
    return image.width >= image.height;
  }
  int alpha(int c, int x, int y) const { return image.pixel(c % 16 * cell_w + x, c / 16 * cell_h + y)[3]; }
  int lowest_ink_row(int c) const {
    for (int y = cell_h - 1; y >= 0; --y)
      for (int x = 0; x < cell_w; ++x)
        if (alpha(c, x, y)) return y;
    return -1;
  }
};

// The frame read back, with ink (anything brighter than the black clear) found by column and row.
struct Screen {
  mxt::ImageBuffer image;
  explicit Screen(mxt::VuduRODoverore& r) { EXPECT_TRUE(r.read_frame(image)); }
  int red(int x, int y) const { return image.pixel(x, y)[0]; }
  bool ink(int x, int y) const {
    const uint8_t* p = image.pixel(x, y);
    return p[0] || p[1] || p[2];
  }
  bool column_ink(int x, int y0, int y1) const {
    for (int y = y0; y < y1; ++y)
      if (ink(x, y)) return true;
    return false;
  }
  // Columns [x0, x1): the first and last with ink, and the lowest and highest inked row, over rows [y0, y1).
  struct Box {
    int left = -1, right = -1, top = -1, bottom = -1;
  };
  Box box(int x0, int x1, int y0, int y1) const {
    Box b;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (ink(x, y)) {
          if (b.left < 0 || x < b.left) b.left = x;
          if (x > b.right) b.right = x;
          if (b.top < 0) b.top = y;
          b.bottom = y;
        }
    return b;
  }
};

class MkfontPrint : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    if (!file_exists(kSans) || !file_exists(kMono))
      GTEST_SKIP() << "no DejaVu fonts (scripts/deps installs fonts-dejavu-core)";
  }
  // Runs mkfont at that size and loads its PNG into slot 1, current at scale 1.
  void make(const std::string& ttf, GlyphImage& glyphs) {
    const std::string png = tmp.file("font.png");
    const ChildResult r = run_child(MXT_MKFONT, {ttf, png, "--size", "16"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_TRUE(glyphs.load(png));
    mxt_load_font(RtString(png.c_str()), 1);
    ASSERT_EQ(mxt_last_error(), 0);
    int w = 0, h = 0;
    mxt_font_size(w, h);
    ASSERT_EQ(w, glyphs.cell_w);
    ASSERT_EQ(h, glyphs.cell_h);
  }
  TempDir tmp;
};

// Where each character of kText starts when printed at x0, and where the text ends.
std::vector<int> pens(int x0, int proportional) {
  std::vector<int> at;
  for (size_t i = 0; i <= kText.size(); ++i)
    at.push_back(x0 + mxt_text_width(RtString(kText.substr(0, i).c_str()), proportional));
  return at;
}

// Each character's texels, alpha as red, at its pen: the picture is the font's, placed right.
void expect_glyphs_at(const Screen& s, const GlyphImage& g, const std::vector<int>& pen, int y0) {
  for (size_t i = 0; i < kText.size(); ++i) {
    const int c = static_cast<unsigned char>(kText[i]);
    if (c == ' ') continue;
    for (int y = 0; y < g.cell_h; ++y)
      for (int x = 0; x < pen[i + 1] - pen[i]; ++x)
        ASSERT_NEAR(s.red(pen[i] + x, y0 + y), g.alpha(c, x, y), 1) << kText[i] << " at cell pixel " << x << "," << y;
  }
}

}  // namespace

TEST_F(MkfontPrint, AMonospacedFontPrintsEachLetterInItsCell) {
  GlyphImage g;
  make(kMono, g);
  if (HasFatalFailure()) return;
  const int cw = g.cell_w, x0 = 7, y0 = 30;
  EXPECT_EQ(mxt_text_width(RtString(kText.c_str()), 0), static_cast<int>(kText.size()) * cw);
  EXPECT_EQ(mxt_text_width("i", 0), mxt_text_width("W", 0));
  mxt_print(RtString(kText.c_str()), x0, y0, 0);
  const Screen s(*renderer);
  std::vector<int> pen;
  for (size_t i = 0; i <= kText.size(); ++i) pen.push_back(x0 + static_cast<int>(i) * cw);
  expect_glyphs_at(s, g, pen, y0);
  if (HasFatalFailure()) return;

  // Legible: every letter's ink begins at its cell's left edge with an empty
  // column before it, and nothing is drawn outside the line.
  for (size_t i = 0; i < kText.size(); ++i) {
    if (kText[i] == ' ') continue;
    EXPECT_TRUE(s.column_ink(pen[i], y0, y0 + g.cell_h)) << kText[i];
    EXPECT_FALSE(s.column_ink(pen[i] - 1, y0, y0 + g.cell_h)) << "no gap before " << kText[i];
  }
  const Screen::Box line = s.box(0, kWidth, 0, kHeight);
  EXPECT_EQ(line.left, x0);
  EXPECT_LT(line.right, x0 + static_cast<int>(kText.size()) * cw - 1);
  EXPECT_GE(line.top, y0);
  EXPECT_LT(line.bottom, y0 + g.cell_h);
  // The space between the words is a whole empty cell.
  const Screen::Box space = s.box(pen[6], pen[7], y0, y0 + g.cell_h);
  EXPECT_EQ(space.left, -1) << "ink in the space at column " << space.left;
}

TEST_F(MkfontPrint, AProportionalFontPrintsLettersAsWideAsTheirInkOnOneBaseline) {
  GlyphImage g;
  make(kSans, g);
  if (HasFatalFailure()) return;
  const int x0 = 5, y0 = 40;
  const int width = mxt_text_width(RtString(kText.c_str()), 1);
  mxt_print(RtString(kText.c_str()), x0, y0, 1);
  const Screen s(*renderer);
  const std::vector<int> pen = pens(x0, 1);
  // mkfont left-aligns its glyphs, so a character's proportional columns are
  // its cell's first ones.
  expect_glyphs_at(s, g, pen, y0);
  if (HasFatalFailure()) return;

  // The line is as wide as mxt_text_width says: it ends with the last
  // letter's spacing column.
  const Screen::Box line = s.box(0, kWidth, 0, kHeight);
  EXPECT_EQ(line.left, x0);
  EXPECT_EQ(line.right, x0 + width - 2);
  EXPECT_LT(width, static_cast<int>(kText.size()) * g.cell_w * 3 / 4) << "not proportional";

  // Each letter starts after an empty column; the word gap is wider than any gap inside a word.
  int widest_gap_in_words = 0;
  for (size_t i = 0; i < kText.size(); ++i) {
    if (kText[i] == ' ') continue;
    EXPECT_TRUE(s.column_ink(pen[i], y0, y0 + g.cell_h)) << kText[i];
    if (i == 0) continue;
    EXPECT_FALSE(s.column_ink(pen[i] - 1, y0, y0 + g.cell_h)) << "no gap before " << kText[i];
    if (kText[i - 1] != ' ' && kText[i] != ',') {
      const int previous_right = s.box(pen[i - 1], pen[i], y0, y0 + g.cell_h).right;
      widest_gap_in_words = std::max(widest_gap_in_words, pen[i] - previous_right - 1);
    }
  }
  const int word_gap = pen[7] - s.box(pen[5], pen[6], y0, y0 + g.cell_h).right - 1;
  EXPECT_GT(word_gap, widest_gap_in_words + 2);

  // One baseline, where the font image has it: the bottom of every letter but
  // the comma, which hangs below it; x-height letters are lower than capitals.
  const int baseline = y0 + g.lowest_ink_row('x');
  for (size_t i = 0; i < kText.size(); ++i) {
    if (kText[i] == ' ') continue;
    const Screen::Box b = s.box(pen[i], pen[i + 1], y0, y0 + g.cell_h);
    if (kText[i] == ',') {
      EXPECT_GT(b.bottom, baseline);
    } else {
      EXPECT_EQ(b.bottom, baseline) << kText[i];
    }
  }
  const int cap_top = s.box(pen[0], pen[1], y0, y0 + g.cell_h).top;
  const int e_top = s.box(pen[1], pen[2], y0, y0 + g.cell_h).top;
  EXPECT_GE(e_top, cap_top + 2) << "e is as tall as H";

  // "l" is a vertical stroke: at most 3 columns, one of them inked from its top to the baseline.
  const Screen::Box l = s.box(pen[2], pen[3], y0, y0 + g.cell_h);
  EXPECT_LE(l.right - l.left + 1, 3);
  EXPECT_LE(l.top, cap_top);
  int longest = 0;
  for (int x = l.left; x <= l.right; ++x) {
    int run = 0;
    for (int y = l.top; y <= l.bottom; ++y) run = s.red(x, y) > 128 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_GE(longest, l.bottom - l.top) << "no solid stroke";
  EXPECT_GE(l.bottom - l.top + 1, g.cell_h / 2);
}

TEST_F(MkfontPrint, ProportionalIIsNarrowerThanWMonospacedTheyAreOneCell) {
  GlyphImage sans;
  make(kSans, sans);
  if (HasFatalFailure()) return;
  mxt_print("i", 10, 10, 1);
  mxt_print("W", 60, 10, 1);
  const Screen s(*renderer);
  const Screen::Box i = s.box(0, 50, 0, 50), w = s.box(50, 120, 0, 50);
  ASSERT_GE(i.left, 0);
  ASSERT_GE(w.left, 0);
  EXPECT_LT(3 * (i.right - i.left + 1), w.right - w.left + 1);
  EXPECT_EQ(mxt_text_width("i", 1), i.right - i.left + 2) << "ink and one spacing column";
  EXPECT_EQ(mxt_text_width("W", 1), w.right - w.left + 2);
  EXPECT_EQ(mxt_text_width("iW", 1), mxt_text_width("i", 1) + mxt_text_width("W", 1));
  EXPECT_EQ(mxt_text_width("iW", 0), 2 * sans.cell_w);
}

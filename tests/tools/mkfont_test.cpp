// mkfont run as a developer runs it, on the DejaVu fonts: the images it
// writes are decoded and read the way the runtime reads a font image (cells
// from the image's shape, ink from alpha), and its failures are checked for
// their exit code, their message and the file they must not leave.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "runtime/gfx2d/image.h"
#include "support/child.h"

using mxt_test::ChildResult;
using mxt_test::run_child;

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/";
const std::string kSans = kDejaVu + "DejaVuSans.ttf";
const std::string kMono = kDejaVu + "DejaVuSansMono.ttf";

#define NEED_FONT(path) \
  if (!mxt_test::file_exists(path)) GTEST_SKIP() << "no " << (path) << " (scripts/deps installs fonts-dejavu-core)"

ChildResult mkfont(const std::vector<std::string>& args) { return run_child(MXT_MKFONT, args); }

// A font image as the runtime sees it: 16 cells a row, 8 rows when the image
// is at least as wide as high, else 16.
struct FontImage {
  mxt::ImageBuffer image;
  int characters = 0, cell_w = 0, cell_h = 0;

  bool load(const std::string& path, int32_t colour_key = -1) {
    const std::string bytes = mxt_test::read_file(path);
    if (!mxt::decode_png(image, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), colour_key))
      return false;
    characters = image.width >= image.height ? 128 : 256;
    cell_w = image.width / 16;
    cell_h = image.height / (characters / 16);
    return true;
  }
  const uint8_t* at(int code, int x, int y) const { return image.pixel(code % 16 * cell_w + x, code / 16 * cell_h + y); }
  bool inked(int code, int x, int y) const { return at(code, x, y)[3] != 0; }
  bool column_inked(int code, int x) const {
    for (int y = 0; y < cell_h; ++y)
      if (inked(code, x, y)) return true;
    return false;
  }
  bool row_inked(int code, int y) const {
    for (int x = 0; x < cell_w; ++x)
      if (inked(code, x, y)) return true;
    return false;
  }
  bool has_ink(int code) const {
    for (int x = 0; x < cell_w; ++x)
      if (column_inked(code, x)) return true;
    return false;
  }
  // The inked columns' span, first to last, as proportional printing takes it.
  int ink_width(int code) const {
    int first = -1, last = -1;
    for (int x = 0; x < cell_w; ++x)
      if (column_inked(code, x)) {
        if (first < 0) first = x;
        last = x;
      }
    return first < 0 ? 0 : last - first + 1;
  }
  int lowest_ink_row(int code) const {
    for (int y = cell_h - 1; y >= 0; --y)
      if (row_inked(code, y)) return y;
    return -1;
  }
};

// Runs mkfont, expects success, and loads what it wrote; the printed summary
// must describe that image.
void make(const std::vector<std::string>& args, FontImage& font, ChildResult* result = nullptr) {
  const ChildResult r = mkfont(args);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_TRUE(font.load(args[1])) << "mkfont wrote no PNG to " << args[1];
  int characters = 0, cw = 0, ch = 0, iw = 0, ih = 0;
  const std::string expected_start = args[1] + ": ";
  ASSERT_EQ(r.out.rfind(expected_start, 0), 0u) << r.out;
  ASSERT_EQ(std::sscanf(r.out.c_str() + expected_start.size(), "%d characters, cells %d x %d, image %d x %d", &characters,
                        &cw, &ch, &iw, &ih),
            5)
      << r.out;
  EXPECT_EQ(characters, font.characters) << "the runtime would read another layout than the one printed";
  EXPECT_EQ(cw, font.cell_w);
  EXPECT_EQ(ch, font.cell_h);
  EXPECT_EQ(iw, font.image.width);
  EXPECT_EQ(ih, font.image.height);
  EXPECT_EQ(iw, 16 * cw);
  EXPECT_EQ(ih, characters / 16 * ch);
  if (result) *result = r;
}

bool is_dark(const uint8_t* p) { return p[0] == 8 && p[1] == 8 && p[2] == 8; }
bool is_white(const uint8_t* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }

// ---------------------------------------------------------------------------

TEST(Mkfont, MakesA128CharacterImageTheRuntimeReadsAs128) {
  NEED_FONT(kSans);
  mxt_test::TempDir dir;
  for (const char* size : {"6", "16", "40"}) {
    SCOPED_TRACE(size);
    FontImage font;
    make({kSans, dir.file("f.png"), "--size", size}, font);
    if (HasFatalFailure()) return;
    EXPECT_EQ(font.characters, 128);
    EXPECT_GE(font.image.width, font.image.height);
    EXPECT_GE(font.cell_h, std::stoi(size)) << "a cell lower than the font's pixel size cannot hold its ascent and descent";
    EXPECT_TRUE(font.has_ink('A'));
    EXPECT_TRUE(font.has_ink('~'));
    EXPECT_FALSE(font.has_ink(' '));
    EXPECT_FALSE(font.has_ink(127));
    for (int c = 0; c < 32; ++c) EXPECT_FALSE(font.has_ink(c)) << "control code " << c;
    // Proportional printing adds a spacing column only when the cell has
    // room: the widest glyph must leave one, so no cell's last column is ink.
    for (int c = 0; c < 128; ++c) EXPECT_FALSE(font.column_inked(c, font.cell_w - 1)) << "character " << c;
    // White glyphs, tinted by the drawing colour; nothing else has alpha.
    int inked = 0;
    for (int y = 0; y < font.image.height; ++y)
      for (int x = 0; x < font.image.width; ++x)
        if (font.image.pixel(x, y)[3] != 0) {
          ++inked;
          EXPECT_TRUE(is_white(font.image.pixel(x, y))) << "at " << x << ", " << y;
          if (!is_white(font.image.pixel(x, y))) return;
        }
    EXPECT_LT(inked, font.image.width * font.image.height / 2) << "the background is not transparent";
  }
}

TEST(Mkfont, MakesA256CharacterImageWithCodePage1252Above127) {
  NEED_FONT(kSans);
  mxt_test::TempDir dir;
  FontImage font;
  ChildResult r;
  make({kSans, dir.file("f.png"), "--size", "16", "--chars", "256"}, font, &r);
  if (HasFatalFailure()) return;
  EXPECT_EQ(font.characters, 256);
  EXPECT_LT(font.image.width, font.image.height);
  // DejaVu's per mille sign is wider than the font is high: the cells had to
  // be made taller for the image to read as 256 characters, and it says so.
  EXPECT_NE(r.out.find("taller"), std::string::npos) << r.out;
  EXPECT_TRUE(font.has_ink(0x80)) << "the euro sign";
  EXPECT_TRUE(font.has_ink(0x8A)) << "S with caron";
  EXPECT_TRUE(font.has_ink(0xE9)) << "e acute";
  EXPECT_TRUE(font.has_ink(0xFF)) << "y diaeresis";
  for (int c : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_FALSE(font.has_ink(c)) << "undefined code " << c;
  // The euro is not some other glyph: it is as tall as a capital, wider than an i.
  EXPECT_GT(font.ink_width(0x80), 2 * font.ink_width('i'));
  EXPECT_EQ(font.lowest_ink_row(0x80), font.lowest_ink_row('C'));
}

TEST(Mkfont, InkedWidthsFollowTheFontProportionalOrMonospaced) {
  NEED_FONT(kSans);
  NEED_FONT(kMono);
  mxt_test::TempDir dir;
  FontImage sans, mono;
  make({kSans, dir.file("sans.png"), "--size", "20"}, sans);
  make({kMono, dir.file("mono.png"), "--size", "20"}, mono);
  if (HasFatalFailure()) return;
  EXPECT_LT(3 * sans.ink_width('i'), sans.ink_width('W'));
  EXPECT_GE(10 * mono.ink_width('i'), 7 * mono.ink_width('W'));
  EXPECT_LE(mono.ink_width('W'), mono.ink_width('@') + 2);
  // Every glyph starts at the cell's left edge, where printing expects it.
  for (FontImage* font : {&sans, &mono})
    for (int c : {'A', 'i', 'j', 'W', '1', '/'}) EXPECT_TRUE(font->column_inked(c, 0)) << static_cast<char>(c);
}

TEST(Mkfont, GlyphsShareOneBaseline) {
  NEED_FONT(kSans);
  mxt_test::TempDir dir;
  for (const char* style : {"", "--outline", "--shadow"}) {
    for (const char* size : {"11", "32"}) {
      SCOPED_TRACE(std::string(size) + " " + style);
      std::vector<std::string> args = {kSans, dir.file("f.png"), "--size", size, "--chars", "256"};
      if (*style) args.push_back(style);
      FontImage font;
      make(args, font);
      if (HasFatalFailure()) return;
      const int base = font.lowest_ink_row('x');
      ASSERT_GT(base, 0);
      for (int c : {int{'a'}, int{'A'}, int{'H'}, int{'z'}, int{'1'}, 0xC9 /* E acute */}) EXPECT_EQ(font.lowest_ink_row(c), base) << c;
      for (int c : {'g', 'p', 'y', 'j'}) EXPECT_GT(font.lowest_ink_row(c), base) << static_cast<char>(c);
      EXPECT_LT(font.lowest_ink_row('-'), base);
    }
  }
}

TEST(Mkfont, OutlineAndShadowAreDarkButNeverTheBlackColourKey) {
  NEED_FONT(kSans);
  mxt_test::TempDir dir;
  FontImage outlined, shadowed;
  make({kSans, dir.file("o.png"), "--size", "18", "--outline"}, outlined);
  make({kSans, dir.file("s.png"), "--size", "18", "--shadow"}, shadowed);
  if (HasFatalFailure()) return;
  for (int c : {'A', 'H', 'l', 'o', '|'}) {
    // The outline takes the first column; the glyph itself starts at 1.
    EXPECT_TRUE(outlined.column_inked(c, 0)) << static_cast<char>(c);
    for (int y = 0; y < outlined.cell_h; ++y) {
      if (outlined.inked(c, 0, y)) {
        EXPECT_TRUE(is_dark(outlined.at(c, 0, y))) << static_cast<char>(c) << " row " << y;
      }
    }
    // Where the glyph's edge is solid, so is its outline.
    int dark_opaque = 0;
    for (int y = 0; y < outlined.cell_h; ++y)
      for (int x = 0; x < outlined.cell_w; ++x) dark_opaque += is_dark(outlined.at(c, x, y)) && outlined.at(c, x, y)[3] == 255;
    EXPECT_GT(dark_opaque, 0) << static_cast<char>(c);
    // The shadow falls right and down: the first column is the glyph's own,
    // the lowest row the shadow's.
    EXPECT_TRUE(shadowed.column_inked(c, 0));
    for (int y = 0; y < shadowed.cell_h; ++y) {
      if (shadowed.inked(c, 0, y)) {
        EXPECT_TRUE(is_white(shadowed.at(c, 0, y))) << static_cast<char>(c) << " row " << y;
      }
    }
    const int bottom = shadowed.lowest_ink_row(c);
    for (int x = 0; x < shadowed.cell_w; ++x) {
      if (shadowed.inked(c, x, bottom)) {
        EXPECT_TRUE(is_dark(shadowed.at(c, x, bottom))) << static_cast<char>(c);
      }
    }
  }
  // Loaded with the default font colour key (black), not one pixel goes.
  for (const char* name : {"o.png", "s.png"}) {
    FontImage raw, keyed;
    ASSERT_TRUE(raw.load(dir.file(name)));
    ASSERT_TRUE(keyed.load(dir.file(name), 0));
    int lost = 0;
    for (int y = 0; y < raw.image.height; ++y)
      for (int x = 0; x < raw.image.width; ++x) lost += raw.image.pixel(x, y)[3] != keyed.image.pixel(x, y)[3];
    EXPECT_EQ(lost, 0) << name;
  }
}

TEST(Mkfont, AGivenCellSizeIsPaddedToTheLayoutOrRefusedWhenGlyphsDoNotFit) {
  NEED_FONT(kMono);
  mxt_test::TempDir dir;
  FontImage font;
  ChildResult r;
  // 16 x 6 by 8 x 20 would be higher than wide: read as 256 characters.
  make({kMono, dir.file("tall.png"), "--size", "8", "--cell", "6x20"}, font, &r);
  if (HasFatalFailure()) return;
  EXPECT_EQ(font.characters, 128);
  EXPECT_EQ(font.cell_h, 20);
  EXPECT_NE(r.out.find("widened"), std::string::npos) << r.out;
  EXPECT_TRUE(font.has_ink('M'));

  make({kMono, dir.file("wide.png"), "--size", "8", "--chars", "256", "--cell", "12x12"}, font, &r);
  if (HasFatalFailure()) return;
  EXPECT_EQ(font.characters, 256);
  EXPECT_EQ(font.cell_w, 12);

  for (const char* cell : {"3x20", "20x5"}) {
    const std::string out = dir.file(std::string("small") + cell + ".png");
    const ChildResult small = mkfont({kMono, out, "--size", "8", "--cell", cell});
    EXPECT_EQ(small.exit_code, 1) << cell;
    EXPECT_NE(small.err.find("U+00"), std::string::npos) << "names no glyph: " << small.err;
    EXPECT_FALSE(mxt_test::file_exists(out)) << cell;
  }
}

TEST(Mkfont, WarnsOfCharactersTheFontLacksAndLeavesTheirCellsEmpty) {
  const std::string font_file = kDejaVu + "DejaVuMathTeXGyre.ttf";  // no superscript digits
  NEED_FONT(font_file);
  mxt_test::TempDir dir;
  FontImage font;
  ChildResult r;
  make({font_file, dir.file("f.png"), "--size", "14", "--chars", "256"}, font, &r);
  if (HasFatalFailure()) return;
  EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("U+00B2"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("U+0041"), std::string::npos) << r.err;
  EXPECT_FALSE(font.has_ink(0xB2));
  EXPECT_TRUE(font.has_ink('2'));
}

TEST(Mkfont, FailuresExitWithTheirCodeAndMessageAndWriteNothing) {
  NEED_FONT(kSans);
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("notafont.ttf"), std::string(4096, 'x')));
  const std::string out = dir.file("out.png");
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{dir.file("missing.ttf"), out, "--size", "12"}, 1, "missing.ttf"},
      {{dir.file("notafont.ttf"), out, "--size", "12"}, 1, "not a font"},
      {{kSans, dir.file("no/such/folder/out.png"), "--size", "12"}, 1, "cannot write"},
      {{kSans, out, "--size", "3"}, 2, "--size 3"},
      {{kSans, out, "--size", "257"}, 2, "--size 257"},
      {{kSans, out, "--size", "12px"}, 2, "--size 12px"},
      {{kSans, out}, 2, "--size is needed"},
      {{kSans, out, "--size", "12", "--chars", "200"}, 2, "--chars 200"},
      {{kSans, out, "--size", "12", "--cell", "12"}, 2, "--cell 12"},
      {{kSans, out, "--size", "12", "--bold"}, 2, "--bold"},
      {{kSans, "--size", "12"}, 2, "usage"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    SCOPED_TRACE(shown);
    const ChildResult r = mkfont(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(mxt_test::file_exists(out));
  }
}

}  // namespace

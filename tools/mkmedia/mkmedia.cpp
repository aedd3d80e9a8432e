// mkmedia: makes Quiltex's media from code, so anyone can rebuild them.
//   mkmedia OUTDIR [FONT.ttf]
// writes board.png, gfx/button.PNG, cell.PNG, pencil.PNG, cross.PNG,
// home.PNG, font01a.PNG, font02.PNG, font03.PNG, font04.PNG, ticker.PNG,
// small.PNG and theme.mp3 into OUTDIR. The digits are a real font (DejaVu Sans
// Bold by default) rasterised with FreeType; the theme is synthesised and
// encoded to MP3 with FFmpeg's libraries.
//
// [SECTION] Board geometry
// [SECTION] Pictures
// [SECTION] Digits
// [SECTION] Main
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "runtime/gfx2d/image.h"
#include "tools/mkmedia/canvas.h"
#include "tools/mkmedia/theme.h"

namespace fs = std::filesystem;
using namespace mkmedia;

namespace {

// ---------------------------------------------------------------------------
// [SECTION] Board geometry: the game draws the board at (23, 23) and its
// cells at 27 + 47 * i + gap(i), 45 pixels square, with 2 more pixels between
// 3 x 3 blocks.

constexpr int kBoardSide = 433;
int block_gap(int i) { return i < 3 ? 0 : i < 6 ? 2 : 4; }
int cell_offset(int i) { return 4 + 47 * i + block_gap(i); }

bool save(const fs::path& path, const Canvas& canvas) {
  fs::create_directories(path.parent_path());
  const mxt::ImageBuffer image = canvas.image();
  if (!mxt::write_image(path.string().c_str(), image)) {
    std::fprintf(stderr, "mkmedia: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Pictures

Canvas board() {
  Canvas c(kBoardSide, kBoardSide);
  // A soft shadow, then the slate frame whose colour shows through the gaps.
  c.rounded_rect(0, 0, kBoardSide, kBoardSide, 12, [](float, float y) {
    return mix(rgb(0x34496e), rgb(0x22314d), y / kBoardSide);
  });
  for (int r = 0; r < 9; ++r)
    for (int col = 0; col < 9; ++col) {
      const bool tinted = ((r / 3) + (col / 3)) % 2 == 1;
      const Colour top = tinted ? rgb(0xeef3fb) : rgb(0xfffaf0);
      const Colour bottom = tinted ? rgb(0xdfe7f4) : rgb(0xf6eedd);
      const float x = static_cast<float>(cell_offset(col)), y = static_cast<float>(cell_offset(r));
      c.rounded_rect(x, y, 45, 45, 5, [=](float, float py) { return mix(top, bottom, (py - y) / 45); });
    }
  return c;
}

Canvas marker() {
  // Behind the selected palette digit: the digit's centre is (35, 37.5) here.
  Canvas c(70, 76);
  c.circle(35, 39.5f, 32, rgb(0x000000, 0.25f));
  c.fill([](float x, float y) { return (x - 35) * (x - 35) + (y - 37.5f) * (y - 37.5f) <= 32 * 32; },
         [](float, float y) { return mix(rgb(0xffb347), rgb(0xf0701a), (y - 5) / 65); });
  c.fill([](float x, float y) {
    const float d = std::sqrt((x - 35) * (x - 35) + (y - 37.5f) * (y - 37.5f));
    return d <= 32 && d >= 29.5f;
  }, rgb(0xffffff, 0.55f));
  return c;
}

Canvas cell_frames() {
  Canvas c(135, 45);
  const Colour fills[3] = {rgb(0xffd43b, 0.60f), rgb(0xff5252, 0.55f), rgb(0x38d98a, 0.55f)};
  const Colour rims[3] = {rgb(0xf0a500, 0.9f), rgb(0xd91e1e, 0.9f), rgb(0x16a35f, 0.9f)};
  for (int f = 0; f < 3; ++f) {
    const float x = 45.0f * static_cast<float>(f);
    c.fill([x](float px, float py) {
      return Canvas::inside_rounded(px, py, x, 0, 45, 45, 5) && !Canvas::inside_rounded(px, py, x + 2, 2, 41, 41, 4);
    }, rims[f]);
    c.rounded_rect(x + 2, 2, 41, 41, 4, fills[f]);
  }
  return c;
}

enum class Icon { pencil, cross, home };

void draw_icon(Canvas& c, float ox, Icon icon, Colour ink) {
  const float cx = ox + 36, cy = 36;
  switch (icon) {
    case Icon::pencil: {
      // A pencil lying at 45 degrees: body, wooden tip, lead, eraser.
      auto at = [&](float u, float v) {  // u along the pencil, v across it
        const float k = 0.70710678f;
        return std::pair{cx + (u - v) * k, cy - (u + v) * k};
      };
      c.polygon({at(-16, -6), at(14, -6), at(14, 6), at(-16, 6)}, ink);
      c.polygon({at(14, -6), at(24, 0), at(14, 6)}, mix(ink, rgb(0xf2d3a0), 0.55f));
      c.polygon({at(20.5f, -2.1f), at(24, 0), at(20.5f, 2.1f)}, rgb(0x333333));
      c.polygon({at(-22, -6), at(-17, -6), at(-17, 6), at(-22, 6)}, rgb(0xffb3b3));
      break;
    }
    case Icon::cross:
      c.line(cx - 14, cy - 14, cx + 14, cy + 14, 8, ink);
      c.line(cx + 14, cy - 14, cx - 14, cy + 14, 8, ink);
      break;
    case Icon::home:
      c.polygon({{cx, cy - 20}, {cx + 21, cy - 1}, {cx + 15, cy - 1}, {cx + 15, cy + 18}, {cx - 15, cy + 18},
                 {cx - 15, cy - 1}, {cx - 21, cy - 1}},
                ink);
      c.rounded_rect(cx - 5, cy + 5, 10, 13, 2, rgb(0x000000, 0.35f));
      break;
  }
}

Canvas button(Icon icon, int colour) {
  Canvas c(144, 72);  // frame 0 as drawn, frame 1 pressed
  for (int f = 0; f < 2; ++f) {
    const float x = 72.0f * static_cast<float>(f);
    const Colour base = rgb(colour);
    const Colour dark = mix(base, rgb(0x000000), 0.35f);
    c.rounded_rect(x + 3, 6, 66, 64, 16, rgb(0x000000, 0.25f));
    c.rounded_rect(x + 3, 3, 66, 64, 16, [=](float, float y) {
      return f == 0 ? mix(mix(base, rgb(0xffffff), 0.25f), base, (y - 3) / 64) : mix(base, dark, (y - 3) / 64);
    });
    draw_icon(c, x, icon, rgb(0xffffff));
  }
  return c;
}

Canvas ticker() {
  // Seven paper colours, five frames each: the strip turns from face-on to
  // edge-on, darkening as it turns away.
  const int colours[7] = {0xff4d4d, 0xff9f1a, 0xffe14d, 0x4dd96b, 0x33c7e6, 0x4d6bff, 0xd94dd9};
  Canvas c(60, 84);
  for (int g = 0; g < 7; ++g)
    for (int k = 0; k < 5; ++k) {
      const float turn = static_cast<float>(k) * 3.14159265f / 8;  // 0 .. 90 degrees
      const float half = std::max(0.6f, 3.2f * std::cos(turn));
      const float x0 = static_cast<float>(k * 12), y0 = static_cast<float>(g * 12);
      const Colour face = mix(rgb(colours[g]), rgb(0x000000), 0.45f * std::sin(turn));
      c.rounded_rect(x0 + 1, y0 + 6 - half, 10, 2 * half, 1, face);
    }
  return c;
}

// ---------------------------------------------------------------------------
// [SECTION] Digits

class Glyphs {
 public:
  explicit Glyphs(const std::string& font_file) {
    ok_ = FT_Init_FreeType(&library_) == 0 && FT_New_Face(library_, font_file.c_str(), 0, &face_) == 0;
  }
  ~Glyphs() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  bool ok() const { return ok_; }

  // Frames of `cell_w` x `cell_h` holding the characters 48 + n, n = 0..9,
  // one row; the glyph is centred and sits on a common baseline.
  Canvas strip(int cell_w, int cell_h, int pixel_size, Colour ink, Colour halo) {
    Canvas c(cell_w * 10, cell_h);
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixel_size));
    const int baseline = (cell_h + pixel_size * 7 / 10) / 2;
    for (int n = 0; n < 10; ++n) {
      if (FT_Load_Char(face_, static_cast<FT_ULong>('0' + n), FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot g = face_->glyph;
      const int left = n * cell_w + (cell_w - static_cast<int>(g->bitmap.width)) / 2;
      const int top = baseline - g->bitmap_top;
      for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0 && halo.a <= 0) continue;
        for (unsigned y = 0; y < g->bitmap.rows; ++y)
          for (unsigned x = 0; x < g->bitmap.width; ++x) {
            const float cov = g->bitmap.buffer[y * static_cast<unsigned>(g->bitmap.pitch) + x] / 255.0f;
            if (cov <= 0) continue;
            const int px = left + static_cast<int>(x), py = top + static_cast<int>(y);
            if (px < n * cell_w || px >= (n + 1) * cell_w) continue;
            if (pass == 0) {
              for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                  if (px + dx >= n * cell_w && px + dx < (n + 1) * cell_w) c.blend(px + dx, py + dy, halo, cov * 0.6f);
            } else {
              c.blend(px, py, ink, cov);
            }
          }
      }
    }
    return c;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  bool ok_ = false;
};

// A 6 x 8 pixel font for the small digits, drawn by hand (5 x 7 glyphs).
Canvas small_digits() {
  static const char* const kRows[10][7] = {
      {"01110", "10001", "10011", "10101", "11001", "10001", "01110"},
      {"00100", "01100", "00100", "00100", "00100", "00100", "01110"},
      {"01110", "10001", "00001", "00010", "00100", "01000", "11111"},
      {"11110", "00001", "00001", "01110", "00001", "00001", "11110"},
      {"00010", "00110", "01010", "10010", "11111", "00010", "00010"},
      {"11111", "10000", "11110", "00001", "00001", "10001", "01110"},
      {"00110", "01000", "10000", "11110", "10001", "10001", "01110"},
      {"11111", "00001", "00010", "00100", "01000", "01000", "01000"},
      {"01110", "10001", "10001", "01110", "10001", "10001", "01110"},
      {"01110", "10001", "10001", "01111", "00001", "00010", "01100"},
  };
  Canvas c(60, 8);
  for (int n = 0; n < 10; ++n)
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 5; ++x)
        if (kRows[n][y][x] == '1') c.blend(n * 6 + x, y, rgb(0x1d2b4f), 1);
  return c;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Main

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: mkmedia OUTDIR [FONT.ttf]\n");
    return 2;
  }
  const fs::path out = argv[1];
  const std::string font = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
  std::error_code ec;
  fs::create_directories(out, ec);

  Glyphs glyphs(font);
  if (!glyphs.ok()) {
    std::fprintf(stderr, "mkmedia: cannot open the font %s\n", font.c_str());
    return 1;
  }
  const Colour no_halo = rgb(0, 0);
  bool ok = save(out / "board.png", board()) && save(out / "gfx" / "button.PNG", marker()) &&
            save(out / "cell.PNG", cell_frames()) && save(out / "pencil.PNG", button(Icon::pencil, 0x1fa39a)) &&
            save(out / "cross.PNG", button(Icon::cross, 0xe0524f)) &&
            save(out / "home.PNG", button(Icon::home, 0x5661d6)) &&
            // given and palette digits; the selected one; the player's; marked ones
            save(out / "font01a.PNG", glyphs.strip(16, 25, 22, rgb(0x1d2b4f), rgb(0xffffff, 0.8f))) &&
            save(out / "font02.PNG", glyphs.strip(16, 25, 22, rgb(0xffffff), rgb(0x7a3300, 0.7f))) &&
            save(out / "font03.PNG", glyphs.strip(16, 25, 22, rgb(0x1f64e0), no_halo)) &&
            save(out / "font04.PNG", glyphs.strip(16, 25, 22, rgb(0xd61f2c), rgb(0xffffff, 0.8f))) &&
            save(out / "ticker.PNG", ticker()) && save(out / "small.PNG", small_digits());
  if (!ok) return 1;
  if (!write_theme((out / "theme.mp3").string())) {
    std::fprintf(stderr, "mkmedia: cannot write theme.mp3\n");
    return 1;
  }
  return 0;
}

// mkfont: bitmap font images for the runtime's fonts, made from a TrueType or
// OpenType font with FreeType.
//
//   mkfont FONTFILE OUT.png --size PX [--chars 128|256] [--outline] [--shadow] [--cell WxH]
//
// The image is a grid of cells, 16 to a row: 128 characters in 8 rows or 256
// in 16, codes 128..255 being Windows-1252. The runtime tells the two apart by
// the image's shape alone (at least as wide as high: 128), so the cells are
// padded until the shape says what was meant.
//
// Each glyph is white with its coverage in alpha, left-aligned in its cell
// (the runtime measures the inked columns for proportional printing, so the
// font's side bearings would only be lost space) and on a baseline shared by
// every cell. Everything else is alpha 0. The outline and the shadow are
// (8, 8, 8), never black: black is the default font colour key, and keyed
// pixels turn transparent when the font is loaded.
//
// Exit codes: 0 made, 1 failed (font, glyphs, output), 2 usage.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/image_codec.h"
#include "runtime/platform/codepage.h"

namespace {

constexpr int kMinSize = 4;
constexpr int kMaxSize = 256;
constexpr int kMaxCell = 2048;
constexpr uint8_t kDark = 8;  // outline and shadow: near black, but not the colour key

struct Options {
  std::string font;
  std::string out;
  int size = 0;
  int chars = 128;
  bool outline = false;
  bool shadow = false;
  int cell_w = 0;  // 0 x 0: sized to the glyphs
  int cell_h = 0;
};

int usage(const std::string& complaint) {
  if (!complaint.empty()) std::fprintf(stderr, "mkfont: %s\n", complaint.c_str());
  std::fputs(
      "usage: mkfont FONTFILE OUT.png --size PX [--chars 128|256] [--outline] [--shadow] [--cell WxH]\n"
      "  --size PX     the font's pixel size, 4..256\n"
      "  --chars N     128 (codes 0..127, the default) or 256 (128..255 as Windows-1252)\n"
      "  --outline     a 1-pixel dark outline around each glyph\n"
      "  --shadow      a dark drop shadow, 1 pixel right and down\n"
      "  --cell WxH    this cell size instead of the smallest that holds every glyph\n",
      stderr);
  return 2;
}

// A whole decimal number of at most six digits.
bool parse_number(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// 0 when the options are good, else the exit code for a usage error.
int parse_options(int argc, char** argv, Options& o) {
  std::vector<std::string> positional;
  bool have_size = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_value = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      has_value = true;
    }
    const bool takes_value = arg == "--size" || arg == "--chars" || arg == "--cell";
    if (takes_value && !has_value) {
      if (i + 1 >= argc) return usage(arg + " needs a value");
      value = argv[++i];
    } else if (!takes_value && has_value) {
      return usage(arg + " takes no value");
    }
    if (arg == "--size") {
      if (!parse_number(value, o.size) || o.size < kMinSize || o.size > kMaxSize)
        return usage("--size " + value + " is not a pixel size from " + std::to_string(kMinSize) + " to " +
                     std::to_string(kMaxSize));
      have_size = true;
    } else if (arg == "--chars") {
      if (!parse_number(value, o.chars) || (o.chars != 128 && o.chars != 256))
        return usage("--chars " + value + ": a font image holds 128 or 256 characters");
    } else if (arg == "--cell") {
      const size_t x = value.find_first_of("xX");
      if (x == std::string::npos || !parse_number(value.substr(0, x), o.cell_w) ||
          !parse_number(value.substr(x + 1), o.cell_h) || o.cell_w < 1 || o.cell_h < 1 || o.cell_w > kMaxCell ||
          o.cell_h > kMaxCell)
        return usage("--cell " + value + " is not a cell size WxH, each 1.." + std::to_string(kMaxCell));
    } else if (arg == "--outline") {
      o.outline = true;
    } else if (arg == "--shadow") {
      o.shadow = true;
    } else if (arg == "-h" || arg == "--help") {
      return usage("");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return usage(positional.size() < 2 ? "a font file and an output file are needed" : "too many file names");
  if (!have_size) return usage("--size is needed");
  o.font = positional[0];
  o.out = positional[1];
  return 0;
}

// The code point a cell shows, or 0 for a cell left empty: control codes, DEL
// and the five bytes Windows-1252 leaves undefined.
uint32_t code_point_of(int code) {
  if (code < 32 || code == 127) return 0;
  if (code < 128) return static_cast<uint32_t>(code);
  if (code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 || code == 0x9D) return 0;
  return mxt::cp1252_to_unicode(static_cast<uint8_t>(code));
}

// "'A' (U+0041)" in UTF-8, for messages.
std::string describe(int code, uint32_t cp) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "U+%04X", cp);
  std::string shown = mxt::cp1252_to_utf8(std::string(1, static_cast<char>(code)));
  std::string text = "'" + shown + "' (" + hex;
  if (code >= 128) {
    std::snprintf(hex, sizeof hex, ", code 0x%02X", code);
    text += hex;
  }
  return text + ")";
}

// A rendered glyph: coverage 0..255, `top` rows above the baseline.
struct Glyph {
  int code = 0;
  uint32_t cp = 0;
  int width = 0;
  int rows = 0;
  int top = 0;
  std::vector<uint8_t> coverage;
  int below() const { return rows - top; }
};

class Font {
 public:
  ~Font() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }

  // Opens the font at `size` pixels; false with a message on stderr.
  bool open(const std::string& path, int size) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
      std::fprintf(stderr, "mkfont: cannot read the font %s: %s\n", path.c_str(), std::strerror(errno));
      return false;
    }
    std::fclose(f);
    if (FT_Init_FreeType(&library_) != 0) {
      std::fputs("mkfont: FreeType would not start\n", stderr);
      return false;
    }
    if (FT_New_Face(library_, path.c_str(), 0, &face_) != 0) {
      face_ = nullptr;
      std::fprintf(stderr, "mkfont: %s is not a font FreeType can read\n", path.c_str());
      return false;
    }
    if (FT_Select_Charmap(face_, FT_ENCODING_UNICODE) != 0)
      std::fprintf(stderr, "mkfont: warning: %s has no Unicode character map; using its own\n", path.c_str());
    if (FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(size)) != 0) {
      // A bitmap font comes in the sizes it has.
      std::string sizes;
      for (int i = 0; i < face_->num_fixed_sizes; ++i)
        sizes += (i ? ", " : "") + std::to_string(face_->available_sizes[i].height);
      std::fprintf(stderr, "mkfont: %s has no %d-pixel size%s%s\n", path.c_str(), size,
                   sizes.empty() ? "" : "; it has ", sizes.c_str());
      return false;
    }
    return true;
  }

  // The font's own ascent and descent in whole pixels.
  int ascender() const { return static_cast<int>((face_->size->metrics.ascender + 63) >> 6); }
  int descender() const { return static_cast<int>((-face_->size->metrics.descender + 63) >> 6); }

  // The glyph of code point `cp`; false when the font lacks it.
  bool render(uint32_t cp, Glyph& g) {
    const FT_UInt index = FT_Get_Char_Index(face_, cp);
    if (index == 0 || FT_Load_Glyph(face_, index, FT_LOAD_RENDER) != 0) return false;
    const FT_GlyphSlot slot = face_->glyph;
    // Converted to one byte a pixel, top row first, whatever the font's
    // bitmaps are (monochrome strikes give 0/1, hence the scale).
    FT_Bitmap bitmap;
    FT_Bitmap_Init(&bitmap);
    if (FT_Bitmap_Convert(library_, &slot->bitmap, &bitmap, 1) != 0) {
      FT_Bitmap_Done(library_, &bitmap);
      return false;
    }
    g.cp = cp;
    g.width = static_cast<int>(bitmap.width);
    g.rows = static_cast<int>(bitmap.rows);
    g.top = slot->bitmap_top;
    g.coverage.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows), 0);
    const unsigned grays = bitmap.num_grays > 1 ? bitmap.num_grays - 1u : 1u;
    const size_t pitch = static_cast<size_t>(bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch);
    for (size_t y = 0; y < bitmap.rows; ++y)
      for (size_t x = 0; x < bitmap.width; ++x)
        g.coverage[y * bitmap.width + x] =
            static_cast<uint8_t>(std::min(255u, bitmap.buffer[y * pitch + x] * 255u / grays));
    FT_Bitmap_Done(library_, &bitmap);
    // Rows or columns with no coverage at all would count for the cell size
    // but print as nothing; trim them.
    trim(g);
    return true;
  }

 private:
  static void trim(Glyph& g) {
    auto column_empty = [&](int x) {
      for (int y = 0; y < g.rows; ++y)
        if (g.coverage[static_cast<size_t>(y * g.width + x)]) return false;
      return true;
    };
    auto row_empty = [&](int y) {
      for (int x = 0; x < g.width; ++x)
        if (g.coverage[static_cast<size_t>(y * g.width + x)]) return false;
      return true;
    };
    int x0 = 0, x1 = g.width, y0 = 0, y1 = g.rows;
    while (x0 < x1 && column_empty(x0)) ++x0;
    while (x1 > x0 && column_empty(x1 - 1)) --x1;
    while (y0 < y1 && row_empty(y0)) ++y0;
    while (y1 > y0 && row_empty(y1 - 1)) --y1;
    if (x0 == x1 || y0 == y1) {
      g.width = g.rows = g.top = 0;
      g.coverage.clear();
      return;
    }
    std::vector<uint8_t> kept;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) kept.push_back(g.coverage[static_cast<size_t>(y * g.width + x)]);
    g.coverage = std::move(kept);
    g.top -= y0;
    g.width = x1 - x0;
    g.rows = y1 - y0;
  }

  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

// What the outline and the shadow add around a glyph.
struct Margins {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// One cell: the glyph's coverage placed at (m.left, baseline - top), the dark
// outline and/or shadow under it, composited into the image at (cx, cy).
void draw_cell(mxt::ImageBuffer& image, int cx, int cy, int w, int h, int baseline, const Margins& m,
               const Glyph& g, const Options& o) {
  const auto at = [w](int x, int y) { return static_cast<size_t>(y * w + x); };
  std::vector<uint8_t> ink(static_cast<size_t>(w * h), 0);
  for (int y = 0; y < g.rows; ++y)
    for (int x = 0; x < g.width; ++x)
      ink[at(m.left + x, baseline - g.top + y)] = g.coverage[static_cast<size_t>(y * g.width + x)];
  std::vector<uint8_t> dark(ink.size(), 0);
  if (o.outline)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t most = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h) most = std::max(most, ink[at(x + dx, y + dy)]);
        // Opaque beside anything half inked or more, so the outline stays a
        // solid line where antialiasing thins the glyph's edge.
        dark[at(x, y)] = static_cast<uint8_t>(std::min(255, 2 * most));
      }
  if (o.shadow) {
    // The shadow of the outlined glyph when there is an outline.
    const std::vector<uint8_t> caster = o.outline ? dark : ink;
    for (int y = 1; y < h; ++y)
      for (int x = 1; x < w; ++x) dark[at(x, y)] = std::max(dark[at(x, y)], caster[at(x - 1, y - 1)]);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float ga = ink[at(x, y)] / 255.0f, da = dark[at(x, y)] / 255.0f;
      const float a = ga + da * (1 - ga);
      if (a <= 0) continue;
      const auto grey = static_cast<uint8_t>(std::lround((255.0f * ga + kDark * da * (1 - ga)) / a));
      uint8_t* p = image.pixel(cx + x, cy + y);
      p[0] = p[1] = p[2] = grey;
      p[3] = static_cast<uint8_t>(std::clamp(std::lround(a * 255.0f), 1L, 255L));
    }
}

// Written beside the target and renamed over it, so a failed run leaves no
// half-written image behind.
bool write_file(const std::string& path, const std::string& bytes) {
  const std::string tmp = path + ".mkfont-tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "mkfont: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const int err = errno;
  if (std::fclose(f) != 0 || !written || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "mkfont: cannot write %s: %s\n", path.c_str(), std::strerror(written ? errno : err));
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

int make_font(const Options& o) {
  Font font;
  if (!font.open(o.font, o.size)) return 1;

  std::vector<Glyph> glyphs;
  std::vector<std::string> missing;
  for (int code = 0; code < o.chars; ++code) {
    const uint32_t cp = code_point_of(code);
    if (cp == 0) continue;
    Glyph g;
    g.code = code;
    if (!font.render(cp, g)) {
      missing.push_back(describe(code, cp));
      continue;
    }
    if (g.width > 0) glyphs.push_back(std::move(g));
  }
  if (glyphs.empty()) {
    std::fprintf(stderr, "mkfont: %s has none of the characters with ink\n", o.font.c_str());
    return 1;
  }

  Margins m;
  m.left = m.top = m.right = m.bottom = o.outline ? 1 : 0;
  if (o.shadow) ++m.right, ++m.bottom;

  // The cell from the glyphs it must hold: the widest, plus a spacing column
  // for proportional printing; the highest and the deepest, with the font's
  // own ascent and descent as the least.
  const auto widest = std::max_element(glyphs.begin(), glyphs.end(), [](auto& a, auto& b) { return a.width < b.width; });
  const auto highest = std::max_element(glyphs.begin(), glyphs.end(), [](auto& a, auto& b) { return a.top < b.top; });
  const auto deepest = std::max_element(glyphs.begin(), glyphs.end(), [](auto& a, auto& b) { return a.below() < b.below(); });
  const int ascent = std::max(font.ascender(), highest->top);
  const int descent = std::max(font.descender(), deepest->below());
  const int need_w = widest->width + m.left + m.right;
  const int need_h = highest->top + deepest->below() + m.top + m.bottom;
  const char* extra = o.outline && o.shadow ? " with its outline and shadow" : o.outline ? " with its outline" : o.shadow ? " with its shadow" : "";

  int w = need_w + 1, h = ascent + descent + m.top + m.bottom;
  if (o.cell_w) {
    w = o.cell_w;
    h = o.cell_h;
    if (need_w > w) {
      std::fprintf(stderr, "mkfont: %s is %d pixels wide%s: it does not fit cells %d pixels wide (give --cell %dx%d or more, or leave --cell out)\n",
                   describe(widest->code, widest->cp).c_str(), need_w, extra, w, need_w, std::max(h, need_h));
      return 1;
    }
    if (need_h > h) {
      std::fprintf(stderr, "mkfont: %s reaches %d pixels above the baseline and %s %d below: %d rows%s, more than cells %d high (give --cell %dx%d or more, or leave --cell out)\n",
                   describe(highest->code, highest->cp).c_str(), highest->top,
                   describe(deepest->code, deepest->cp).c_str(), deepest->below(), need_h, extra, h, w, need_h);
      return 1;
    }
  }
  // Where the baseline goes: the font's ascent below the top when the cell
  // has the room, else as low as the deepest glyph allows.
  const int room = h - m.top - m.bottom;
  const int baseline = m.top + std::min(ascent, room - deepest->below());

  // The runtime reads the layout from the image's shape: 16w x 8h must be at
  // least as wide as high for 128 characters, 16w x 16h narrower than high
  // for 256. Padding goes to the right or the bottom of every cell.
  std::string padded;
  if (o.chars == 128 && h > 2 * w) {
    padded = "cells widened from " + std::to_string(w) + " to " + std::to_string((h + 1) / 2) +
             " pixels, so that the image is at least as wide as high, as 128-character fonts must be";
    w = (h + 1) / 2;
  } else if (o.chars == 256 && h <= w) {
    padded = "cells made taller from " + std::to_string(h) + " to " + std::to_string(w + 1) +
             " pixels, so that the image is narrower than high, as 256-character fonts must be";
    h = w + 1;
  }

  const int rows = o.chars / 16;
  const int64_t image_w = int64_t{16} * w, image_h = int64_t{rows} * h;
  if (image_w > mxt::kMaxImageSide || image_h > mxt::kMaxImageSide || image_w * image_h > mxt::kMaxImagePixels) {
    std::fprintf(stderr, "mkfont: an image of %lld x %lld pixels is larger than the runtime loads\n",
                 static_cast<long long>(image_w), static_cast<long long>(image_h));
    return 1;
  }
  mxt::ImageBuffer image;
  if (!image.size_to(static_cast<int32_t>(image_w), static_cast<int32_t>(image_h))) {
    std::fputs("mkfont: out of memory for the image\n", stderr);
    return 1;
  }
  // Transparent pixels take the colour of the glyph's edge, so that filtering
  // at a scale does not darken (or lighten) it.
  const uint8_t background = o.outline || o.shadow ? kDark : 255;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      uint8_t* p = image.pixel(x, y);
      p[0] = p[1] = p[2] = background;
    }
  for (const Glyph& g : glyphs) draw_cell(image, g.code % 16 * w, g.code / 16 * h, w, h, baseline, m, g, o);

  std::string bytes;
  if (!mxt::encode_png(image, bytes)) {
    std::fputs("mkfont: the image would not encode as PNG\n", stderr);
    return 1;
  }
  if (!write_file(o.out, bytes)) return 1;

  std::printf("%s: %d characters, cells %d x %d, image %d x %d\n", o.out.c_str(), o.chars, w, h, image.width, image.height);
  if (!padded.empty()) std::printf("%s: %s\n", o.out.c_str(), padded.c_str());
  if (!missing.empty()) {
    std::string list;
    for (const std::string& s : missing) list += (list.empty() ? "" : ", ") + s;
    std::fprintf(stderr, "mkfont: warning: %s lacks %zu character%s, left empty: %s\n", o.font.c_str(), missing.size(),
                 missing.size() == 1 ? "" : "s", list.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int rc = parse_options(argc, argv, options)) return rc;
  return make_font(options);
}

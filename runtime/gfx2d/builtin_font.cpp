// The built-in font: a 5 x 6 design for the printable ASCII characters
// (32..127), drawn below as it looks, eight characters to a band ("#" ink).
// Capitals and digits stand five rows tall; lower case is four rows high
// with ascenders in the top row and descenders in the sixth. The table of
// 96 words (bit 5 * gy + gx for pixel (gx, gy)) is built from the drawing
// at compile time, so the drawing is the one source of the design.
//
// In the font image each glyph sits one pixel in from its 8 x 8 cell's
// top-left corner, white, with a dark outline around it so that text stays
// readable on light and dark backgrounds alike.
#include <array>
#include <cstdint>

#include "runtime/base/singletons.h"
#include "runtime/gfx2d/fonts.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"

namespace mxt {

namespace {

constexpr int kBands = 12;
constexpr int kPerBand = 8;

constexpr char kDrawing[kBands][6][kPerBand * 6] = {
    // sp    !     "     #     $     %     &     '
    {
        "..... ..#.. .#.#. .#.#. .#### ##..# .#... ..#..",
        "..... ..#.. .#.#. ##### #.#.. ##.#. #.#.. ..#..",
        "..... ..#.. ..... .#.#. .###. ..#.. .#... .....",
        "..... ..... ..... ##### ..#.# .#.## #.#.# .....",
        "..... ..#.. ..... .#.#. ####. #..## #..#. .....",
        "..... ..... ..... ..... ..#.. ..... .##.# .....",
    },
    // (     )     *     +     ,     -     .     /
    {
        "...#. .#... ..... ..... ..... ..... ..... ....#",
        "..#.. ..#.. #.#.# ..#.. ..... ..... ..... ...#.",
        "..#.. ..#.. .###. ##### ..... .###. ..... ..#..",
        "..#.. ..#.. #.#.# ..#.. ..... ..... ..... .#...",
        "...#. .#... ..... ..... ..#.. ..... ..#.. #....",
        "..... ..... ..... ..... .#... ..... ..... .....",
    },
    // 0     1     2     3     4     5     6     7
    {
        ".###. ..#.. .###. ####. ...#. ##### .###. #####",
        "#..## .##.. #...# ....# ..##. #.... #.... ....#",
        "#.#.# ..#.. ..##. .###. .#.#. ####. ####. ...#.",
        "##..# ..#.. .#... ....# ##### ....# #...# ..#..",
        ".###. .###. ##### ####. ...#. ####. .###. ..#..",
        "..... ..... ..... ..... ..... ..... ..... .....",
    },
    // 8     9     :     ;     <     =     >     ?
    {
        ".###. .###. ..... ..... ...#. ..... .#... .###.",
        "#...# #...# ..#.. ..#.. ..#.. ##### ..#.. #...#",
        ".###. .#### ..... ..... .#... ..... ...#. ..##.",
        "#...# ....# ..#.. ..#.. ..#.. ##### ..#.. .....",
        ".###. .###. ..... .#... ...#. ..... .#... ..#..",
        "..... ..... ..... ..... ..... ..... ..... .....",
    },
    // @     A     B     C     D     E     F     G
    {
        ".###. .###. ####. .###. ####. ##### ##### .###.",
        "#.### #...# #...# #...# #...# #.... #.... #....",
        "#.#.# ##### ####. #.... #...# ####. ####. #.###",
        "#.### #...# #...# #...# #...# #.... #.... #...#",
        "#.... #...# ####. .###. ####. ##### #.... .####",
        ".###. ..... ..... ..... ..... ..... ..... .....",
    },
    // H     I     J     K     L     M     N     O
    {
        "#...# .###. ..### #...# #.... #...# #...# .###.",
        "#...# ..#.. ...#. #..#. #.... ##.## ##..# #...#",
        "##### ..#.. ...#. ###.. #.... #.#.# #.#.# #...#",
        "#...# ..#.. #..#. #..#. #.... #...# #..## #...#",
        "#...# .###. .##.. #...# ##### #...# #...# .###.",
        "..... ..... ..... ..... ..... ..... ..... .....",
    },
    // P     Q     R     S     T     U     V     W
    {
        "####. .###. ####. .#### ##### #...# #...# #...#",
        "#...# #...# #...# #.... ..#.. #...# #...# #...#",
        "####. #...# ####. .###. ..#.. #...# #...# #.#.#",
        "#.... #..#. #..#. ....# ..#.. #...# .#.#. ##.##",
        "#.... .##.# #...# ####. ..#.. .###. ..#.. #...#",
        "..... ..... ..... ..... ..... ..... ..... .....",
    },
    // X     Y     Z     [     \     ]     ^     _
    {
        "#...# #...# ##### .###. #.... .###. ..#.. .....",
        ".#.#. .#.#. ...#. .#... .#... ...#. .#.#. .....",
        "..#.. ..#.. ..#.. .#... ..#.. ...#. #...# .....",
        ".#.#. ..#.. .#... .#... ...#. ...#. ..... .....",
        "#...# ..#.. ##### .###. ....# .###. ..... .....",
        "..... ..... ..... ..... ..... ..... ..... #####",
    },
    // `     a     b     c     d     e     f     g
    {
        ".#... ..... #.... ..... ....# ..... ..##. .....",
        "..#.. .###. ####. .#### .#### .###. .#... .####",
        "..... #..#. #...# #.... #...# ##### ###.. #...#",
        "..... #..#. #...# #.... #...# #.... .#... .####",
        "..... .#### ####. .#### .#### .###. .#... ....#",
        "..... ..... ..... ..... ..... ..... ..... .###.",
    },
    // h     i     j     k     l     m     n     o
    {
        "#.... ..#.. ...#. #.... .##.. ..... ..... .....",
        "#.##. ..... ..... #..#. ..#.. ##.#. #.##. .###.",
        "##..# .##.. ..##. #.#.. ..#.. #.#.# ##..# #...#",
        "#...# ..#.. ...#. ###.. ..#.. #.#.# #...# #...#",
        "#...# .###. #..#. #..#. .###. #...# #...# .###.",
        "..... ..... .##.. ..... ..... ..... ..... .....",
    },
    // p     q     r     s     t     u     v     w
    {
        "..... ..... ..... ..... .#... ..... ..... .....",
        "####. .#### #.##. .#### ####. #...# #...# #...#",
        "#...# #...# ##..# ##... .#... #...# #...# #.#.#",
        "####. .#### #.... ...## .#..# #..## .#.#. #.#.#",
        "#.... ....# #.... ####. ..##. .##.# ..#.. .#.#.",
        "#.... ....# ..... ..... ..... ..... ..... .....",
    },
    // x     y     z     {     |     }     ~     DEL
    {
        "..... ..... ..... ..##. ..#.. .##.. ..... #####",
        "#..#. #...# ##### ..#.. ..#.. ..#.. .##.# #...#",
        ".##.. #...# ..##. .#... ..#.. ...#. #.##. #...#",
        ".##.. .#### .##.. ..#.. ..#.. ..#.. ..... #...#",
        "#..#. ....# ##### ..##. ..#.. .##.. ..... #####",
        "..... .###. ..... ..... ..#.. ..... ..... .....",
    },
};

constexpr std::array<uint32_t, 96> glyph_words() {
  std::array<uint32_t, 96> words{};
  for (int i = 0; i < 96; ++i) {
    const int band = i / kPerBand, slot = i % kPerBand;
    uint32_t w = 0;
    for (int gy = 0; gy < 6; ++gy)
      for (int gx = 0; gx < 5; ++gx)
        if (kDrawing[band][gy][slot * 6 + gx] == '#') w |= uint32_t{1} << (5 * gy + gx);
    words[static_cast<size_t>(i)] = w;
  }
  return words;
}

// The drawing holds only ink and blank, in cells of five with one space
// between them: a slip of the pen fails the build, not the picture.
constexpr bool drawing_is_well_formed() {
  for (const auto& band : kDrawing)
    for (const auto& row : band)
      for (int x = 0; x < kPerBand * 6 - 1; ++x) {
        const char ch = row[x];
        if (x % 6 == 5 ? ch != ' ' : (ch != '#' && ch != '.')) return false;
      }
  return true;
}
static_assert(drawing_is_well_formed());

constexpr std::array<uint32_t, 96> kGlyphs = glyph_words();
static_assert(kGlyphs[0] == 0, "the space is blank");
static_assert(kGlyphs['T' - 32] == 0x0042109Fu, "T: a full top row and a centre stem");

constexpr int kCell = 8;
constexpr int kImageWidth = 16 * kCell;  // 128 characters in 16 x 8 cells
constexpr int kImageHeight = 8 * kCell;

bool glyph_pixel(int c, int gx, int gy) {
  if (gx < 0 || gx >= 5 || gy < 0 || gy >= 6) return false;
  return (builtin_glyph(c) >> (5 * gy + gx)) & 1u;
}

}  // namespace

uint32_t builtin_glyph(int c) { return c >= 32 && c < 128 ? kGlyphs[static_cast<size_t>(c - 32)] : 0; }

void install_builtin_font(int f) {
  VuduRODoverore* r = rt.renderer;
  if (!r || f < 0 || f >= kFontSlots) return;
  r->font_scale[f] = 4.0f;
  ImageBuffer image;
  if (image.size_to(kImageWidth, kImageHeight)) {
    for (int c = 32; c < 128; ++c) {
      const int cx = (c % 16) * kCell, cy = (c / 16) * kCell;
      for (int y = 0; y < kCell; ++y) {
        for (int x = 0; x < kCell; ++x) {
          const int gx = x - 1, gy = y - 1;
          uint8_t level = 0;
          if (glyph_pixel(c, gx, gy))
            level = 255;
          else if (glyph_pixel(c, gx - 1, gy) || glyph_pixel(c, gx + 1, gy) || glyph_pixel(c, gx, gy - 1) ||
                   glyph_pixel(c, gx, gy + 1))
            level = 8;  // the outline
          if (!level) continue;
          uint8_t* p = image.pixel(cx + x, cy + y);
          p[0] = p[1] = p[2] = level;
          p[3] = 255;
        }
      }
    }
    image.own_alpha = 1;
    create_sprite_texture(kFirstFontSprite + f, image, false);  // font slots: nearest, no mipmaps
  }
  for (int c = 0; c < 256; ++c) {
    GlyphRecord& g = r->glyphs[f][c];
    g.left = 0;
    g.width = kCell;
    g.u_left = static_cast<float>((c % 16) * kCell) / static_cast<float>(kImageWidth);
    g.u_right = g.u_left + static_cast<float>(kCell) / static_cast<float>(kImageWidth);
  }
}

}  // namespace mxt

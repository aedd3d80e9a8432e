// Bitmap fonts: 32 slots, each an image of character cells, 16 to a row,
// kept as sprite 65504 + slot, with per-character metrics for proportional
// printing. An image at least as wide as high holds characters 0..127 in 8
// rows (codes 128..255 print as 0..127); a narrower one holds 0..255 in 16.
// Cells are counted from the top-left; a cell's size is the image size over
// 16 columns and 8 or 16 rows, so images should divide evenly.
//
// A character's proportional width is its inked span (columns with any alpha)
// plus one column of spacing when the cell has room; an empty cell is a full
// cell wide, and the space is as wide as "j". Slot 0 starts with the built-in
// 8 x 8 font (builtin_font.cpp), then the first default font file found.
// The commands are in gfx2d.h.
#pragma once

#include <cstdint>

#include "runtime/types/rtstring.h"

namespace mxt {

struct ImageBuffer;

constexpr int kFontSlots = 32;

struct GlyphRecord {
  // Pixels. Wider than a byte: a cell of a large font image can be more than
  // 255 pixels across, and a width that wrapped would print as nothing.
  uint16_t left = 0;                // from the cell's left edge to the first inked column
  uint16_t width = 0;               // the advance when printing proportionally
  float u_left = 0;                 // the inked span in texture coordinates
  float u_right = 0;
};

// The cells of a font image of that size.
struct FontLayout {
  int cell_width = 0;
  int cell_height = 0;
  int characters = 128;             // 128 or 256
  int rows = 8;                     // 8 or 16
};
FontLayout font_layout(int image_width, int image_height);

// The proportional metrics of every character of a font image (alpha decides
// what is ink), for a texture `texture_width` wide. False when the image has
// no cells (narrower than 16 pixels, or fewer pixel rows than cell rows).
bool measure_font(const ImageBuffer& image, int texture_width, GlyphRecord (&glyphs)[256]);

// The built-in font: bit 5 * gy + gx of the word of character c (32..127)
// marks the glyph pixel (gx, gy) of its 5 x 6 design; 0 for other codes.
uint32_t builtin_glyph(int c);

// Font slot f (0..31) as the built-in font at scale 4.
void install_builtin_font(int f);

// Loads a font image (BMP or PNG, with the font colour key) into slot f at
// scale 1. False, with the slot's image deleted and its metrics as they were,
// when the file does not decode or the picture has no cells.
bool load_font_file(int f, const RtString& resolved_name);

}  // namespace mxt

// Test images made in code: BMP files of every layout the decoder meets, PNG
// variants through libpng and JPEG through libjpeg, so fixtures are exact
// and rebuilt on every run.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/types/bytes.h"

namespace mxt_test {

using Rgb = std::array<uint8_t, 3>;

// Little-endian fields appended to a file being built.
inline void put16(std::string& s, uint32_t v) { mxt::append_le16(s, v); }
inline void put32(std::string& s, uint32_t v) { mxt::append_le32(s, v); }

struct BmpSpec {
  int width = 0, height = 0;        // height < 0: top-down
  int bits = 24;
  bool core_header = false;         // the 12-byte header of old files
  uint32_t info_size = 40;          // written as it is when not a core header
  uint32_t compression = 0;
  std::vector<Rgb> palette;         // red, green, blue
  std::vector<uint8_t> pixel_data;  // stored rows (or RLE stream) exactly as in the file
  // Bitfields: after a 40-byte header when compression is 3; inside a longer
  // header always (red, green, blue from 52 bytes, alpha from 56).
  std::array<uint32_t, 3> masks{};
  uint32_t alpha_mask = 0;
  // Bytes between the palette and the pixel data: a colour profile, which a
  // 124-byte header points at.
  std::vector<uint8_t> profile;
};
std::string build_bmp(const BmpSpec& spec);

// Stored rows for uncompressed depths: value(x, y) gives the palette index
// (depths up to 8), the 16-bit word (16) or the colour (24, 32), for stored
// row y (0 = first row in the file).
std::vector<uint8_t> bmp_rows(int width, int height, int bits, const std::function<uint32_t(int x, int y)>& value);

struct PngSpec {
  int width = 0, height = 0;
  int colour_type = 6;              // PNG_COLOR_TYPE_*
  int bit_depth = 8;
  bool interlaced = false;
  std::vector<Rgb> palette;
  std::vector<uint8_t> trns;        // palette alphas (or empty)
  std::vector<uint8_t> samples;     // packed rows as libpng takes them
  int grey_key = -1;                // the transparent level of a grey picture (tRNS), or -1
};
std::string build_png(const PngSpec& spec);

// A JPEG of w x h from RGB (components 3) or grey (components 1) samples;
// a restart marker every `restart_rows` rows of blocks when not 0.
std::string build_jpeg(int width, int height, int components, const std::vector<uint8_t>& samples,
                       bool progressive, int quality = 95, int restart_rows = 0);

// A four-component JPEG from CMYK samples stored as given (Adobe's files
// store them inverted: 255 = no ink), kept as CMYK or turned into YCCK, with
// or without the Adobe marker (YCCK always has it).
std::string build_cmyk_jpeg(int width, int height, const std::vector<uint8_t>& samples, bool ycck, bool adobe_marker);

// The number of different RGBA values in a PNG file's pixels; 0 when it
// does not decode.
size_t count_colours(const std::string& png);

}  // namespace mxt_test

// Images: BMP, PNG and JPEG files decoded into one form, `ImageBuffer` (32-bit
// RGBA, rows top to bottom), and written back by file extension.
//
// Decoders recognise their own format by content, never by the name; a
// caller tries BMP, then PNG, then JPEG and takes the first success. BMP and
// PNG apply the colour key (0xBBGGRR; -1 = none): a pixel of that colour
// becomes transparent black. Every size read from a file is checked before
// anything is allocated; a damaged or hostile file fails cleanly with the
// image left empty. PNG goes through libpng, JPEG through libjpeg's 6b
// interface; their error exits are caught, so a bad file never ends the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "runtime/types/rtstring.h"

namespace mxt {

struct ImageBuffer {
  uint8_t own_alpha = 1;   // 1: alpha came from the source; 0: the decoder made it
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* pixels = nullptr;  // width * height * 4 bytes, RGBA, row 0 on top
  int32_t capacity = 0;       // bytes allocated

  ImageBuffer() = default;
  ImageBuffer(const ImageBuffer&) = delete;
  ImageBuffer& operator=(const ImageBuffer&) = delete;
  ImageBuffer(ImageBuffer&& other) noexcept;
  ImageBuffer& operator=(ImageBuffer&& other) noexcept;
  ~ImageBuffer() { reset(); }

  bool size_to(int32_t w, int32_t h);  // all bytes 0; false (and empty) when too large
  void reset();
  uint8_t* pixel(int32_t x, int32_t y) { return pixels + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4; }
  const uint8_t* pixel(int32_t x, int32_t y) const { return pixels + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4; }
};

// The largest image the runtime decodes: a side and a pixel count.
constexpr int32_t kMaxImageSide = 32768;
constexpr int64_t kMaxImagePixels = int64_t{1} << 26;

// The largest PNG chunk libpng may hold, and the largest block it may ask
// for: anything larger fails the decode.
constexpr int64_t kMaxPngChunkBytes = int64_t{64} << 20;

// An RLE BMP may leave pixels out (end of line, delta, end of picture), so a
// few bytes can claim any size. A picture of more than kRleFreePixels must
// code at least one pixel in kRleSkipRatio with its runs.
constexpr int64_t kRleFreePixels = int64_t{1} << 20;
constexpr int64_t kRleSkipRatio = 16;

// Decoding from bytes in memory.
bool decode_bmp(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t colour_key);
bool decode_png(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t colour_key);
bool decode_jpeg(ImageBuffer& image, std::span<const uint8_t> bytes);

// Decoding a resolved file name (a real path or an in-memory name). JPEG
// reads real files only.
bool read_bmp(ImageBuffer& image, const RtString& name, int32_t colour_key);
bool read_png(ImageBuffer& image, const RtString& name, int32_t colour_key);
bool read_jpeg(ImageBuffer& image, const RtString& name);
// BMP, PNG, then (when allowed) JPEG; the first that decodes wins.
bool read_image(ImageBuffer& image, const RtString& name, int32_t colour_key, bool allow_jpeg = true);

// Transparent pixels take the average colour of their opaque interior
// neighbours, so that filtering blends edges toward that colour, not black.
void bleed_transparent(ImageBuffer& image);

// PNG (8-bit RGBA) for ".png", JPEG (quality 80) for ".jpg", BMP (24-bit,
// non-opaque pixels as the colour key) for anything else.
bool write_image(const RtString& name, const ImageBuffer& image);

}  // namespace mxt

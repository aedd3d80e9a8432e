// What the image decoders and encoders share, inside gfx2d: the colour key
// test and the encoders that write_image chooses between. Every binary read
// goes through the bounded ByteReader (types/bytes.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "runtime/gfx2d/image.h"
#include "runtime/types/bytes.h"

namespace mxt {

inline bool keyed(int32_t key, uint8_t r, uint8_t g, uint8_t b) {
  return key != -1 && (r | g << 8 | b << 16) == key;
}

inline void put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  p[0] = r;
  p[1] = g;
  p[2] = b;
  p[3] = a;
}

// A whole file in memory, each format's way; false when the image cannot be
// written in it.
bool encode_png(const ImageBuffer& image, std::string& out);
bool encode_jpeg(const ImageBuffer& image, std::string& out);
bool encode_bmp(const ImageBuffer& image, std::string& out);

// PNG decoding that names the file in its complaints.
bool decode_png_named(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t key, const char* name);

}  // namespace mxt

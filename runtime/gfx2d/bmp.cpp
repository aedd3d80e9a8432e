// BMP: the Windows header versions of 12, 40, 52, 56, 108 and 124 bytes, 1
// to 32 bits a pixel, palettes, bitfields (with an alpha mask from the
// 56-byte header on) and RLE4/RLE8, read; 24-bit files written. OS/2 2.x
// headers, embedded JPEG or PNG data and other compressions are refused.
//
// [SECTION] Reading
// [SECTION] Writing
#include <cstring>

#include "runtime/gfx2d/image_codec.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Reading

namespace {

enum : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3 };

struct BmpPalette {
  uint8_t bgr[256][3] = {};
  int count = 0;
};

// A colour mask of a bitfield BMP: where its bits are and how many.
struct Mask {
  uint32_t mask = 0;
  int shift = 0, bits = 0;
  explicit Mask(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  uint8_t apply(uint32_t v) const {
    if (!bits) return 0;
    const uint32_t c = (v & mask) >> shift;
    const uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return static_cast<uint8_t>(static_cast<uint64_t>(c) * 255 / max);
  }
};

// Walks RLE4 / RLE8 data, handing every pixel the runs code inside the
// picture to emit(x, stored_row, index); stored row 0 is the bottom. Runs past
// a row are cut, deltas that leave the image and lines past the height end the
// picture; a stream that ends inside a run fails. The number of pixels coded,
// or -1 on failure. The reader is a copy: the stream can be walked again.
template <typename Emit>
int64_t walk_rle(ByteReader r, int width, int height, bool four_bits, Emit&& emit) {
  int x = 0, y = 0;
  int64_t coded = 0;
  auto set = [&](uint8_t v) {
    if (x < width && y < height) {
      emit(x, y, v);
      ++coded;
    }
    ++x;
  };
  while (y < height) {
    uint8_t count, value;
    if (!r.u8(count) || !r.u8(value)) return y > 0 || x > 0 ? coded : -1;  // no end marker: keep what came
    if (count > 0) {
      for (int i = 0; i < count; ++i) set(four_bits ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of picture
        return coded;
      case 2: {  // delta
        uint8_t dx, dy;
        if (!r.u8(dx) || !r.u8(dy)) return -1;
        x += dx;
        y += dy;
        if (x > width) return coded;
        break;
      }
      default: {  // a literal run of `value` pixels, padded to 16 bits
        const size_t n = value;
        const size_t bytes = four_bits ? (n + 1) / 2 : n;
        const uint8_t* p = r.take(bytes);
        if (!p) return -1;
        for (size_t i = 0; i < n; ++i) set(four_bits ? ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) : p[i]);
        if (bytes & 1) r.skip(1);
        break;
      }
    }
  }
  return coded;
}

// What the file header and the info header say, checked.
struct BmpHeader {
  uint32_t data_offset = 0;
  uint32_t info_size = 0;
  int32_t width = 0;
  int height = 0;             // rows, whichever way they are stored
  bool top_down = false;      // a negative height: the top row is stored first
  uint16_t bits = 0;
  uint32_t compression = kBiRgb;
  uint32_t colours_used = 0;  // palette entries a later header version states; 0 = all
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  uint32_t alpha_mask = 0;    // bitfield files with a header of 56 bytes or more
};

constexpr uint32_t kFileHeaderBytes = 14;

bool read_bmp_header(ByteReader& r, BmpHeader& h) {
  uint8_t b, m;
  if (!r.u8(b) || !r.u8(m) || b != 'B' || m != 'M') return false;
  uint32_t file_size;
  uint16_t reserved, planes = 0;
  if (!r.u32(file_size) || !r.u16(reserved) || !r.u16(reserved) || !r.u32(h.data_offset)) return false;
  if (!r.u32(h.info_size)) return false;
  int32_t height = 0;
  uint32_t header_masks[4] = {0, 0, 0, 0};
  const uint32_t n = h.info_size;
  if (n == 12) {
    uint16_t w16, h16;
    if (!r.u16(w16) || !r.u16(h16) || !r.u16(planes) || !r.u16(h.bits)) return false;
    h.width = w16;
    height = h16;
  } else if (n == 40 || n == 52 || n == 56 || n == 108 || n == 124) {
    // The later versions are the 40-byte header followed by the colour masks
    // (alpha from 56 bytes on), then colour space, gamma and profile fields
    // the decoder has no use for.
    uint32_t ignored;
    if (!r.i32(h.width) || !r.i32(height) || !r.u16(planes) || !r.u16(h.bits) || !r.u32(h.compression)) return false;
    for (int i = 0; i < 3; ++i)
      if (!r.u32(ignored)) return false;
    if (!r.u32(h.colours_used) || !r.u32(ignored)) return false;
    const int mask_count = n == 40 ? 0 : n == 52 ? 3 : 4;
    for (int i = 0; i < mask_count; ++i)
      if (!r.u32(header_masks[i])) return false;
    if (!r.seek(kFileHeaderBytes + n)) return false;
  } else {
    return false;  // other header versions (OS/2 2.x among them) are left to the next decoder
  }
  h.top_down = height < 0;
  const int64_t rows = h.top_down ? -static_cast<int64_t>(height) : height;
  if (h.width <= 0 || rows <= 0 || h.width > kMaxImageSide || rows > kMaxImageSide) return false;
  const uint16_t bits = h.bits;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (h.compression == kBiRle8 && bits != 8) return false;
  if (h.compression == kBiRle4 && bits != 4) return false;
  if (h.compression == kBiBitfields && bits != 16 && bits != 32) return false;
  if (h.compression > kBiBitfields) return false;
  h.height = static_cast<int>(rows);
  if (h.compression == kBiBitfields) {
    if (n == 40) {
      // The 40-byte header has its masks after it.
      if (!r.u32(h.masks[0]) || !r.u32(h.masks[1]) || !r.u32(h.masks[2])) return false;
    } else {
      std::memcpy(h.masks, header_masks, sizeof h.masks);
      h.alpha_mask = header_masks[3];
    }
  } else if (bits == 32) {
    h.masks[0] = 0xFF0000;
    h.masks[1] = 0x00FF00;
    h.masks[2] = 0x0000FF;
  }
  return true;
}

// The palette of a file of 8 bits or fewer; the reader ends at the pixels.
bool read_palette(ByteReader& r, const BmpHeader& h, size_t file_size, BmpPalette& palette) {
  if (h.bits <= 8) {
    const int limit = 1 << h.bits;
    if (h.info_size == 12) {
      for (int i = 0; i < limit; ++i) {
        const uint8_t* e = r.take(3);
        if (!e) return false;
        std::memcpy(palette.bgr[i], e, 3);
      }
      palette.count = limit;
    } else if (h.data_offset > r.position()) {
      // Every four bytes up to the pixel data are one entry; entries beyond
      // what the depth can index are skipped. A later header version states
      // its count, and what lies between the entries and the pixels (a
      // colour profile) is no palette.
      size_t entries = (h.data_offset - r.position()) / 4;
      if (h.info_size > 40) {
        const size_t stated = h.colours_used ? h.colours_used : static_cast<size_t>(limit);
        if (stated < entries) entries = stated;
      }
      for (size_t i = 0; i < entries; ++i) {
        const uint8_t* e = r.take(4);
        if (!e) return false;
        if (static_cast<int>(i) < limit) std::memcpy(palette.bgr[i], e, 3);
      }
      palette.count = static_cast<int>(entries < static_cast<size_t>(limit) ? entries : static_cast<size_t>(limit));
    }
  }
  if (h.data_offset >= r.position() && h.data_offset <= file_size) r.seek(h.data_offset);
  return true;
}

// One pixel of a palette index; an index past the palette is black.
void palette_pixel(uint8_t* out, const BmpPalette& palette, unsigned index, int32_t key) {
  if (static_cast<int>(index) >= palette.count) {
    put(out, 0, 0, 0, 255);
    return;
  }
  const uint8_t* e = palette.bgr[index];
  if (keyed(key, e[2], e[1], e[0]))
    put(out, 0, 0, 0, 0);
  else
    put(out, e[2], e[1], e[0], 255);
}

void colour_pixel(uint8_t* out, uint8_t r, uint8_t g, uint8_t b, int32_t key) {
  if (keyed(key, r, g, b))
    put(out, 0, 0, 0, 0);
  else
    put(out, r, g, b, 255);
}

uint64_t row_bytes(const BmpHeader& h) {
  return (static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.bits) + 31) / 32 * 4;
}

// The uncompressed rows; bottom-up files store the bottom row first. True in
// `own_alpha` when an alpha mask gave the pixels their alpha.
void decode_rows(const uint8_t* data, const BmpHeader& h, const BmpPalette& palette, int32_t key, ImageBuffer& image,
                 bool& own_alpha) {
  const int bits = h.bits;
  const uint64_t stride = row_bytes(h);
  const Mask mr(h.masks[0]), mg(h.masks[1]), mb(h.masks[2]), ma(h.alpha_mask);
  unsigned alpha_seen = 0;
  for (int row = 0; row < h.height; ++row) {
    const int stored = h.top_down ? row : h.height - 1 - row;
    const uint8_t* src = data + static_cast<uint64_t>(stored) * stride;
    for (int x = 0; x < h.width; ++x) {
      uint8_t* out = image.pixel(x, row);
      switch (bits) {
        case 1: palette_pixel(out, palette, (src[x / 8] >> (7 - x % 8)) & 1, key); break;
        case 4: palette_pixel(out, palette, (x & 1) ? (src[x / 2] & 0x0F) : (src[x / 2] >> 4), key); break;
        case 8: palette_pixel(out, palette, src[x], key); break;
        case 16:
        case 32: {
          const uint32_t v = bits == 16 ? static_cast<uint32_t>(read_le16(src + x * 2)) : read_le32(src + x * 4);
          if (h.alpha_mask) {
            const uint8_t a = ma.apply(v);
            put(out, mr.apply(v), mg.apply(v), mb.apply(v), a);
            alpha_seen |= a;
          } else {
            colour_pixel(out, mr.apply(v), mg.apply(v), mb.apply(v), key);
          }
          break;
        }
        default: {  // 24
          const uint8_t* p = src + x * 3;
          colour_pixel(out, p[2], p[1], p[0], key);
        }
      }
    }
  }
  own_alpha = alpha_seen != 0;
  if (h.alpha_mask && !own_alpha) {
    // An alpha mask over nothing but zeros is a writer that never filled it
    // in, not an invisible picture: opaque, with the colour key.
    for (int y = 0; y < h.height; ++y)
      for (int x = 0; x < h.width; ++x) {
        uint8_t* p = image.pixel(x, y);
        colour_pixel(p, p[0], p[1], p[2], key);
      }
  }
}

// RLE pictures. The stream is walked once without writing anything, to know
// it decodes and how much of the picture it codes, before the picture is
// allocated; pixels it leaves out take palette entry 0.
bool decode_rle(const ByteReader& r, const BmpHeader& h, const BmpPalette& palette, int32_t key, ImageBuffer& image) {
  const bool four_bits = h.compression == kBiRle4;
  const int64_t coded = walk_rle(r, h.width, h.height, four_bits, [](int, int, uint8_t) {});
  if (coded < 0) return false;
  const int64_t area = static_cast<int64_t>(h.width) * h.height;
  if (area > kRleFreePixels && coded * kRleSkipRatio < area) return false;
  if (!image.size_to(h.width, h.height)) return false;
  uint8_t blank[4];
  palette_pixel(blank, palette, 0, key);
  for (int64_t i = 0; i < area; ++i) std::memcpy(image.pixels + i * 4, blank, 4);
  walk_rle(r, h.width, h.height, four_bits, [&](int x, int stored, uint8_t index) {
    palette_pixel(image.pixel(x, h.top_down ? stored : h.height - 1 - stored), palette, index, key);
  });
  return true;
}

bool decode_bmp_checked(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t key) {
  ByteReader r(bytes);
  BmpHeader h;
  BmpPalette palette;
  if (!read_bmp_header(r, h) || !read_palette(r, h, bytes.size(), palette)) return false;
  if (h.compression == kBiRle8 || h.compression == kBiRle4) {
    if (!decode_rle(r, h, palette, key, image)) return false;
    image.own_alpha = 0;
    return true;
  }
  // The pixel data must all be there before the picture is allocated.
  const uint64_t total = row_bytes(h) * static_cast<uint64_t>(h.height);
  if (total > r.remaining()) return false;
  const uint8_t* data = r.take(static_cast<size_t>(total));
  if (!image.size_to(h.width, h.height)) return false;
  bool own_alpha = false;
  decode_rows(data, h, palette, key, image, own_alpha);
  image.own_alpha = own_alpha ? 1 : 0;
  return true;
}

}  // namespace

bool decode_bmp(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t colour_key) {
  image.reset();
  if (decode_bmp_checked(image, bytes, colour_key)) return true;
  image.reset();
  return false;
}

// ---------------------------------------------------------------------------
// [SECTION] Writing

bool encode_bmp(const ImageBuffer& image, std::string& out) {
  if (image.width < 0 || image.height < 0) return false;
  const uint32_t row = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
  const uint64_t data = static_cast<uint64_t>(row) * static_cast<uint32_t>(image.height);
  if (data > 0xFFFFFFFFu - 54) return false;
  out.reserve(static_cast<size_t>(54 + data));
  out += "BM";
  append_le32(out, static_cast<uint32_t>(54 + data));
  append_le16(out, 0);
  append_le16(out, 0);
  append_le32(out, 54);
  append_le32(out, 40);
  append_le32(out, static_cast<uint32_t>(image.width));
  append_le32(out, static_cast<uint32_t>(image.height));
  append_le16(out, 1);
  append_le16(out, 24);
  append_le32(out, 0);
  append_le32(out, 0);
  append_le32(out, 10000);
  append_le32(out, 10000);
  append_le32(out, 0);
  append_le32(out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.pixel(x, y);
      // Anything not fully opaque becomes the colour key.
      if (p[3] == 255) {
        out += static_cast<char>(p[2]);
        out += static_cast<char>(p[1]);
        out += static_cast<char>(p[0]);
      } else {
        out += '\x80';
        out += '\x00';
        out += '\xFF';
      }
    }
    out.append(row - static_cast<uint32_t>(image.width) * 3, '\0');
  }
  return true;
}

}  // namespace mxt

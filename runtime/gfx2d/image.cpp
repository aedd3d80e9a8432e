// Image decoding and encoding.
//
// [SECTION] ImageBuffer
// [SECTION] Reading bytes safely
// [SECTION] BMP
// [SECTION] PNG
// [SECTION] JPEG
// [SECTION] Files
// [SECTION] Transparent edges
// [SECTION] Writing
#include "runtime/gfx2d/image.h"

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/runtime.h"
#include "runtime/files/files.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] ImageBuffer

ImageBuffer::ImageBuffer(ImageBuffer&& o) noexcept
    : own_alpha(o.own_alpha), width(o.width), height(o.height), pixels(o.pixels), capacity(o.capacity) {
  o.pixels = nullptr;
  o.reset();
}

ImageBuffer& ImageBuffer::operator=(ImageBuffer&& o) noexcept {
  if (this != &o) {
    reset();
    std::swap(own_alpha, o.own_alpha);
    std::swap(width, o.width);
    std::swap(height, o.height);
    std::swap(pixels, o.pixels);
    std::swap(capacity, o.capacity);
  }
  return *this;
}

bool ImageBuffer::size_to(int32_t w, int32_t h) {
  if (w < 0 || h < 0 || w > kMaxImageSide || h > kMaxImageSide ||
      static_cast<int64_t>(w) * h > kMaxImagePixels) {
    reset();
    return false;
  }
  const int64_t bytes = static_cast<int64_t>(w) * h * 4;
  if (capacity < bytes) {
    std::free(pixels);
    pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes > 0 ? bytes : 4)));
    if (!pixels) {
      reset();
      return false;
    }
    capacity = static_cast<int32_t>(bytes);
    own_alpha = 1;
  }
  width = w;
  height = h;
  if (bytes > 0) std::memset(pixels, 0, static_cast<size_t>(bytes));
  return true;
}

void ImageBuffer::reset() {
  std::free(pixels);
  pixels = nullptr;
  own_alpha = 1;
  width = height = capacity = 0;
}

namespace {

// ---------------------------------------------------------------------------
// [SECTION] Reading bytes safely

// Every read knows how much remains; a short read fails instead of running on.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> b) : bytes_(b) {}
  size_t position() const { return pos_; }
  size_t remaining() const { return bytes_.size() - pos_; }
  bool skip(size_t n) {
    if (n > remaining()) return false;
    pos_ += n;
    return true;
  }
  bool seek(size_t p) {
    if (p > bytes_.size()) return false;
    pos_ = p;
    return true;
  }
  bool u8(uint8_t& v) {
    if (remaining() < 1) return false;
    v = bytes_[pos_++];
    return true;
  }
  bool u16(uint16_t& v) {
    if (remaining() < 2) return false;
    v = static_cast<uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }
  bool u32(uint32_t& v) {
    if (remaining() < 4) return false;
    v = static_cast<uint32_t>(bytes_[pos_]) | static_cast<uint32_t>(bytes_[pos_ + 1]) << 8 |
        static_cast<uint32_t>(bytes_[pos_ + 2]) << 16 | static_cast<uint32_t>(bytes_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
  }
  bool i32(int32_t& v) {
    uint32_t u;
    if (!u32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  const uint8_t* take(size_t n) {
    if (n > remaining()) return nullptr;
    const uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

bool keyed(int32_t key, uint8_t r, uint8_t g, uint8_t b) {
  return key != -1 && (r | g << 8 | b << 16) == key;
}

void put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  p[0] = r;
  p[1] = g;
  p[2] = b;
  p[3] = a;
}

// ---------------------------------------------------------------------------
// [SECTION] BMP

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

// Expands RLE4 / RLE8 data into one palette index per pixel (top-down rows
// as stored: row 0 is the bottom). Runs past a row are cut, deltas that leave
// the image and lines past the height end the picture; a stream that ends
// inside a run fails.
bool expand_rle(ByteReader& r, int width, int height, bool four_bits, std::vector<uint8_t>& indices) {
  indices.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  int x = 0, y = 0;
  auto set = [&](uint8_t v) {
    if (x < width && y < height) indices[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = v;
    ++x;
  };
  while (y < height) {
    uint8_t count, value;
    if (!r.u8(count) || !r.u8(value)) return y > 0 || x > 0;  // no end marker: keep what came
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
        return true;
      case 2: {  // delta
        uint8_t dx, dy;
        if (!r.u8(dx) || !r.u8(dy)) return false;
        x += dx;
        y += dy;
        if (x > width) return true;
        break;
      }
      default: {  // a literal run of `value` pixels, padded to 16 bits
        const size_t n = value;
        const size_t bytes = four_bits ? (n + 1) / 2 : n;
        const uint8_t* p = r.take(bytes);
        if (!p) return false;
        for (size_t i = 0; i < n; ++i) set(four_bits ? ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) : p[i]);
        if (bytes & 1) r.skip(1);
        break;
      }
    }
  }
  return true;
}

bool decode_bmp_checked(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t key) {
  ByteReader r(bytes);
  uint8_t b, m;
  if (!r.u8(b) || !r.u8(m) || b != 'B' || m != 'M') return false;
  uint32_t file_size, data_offset, info_size;
  uint16_t reserved;
  if (!r.u32(file_size) || !r.u16(reserved) || !r.u16(reserved) || !r.u32(data_offset)) return false;
  if (!r.u32(info_size)) return false;

  int32_t width = 0, height = 0;
  uint16_t planes = 0, bits = 0;
  uint32_t compression = kBiRgb;
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (info_size == 12) {
    uint16_t w16, h16;
    if (!r.u16(w16) || !r.u16(h16) || !r.u16(planes) || !r.u16(bits)) return false;
    width = w16;
    height = h16;
  } else if (info_size == 40) {
    uint32_t ignored;
    if (!r.i32(width) || !r.i32(height) || !r.u16(planes) || !r.u16(bits) || !r.u32(compression)) return false;
    for (int i = 0; i < 5; ++i)
      if (!r.u32(ignored)) return false;
  } else {
    return false;  // other header versions are left to the next decoder
  }
  const bool top_down = height < 0;
  const int64_t abs_height = top_down ? -static_cast<int64_t>(height) : height;
  if (width <= 0 || abs_height <= 0 || width > kMaxImageSide || abs_height > kMaxImageSide) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (compression == kBiRle8 && bits != 8) return false;
  if (compression == kBiRle4 && bits != 4) return false;
  if (compression == kBiBitfields && bits != 16 && bits != 32) return false;
  if (compression > kBiBitfields) return false;
  const int h = static_cast<int>(abs_height);

  // Colour masks of a bitfield file follow the header.
  if (compression == kBiBitfields) {
    if (!r.u32(masks[0]) || !r.u32(masks[1]) || !r.u32(masks[2])) return false;
  } else if (bits == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0x00FF00;
    masks[2] = 0x0000FF;
  }

  BmpPalette palette;
  if (bits <= 8) {
    const int limit = 1 << bits;
    if (info_size == 12) {
      for (int i = 0; i < limit; ++i) {
        const uint8_t* e = r.take(3);
        if (!e) return false;
        std::memcpy(palette.bgr[i], e, 3);
      }
      palette.count = limit;
    } else if (data_offset > r.position()) {
      // Every four bytes up to the pixel data are one entry; entries beyond
      // what the depth can index are skipped.
      const size_t entries = (data_offset - r.position()) / 4;
      for (size_t i = 0; i < entries; ++i) {
        const uint8_t* e = r.take(4);
        if (!e) return false;
        if (static_cast<int>(i) < limit) std::memcpy(palette.bgr[i], e, 3);
      }
      palette.count = static_cast<int>(entries < static_cast<size_t>(limit) ? entries : static_cast<size_t>(limit));
    }
  }
  if (data_offset >= r.position() && data_offset <= bytes.size()) r.seek(data_offset);

  if (!image.size_to(width, h)) return false;
  const Mask mr(masks[0]), mg(masks[1]), mb(masks[2]);
  auto palette_pixel = [&](uint8_t* out, unsigned index) {
    if (static_cast<int>(index) >= palette.count) {
      put(out, 0, 0, 0, 255);  // an index past the palette is black
      return;
    }
    const uint8_t* e = palette.bgr[index];
    if (keyed(key, e[2], e[1], e[0]))
      put(out, 0, 0, 0, 0);
    else
      put(out, e[2], e[1], e[0], 255);
  };

  if (compression == kBiRle8 || compression == kBiRle4) {
    std::vector<uint8_t> indices;
    if (!expand_rle(r, width, h, compression == kBiRle4, indices)) return false;
    for (int row = 0; row < h; ++row) {
      const int stored = top_down ? row : h - 1 - row;
      for (int x = 0; x < width; ++x)
        palette_pixel(image.pixel(x, row), indices[static_cast<size_t>(stored) * static_cast<size_t>(width) + static_cast<size_t>(x)]);
    }
    image.own_alpha = 0;
    return true;
  }

  const uint64_t row_bytes = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  const uint64_t total = row_bytes * static_cast<uint64_t>(h);
  if (total > r.remaining()) return false;
  const uint8_t* data = r.take(static_cast<size_t>(total));
  for (int row = 0; row < h; ++row) {
    // Bottom-up files store the bottom row first; top-down ones the top row.
    const int stored = top_down ? row : h - 1 - row;
    const uint8_t* src = data + static_cast<uint64_t>(stored) * row_bytes;
    for (int x = 0; x < width; ++x) {
      uint8_t* out = image.pixel(x, row);
      switch (bits) {
        case 1: palette_pixel(out, (src[x / 8] >> (7 - x % 8)) & 1); break;
        case 4: palette_pixel(out, (x & 1) ? (src[x / 2] & 0x0F) : (src[x / 2] >> 4)); break;
        case 8: palette_pixel(out, src[x]); break;
        case 16:
        case 32: {
          uint32_t v = bits == 16 ? static_cast<uint32_t>(src[x * 2] | src[x * 2 + 1] << 8)
                                  : static_cast<uint32_t>(src[x * 4]) | static_cast<uint32_t>(src[x * 4 + 1]) << 8 |
                                        static_cast<uint32_t>(src[x * 4 + 2]) << 16 |
                                        static_cast<uint32_t>(src[x * 4 + 3]) << 24;
          const uint8_t cr = mr.apply(v), cg = mg.apply(v), cb = mb.apply(v);
          if (keyed(key, cr, cg, cb))
            put(out, 0, 0, 0, 0);
          else
            put(out, cr, cg, cb, 255);
          break;
        }
        default: {  // 24
          const uint8_t* p = src + x * 3;
          if (keyed(key, p[2], p[1], p[0]))
            put(out, 0, 0, 0, 0);
          else
            put(out, p[2], p[1], p[0], 255);
        }
      }
    }
  }
  image.own_alpha = 0;
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] PNG

struct PngSource {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
};

struct PngFailure {
  std::jmp_buf jump;
};

[[noreturn]] void png_fail(png_structp png, png_const_charp) {
  auto* f = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::longjmp(f->jump, 1);
}

void png_quiet(png_structp, png_const_charp) {}

void png_read_from(png_structp png, png_bytep out, size_t n) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (n > src->bytes.size() - src->pos) png_error(png, "short read");
  std::memcpy(out, src->bytes.data() + src->pos, n);
  src->pos += n;
}

// The decode itself; every libpng call that may fail long-jumps back to the
// caller, which owns the structures. Nothing with a destructor lives here.
bool png_decode_rows(png_structp png, png_infop info, PngFailure& failure, ImageBuffer& image, int32_t key,
                     const char* name, uint8_t** rows_out) {
  if (setjmp(failure.jump)) return false;
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || static_cast<uint64_t>(w) * h > static_cast<uint64_t>(kMaxImagePixels)) return false;
  const int colour_type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_expand(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_expand(png);
  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const int channels = png_get_channels(png, info);
  const int out_depth = png_get_bit_depth(png, info);
  const int out_type = png_get_color_type(png, info);
  if (channels == 2) return false;
  if (out_depth != 8) {
    std::printf("File %s has bit depth %d.\n", name, out_depth);
    std::printf("Only bit depth of 8 is supported.\n");
    return false;
  }
  if ((channels != 1 && channels != 3 && channels != 4) ||
      (out_type != PNG_COLOR_TYPE_GRAY && out_type != PNG_COLOR_TYPE_RGB && out_type != PNG_COLOR_TYPE_RGB_ALPHA)) {
    std::printf("File %s has unsupported color type.\n", name);
    std::printf("Types GRAY, RGB and RGB_ALPHA are supported.\n");
    return false;
  }
  const size_t row_bytes = png_get_rowbytes(png, info);
  if (row_bytes < static_cast<size_t>(w) * static_cast<size_t>(channels)) return false;
  const uint64_t total = static_cast<uint64_t>(row_bytes) * h;
  if (total > static_cast<uint64_t>(kMaxImagePixels) * 4) return false;
  // The row pointers first (aligned as malloc aligns), the rows after them.
  const size_t pointers = sizeof(png_bytep) * h;
  uint8_t* block = static_cast<uint8_t*>(std::malloc(pointers + static_cast<size_t>(total)));
  if (!block) return false;
  *rows_out = block;
  png_bytepp rows = reinterpret_cast<png_bytepp>(block);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = block + pointers + static_cast<size_t>(y) * row_bytes;
  png_read_image(png, rows);

  if (!image.size_to(static_cast<int32_t>(w), static_cast<int32_t>(h))) return false;
  for (png_uint_32 y = 0; y < h; ++y) {
    const uint8_t* src = rows[y];
    for (png_uint_32 x = 0; x < w; ++x) {
      uint8_t* out = image.pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
      if (channels == 1) {
        put(out, src[x], src[x], src[x], 255);
      } else if (channels == 3) {
        const uint8_t* p = src + x * 3;
        if (keyed(key, p[0], p[1], p[2]))
          put(out, 0, 0, 0, 0);
        else
          put(out, p[0], p[1], p[2], 255);
      } else {
        std::memcpy(out, src + x * 4, 4);
      }
    }
  }
  image.own_alpha = channels == 4 ? 1 : 0;
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] JPEG

struct JpegErrors {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  bool truncated = false;
};

[[noreturn]] void jpeg_fail(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

void jpeg_message(j_common_ptr cinfo, int level) {
  auto* e = reinterpret_cast<JpegErrors*>(cinfo->err);
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) e->truncated = true;
}

void jpeg_quiet(j_common_ptr) {}

// A progressive file may carry any number of scans; past this many it is
// taken as hostile.
constexpr int kMaxJpegScans = 1000;

void jpeg_progress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxJpegScans) jpeg_fail(cinfo);
  }
}

bool jpeg_decode_into(jpeg_decompress_struct& cinfo, JpegErrors& jerr, std::span<const uint8_t> bytes,
                      ImageBuffer& image, uint8_t** rows_out) {
  if (setjmp(jerr.jump)) return false;
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > static_cast<unsigned>(kMaxImageSide) ||
      cinfo.image_height > static_cast<unsigned>(kMaxImageSide) ||
      static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > static_cast<uint64_t>(kMaxImagePixels))
    return false;
  cinfo.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&cinfo);
  const int components = cinfo.output_components;
  const uint32_t w = cinfo.output_width, h = cinfo.output_height;
  if (components != 1 && components != 3 && components != 4) {
    write_log_format("JPEG: Channels: %d not supported!\n", components);
    return false;
  }
  const size_t stride = static_cast<size_t>(w) * static_cast<size_t>(components);
  uint8_t* block = static_cast<uint8_t*>(std::malloc(stride * h));
  if (!block) return false;
  *rows_out = block;
  while (cinfo.output_scanline < h) {
    JSAMPROW row = block + stride * cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&cinfo);
  if (jerr.truncated) return false;  // a cut stream is a broken picture, not a grey one
  if (!image.size_to(static_cast<int32_t>(w), static_cast<int32_t>(h))) return false;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* src = block + stride * y;
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* out = image.pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
      const uint8_t* p = src + x * static_cast<uint32_t>(components);
      if (components == 1)
        put(out, p[0], p[0], p[0], 255);
      else if (components == 3)
        put(out, p[0], p[1], p[2], 255);
      else
        put(out, p[0], p[1], p[2], p[3]);
    }
  }
  image.own_alpha = components == 4 ? 1 : 0;
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Files

// The largest image file read into memory.
constexpr int64_t kMaxImageFileBytes = int64_t{512} << 20;

bool read_all(const RtString& name, std::vector<uint8_t>& out) {
  RtFile f;
  if (!open_read(f, name)) return false;
  bool ok = f.size >= 0 && f.size <= kMaxImageFileBytes;
  if (ok) {
    out.resize(static_cast<size_t>(f.size));
    ok = f.size == 0 || read_bytes(f, out.data(), f.size);
  }
  close(f);
  return ok;
}

bool real_file_name(const RtString& name) {
  if (is_memory_name(name.c_str())) return false;
  return true;
}

}  // namespace

bool decode_bmp(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t colour_key) {
  image.reset();
  if (decode_bmp_checked(image, bytes, colour_key)) return true;
  image.reset();
  return false;
}

namespace {
bool decode_png_named(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t key, const char* name) {
  image.reset();
  if (bytes.size() < 8 || bytes[1] != 'P' || bytes[2] != 'N' || bytes[3] != 'G') return false;
  PngFailure failure;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, png_fail, png_quiet);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, 64u << 20);
  PngSource source{bytes, 0};
  png_set_read_fn(png, &source, png_read_from);
  uint8_t* rows = nullptr;
  const bool ok = png_decode_rows(png, info, failure, image, key, name, &rows);
  std::free(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) image.reset();
  return ok;
}
}  // namespace

bool decode_png(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t colour_key) {
  return decode_png_named(image, bytes, colour_key, "");
}

bool decode_jpeg(ImageBuffer& image, std::span<const uint8_t> bytes) {
  image.reset();
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
  jpeg_decompress_struct cinfo;
  JpegErrors jerr;
  cinfo.err = jpeg_std_error(&jerr.mgr);
  jerr.mgr.error_exit = jpeg_fail;
  jerr.mgr.emit_message = jpeg_message;
  jerr.mgr.output_message = jpeg_quiet;
  jpeg_progress_mgr progress;
  progress.progress_monitor = jpeg_progress;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  uint8_t* rows = nullptr;
  const bool ok = jpeg_decode_into(cinfo, jerr, bytes, image, &rows);
  std::free(rows);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) image.reset();
  return ok;
}

bool read_bmp(ImageBuffer& image, const RtString& name, int32_t colour_key) {
  std::vector<uint8_t> bytes;
  image.reset();
  return read_all(name, bytes) && decode_bmp(image, bytes, colour_key);
}

bool read_png(ImageBuffer& image, const RtString& name, int32_t colour_key) {
  std::vector<uint8_t> bytes;
  image.reset();
  return read_all(name, bytes) && decode_png_named(image, bytes, colour_key, name.c_str());
}

bool read_jpeg(ImageBuffer& image, const RtString& name) {
  std::vector<uint8_t> bytes;
  image.reset();
  return real_file_name(name) && read_all(name, bytes) && decode_jpeg(image, bytes);
}

bool read_image(ImageBuffer& image, const RtString& name, int32_t colour_key, bool allow_jpeg) {
  std::vector<uint8_t> bytes;
  image.reset();
  if (!read_all(name, bytes)) return false;
  if (decode_bmp(image, bytes, colour_key)) return true;
  if (decode_png_named(image, bytes, colour_key, name.c_str())) return true;
  return allow_jpeg && real_file_name(name) && decode_jpeg(image, bytes);
}

// ---------------------------------------------------------------------------
// [SECTION] Transparent edges

void bleed_transparent(ImageBuffer& image) {
  const int w = image.width, h = image.height;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = image.pixel(x, y);
      if (p[3] != 0) continue;
      int sum[3] = {0, 0, 0}, n = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if ((dx == 0 && dy == 0) || nx < 1 || ny < 1 || nx >= w - 1 || ny >= h - 1) continue;
          const uint8_t* q = image.pixel(nx, ny);
          if (q[3] == 0) continue;
          sum[0] += q[0];
          sum[1] += q[1];
          sum[2] += q[2];
          ++n;
        }
      }
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(n ? sum[c] / n : 0);
    }
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Writing

namespace {

enum class ImageFormat { png, jpeg, bmp };

ImageFormat format_for(const RtString& name) {
  const uint32_t n = name.length;
  if (n >= 5 && name.data[n - 4] == '.') {
    auto lower = [&](uint32_t i) { return static_cast<char>(name.data[i] | 0x20); };
    if (lower(n - 3) == 'p' && lower(n - 2) == 'n' && lower(n - 1) == 'g') return ImageFormat::png;
    if (lower(n - 3) == 'j' && lower(n - 2) == 'p' && lower(n - 1) == 'g') return ImageFormat::jpeg;
  }
  return ImageFormat::bmp;
}

void png_write_to(png_structp png, png_bytep data, size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), n);
}
void png_flush_nothing(png_structp) {}

bool encode_png_rows(png_structp png, png_infop info, PngFailure& failure, const ImageBuffer& image, png_bytepp rows) {
  if (setjmp(failure.jump)) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_packing(png);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

bool encode_png(const ImageBuffer& image, std::string& out) {
  if (image.width <= 0 || image.height <= 0) return false;
  PngFailure failure;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, png_fail, png_quiet);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y) rows[static_cast<size_t>(y)] = const_cast<uint8_t*>(image.pixel(0, y));
  png_set_write_fn(png, &out, png_write_to, png_flush_nothing);
  const bool ok = encode_png_rows(png, info, failure, image, rows.data());
  png_destroy_write_struct(&png, &info);
  return ok;
}

bool encode_jpeg_rows(jpeg_compress_struct& cinfo, JpegErrors& jerr, const ImageBuffer& image,
                      unsigned char** buffer, unsigned long* size) {
  if (setjmp(jerr.jump)) return false;
  jpeg_mem_dest(&cinfo, buffer, size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 80, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint8_t* src = image.pixel(0, static_cast<int32_t>(cinfo.next_scanline));
    for (int x = 0; x < image.width; ++x) std::memcpy(&row[static_cast<size_t>(x) * 3], src + x * 4, 3);
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

bool encode_jpeg(const ImageBuffer& image, std::string& out) {
  if (image.width <= 0 || image.height <= 0) return false;
  jpeg_compress_struct cinfo;
  JpegErrors jerr;
  cinfo.err = jpeg_std_error(&jerr.mgr);
  jerr.mgr.error_exit = jpeg_fail;
  jerr.mgr.output_message = jpeg_quiet;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&cinfo);
  const bool ok = encode_jpeg_rows(cinfo, jerr, image, &buffer, &size);
  jpeg_destroy_compress(&cinfo);
  if (ok) out.assign(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return ok;
}

void put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

bool encode_bmp(const ImageBuffer& image, std::string& out) {
  if (image.width < 0 || image.height < 0) return false;
  const uint32_t row = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
  const uint64_t data = static_cast<uint64_t>(row) * static_cast<uint32_t>(image.height);
  if (data > 0xFFFFFFFFu - 54) return false;
  out.reserve(static_cast<size_t>(54 + data));
  out += "BM";
  put32(out, static_cast<uint32_t>(54 + data));
  put16(out, 0);
  put16(out, 0);
  put32(out, 54);
  put32(out, 40);
  put32(out, static_cast<uint32_t>(image.width));
  put32(out, static_cast<uint32_t>(image.height));
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);
  put32(out, 0);
  put32(out, 10000);
  put32(out, 10000);
  put32(out, 0);
  put32(out, 0);
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

}  // namespace

bool write_image(const RtString& name, const ImageBuffer& image) {
  if (name.empty() || is_memory_name(name.c_str())) return false;
  std::string bytes;
  bool encoded = false;
  switch (format_for(name)) {
    case ImageFormat::png: encoded = encode_png(image, bytes); break;
    case ImageFormat::jpeg: encoded = encode_jpeg(image, bytes); break;
    case ImageFormat::bmp: encoded = encode_bmp(image, bytes); break;
  }
  if (!encoded) return false;
  remove_path(platform_name(name));
  RtFile f;
  if (!open_write(f, name)) return false;
  const bool ok = write_bytes(f, bytes.data(), static_cast<int64_t>(bytes.size()));
  close(f);
  return ok;
}

}  // namespace mxt

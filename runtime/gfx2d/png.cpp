// PNG through libpng: any colour type and depth libpng expands to 8-bit
// grey, RGB or RGBA (grey with alpha becomes RGBA), read from memory; 8-bit
// RGBA written. libpng's error exits long-jump back here, so a bad file never
// ends the game. No block libpng asks for may exceed the chunk limit, and the
// ancillary chunks that carry text or profiles are skipped unread: a chunk
// length is the file's claim, and the pixels never need them.
//
// [SECTION] Reading
// [SECTION] Writing
#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/base/log.h"
#include "runtime/gfx2d/image_codec.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Reading

namespace {

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

// libpng's own chunk limit only warns, and the warning is dropped; a block
// over the limit fails the decode instead.
png_voidp png_capped_malloc(png_structp png, png_alloc_size_t n) {
  if (n > static_cast<png_alloc_size_t>(kMaxPngChunkBytes)) png_error(png, "block over the chunk limit");
  return std::malloc(n);
}

void png_capped_free(png_structp, png_voidp p) { std::free(p); }

// Chunks whose size the file alone decides and whose content the decoder
// never uses; skipped as they are read, never held.
constexpr png_byte kSkippedChunks[] = "tEXt\0zTXt\0iTXt\0iCCP\0eXIf\0sPLT\0pCAL\0sCAL";
constexpr int kSkippedChunkCount = 8;

void png_read_from(png_structp png, png_bytep out, size_t n) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (n > src->bytes.size() - src->pos) png_error(png, "short read");
  std::memcpy(out, src->bytes.data() + src->pos, n);
  src->pos += n;
}

// Deflate expands a byte into at most 1032 (a run of 258-byte matches at
// one bit each), so the bytes left in the file bound the rows they can
// inflate to. A header claiming more than that is refused before the rows
// are allocated: a small file cannot make the decoder reserve the picture
// its header states and only then find the data missing.
constexpr uint64_t kDeflateMaxRatio = 1032;

bool data_can_fill(png_structp png, png_uint_32 w, png_uint_32 h, int colour_type, int depth) {
  int samples = 1;  // grey and palette
  if (colour_type == PNG_COLOR_TYPE_GRAY_ALPHA) samples = 2;
  if (colour_type == PNG_COLOR_TYPE_RGB) samples = 3;
  if (colour_type == PNG_COLOR_TYPE_RGB_ALPHA) samples = 4;
  // Each row is its filter byte and its packed samples; an interlaced image
  // holds at least as many bytes.
  const uint64_t row = (uint64_t{w} * static_cast<uint64_t>(samples * depth) + 7) / 8 + 1;
  const auto* src = static_cast<const PngSource*>(png_get_io_ptr(png));
  const uint64_t left = src->bytes.size() - src->pos;
  return left * kDeflateMaxRatio >= row * h;
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
  if (!data_can_fill(png, w, h, colour_type, depth)) return false;
  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_expand(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand(png);
  if (transparency) png_set_expand(png);
  // Grey with alpha (its own channel, or a tRNS grey level) comes out as RGBA.
  if (colour_type == PNG_COLOR_TYPE_GRAY_ALPHA || (colour_type == PNG_COLOR_TYPE_GRAY && transparency))
    png_set_gray_to_rgb(png);
  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const int channels = png_get_channels(png, info);
  const int out_depth = png_get_bit_depth(png, info);
  const int out_type = png_get_color_type(png, info);
  if (channels == 2) return false;
  // The runtime's own complaints, on the standard output where they have
  // always gone.
  if (out_depth != 8) {
    write_stdout("File %s has bit depth %d.\n", name, out_depth);
    write_stdout("Only bit depth of 8 is supported.\n");
    return false;
  }
  if ((channels != 1 && channels != 3 && channels != 4) ||
      (out_type != PNG_COLOR_TYPE_GRAY && out_type != PNG_COLOR_TYPE_RGB && out_type != PNG_COLOR_TYPE_RGB_ALPHA)) {
    write_stdout("File %s has unsupported color type.\n", name);
    write_stdout("Types GRAY, RGB and RGB_ALPHA are supported.\n");
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

}  // namespace

bool decode_png_named(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t key, const char* name) {
  image.reset();
  if (bytes.size() < 8 || bytes[1] != 'P' || bytes[2] != 'N' || bytes[3] != 'G') return false;
  PngFailure failure;
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &failure, png_fail, png_quiet, nullptr,
                                             png_capped_malloc, png_capped_free);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, static_cast<png_alloc_size_t>(kMaxPngChunkBytes));
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, kSkippedChunkCount);
  PngSource source{bytes, 0};
  png_set_read_fn(png, &source, png_read_from);
  uint8_t* rows = nullptr;
  const bool ok = png_decode_rows(png, info, failure, image, key, name, &rows);
  std::free(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) image.reset();
  return ok;
}

bool decode_png(ImageBuffer& image, std::span<const uint8_t> bytes, int32_t colour_key) {
  return decode_png_named(image, bytes, colour_key, "");
}

// ---------------------------------------------------------------------------
// [SECTION] Writing

namespace {

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

}  // namespace

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

}  // namespace mxt

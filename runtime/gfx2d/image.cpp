// Images: the buffer every decoder fills, reading a file by trying the
// decoders in turn, the colour bleed into transparent pixels, and writing a
// file in the format its name asks for. The formats themselves are in
// bmp.cpp, png.cpp and jpeg.cpp.
//
// [SECTION] ImageBuffer
// [SECTION] Files
// [SECTION] Transparent edges
// [SECTION] Writing
#include "runtime/gfx2d/image.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runtime/files/rtfile.h"
#include "runtime/gfx2d/image_codec.h"

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

// ---------------------------------------------------------------------------
// [SECTION] Files

namespace {

// The largest image file read into memory.
constexpr int64_t kMaxImageFileBytes = int64_t{512} << 20;

bool read_all(const RtString& name, std::vector<uint8_t>& out) {
  return read_file_bytes(name, out, kMaxImageFileBytes);
}

bool real_file_name(const RtString& name) {
  if (is_memory_name(name.c_str())) return false;
  return true;
}

}  // namespace

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
  const bool written = write_bytes(f, bytes.data(), static_cast<int64_t>(bytes.size()));
  // A write can fail as late as the close; either way no half picture stays.
  const bool closed = close(f);
  if (written && closed) return true;
  remove_path(platform_name(name));
  return false;
}

}  // namespace mxt

// What the image decoders and encoders share, inside gfx2d: the bounded
// byte reader every binary read goes through, the colour key test, and the
// encoders that write_image chooses between.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "runtime/gfx2d/image.h"
#include "runtime/types/bytes.h"

namespace mxt {

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
    v = read_le16(bytes_.data() + pos_);
    pos_ += 2;
    return true;
  }
  bool u32(uint32_t& v) {
    if (remaining() < 4) return false;
    v = read_le32(bytes_.data() + pos_);
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

// Bytes as files store them: little-endian integers read from and appended
// to byte buffers, the bounded reader over a whole file, and hexadecimal
// digits. Every reader and writer of a binary format in the runtime uses
// these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mxt {

inline uint16_t read_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t read_le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline void append_le16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

inline void append_le32(std::string& out, uint32_t v) {
  append_le16(out, v & 0xFFFF);
  append_le16(out, v >> 16);
}

// The one bounded reader of binary files (images, sounds, ...): every read
// knows how much remains, and a short read fails instead of running on.
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

// The value of one hexadecimal digit, either case; -1 for any other byte.
inline int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace mxt

// Bytes as files store them: little-endian integers read from and appended
// to byte buffers, and hexadecimal digits. Every reader and writer of a
// binary format in the runtime uses these.
#pragma once

#include <cstdint>
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

// The value of one hexadecimal digit, either case; -1 for any other byte.
inline int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace mxt

// Blowfish (64-bit blocks, 16 rounds, keys of 1 to 72 bytes cycled through
// the key schedule), for the runtime's text encryption. A game hides saved
// values with it rather than protecting secrets: the mode is ECB.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mxt {

class Blowfish {
 public:
  Blowfish(const uint8_t* key, size_t key_length);  // key_length >= 1; bytes past 72 do not count
  void encrypt(uint32_t& left, uint32_t& right) const;
  void decrypt(uint32_t& left, uint32_t& right) const;

 private:
  uint32_t f(uint32_t x) const {
    return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
  }
  uint32_t p_[18];
  uint32_t s_[4][256];
};

}  // namespace mxt

#include "runtime/types/blowfish.h"

#include <cstring>
#include <utility>

#include "runtime/types/blowfish_tables.h"

namespace mxt {

Blowfish::Blowfish(const uint8_t* key, size_t key_length) {
  std::memcpy(p_, kBlowfishP, sizeof p_);
  std::memcpy(s_, kBlowfishS, sizeof s_);
  size_t k = 0;
  for (uint32_t& p : p_) {
    uint32_t word = 0;
    for (int n = 0; n < 4; ++n) {
      word = (word << 8) | key[k];
      k = (k + 1) % key_length;
    }
    p ^= word;
  }
  uint32_t left = 0, right = 0;
  for (int i = 0; i < 18; i += 2) {
    encrypt(left, right);
    p_[i] = left;
    p_[i + 1] = right;
  }
  for (auto& box : s_)
    for (int i = 0; i < 256; i += 2) {
      encrypt(left, right);
      box[i] = left;
      box[i + 1] = right;
    }
}

void Blowfish::encrypt(uint32_t& left, uint32_t& right) const {
  uint32_t l = left, r = right;
  for (int i = 0; i < 16; ++i) {
    l ^= p_[i];
    r ^= f(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[16];
  l ^= p_[17];
  left = l;
  right = r;
}

void Blowfish::decrypt(uint32_t& left, uint32_t& right) const {
  uint32_t l = left, r = right;
  for (int i = 17; i > 1; --i) {
    l ^= p_[i];
    r ^= f(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[1];
  l ^= p_[0];
  left = l;
  right = r;
}

}  // namespace mxt

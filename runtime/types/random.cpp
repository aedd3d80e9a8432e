// ISAAC, drawn one full generation pass per number.
#include "runtime/types/random.h"

#include <algorithm>

namespace mxt {

namespace {

void mix(uint32_t w[8]) {
  uint32_t& a = w[0];
  uint32_t& b = w[1];
  uint32_t& c = w[2];
  uint32_t& d = w[3];
  uint32_t& e = w[4];
  uint32_t& f = w[5];
  uint32_t& g = w[6];
  uint32_t& h = w[7];
  a ^= b << 11; d += a; b += c;
  b ^= c >> 2;  e += b; c += d;
  c ^= d << 8;  f += c; d += e;
  d ^= e >> 16; g += d; e += f;
  e ^= f << 10; h += e; f += g;
  f ^= g >> 4;  a += f; g += h;
  g ^= h << 8;  b += g; h += a;
  h ^= a >> 9;  c += h; a += b;
}

void generation_pass(Random::IsaacState& s) {
  s.c += 1;
  s.b += s.c;
  uint32_t a = s.a, b = s.b;
  for (int i = 0; i < 256; ++i) {
    const uint32_t x = s.m[i];
    switch (i & 3) {
      case 0: a ^= a << 13; break;
      case 1: a ^= a >> 6; break;
      case 2: a ^= a << 2; break;
      default: a ^= a >> 16; break;
    }
    a += s.m[(i + 128) & 255];
    const uint32_t y = s.m[(x >> 2) & 255] + a + b;
    s.m[i] = y;
    b = s.m[(y >> 10) & 255] + x;
    s.r[i] = b;
  }
  s.a = a;
  s.b = b;
}

// Adds `add` (eight words, or none) to the mixing words, mixes them and
// stores them in m[i .. i + 7], for every block of eight.
void fill_memory(Random::IsaacState& s, uint32_t w[8], const uint32_t* add) {
  for (int i = 0; i < 256; i += 8) {
    if (add)
      for (int n = 0; n < 8; ++n) w[n] += add[i + n];
    mix(w);
    std::copy(w, w + 8, s.m + i);
  }
}

}  // namespace

void Random::seed(int32_t seed) {
  IsaacState& s = state_;
  s = IsaacState{};
  uint32_t w[8];
  std::fill(w, w + 8, 0x9e3779b9u);
  for (int i = 0; i < 256; i += 8) {
    w[0] += static_cast<uint32_t>(seed);
    mix(w);
    std::copy(w, w + 8, s.m + i);
  }
  for (int n = 0; n < 4; ++n) mix(w);
  fill_memory(s, w, s.r);  // r is all zero here
  fill_memory(s, w, s.m);  // each block is read before it is stored
  generation_pass(s);
  s.counter = 256;
}

int Random::next(int n) {
  if (n <= 0) return 0;
  generation_pass(state_);
  return static_cast<int>(state_.r[0] % (static_cast<uint32_t>(n) + 1u));
}

}  // namespace mxt

// [SECTION] Math
// [SECTION] The random generator
// [SECTION] Formatting
// [SECTION] Boxes
#include "runtime/types/numbers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "runtime/types/numtext.h"

namespace mxt {

int truncate_to_int(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int>(value);
}

}  // namespace mxt

using namespace mxt;

// ---------------------------------------------------------------------------
// [SECTION] Math

namespace {
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerRadian = 57.29577951308232;
}  // namespace

double mxt_sin(double degrees) { return std::sin(degrees * kRadiansPerDegree); }
double mxt_cos(double degrees) { return std::cos(degrees * kRadiansPerDegree); }
double mxt_tan(double degrees) { return std::tan(degrees * kRadiansPerDegree); }
double mxt_atan2(double y, double x) { return std::atan2(y, x) * kDegreesPerRadian; }

double mxt_asin(double v) {
  if (v >= 1) return 90;
  if (v <= -1) return -90;
  return std::asin(v) * kDegreesPerRadian;
}

double mxt_acos(double v) {
  if (v >= 1) return 0;
  if (v <= -1) return 180;
  return std::acos(v) * kDegreesPerRadian;
}

double mxt_pow(double x, double y) { return std::pow(x, y); }

int mxt_mod(int i, int j) {
  if (j == 0 || j == -1) return 0;  // -1: INT32_MIN % -1 would trap; the remainder is 0 anyway
  return i % j;
}

double mxt_fmod(double x, double y) { return y == 0 ? 0 : std::fmod(x, y); }
double mxt_floor(double x) { return std::floor(x); }
double mxt_ceil(double x) { return std::ceil(x); }
double mxt_sqrt(double x) { return std::sqrt(x); }
double mxt_log(double x) { return std::log(x); }

double mxt_max(double p, double q) { return p > q ? p : q; }
int mxt_max(int p, double q) { return mxt_max(p, truncate_to_int(q)); }
int mxt_max(int p, int q) { return p > q ? p : q; }
double mxt_max(double p, int q) { return mxt_max(p, static_cast<double>(q)); }
double mxt_min(double p, double q) { return p < q ? p : q; }
double mxt_min(double p, float q) { return mxt_min(p, static_cast<double>(q)); }
int mxt_min(int p, int q) { return p < q ? p : q; }
double mxt_min(double p, int q) { return mxt_min(p, static_cast<double>(q)); }
double mxt_min(int p, double q) { return mxt_min(static_cast<double>(p), q); }

// ---------------------------------------------------------------------------
// [SECTION] The random generator (ISAAC, 256 words)

namespace {

struct IsaacState {
  uint32_t r[256];   // results of the last pass
  uint32_t m[256];   // memory
  uint32_t a, b, c;
  uint32_t counter;
};

IsaacState g_isaac;  // zero until start-up seeds it

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

void generation_pass(IsaacState& s) {
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
void fill_memory(IsaacState& s, uint32_t w[8], const uint32_t* add) {
  for (int i = 0; i < 256; i += 8) {
    if (add)
      for (int n = 0; n < 8; ++n) w[n] += add[i + n];
    mix(w);
    std::copy(w, w + 8, s.m + i);
  }
}

}  // namespace

void mxt_seed_rnd(int seed) {
  IsaacState& s = g_isaac;
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

int mxt_rnd(int n) {
  if (n <= 0) return 0;
  generation_pass(g_isaac);
  return static_cast<int>(g_isaac.r[0] % (static_cast<uint32_t>(n) + 1u));
}

// ---------------------------------------------------------------------------
// [SECTION] Formatting

namespace {

// The text of a conversion placed in its field: spaces before it, or after
// it when the width is negative.
RtString in_field(const char* text, size_t n, double width_number) {
  const int width = truncate_to_int(width_number);
  const bool left = width < 0;
  const int64_t field = std::min<int64_t>(left ? -static_cast<int64_t>(width) : width, kMaxFieldWidth);
  const size_t pad = static_cast<size_t>(field) > n ? static_cast<size_t>(field) - n : 0;
  RtString out;
  out.reserve(static_cast<uint32_t>(n + pad), false);
  const std::string spaces(pad, ' ');
  if (!left) out.append_bytes(spaces.data(), pad);
  out.append_bytes(text, n);
  if (left) out.append_bytes(spaces.data(), pad);
  return out;
}

}  // namespace

RtString mxt_format_number(double width, double decimals, double value) {
  const std::string text = format_fixed(value, truncate_to_int(decimals));
  return in_field(text.data(), text.size(), width);
}

RtString mxt_format_int(double width, double, int value) {
  char buf[40];
  return in_field(buf, format_itoa(value, buf, 10), width);
}

RtString mxt_format_int64(double width, double, int64_t value) {
  char buf[72];
  return in_field(buf, format_i64toa(value, buf, 10), width);
}

// ---------------------------------------------------------------------------
// [SECTION] Boxes

namespace {

struct Span {
  int64_t low, high;
};

// The pixels a box covers on one axis: size pixels from start, toward lower
// coordinates for a negative size, the start alone for size 0.
Span covered(int start, int size) {
  const int64_t s = start;
  const int64_t e = size > 0 ? s + size - 1 : size < 0 ? s + size + 1 : s;
  return {std::min(s, e), std::max(s, e)};
}

bool overlap(Span p, Span q) { return std::max(p.low, q.low) <= std::min(p.high, q.high); }

}  // namespace

int mxt_box_collision(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2) {
  return overlap(covered(x1, w1), covered(x2, w2)) && overlap(covered(y1, h1), covered(y2, h2)) ? 1 : 0;
}

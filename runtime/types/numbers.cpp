// [SECTION] Math
// [SECTION] The random generator
// [SECTION] Formatting
// [SECTION] Boxes
#include "runtime/types/numbers.h"

#include "runtime/types/types.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "runtime/base/singletons.h"
#include "runtime/types/numtext.h"
#include "runtime/types/random.h"

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
// [SECTION] The random generator (random.h holds it)

void mxt_seed_rnd(int seed) {
  if (rt.random) rt.random->seed(seed);
}

int mxt_rnd(int n) { return rt.random ? rt.random->next(n) : 0; }

int mxt_to_int(double value) { return truncate_to_int(value); }

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

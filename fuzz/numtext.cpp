// Number text read the way the game language reads it (atoi, atof, the
// 64-bit parse and the RtString conversions over them), and written back
// the way the runtime writes numbers: what it writes must read back.
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "runtime/types/numtext.h"

namespace {

bool same_double(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

void check_double(double v) {
  MXT_FUZZ_CHECK(!std::isnan(v));  // no text reads as NaN
  if (!std::isfinite(v)) return;

  // Seventeen significant digits identify every double.
  char buf[64];
  mxt::format_gcvt(v, 17, buf);
  MXT_FUZZ_CHECK(same_double(mxt::parse_atof(buf), v));

  // The runtime's own text (ten digits) reads back within its rounding.
  const RtString text(v);
  const double back = text.to_double();
  if (std::fabs(v) >= 2.2250738585072014e-308 && std::fabs(v) < 1e308)
    MXT_FUZZ_CHECK(std::fabs(back - v) <= std::fabs(v) * 5.000001e-10);

  // Two decimals: off by at most half a hundredth, and a negative value
  // keeps its sign even when it rounds to zero.
  const std::string fixed = mxt::format_fixed(v, 2);
  if (v != 0) MXT_FUZZ_CHECK((v < 0) == (fixed[0] == '-'));
  if (std::fabs(v) < 1e15) MXT_FUZZ_CHECK(std::fabs(mxt::parse_atof(fixed.c_str()) - v) <= 0.005 + std::fabs(v) * 1e-15);
  (void)mxt::format_fixed(v, 17);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  // The parsers read zero-terminated text; a zero byte inside ends it early,
  // as it does for a game's string.
  const std::string owned(reinterpret_cast<const char*>(data), size);
  const char* t = owned.c_str();
  const RtString text(t);

  const int32_t i = mxt::parse_atoi(t);
  const int64_t l = mxt::parse_int64(t);
  // Same white space, sign and digits, both wrapping: the 32-bit result is
  // the low half of the 64-bit one.
  MXT_FUZZ_CHECK(i == static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(l))));
  MXT_FUZZ_CHECK(text.to_int() == i);
  MXT_FUZZ_CHECK(text.to_int64() == l);

  char buf[72];
  mxt::format_itoa(i, buf, 10);
  MXT_FUZZ_CHECK(mxt::parse_atoi(buf) == i);
  mxt::format_i64toa(l, buf, 10);
  MXT_FUZZ_CHECK(mxt::parse_int64(buf) == l);
  MXT_FUZZ_CHECK(RtString(l).to_int64() == l);
  for (const int radix : {2, 16, 36}) {
    const size_t n = mxt::format_itoa(i, buf, radix);
    MXT_FUZZ_CHECK(n >= 1 && n <= 32 && std::strlen(buf) == n);
  }

  const double d = mxt::parse_atof(t);
  MXT_FUZZ_CHECK(same_double(text.to_double(), d));
  check_double(d);
  return 0;
}

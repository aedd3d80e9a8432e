#include "runtime/types/numbers.h"

#include <cmath>
#include <cstring>

#include "runtime/types/numtext.h"

namespace mxt {

int truncate_to_int(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int>(value);
}

namespace {

// The text of a conversion placed in its field: spaces before it, or after
// it when the width is negative.
RtString in_field(const char* text, size_t n, double width_number) {
  int width = truncate_to_int(width_number);
  const bool left = width < 0;
  int64_t field = left ? -static_cast<int64_t>(width) : width;
  if (field > kMaxFieldWidth) field = kMaxFieldWidth;
  const size_t pad = static_cast<size_t>(field) > n ? static_cast<size_t>(field) - n : 0;
  RtString out;
  out.reserve(static_cast<uint32_t>(n + pad), false);
  if (!left)
    for (size_t i = 0; i < pad; ++i) out.append_char(' ');
  out.append_bytes(text, n);
  if (left)
    for (size_t i = 0; i < pad; ++i) out.append_char(' ');
  return out;
}

}  // namespace
}  // namespace mxt

using namespace mxt;

RtString mxt_format_int(double width, double, int value) {
  char buf[40];
  return in_field(buf, format_itoa(value, buf, 10), width);
}

RtString mxt_format_int64(double width, double, int64_t value) {
  char buf[72];
  return in_field(buf, format_i64toa(value, buf, 10), width);
}

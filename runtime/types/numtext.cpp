#include "runtime/types/numtext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace mxt {
namespace {

bool is_c_space(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

size_t unsigned_to_text(uint64_t v, char* buf, int radix) {
  char tmp[65];
  size_t n = 0;
  do {
    const int d = static_cast<int>(v % static_cast<unsigned>(radix));
    tmp[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
    v /= static_cast<unsigned>(radix);
  } while (v != 0);
  for (size_t i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
  buf[n] = 0;
  return n;
}

// The value's 17 significant decimal digits, correctly rounded, and the
// position of the decimal point relative to them (decpt = exponent + 1):
// the same digits the Windows C runtime formats from.
void seventeen_digits(double v, char digits[19], int* decpt) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.16e", v);  // "d.dddddddddddddddde+XX", v >= 0
  digits[0] = buf[0];
  std::memcpy(digits + 1, buf + 2, 16);
  digits[17] = 0;
  const char* e = std::strchr(buf, 'e');
  *decpt = (e ? std::atoi(e + 1) : 0) + 1;
}

// Rounds the digit string to `keep` digits, half up on the decimal digits
// (the library rounds its 17-digit string, not the binary value). A carry out
// of the first digit gives "1000..." and moves the point one place.
void round_digits(char digits[19], int keep, int* decpt) {
  if (keep >= 17) return;
  if (keep < 0) keep = 0;
  const bool up = digits[keep] >= '5';
  digits[keep] = 0;
  if (!up) return;
  int i = keep - 1;
  while (i >= 0 && digits[i] == '9') digits[i--] = '0';
  if (i >= 0) {
    ++digits[i];
  } else {
    std::memmove(digits + 1, digits, static_cast<size_t>(keep) + 1);
    digits[0] = '1';
    digits[keep + 1] = 0;
    ++*decpt;
  }
}

size_t special_text(double v, char* buf) {
  const char* text;
  if (std::isinf(v)) {
    text = v < 0 ? "-1.#INF" : "1.#INF";
  } else {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const bool quiet = (bits >> 51) & 1;
    const uint64_t payload = bits & ((uint64_t{1} << 51) - 1);
    if (negative && quiet && payload == 0)
      text = "-1.#IND";
    else if (!quiet)
      text = negative ? "-1.#SNAN" : "1.#SNAN";
    else
      text = negative ? "-1.#QNAN" : "1.#QNAN";
  }
  const size_t n = std::strlen(text);
  std::memcpy(buf, text, n + 1);
  return n;
}

// Removes the zeros between the last non-zero fraction digit and the
// exponent (or the end), keeping the decimal point.
size_t strip_fraction_zeros(char* buf) {
  char* dot = std::strchr(buf, '.');
  if (!dot) return std::strlen(buf);
  char* end = dot + 1;
  while (*end && *end != 'e') ++end;
  char* stop = end;
  while (stop > dot + 1 && stop[-1] == '0') --stop;
  std::memmove(stop, end, std::strlen(end) + 1);
  return std::strlen(buf);
}

}  // namespace

size_t format_itoa(int32_t value, char* buf, int radix) {
  if (radix < 2 || radix > 36) {
    buf[0] = 0;
    return 0;
  }
  if (radix == 10 && value < 0) {
    buf[0] = '-';
    const uint32_t magnitude = 0u - static_cast<uint32_t>(value);
    return 1 + unsigned_to_text(magnitude, buf + 1, 10);
  }
  return unsigned_to_text(static_cast<uint32_t>(value), buf, radix);
}

size_t format_i64toa(int64_t value, char* buf, int radix) {
  if (radix < 2 || radix > 36) {
    buf[0] = 0;
    return 0;
  }
  if (radix == 10 && value < 0) {
    buf[0] = '-';
    return 1 + unsigned_to_text(0u - static_cast<uint64_t>(value), buf + 1, 10);
  }
  return unsigned_to_text(static_cast<uint64_t>(value), buf, radix);
}

size_t format_gcvt(double value, int ndigit, char* buf) {
  if (!std::isfinite(value)) return special_text(value, buf);
  if (ndigit < 1) ndigit = 1;
  if (ndigit > 17) ndigit = 17;

  char* out = buf;
  if (std::signbit(value)) *out++ = '-';
  char digits[19];
  int decpt = 0;
  seventeen_digits(std::fabs(value), digits, &decpt);

  const int magnitude = decpt - 1;
  if (magnitude < -1 || magnitude > ndigit - 1) {
    // d.ddde+XXX with ndigit significant digits
    round_digits(digits, ndigit, &decpt);
    *out++ = digits[0];
    *out++ = '.';
    for (int i = 1; i < ndigit; ++i) *out++ = digits[i] ? digits[i] : '0';
    const int exp10 = decpt - 1;
    *out++ = 'e';
    *out++ = exp10 < 0 ? '-' : '+';
    const int a = exp10 < 0 ? -exp10 : exp10;
    out += std::snprintf(out, 8, "%03d", a);
  } else {
    // fixed, with ndigit - decpt decimals (decpt >= 0 here)
    const int decimals = ndigit - decpt;
    round_digits(digits, decpt + decimals, &decpt);
    const size_t count = std::strlen(digits);
    auto digit = [&](int i) { return i >= 0 && static_cast<size_t>(i) < count ? digits[i] : '0'; };
    if (decpt <= 0) {
      *out++ = '0';
    } else {
      for (int i = 0; i < decpt; ++i) *out++ = digit(i);
    }
    *out++ = '.';
    for (int i = 0; i < decimals; ++i) *out++ = digit(decpt + i);
  }
  *out = 0;
  return strip_fraction_zeros(buf);
}

std::string format_fixed(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 512) decimals = 512;
  std::string out;
  if (std::signbit(value)) out += '-';
  // The mantissa: digits, or the special value's text without sign and point.
  char mantissa[24];
  int decpt = 1;
  if (std::isfinite(value)) {
    seventeen_digits(std::fabs(value), mantissa, &decpt);
  } else {
    char text[16];
    special_text(value, text);
    const char* t = text[0] == '-' ? text + 1 : text;   // "1.#INF"
    mantissa[0] = t[0];
    std::strcpy(mantissa + 1, t + 2);                  // "1#INF"
  }
  const int keep = decpt + decimals;
  if (keep < 0) {
    mantissa[0] = 0;  // below half a unit of the last place: all zeros
  } else if (static_cast<size_t>(keep) < std::strlen(mantissa)) {
    round_digits(mantissa, keep, &decpt);  // rounds any character up, digits with carry
  }
  const size_t count = std::strlen(mantissa);
  auto digit = [&](int i) { return i >= 0 && static_cast<size_t>(i) < count ? mantissa[i] : '0'; };
  if (decpt <= 0) {
    out += '0';
  } else {
    for (int i = 0; i < decpt; ++i) out += digit(i);
  }
  if (decimals > 0) {
    out += '.';
    for (int i = 0; i < decimals; ++i) out += digit(decpt + i);
  }
  return out;
}

size_t format_number(double value, char* buf) {
  size_t n = format_gcvt(value, 10, buf);
  if (n == 2 && buf[0] == '.' && buf[1] == '0') {
    buf[0] = '0';
    buf[1] = 0;
    return 1;
  }
  if (n > 0 && buf[n - 1] == '.') buf[--n] = 0;
  return n;
}

int32_t parse_atoi(const char* p) {
  if (!p) return 0;
  while (is_c_space(static_cast<unsigned char>(*p))) ++p;
  const char sign = *p;
  if (sign == '-' || sign == '+') ++p;
  uint32_t total = 0;
  while (*p >= '0' && *p <= '9') total = total * 10u + static_cast<uint32_t>(*p++ - '0');
  if (sign == '-') total = 0u - total;
  return static_cast<int32_t>(total);
}

double parse_atof(const char* p) {
  if (!p) return 0.0;
  while (is_c_space(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';

  // Collect the longest valid prefix in the form from_chars reads.
  std::string num;
  int int_digits = 0, first_nonzero = -1, position = 0;
  bool any_digit = false;
  while (*p >= '0' && *p <= '9') {
    if (*p != '0' && first_nonzero < 0) first_nonzero = position;
    num += *p++;
    ++int_digits;
    ++position;
    any_digit = true;
  }
  if (*p == '.') {
    num += *p++;
    while (*p >= '0' && *p <= '9') {
      if (*p != '0' && first_nonzero < 0) first_nonzero = position;
      num += *p++;
      ++position;
      any_digit = true;
    }
  }
  if (!any_digit) return negative ? -0.0 : 0.0;
  long exp_value = 0;
  if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
    const char* q = p + 1;
    bool exp_negative = false;
    if (*q == '-' || *q == '+') exp_negative = *q++ == '-';
    if (*q >= '0' && *q <= '9') {
      num += 'e';
      if (exp_negative) num += '-';
      while (*q >= '0' && *q <= '9') {
        if (exp_value < 100000) exp_value = exp_value * 10 + (*q - '0');
        num += *q++;
      }
      if (exp_negative) exp_value = -exp_value;
    }
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(num.data(), num.data() + num.size(), value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    // Decide by the decimal exponent of the first non-zero digit.
    const long scale = first_nonzero < 0 ? -1000000 : static_cast<long>(int_digits - first_nonzero) + exp_value;
    value = scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

int64_t parse_int64(const char* p) {
  if (!p) return 0;
  while (*p == ' ' || (*p >= 9 && *p <= 13)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint64_t v = 0;
  while (*p >= '0' && *p <= '9') v = v * 10u + static_cast<uint64_t>(*p++ - '0');
  if (negative) v = 0u - v;
  return static_cast<int64_t>(v);
}

}  // namespace mxt

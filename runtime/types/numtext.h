// Number text as the Windows C runtime (msvcrt) writes and reads it, written
// here from its documented behaviour so that the runtime's texts are the same
// on every platform, whatever the local C library or locale does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mxt {

// _itoa: decimal with a leading '-' for radix 10; any other radix (2..36)
// writes the 32-bit pattern as unsigned, lower-case digits. buf >= 34 bytes.
// Returns the length written.
size_t format_itoa(int32_t value, char* buf, int radix);

// The same for 64-bit values (_i64toa). buf >= 66 bytes.
size_t format_i64toa(int64_t value, char* buf, int radix);

// _gcvt(value, digits, buf): `digits` significant digits, the plain form
// while the decimal exponent lies in -1 .. digits-1, else the exponent form
// with a signed three-digit exponent ("1.5e-007"). A decimal point is always
// written; zeros after the last non-zero fraction digit are dropped ("3.",
// "0.25", "1.e+021"). Infinities and NaNs are written as that library does:
// "1.#INF", "-1.#INF", "1.#QNAN", "-1.#IND" (the default NaN), "1.#SNAN".
// digits is clamped to 1..17; buf >= 32 bytes. Returns the length.
size_t format_gcvt(double value, int digits, char* buf);

// sprintf's "%.<decimals>f" as that library writes it: the value's 17
// correctly rounded significant digits, zeros after them, then half-up
// rounding of that digit string to `decimals` places; a negative value keeps
// its sign even when it rounds to zero. Infinities and NaNs are rounded as
// their texts ("1#INF" with the point after the "1"), so 2 decimals give
// "1.#J" and 6 give "1.#INF00". decimals is clamped to 0..512.
std::string format_fixed(double value, int decimals);

// The runtime's number text: _gcvt with 10 digits, then ".0" becomes "0"
// and a trailing "." is dropped. buf >= 32 bytes. Returns the length.
size_t format_number(double value, char* buf);

// atoi / atol: white space (space, \t \n \v \f \r) skipped, one sign, decimal
// digits; the value wraps on overflow as that library's loop does.
int32_t parse_atoi(const char* text);

// atof: white space, sign, digits with one '.', an exponent introduced by
// e, E, d or D; the longest valid prefix counts. Out of range gives
// +-infinity or 0. Never depends on the locale.
double parse_atof(const char* text);

// Decimal 64-bit parse: spaces and control characters 9..13 skipped, one
// '+' or '-', digits; stops at the first other byte; overflow wraps.
int64_t parse_int64(const char* text);

}  // namespace mxt

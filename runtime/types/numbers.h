// Numbers: the game language's numbers are doubles, its integers 32-bit, and
// a number becomes an integer by truncation toward zero.
//
// Formatting writes what the Windows C runtime's sprintf writes for the same
// conversion (see numtext.h), whatever the local C library does.
#pragma once

#include <cstdint>

#include "runtime/types/rtstring.h"

// ---------------------------------------------------------------------------
// Formatting: right-aligned in at least |width| characters; a negative width
// left-aligns; wider values are not cut. Width and decimals are truncated.

RtString mxt_format_int(double width, double decimals, int value);        // "%<w>d"; decimals ignored
RtString mxt_format_int64(double width, double decimals, int64_t value);  // "%<w>lld"; decimals ignored

namespace mxt {

// A number as an integer, truncated toward zero. NaN and values outside the
// 32-bit range give INT32_MIN, as the processor's conversion does on Windows.
int truncate_to_int(double value);

constexpr int kMaxFieldWidth = 65536;  // wider fields are clamped, never allocated without bound

}  // namespace mxt

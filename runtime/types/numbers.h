// Numbers inside the runtime: the one conversion of a number to an integer,
// used wherever the runtime turns a game's number into pixels, counts or
// codes. The number commands are in types.h.
#pragma once

namespace mxt {

// A number as an integer, truncated toward zero. NaN and values outside the
// 32-bit range give INT32_MIN, as the processor's conversion does on Windows.
int truncate_to_int(double value);

constexpr int kMaxFieldWidth = 65536;  // wider fields are clamped, never allocated without bound
}  // namespace mxt

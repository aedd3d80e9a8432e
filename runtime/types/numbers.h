// Numbers: the game language's numbers are doubles, its integers 32-bit, a
// number becomes an integer by truncation toward zero, and angles are degrees.
//
// The random generator is ISAAC drawn one full pass per number: slow for a
// generator, but puzzles and levels generated from a seed depend on exactly
// this sequence, so it must never change. Formatting writes what the Windows
// C runtime's sprintf writes for the same conversion (see numtext.h),
// whatever the local C library does.
#pragma once

#include <cstdint>

#include "runtime/types/rtstring.h"

// ---------------------------------------------------------------------------
// Trigonometry in degrees

double mxt_sin(double degrees);
double mxt_cos(double degrees);
double mxt_tan(double degrees);
double mxt_atan2(double y, double x);            // degrees, -180..180
double mxt_asin(double v);                       // 90 for v >= 1, -90 for v <= -1
double mxt_acos(double v);                       // 0 for v >= 1, 180 for v <= -1

// ---------------------------------------------------------------------------
// Other math

double mxt_pow(double x, double y);
int mxt_mod(int i, int j);                       // remainder with the sign of i; 0 when j is 0
double mxt_fmod(double x, double y);             // 0 when y is 0
double mxt_floor(double x);
double mxt_ceil(double x);
double mxt_sqrt(double x);
double mxt_log(double x);                        // natural logarithm
double mxt_max(double p, double q);
int mxt_max(int p, double q);                    // q truncated to an integer first
int mxt_max(int p, int q);
double mxt_max(double p, int q);
double mxt_min(double p, double q);
double mxt_min(double p, float q);
int mxt_min(int p, int q);
double mxt_min(double p, int q);
double mxt_min(int p, double q);

// ---------------------------------------------------------------------------
// Random numbers

void mxt_seed_rnd(int seed);                     // restart the sequence; start-up seeds with the clock
int mxt_rnd(int n);                              // 0..n inclusive; 0 (and no draw) when n <= 0

// ---------------------------------------------------------------------------
// Formatting: right-aligned in at least |width| characters, a negative width
// left-aligns, wider values are not cut. Width and decimals are truncated;
// negative decimals count as 0.

RtString mxt_format_number(double width, double decimals, double value);  // "%<w>.<d>f"
RtString mxt_format_int(double width, double decimals, int value);        // "%<w>d"; decimals ignored
RtString mxt_format_int64(double width, double decimals, int64_t value);  // "%<w>lld"; decimals ignored

// ---------------------------------------------------------------------------
// Boxes

int mxt_box_collision(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2);  // 1 when they share a pixel

namespace mxt {

// A number as an integer, truncated toward zero. NaN and values outside the
// 32-bit range give INT32_MIN, as the processor's conversion does on Windows.
int truncate_to_int(double value);

constexpr int kMaxFieldWidth = 65536;  // wider fields are clamped, never allocated without bound
}  // namespace mxt

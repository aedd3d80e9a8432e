// The core value types' command sheet: strings, arrays and numbers.
//
// RtString (rtstring.h, with its operators in string_ops.h) is the runtime's
// byte string in code page 1252; RtArray (rtarray.h) its bounds-checked array
// of up to four dimensions. Game numbers are doubles, integers 32-bit, a
// number becomes an integer by truncation toward zero, and angles are
// degrees. Positions and counts outside a text are never errors: the string
// functions give the empty string, 0 or -1 instead. Number text is what the
// Windows C runtime writes for the same conversion, whatever the local C
// library does. A string that would grow past 4 GiB cannot be held: making
// one ends the program with error 7, as running out of memory does.
#pragma once

#include <cstdint>

#include "runtime/types/rtstring.h"
#include "runtime/types/string_ops.h"

template <class T>
class RtArray;
namespace mxt {
struct ArrayShape;
}

// ---------------------------------------------------------------------------
// Strings: joining

RtString mxt_join_text(const mxt::TextOperand& a, const mxt::TextOperand& b);  // any two: texts and numbers too
                                                                 // [cannot fail]

// ---------------------------------------------------------------------------
// Strings: Substrings, lengths and character codes

RtString mxt_mid_text(const RtString& text, int start, int count);  // count bytes from start; count < 0: to the end
                                                                 // [cannot fail]
int mxt_text_length(const RtString& text);                       // bytes before the first zero byte [cannot fail]
int mxt_number_length(double value);                             // length of the number's text [cannot fail]
int mxt_int_length(int value);                                   // length of the integer's text [cannot fail]
int mxt_char_code(const RtString& text);                         // first byte 0..255; 0 for "" [cannot fail]
RtString mxt_char_text(int code);                                // one byte, code's low 8 bits; 0 gives length 1
                                                                 // [cannot fail]
RtString mxt_upper_text(const RtString& text);                   // code page 1252 letters [cannot fail]
RtString mxt_lower_text(const RtString& text);                   // code page 1252 letters [cannot fail]

// ---------------------------------------------------------------------------
// Strings: Searching, replacing, trimming and splitting

int mxt_find_text(const RtString& text, const RtString& pattern, int start);       // first at/after start (< 0: 0),
                                                                                   // or -1 [cannot fail]
int mxt_find_text_back(const RtString& text, const RtString& pattern, int start);  // last at/before start (< 0: any),
                                                                                   // or -1 [cannot fail]
RtString mxt_replace_text(const RtString& text, const RtString& pattern, const RtString& replacement);  // every occurrence,
                                                                 // left to right [cannot fail]
RtString mxt_trim_left_text(const RtString& text, const RtString& set);   // without leading bytes of the set [cannot fail]
RtString mxt_trim_right_text(const RtString& text, const RtString& set);  // without trailing bytes of the set
                                                                          // [cannot fail]
int mxt_split_text(const RtString& text, RtArray<RtString>& parts, const RtString& delimiters, int skip_empty);  // part count
                                                                 // [cannot fail]

// ---------------------------------------------------------------------------
// Strings: Hexadecimal, URL and UTF-8 text

RtString mxt_hex_text(int value);                                // "%x": 255 gives "ff", -1 "ffffffff" [cannot fail]
RtString mxt_url_encode(const RtString& text);                   // letters and digits kept, the rest %xx of its UTF-8
                                                                 // [cannot fail]
RtString mxt_url_decode(const RtString& text);                   // "+" a space, %xx a byte, then UTF-8 to code page 1252
                                                                 // [cannot fail]

// ---------------------------------------------------------------------------
// Strings: Encryption (Blowfish; ECB, words little-endian)

RtString mxt_encrypt_text(const RtString& key, const RtString& text);  // lower-case hex, 16 digits per 8 bytes; ""
                                                                       // for an empty key [cannot fail]
RtString mxt_decrypt_text(const RtString& key, const RtString& hex);   // the text up to its first zero byte; "" for an
                                                                       // empty key [cannot fail]

// ---------------------------------------------------------------------------
// Arrays (RtArray, rtarray.h)

template <class T> void mxt_dim(RtArray<T>& a, int first, int second = 0, int third = 0, int fourth = 0);  // size; all elements zero or empty
                   // [fatal, error 7 for a size below 0 or too large]
template <class T> void mxt_redim(RtArray<T>& a, int first, int second = 0, int third = 0, int fourth = 0);// size, keeping what fits
                   // [fatal, error 7 for a size below 0 or too large]
template <class T> void mxt_dim_data(RtArray<T>& a, int n, const T* values);  // one dimension of n, element i = values[i]
                   // [fatal, error 7 for n below 0]
template <class T> void mxt_array_copy(RtArray<T>& target, const RtArray<T>& source);  // target becomes a copy [cannot fail]
template <class T> void mxt_array_push(RtArray<T>& a, const T& value);  // append to a one-dimensional array
                   // [fatal, error 8 for an array of two or more dimensions]
int mxt_array_bounds(const mxt::ArrayShape& a, int dimension);  // size of dimension 0..3; 0 for others [cannot fail]
void mxt_report_bounds(const mxt::ArrayShape& a, int i, int j = 0, int k = 0, int l = 0);  // "bounds:"/"access:" report
                   // [cannot fail]
using SortCompare = int (*)(const RtString& a, const RtString& b);  // < 0: a first
void mxt_sort_array(RtString* first, RtString* last, SortCompare compare = nullptr);  // ascending, last inclusive; strcmp
                   // without callback [cannot fail]

// Access: a(i), a(i, j), a(i, j, k), a(i, j, k, l) or a.at(...). A negative first
// index counts from the end once (-1 is the last). A failed access reports the
// bounds, raises runtime error 9 and ends the program.

// ---------------------------------------------------------------------------
// Data lists: constant tables compiled into a game, read in order

struct DataItem {
  double value;          // a numeric item
  const char* text;      // a text item, or null for a numeric one
};

struct DataList {
  const DataItem* items;
  int32_t count;
  int32_t position;      // the next item read
};

void mxt_restore_data(DataList& list);   // make it the current list, read from its start [cannot fail]
void mxt_read_int(int& out);             // text: atoi; number: truncated toward zero [fatal, error 20]
void mxt_read_number(double& out);       // text: atof; number: as it is [fatal, error 20]
void mxt_read_text(RtString& out);       // text: copied; number: its text ("3" for 3.0) [fatal, error 20]
// Reading past the end, or with no current list, raises error 20 and ends the program.

// ---------------------------------------------------------------------------
// Numbers: trigonometry in degrees

double mxt_sin(double degrees);                  // sine of an angle in degrees [cannot fail]
double mxt_cos(double degrees);                  // cosine [cannot fail]
double mxt_tan(double degrees);                  // tangent [cannot fail]
double mxt_atan2(double y, double x);            // degrees, -180..180 [cannot fail]
double mxt_asin(double v);                       // 90 for v >= 1, -90 for v <= -1 [cannot fail]
double mxt_acos(double v);                       // 0 for v >= 1, 180 for v <= -1 [cannot fail]

// ---------------------------------------------------------------------------
// Numbers: other math

int mxt_to_int(double value);                    // truncated toward zero; NaN and out of range: INT32_MIN [cannot fail]
double mxt_pow(double x, double y);              // x to the power y [cannot fail]
int mxt_mod(int i, int j);                       // remainder with the sign of i; 0 when j is 0 [cannot fail]
double mxt_fmod(double x, double y);             // 0 when y is 0 [cannot fail]
double mxt_floor(double x);                      // the whole number at or below [cannot fail]
double mxt_ceil(double x);                       // the whole number at or above [cannot fail]
double mxt_sqrt(double x);                       // square root; NaN below 0 [cannot fail]
double mxt_log(double x);                        // natural logarithm [cannot fail]
double mxt_max(double p, double q);              // the larger; q when they are equal or one is NaN [cannot fail]
int mxt_max(int p, double q);                    // q truncated to an integer first [cannot fail]
int mxt_max(int p, int q);                       // the larger [cannot fail]
double mxt_max(double p, int q);                 // the larger, as a number [cannot fail]
double mxt_min(double p, double q);              // the smaller; q when they are equal or one is NaN [cannot fail]
double mxt_min(double p, float q);               // the smaller, q widened [cannot fail]
int mxt_min(int p, int q);                       // the smaller [cannot fail]
double mxt_min(double p, int q);                 // the smaller, as a number [cannot fail]
double mxt_min(int p, double q);                 // the smaller, as a number [cannot fail]

// ---------------------------------------------------------------------------
// Numbers: random

void mxt_seed_rnd(int seed);                     // restart the sequence; start-up seeds with the clock [cannot fail]
int mxt_rnd(int n);                              // 0..n inclusive; 0 (and no draw) when n <= 0 [cannot fail]

// ---------------------------------------------------------------------------
// Numbers: formatting
//
// Right-aligned in at least |width| characters, a negative width left-aligns,
// wider values are not cut; width and decimals are truncated, negative
// decimals count as 0.

RtString mxt_format_number(double width, double decimals, double value);  // "%<w>.<d>f" [cannot fail]
RtString mxt_format_int(double width, double decimals, int value);        // "%<w>d"; decimals ignored [cannot fail]
RtString mxt_format_int64(double width, double decimals, int64_t value);  // "%<w>lld"; decimals ignored [cannot fail]

// ---------------------------------------------------------------------------
// Boxes

int mxt_box_collision(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2);  // 1 when they share a pixel
                                                 // [cannot fail]

// The array type and its command templates.
#include "runtime/types/rtarray.h"

// String operators and string functions.
//
// Strings, integers and numbers meet in `+` and in comparisons as the game
// language lets them: a number joins a string as its text (rtstring.h's
// rules, "3" for 3.0), and a string compared with a number is read as a
// number first. Two strings compare byte-wise; equality also counts length.
// Positions and counts outside a text are never errors: the functions give
// the empty string, 0 or -1 instead.
//
// Case conversion and URL text work in code page 1252, the runtime's byte
// encoding; URL text carries UTF-8.
//
// [SECTION] Operators
// [SECTION] Substrings, lengths and character codes
// [SECTION] Searching, replacing, trimming and splitting
// [SECTION] Hexadecimal, URL and UTF-8 text
// [SECTION] Encryption
// [SECTION] Internal helpers
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/types/rtarray.h"
#include "runtime/types/rtstring.h"

namespace mxt {

// One side of a concatenation: a string, a text or a number as its text.
class TextOperand {
 public:
  TextOperand(const RtString& s) : text_(s.data), size_(s.length) {}  // NOLINT: converts implicitly
  TextOperand(const char* text);                                      // NOLINT
  TextOperand(int value);                                             // NOLINT
  TextOperand(int64_t value);                                         // NOLINT
  TextOperand(double value);                                          // NOLINT; floats widen
  TextOperand(const TextOperand&) = delete;
  TextOperand& operator=(const TextOperand&) = delete;
  const char* data() const { return text_; }
  size_t size() const { return size_; }

 private:
  char number_[72];
  const char* text_;
  size_t size_;
};

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Operators (string with string and string with text are in rtstring.h)

RtString& operator+=(RtString& a, const RtString& b);            // appending a string to itself doubles it
RtString& operator+=(RtString& a, const char* b);
RtString& operator+=(RtString& a, int b);                        // s += 3 appends "3"
RtString& operator+=(RtString& a, int64_t b);
RtString& operator+=(RtString& a, double b);                     // s += 3.0 appends "3"; floats widen
RtString operator+(const RtString& a, int b);                    // "A" + 1 gives "A1"
RtString operator+(const RtString& a, int64_t b);
RtString operator+(const RtString& a, double b);
RtString operator+(int a, const RtString& b);
RtString operator+(int64_t a, const RtString& b);
RtString operator+(double a, const RtString& b);                 // 2.5 + "x" gives "2.5x"
RtString mxt_join_text(const mxt::TextOperand& a, const mxt::TextOperand& b);  // any two: texts and numbers too

std::strong_ordering operator<=>(const RtString& a, const RtString& b);  // byte-wise (strcmp): "10" < "9"
std::strong_ordering operator<=>(const RtString& a, const char* b);
bool operator==(const RtString& a, int b);                       // atoi(a) == b: "10" == 10
std::strong_ordering operator<=>(const RtString& a, int b);
bool operator==(const RtString& a, int64_t b);                   // decimal 64-bit parse
std::strong_ordering operator<=>(const RtString& a, int64_t b);
bool operator==(const RtString& a, double b);                    // atof; floats widen
std::partial_ordering operator<=>(const RtString& a, double b);

// ---------------------------------------------------------------------------
// [SECTION] Substrings, lengths and character codes

RtString mxt_mid_text(const RtString& text, int start, int count);  // count bytes from start; count < 0: to the end
int mxt_text_length(const RtString& text);                       // bytes before the first zero byte
int mxt_number_length(double value);                             // length of the number's text
int mxt_int_length(int value);                                   // length of the integer's text
int mxt_char_code(const RtString& text);                         // first byte 0..255; 0 for ""
RtString mxt_char_text(int code);                                // one byte, code's low 8 bits; 0 gives length 1
RtString mxt_upper_text(const RtString& text);                   // code page 1252 letters
RtString mxt_lower_text(const RtString& text);

// ---------------------------------------------------------------------------
// [SECTION] Searching, replacing, trimming and splitting

int mxt_find_text(const RtString& text, const RtString& pattern, int start);       // first at/after start (< 0: 0), or -1
int mxt_find_text_back(const RtString& text, const RtString& pattern, int start);  // last at/before start (< 0: any), or -1
RtString mxt_replace_text(const RtString& text, const RtString& pattern, const RtString& replacement);  // every occurrence, left to right
RtString mxt_trim_left_text(const RtString& text, const RtString& set);   // without leading bytes of the set
RtString mxt_trim_right_text(const RtString& text, const RtString& set);  // without trailing bytes of the set
int mxt_split_text(const RtString& text, RtArray<RtString>& parts, const RtString& delimiters, int skip_empty);  // part count

// ---------------------------------------------------------------------------
// [SECTION] Hexadecimal, URL and UTF-8 text

RtString mxt_hex_text(int value);                                // "%x": 255 gives "ff", -1 "ffffffff"
RtString mxt_url_encode(const RtString& text);                   // letters and digits kept, the rest %xx of its UTF-8
RtString mxt_url_decode(const RtString& text);                   // "+" a space, %xx a byte, then UTF-8 to code page 1252

// ---------------------------------------------------------------------------
// [SECTION] Encryption (Blowfish; ECB, words little-endian)

RtString mxt_encrypt_text(const RtString& key, const RtString& text);  // lower-case hex, 16 digits per 8 bytes; "" for an empty key
RtString mxt_decrypt_text(const RtString& key, const RtString& hex);   // the text up to its first zero byte; "" for an empty key

// ---------------------------------------------------------------------------
// [SECTION] Internal helpers

namespace mxt {

int compare(const char* a, const char* b);                       // strcmp as -1, 0 or 1
int compare(const char* a, int b);                               // -1, 0 or 1 as atoi(a) is below, equal, above
int compare(const char* a, int64_t b);
int compare(const char* a, double b);                            // NaN on either side gives 0
inline int compare(const RtString& a, const char* b) { return compare(a.data, b); }
inline int compare(const RtString& a, int b) { return compare(a.data, b); }
inline int compare(const RtString& a, int64_t b) { return compare(a.data, b); }
inline int compare(const RtString& a, double b) { return compare(a.data, b); }

void to_upper(RtString& s);                                      // in place
void to_lower(RtString& s);
RtString bytes_to_hex(const void* bytes, size_t count, bool upper);  // two digits per byte, high first
void decode_utf8(RtString& s);                                   // in place; invalid sequences dropped, '?' where
                                                                 // code page 1252 has no byte
const char* find_first_of(const char* text, const char* set);     // first byte in the set, or null
const char* find_first_not_of(const char* text, const char* set); // first byte not in the set, or null
std::wstring to_wide_text(const RtString& s);                    // code page 1252 to wide characters

// Leftmost occurrence of a byte pattern. Patterns of kShiftTableMin bytes or
// more use Boyer-Moore-Horspool, its shift table built once per pattern for
// every search with it; shorter ones gain too little from the table and are
// found by scanning for their first byte with memchr.
class ByteSearch {
 public:
  static constexpr size_t kShiftTableMin = 8;
  ByteSearch(const char* pattern, size_t length);
  // Offset of the leftmost occurrence in text[from, length), or -1. An empty
  // pattern is found nowhere.
  int64_t find(const char* text, size_t length, size_t from = 0) const;

 private:
  const unsigned char* pattern_;
  size_t length_;
  uint8_t shift_[256];  // shifts above 255 are cut to 255, which is always safe
};

// search_bytes: one search, as ByteSearch(pattern).find(text).
int64_t search_bytes(const char* text, size_t text_length, const char* pattern, size_t pattern_length);

}  // namespace mxt

// What the string commands are built from, for the runtime's own use:
// comparisons with the game language's number rules, case conversion in
// place, hex text, UTF-8 decoding and the byte search behind finding and
// replacing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/types/rtstring.h"

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

// Windows-1252 <-> UTF-8. The runtime's texts are bytes in code page 1252;
// these convert them wherever a text meets the system or a UTF-8 format.
// They belong to the platform layer because the code page is what crosses
// it (platform.h); the layers above use them for case and text formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mxt {

// The Unicode code point of a code page 1252 byte. The five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control
// of the same value, as the system's converters do.
uint32_t cp1252_to_unicode(uint8_t byte);

// The code page 1252 byte of a code point, or -1 when it has none.
int unicode_to_cp1252(uint32_t code_point);

std::string cp1252_to_utf8(std::string_view bytes);

// The UTF-8 character at the front of `utf8` (which must not be empty): its
// code point and byte length. An invalid sequence (overlong form, surrogate,
// beyond U+10FFFF, cut short, a stray continuation byte) gives code point -1
// and the number of bytes it spans, which are to be skipped.
struct Utf8Char {
  int32_t code_point;
  size_t length;
};
Utf8Char next_utf8_char(std::string_view utf8);

// Case in the code page: the letters of Latin-1 and the five of 0x80..0x9F
// (S, OE, Z with caron/ligature and Y with diaeresis) change, as well as A..Z.
// Letters without a partner in the code page (sharp s, micro) stay.
uint8_t cp1252_upper(uint8_t byte);
uint8_t cp1252_lower(uint8_t byte);

// Invalid UTF-8 (overlong forms, surrogates, cut sequences, stray
// continuation bytes) and characters without a code page byte become `fallback`.
std::string utf8_to_cp1252(std::string_view utf8, char fallback = '?');

}  // namespace mxt

// Windows-1252 <-> UTF-8. The runtime's texts are bytes in code page 1252;
// these convert them wherever a text meets the system or a UTF-8 format.
#pragma once

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

// Invalid UTF-8 (overlong forms, surrogates, cut sequences, stray
// continuation bytes) and characters without a code page byte become `fallback`.
std::string utf8_to_cp1252(std::string_view utf8, char fallback = '?');

}  // namespace mxt

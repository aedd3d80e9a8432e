#include "runtime/platform/codepage.h"

namespace mxt {
namespace {

// 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr uint16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void put_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

uint32_t cp1252_to_unicode(uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHigh[byte - 0x80];
  return byte;
}

int unicode_to_cp1252(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == cp) return 0x80 + i;
  return -1;
}

std::string cp1252_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (char c : bytes) put_utf8(out, cp1252_to_unicode(static_cast<uint8_t>(c)));
  return out;
}

Utf8Char next_utf8_char(std::string_view s) {
  const uint8_t b = static_cast<uint8_t>(s[0]);
  uint32_t cp;
  size_t len;
  if (b < 0x80) {
    return {b, 1};
  } else if (b >= 0xC2 && b <= 0xDF) {
    cp = b & 0x1F;
    len = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    cp = b & 0x0F;
    len = 3;
  } else if (b >= 0xF0 && b <= 0xF4) {
    cp = b & 0x07;
    len = 4;
  } else {
    return {-1, 1};  // continuation byte on its own, or 0xC0/0xC1/0xF5+
  }
  size_t k = 1;
  for (; k < len; ++k) {
    if (k >= s.size()) break;
    const uint8_t c = static_cast<uint8_t>(s[k]);
    if ((c & 0xC0) != 0x80) break;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (k < len) return {-1, k};  // cut short: the bytes read so far, up to the offending one
  const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
  const bool bad = overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF;
  return {bad ? -1 : static_cast<int32_t>(cp), len};
}

std::string utf8_to_cp1252(std::string_view s, char fallback) {
  std::string out;
  out.reserve(s.size());
  while (!s.empty()) {
    const Utf8Char c = next_utf8_char(s);
    const int byte = c.code_point < 0 ? -1 : unicode_to_cp1252(static_cast<uint32_t>(c.code_point));
    out += byte < 0 ? fallback : static_cast<char>(byte);
    s.remove_prefix(c.length);
  }
  return out;
}

namespace {

// Upper-case partners; 0 where a byte has none.
constexpr uint8_t upper_partner(unsigned b) {
  if (b >= 'a' && b <= 'z') return static_cast<uint8_t>(b - 32);
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<uint8_t>(b - 32);
  switch (b) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return 0;
  }
}

struct CaseTables {
  uint8_t upper[256], lower[256];
  constexpr CaseTables() : upper(), lower() {
    for (unsigned b = 0; b < 256; ++b) upper[b] = lower[b] = static_cast<uint8_t>(b);
    for (unsigned b = 0; b < 256; ++b)
      if (const uint8_t u = upper_partner(b)) {
        upper[b] = u;
        lower[u] = static_cast<uint8_t>(b);
      }
  }
};
constexpr CaseTables kCase;

}  // namespace

uint8_t cp1252_upper(uint8_t byte) { return kCase.upper[byte]; }
uint8_t cp1252_lower(uint8_t byte) { return kCase.lower[byte]; }

}  // namespace mxt

#include "runtime/types/codepage.h"

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

std::string utf8_to_cp1252(std::string_view s, char fallback) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const uint8_t b = static_cast<uint8_t>(s[i]);
    uint32_t cp;
    size_t len;
    if (b < 0x80) {
      cp = b;
      len = 1;
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
      out += fallback;  // continuation byte on its own, or 0xC0/0xC1/0xF5+
      ++i;
      continue;
    }
    size_t k = 1;
    for (; k < len; ++k) {
      if (i + k >= n) break;
      const uint8_t c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) break;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (k < len) {  // cut short: drop what was read, resume at the offending byte
      out += fallback;
      i += k;
      continue;
    }
    const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
    const bool bad = overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF;
    const int byte = bad ? -1 : unicode_to_cp1252(cp);
    out += byte < 0 ? fallback : static_cast<char>(byte);
    i += len;
  }
  return out;
}

}  // namespace mxt

// [SECTION] Operators
// [SECTION] Substrings, lengths and character codes
// [SECTION] Searching and replacing
// [SECTION] Trimming and splitting
// [SECTION] Hexadecimal, URL and UTF-8 text
// [SECTION] Encryption
#include "runtime/types/string_ops.h"

#include "runtime/types/text_helpers.h"
#include "runtime/types/types.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "runtime/base/errors.h"
#include "runtime/platform/codepage.h"
#include "runtime/types/blowfish.h"
#include "runtime/types/bytes.h"
#include "runtime/types/numtext.h"

namespace mxt {

TextOperand::TextOperand(const char* text) : text_(text ? text : ""), size_(text ? std::strlen(text) : 0) {}
TextOperand::TextOperand(int value) : text_(number_), size_(format_itoa(value, number_, 10)) {}
TextOperand::TextOperand(int64_t value) : text_(number_), size_(format_i64toa(value, number_, 10)) {}
TextOperand::TextOperand(double value) : text_(number_), size_(format_number(value, number_)) {}

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

template <class N>
int compare_numbers(N a, N b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

std::strong_ordering as_ordering(int c) { return c <=> 0; }

// The bytes of a set, for membership tests.
class ByteSet {
 public:
  ByteSet(const char* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) member_[static_cast<unsigned char>(bytes[i])] = true;
  }
  explicit ByteSet(const RtString& s) : ByteSet(s.data, s.length) {}
  bool has(char c) const { return member_[static_cast<unsigned char>(c)]; }

 private:
  bool member_[256] = {};
};

}  // namespace

int compare(const char* a, const char* b) { return sign(std::strcmp(a ? a : "", b ? b : "")); }
int compare(const char* a, int b) { return compare_numbers(parse_atoi(a), b); }
int compare(const char* a, int64_t b) { return compare_numbers(parse_int64(a), b); }
int compare(const char* a, double b) { return compare_numbers(parse_atof(a), b); }

}  // namespace mxt

using namespace mxt;

// ---------------------------------------------------------------------------
// [SECTION] Operators

RtString mxt_join_text(const TextOperand& a, const TextOperand& b) {
  RtString r;
  r.reserve(static_cast<uint32_t>(std::min<size_t>(a.size() + b.size(), UINT32_MAX - 32)), false);
  r.append_bytes(a.data(), a.size());
  r.append_bytes(b.data(), b.size());
  return r;
}

namespace {
RtString& append_operand(RtString& a, const TextOperand& b) {
  a.append_bytes(b.data(), b.size());
  return a;
}
}  // namespace

RtString& operator+=(RtString& a, const RtString& b) {
  a.append(b);
  return a;
}
RtString& operator+=(RtString& a, const char* b) {
  a.append(b);
  return a;
}
RtString& operator+=(RtString& a, int b) { return append_operand(a, b); }
RtString& operator+=(RtString& a, int64_t b) { return append_operand(a, b); }
RtString& operator+=(RtString& a, double b) { return append_operand(a, b); }
RtString operator+(const RtString& a, int b) { return mxt_join_text(a, b); }
RtString operator+(const RtString& a, int64_t b) { return mxt_join_text(a, b); }
RtString operator+(const RtString& a, double b) { return mxt_join_text(a, b); }
RtString operator+(int a, const RtString& b) { return mxt_join_text(a, b); }
RtString operator+(int64_t a, const RtString& b) { return mxt_join_text(a, b); }
RtString operator+(double a, const RtString& b) { return mxt_join_text(a, b); }

std::strong_ordering operator<=>(const RtString& a, const RtString& b) { return as_ordering(compare(a.data, b.data)); }
std::strong_ordering operator<=>(const RtString& a, const char* b) { return as_ordering(compare(a.data, b)); }
bool operator==(const RtString& a, int b) { return compare(a, b) == 0; }
std::strong_ordering operator<=>(const RtString& a, int b) { return as_ordering(compare(a, b)); }
bool operator==(const RtString& a, int64_t b) { return compare(a, b) == 0; }
std::strong_ordering operator<=>(const RtString& a, int64_t b) { return as_ordering(compare(a, b)); }
bool operator==(const RtString& a, double b) { return a.to_double() == b; }
std::partial_ordering operator<=>(const RtString& a, double b) { return a.to_double() <=> b; }

// ---------------------------------------------------------------------------
// [SECTION] Substrings, lengths and character codes

RtString mxt_mid_text(const RtString& text, int start, int count) {
  const int64_t length = text.length;
  int64_t n = count < 0 ? length : count;
  if (static_cast<int64_t>(start) + n > length) n = length - start;
  if (n < 1 || start >= length || start < 0) return RtString();
  return RtString(text.data + start, static_cast<size_t>(n));
}

int mxt_text_length(const RtString& text) {
  const void* zero = std::memchr(text.data, 0, text.length);
  const size_t n = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text.data) : text.length;
  return static_cast<int>(std::min<size_t>(n, INT32_MAX));
}

int mxt_number_length(double value) {
  char buf[40];
  return static_cast<int>(format_number(value, buf));
}

int mxt_int_length(int value) {
  char buf[40];
  return static_cast<int>(format_itoa(value, buf, 10));
}

int mxt_char_code(const RtString& text) { return text.first_char_code(); }

RtString mxt_char_text(int code) {
  const char byte = static_cast<char>(code & 0xFF);
  return RtString(&byte, 1);
}

RtString mxt_upper_text(const RtString& text) {
  RtString r(text);
  to_upper(r);
  return r;
}

RtString mxt_lower_text(const RtString& text) {
  RtString r(text);
  to_lower(r);
  return r;
}

namespace mxt {

void to_upper(RtString& s) {
  for (uint32_t i = 0; i < s.length; ++i) s.data[i] = static_cast<char>(cp1252_upper(static_cast<uint8_t>(s.data[i])));
}

void to_lower(RtString& s) {
  for (uint32_t i = 0; i < s.length; ++i) s.data[i] = static_cast<char>(cp1252_lower(static_cast<uint8_t>(s.data[i])));
}

// ---------------------------------------------------------------------------
// [SECTION] Searching and replacing

ByteSearch::ByteSearch(const char* pattern, size_t length)
    : pattern_(reinterpret_cast<const unsigned char*>(pattern)), length_(length) {
  if (length < kShiftTableMin) return;
  std::memset(shift_, static_cast<int>(std::min<size_t>(length, 255)), sizeof shift_);
  for (size_t i = length > 256 ? length - 256 : 0; i + 1 < length; ++i)
    shift_[pattern_[i]] = static_cast<uint8_t>(length - 1 - i);
}

int64_t ByteSearch::find(const char* text, size_t length, size_t from) const {
  const size_t m = length_;
  if (m == 0 || from > length || length - from < m) return -1;
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  const size_t last_start = length - m;
  if (m < kShiftTableMin) {
    for (size_t i = from; i <= last_start;) {
      const void* hit = std::memchr(t + i, pattern_[0], last_start + 1 - i);
      if (!hit) return -1;
      i = static_cast<size_t>(static_cast<const unsigned char*>(hit) - t);
      if (std::memcmp(t + i + 1, pattern_ + 1, m - 1) == 0) return static_cast<int64_t>(i);
      ++i;
    }
    return -1;
  }
  const size_t last = m - 1;
  const unsigned char last_byte = pattern_[last];
  for (size_t i = from; i <= last_start;) {
    const unsigned char c = t[i + last];
    if (c == last_byte && std::memcmp(t + i, pattern_, last) == 0) return static_cast<int64_t>(i);
    i += shift_[c];
  }
  return -1;
}

int64_t search_bytes(const char* text, size_t text_length, const char* pattern, size_t pattern_length) {
  return ByteSearch(pattern, pattern_length).find(text, text_length);
}

}  // namespace mxt

int mxt_find_text(const RtString& text, const RtString& pattern, int start) {
  if (start < 0) start = 0;
  if (static_cast<uint32_t>(start) >= text.length) return -1;
  return static_cast<int>(ByteSearch(pattern.data, pattern.length).find(text.data, text.length, static_cast<size_t>(start)));
}

int mxt_find_text_back(const RtString& text, const RtString& pattern, int start) {
  int64_t last_start = start;
  if (last_start < 0) {
    last_start = static_cast<int64_t>(text.length) - pattern.length;
    if (last_start < 0) return -1;
  }
  const ByteSearch search(pattern.data, pattern.length);
  int64_t found = -1;
  for (int64_t at = search.find(text.data, text.length); at >= 0 && at <= last_start;
       at = search.find(text.data, text.length, static_cast<size_t>(at) + 1))
    found = at;
  return static_cast<int>(found);
}

// Replacing left to right and searching on after each inserted replacement
// is one pass over the original text: only its bytes are ever searched.
RtString mxt_replace_text(const RtString& text, const RtString& pattern, const RtString& replacement) {
  const ByteSearch search(pattern.data, pattern.length);
  const size_t m = pattern.length;
  int64_t at = search.find(text.data, text.length);
  if (at < 0) return text;
  if (replacement.length == m) {  // in place
    RtString r(text);
    for (; at >= 0; at = search.find(text.data, text.length, static_cast<size_t>(at) + m))
      std::memcpy(r.data + at, replacement.data, m);
    return r;
  }
  std::vector<uint32_t> hits;
  for (; at >= 0; at = search.find(text.data, text.length, static_cast<size_t>(at) + m))
    hits.push_back(static_cast<uint32_t>(at));
  const int64_t growth = static_cast<int64_t>(replacement.length) - static_cast<int64_t>(m);
  const int64_t size = static_cast<int64_t>(text.length) + static_cast<int64_t>(hits.size()) * growth;
  if (size > UINT32_MAX - 32) fatal_out_of_memory();  // as any string too long to hold
  RtString r;
  if (size == 0) return r;
  char* out = r.writable_buffer(static_cast<uint32_t>(size));
  size_t done = 0;
  for (const uint32_t hit : hits) {
    std::memcpy(out, text.data + done, hit - done);
    out += hit - done;
    std::memcpy(out, replacement.data, replacement.length);
    out += replacement.length;
    done = hit + m;
  }
  std::memcpy(out, text.data + done, text.length - done);
  r.data[size] = 0;
  r.length = static_cast<uint32_t>(size);
  return r;
}

// ---------------------------------------------------------------------------
// [SECTION] Trimming and splitting

RtString mxt_trim_left_text(const RtString& text, const RtString& set) {
  const ByteSet members(set);
  uint32_t i = 0;
  while (i < text.length && members.has(text.data[i])) ++i;
  return RtString(text.data + i, text.length - i);
}

RtString mxt_trim_right_text(const RtString& text, const RtString& set) {
  const ByteSet members(set);
  uint32_t n = text.length;
  while (n > 0 && members.has(text.data[n - 1])) --n;
  return RtString(text.data, n);
}

int mxt_split_text(const RtString& text, RtArray<RtString>& parts, const RtString& delimiters, int skip_empty) {
  const RtString work(text);  // the text may be one of the parts
  if (!parts.redim(0, 0, 0, 0)) return 0;
  const ByteSet members(delimiters);
  const uint32_t n = work.length;
  uint32_t i = 0;
  while (i < n) {
    if (skip_empty) {
      while (i < n && members.has(work.data[i])) ++i;
      if (i == n) break;
    }
    uint32_t end = i;
    while (end < n && !members.has(work.data[end])) ++end;
    if (end > i || !skip_empty) mxt_array_push(parts, RtString(work.data + i, end - i));
    i = end + 1;  // past the delimiter; a delimiter at the very end adds no empty part
  }
  return parts.size0;
}

namespace mxt {

const char* find_first_of(const char* text, const char* set) {
  if (!text || !set) return nullptr;
  const ByteSet members(set, std::strlen(set));
  for (; *text; ++text)
    if (members.has(*text)) return text;
  return nullptr;
}

const char* find_first_not_of(const char* text, const char* set) {
  if (!text) return nullptr;
  const ByteSet members(set ? set : "", set ? std::strlen(set) : 0);
  for (; *text; ++text)
    if (!members.has(*text)) return text;
  return nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Hexadecimal, URL and UTF-8 text

RtString bytes_to_hex(const void* bytes, size_t count, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  const unsigned char* b = static_cast<const unsigned char*>(bytes);
  RtString r;
  if (count == 0) return r;
  char* out = r.writable_buffer(static_cast<uint32_t>(std::min<uint64_t>(uint64_t{count} * 2, UINT32_MAX - 32)));
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = digits[b[i] >> 4];
    out[2 * i + 1] = digits[b[i] & 15];
  }
  out[2 * count] = 0;
  r.length = static_cast<uint32_t>(2 * count);
  return r;
}

void decode_utf8(RtString& s) {
  uint32_t out = 0;
  std::string_view rest = s.view();
  while (!rest.empty()) {
    const Utf8Char c = next_utf8_char(rest);
    if (c.code_point >= 0) {
      const int byte = unicode_to_cp1252(static_cast<uint32_t>(c.code_point));
      s.data[out++] = byte < 0 ? '?' : static_cast<char>(byte);
    }
    rest.remove_prefix(c.length);
  }
  s.truncate(static_cast<int>(out));
}

std::wstring to_wide_text(const RtString& s) {
  std::wstring w(s.length, L'\0');
  for (uint32_t i = 0; i < s.length; ++i) w[i] = static_cast<wchar_t>(cp1252_to_unicode(static_cast<uint8_t>(s.data[i])));
  return w;
}

}  // namespace mxt

namespace {

bool is_alnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

RtString mxt_hex_text(int value) {
  char buf[40];
  return RtString(buf, format_itoa(value, buf, 16));
}

RtString mxt_url_encode(const RtString& text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const std::string utf8 = cp1252_to_utf8(text.view());
  RtString r;
  r.reserve(static_cast<uint32_t>(std::min<uint64_t>(uint64_t{utf8.size()} * 3, UINT32_MAX - 32)), false);
  for (const char ch : utf8) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (is_alnum(c)) {
      r.append_char(ch);
    } else {
      r.append_char('%');
      r.append_char(kDigits[c >> 4]);
      r.append_char(kDigits[c & 15]);
    }
  }
  return r;
}

RtString mxt_url_decode(const RtString& text) {
  RtString r;
  r.reserve(text.length, false);
  const char* t = text.data;
  const uint32_t n = text.length;
  for (uint32_t i = 0; i < n;) {
    const char c = t[i];
    if (c == '+') {
      r.append_char(' ');
      ++i;
    } else if (c != '%') {
      r.append_char(c);
      ++i;
    } else {
      const int high = i + 1 < n ? hex_digit_value(t[i + 1]) : -1;
      const int low = i + 2 < n && high >= 0 ? hex_digit_value(t[i + 2]) : -1;
      if (high >= 0 && low >= 0) {
        r.append_char(static_cast<char>(high * 16 + low));
        i += 3;
      } else {
        i += 2;  // "%" and the byte after it are dropped; a second byte after a digit is read again
      }
    }
  }
  decode_utf8(r);
  return r;
}

// ---------------------------------------------------------------------------
// [SECTION] Encryption

namespace {

uint32_t load_le(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void store_le(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Runs the cipher over whole 8-byte blocks, each as two little-endian words.
template <class Step>
void run_blocks(std::vector<uint8_t>& bytes, Step step) {
  for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    uint32_t left = load_le(&bytes[i]), right = load_le(&bytes[i + 4]);
    step(left, right);
    store_le(&bytes[i], left);
    store_le(&bytes[i + 4], right);
  }
}

}  // namespace

RtString mxt_encrypt_text(const RtString& key, const RtString& text) {
  if (key.length == 0 || text.length == 0) return RtString();
  const Blowfish cipher(reinterpret_cast<const uint8_t*>(key.data), key.length);
  std::vector<uint8_t> bytes((uint64_t{text.length} + 7) & ~uint64_t{7}, 0);
  std::memcpy(bytes.data(), text.data, text.length);
  run_blocks(bytes, [&](uint32_t& l, uint32_t& r) { cipher.encrypt(l, r); });
  return bytes_to_hex(bytes.data(), bytes.size(), false);
}

RtString mxt_decrypt_text(const RtString& key, const RtString& hex) {
  if (key.length == 0) return RtString();
  const Blowfish cipher(reinterpret_cast<const uint8_t*>(key.data), key.length);
  // Pairs of digits, case ignored; an odd last digit is ignored, and a final
  // block cut short is completed with zero bytes.
  const size_t count = hex.length / 2;
  if (count == 0) return RtString();  // no whole byte: nothing to decrypt (and no buffer to search)
  std::vector<uint8_t> bytes((count + 7) & ~size_t{7}, 0);
  auto digit = [](char c) {
    const int lower = c >= 'A' && c <= 'Z' ? c + 32 : c;
    return lower < ':' ? lower - '0' : lower - 'a' + 10;  // anything else gives some byte, never a fault
  };
  for (size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<uint8_t>(digit(hex.data[2 * i]) * 16 + digit(hex.data[2 * i + 1]));
  run_blocks(bytes, [&](uint32_t& l, uint32_t& r) { cipher.decrypt(l, r); });
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  const size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes.data()) : bytes.size();
  return RtString(reinterpret_cast<const char*>(bytes.data()), n);
}

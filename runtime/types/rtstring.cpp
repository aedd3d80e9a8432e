#include "runtime/types/rtstring.h"

#include <bit>
#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

#include "runtime/base/errors.h"
#include "runtime/platform/codepage.h"
#include "runtime/types/numtext.h"

namespace mxt {
char g_empty_text[1] = {0};
}

namespace {

constexpr uint64_t kMaxCapacity = 0xFFFFFFF0u;  // capacity and length are 32-bit

// The bytes really allocated for a buffer of the given capacity. Capacities
// map onto blocks by intervals, so a string whose capacity grows inside one
// interval still fits the block it has: that is what lets appending reuse it.
char* allocate(uint32_t capacity) { return static_cast<char*>(::operator new(RtString::block_bytes(capacity))); }

void free_buffer(char* p) noexcept {
  if (p && p != mxt::g_empty_text) ::operator delete(p);
}

uint32_t checked_length(size_t n) {
  if (n > kMaxCapacity - 32) mxt::fatal_out_of_memory();
  return static_cast<uint32_t>(n);
}

}  // namespace

// ---------------------------------------------------------------------------
// construction

RtString::RtString(const char* text) : RtString() {
  if (text && *text) assign_bytes(text, std::strlen(text));
}

RtString::RtString(const char* bytes, size_t count) : RtString() {
  if (bytes && count) assign_bytes(bytes, count);
}

RtString::RtString(const RtString& other) : RtString() {
  if (other.length) assign_bytes(other.data, other.length);
}

RtString::RtString(RtString&& other) noexcept
    : data(other.data), capacity(other.capacity), length(other.length) {
  other.data = mxt::g_empty_text;
  other.capacity = 0;
  other.length = 0;
}

RtString& RtString::operator=(RtString&& other) noexcept {
  if (this != &other) {
    release();
    swap(other);
  }
  return *this;
}

RtString::RtString(int value) : RtString() {
  reserve(15, false);
  mxt::format_itoa(value, data, 10);
  sync_length();
}

RtString::RtString(int64_t value) : RtString() {
  reserve(63, false);
  mxt::format_i64toa(value, data, 10);
  sync_length();
}

RtString::RtString(double value) : RtString() {
  reserve(63, false);
  mxt::format_number(value, data);
  sync_length();
}

RtString::RtString(float value) : RtString(static_cast<double>(value)) {}

RtString::RtString(const wchar_t* text) : RtString() {
  if (!text) return;
  const size_t n = std::wcslen(text);
  if (n == 0) return;
  reserve(checked_length(n + 1), false);
  uint32_t out = 0;
  for (size_t i = 0; i < n; ++i) {
    const int b = mxt::unicode_to_cp1252(static_cast<uint32_t>(text[i]));
    data[out++] = b < 0 ? '?' : static_cast<char>(b);
  }
  data[out] = 0;
  length = out;
}

// ---------------------------------------------------------------------------
// storage

void RtString::grow(uint32_t n, bool keep) {
  const uint64_t need = static_cast<uint64_t>(n) + 1;
  if (n == 0 || capacity >= need) return;
  const uint64_t grown = (need & ~uint64_t{15}) + 16;
  if (grown > kMaxCapacity) mxt::fatal_out_of_memory();
  const uint32_t new_capacity = static_cast<uint32_t>(grown);

  if (capacity != 0 && block_bytes(capacity) == block_bytes(new_capacity)) {
    // The block underneath already has the room.
    capacity = new_capacity;
    if (!keep) data[0] = 0;
    return;
  }
  char* fresh = allocate(new_capacity);
  if (keep && length != 0) {
    std::memcpy(fresh, data, length);
    fresh[length] = 0;
  } else {
    std::memset(fresh, 0, 4);
  }
  free_buffer(data);
  data = fresh;
  capacity = new_capacity;
}

char* RtString::writable_buffer(uint32_t n) {
  reserve(n, true);
  return data;
}

void RtString::sync_length() {
  if (capacity == 0) {
    length = 0;
    return;
  }
  const void* zero = std::memchr(data, 0, capacity);
  if (zero) {
    length = static_cast<uint32_t>(static_cast<const char*>(zero) - data);
  } else {
    length = capacity - 1;
    data[capacity - 1] = 0;
  }
}

void RtString::release() noexcept {
  free_buffer(data);
  data = mxt::g_empty_text;
  capacity = 0;
  length = 0;
}

void RtString::swap(RtString& other) noexcept {
  std::swap(data, other.data);
  std::swap(capacity, other.capacity);
  std::swap(length, other.length);
}

// ---------------------------------------------------------------------------
// assignment and appending

void RtString::assign(const RtString& other) {
  if (data == other.data) return;
  if (other.length == 0) {
    length = 0;
    if (owns_buffer()) data[0] = 0;
    return;
  }
  reserve(other.length, false);
  std::memcpy(data, other.data, static_cast<size_t>(other.length) + 1);
  length = other.length;
}

void RtString::assign(const char* text) {
  RtString temp(text);
  swap(temp);
}

void RtString::assign_exact(const char* text) {
  release();
  if (!text || !*text) return;
  const uint32_t n = checked_length(std::strlen(text));
  char* fresh = allocate(n + 1);
  std::memcpy(fresh, text, static_cast<size_t>(n) + 1);
  data = fresh;
  capacity = n + 1;
  length = n;
}

void RtString::assign_bytes(const void* bytes, size_t count) {
  if (count == 0) {
    length = 0;
    if (owns_buffer()) data[0] = 0;
    return;
  }
  const uint32_t n = checked_length(count);
  const char* src = static_cast<const char*>(bytes);
  if (owns_buffer() && src >= data && src < data + capacity) {
    RtString temp(src, count);  // the source lives in our own buffer
    swap(temp);
    return;
  }
  reserve(n, false);
  std::memcpy(data, src, n);
  data[n] = 0;
  length = n;
}

void RtString::append(const RtString& other) {
  if (other.length == 0) return;
  if (&other == this) {
    const uint32_t n = length;
    reserve(checked_length(static_cast<size_t>(n) * 2), true);
    std::memcpy(data + n, data, n);
    length = n * 2;
    data[length] = 0;
    return;
  }
  append_bytes(other.data, other.length);
}

void RtString::append(const char* text) {
  if (text && *text) append_bytes(text, std::strlen(text));
}

void RtString::append_bytes(const void* bytes, size_t count) {
  if (count == 0) return;
  const char* src = static_cast<const char*>(bytes);
  const uint32_t total = checked_length(static_cast<size_t>(length) + count);
  // A source inside our own buffer must survive the reallocation.
  if (owns_buffer() && src >= data && src < data + capacity) {
    const size_t offset = static_cast<size_t>(src - data);
    reserve(total, true);
    src = data + offset;
    std::memmove(data + length, src, count);
  } else {
    reserve(total, true);
    std::memcpy(data + length, src, count);
  }
  length = total;
  data[length] = 0;
}


void RtString::truncate(int n) {
  if (n >= 0 && static_cast<uint32_t>(n) < length) {
    data[n] = 0;
    length = static_cast<uint32_t>(n);
  }
}

// ---------------------------------------------------------------------------
// reading

bool RtString::equals(const RtString& other) const noexcept {
  return length == other.length && std::memcmp(data, other.data, length) == 0;
}

bool RtString::equals(const char* text) const noexcept {
  if (!text) return length == 0;
  const size_t n = std::strlen(text);
  return n == length && std::memcmp(data, text, n) == 0;
}

int RtString::char_at(int position) const noexcept {
  if (position < 0 || static_cast<uint32_t>(position) >= length) return 0;
  return static_cast<unsigned char>(data[position]);
}

int RtString::to_int() const { return mxt::parse_atoi(data); }
double RtString::to_double() const { return mxt::parse_atof(data); }
int64_t RtString::to_int64() const { return mxt::parse_int64(data); }

// ---------------------------------------------------------------------------
// concatenation

namespace {
RtString concat(const char* a, size_t na, const char* b, size_t nb) {
  RtString r;
  const uint32_t total = checked_length(na + nb);
  if (total) r.reserve(total, false);
  r.append_bytes(a, na);
  r.append_bytes(b, nb);
  return r;
}
}  // namespace

RtString operator+(const RtString& a, const RtString& b) { return concat(a.data, a.length, b.data, b.length); }

RtString operator+(const RtString& a, const char* b) {
  return concat(a.data, a.length, b, b ? std::strlen(b) : 0);
}

RtString operator+(const char* a, const RtString& b) {
  return concat(a, a ? std::strlen(a) : 0, b.data, b.length);
}

RtString operator+(RtString&& a, const RtString& b) {
  RtString r(std::move(a));
  r.append(b);
  return r;
}

RtString operator+(RtString&& a, const char* b) {
  RtString r(std::move(a));
  r.append(b);
  return r;
}

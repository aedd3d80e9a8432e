// RtString: the runtime's one string type, a byte string in code page 1252.
//
// Three fields: `data` (always a zero-terminated buffer), `capacity` (bytes
// the buffer offers, 0 for the shared empty text) and `length`. Every empty
// string without a buffer points at one shared static zero byte, so empty
// strings cost no allocation. Each string owns its buffer alone: copies copy.
//
// Capacity grows in steps of 16 bytes: reserving n bytes gives
// ((n + 1) & ~15) + 16. Above 4 KiB the buffer underneath is allocated in
// power-of-two blocks, and growth inside such a block reuses it, so that
// building a long string by appending stays amortised constant time while
// every capacity the string reports keeps the 16-byte rule.
//
// Numbers turn into text the way the Windows C runtime writes them (see
// numtext.h): 3.0 gives "3", 1.0/3.0 gives "0.3333333333", 1e21 "1.e+021".
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mxt {
extern char g_empty_text[1];  // the shared empty text: never written, never freed
}

class RtString {
 public:
  char* data;
  uint32_t capacity;
  uint32_t length;

  // --- construction -------------------------------------------------------
  RtString() noexcept : data(mxt::g_empty_text), capacity(0), length(0) {}
  RtString(const char* text);                          // NOLINT: texts convert implicitly
  RtString(const char* bytes, size_t count);           // exactly these bytes, zeros included
  explicit RtString(std::string_view bytes) : RtString(bytes.data(), bytes.size()) {}
  RtString(const RtString& other);
  RtString(RtString&& other) noexcept;
  explicit RtString(int value);
  explicit RtString(int64_t value);
  explicit RtString(double value);
  explicit RtString(float value);
  explicit RtString(const wchar_t* text);              // to code page 1252, '?' where it has no byte
  ~RtString() { release(); }

  RtString& operator=(const RtString& other) {
    assign(other);
    return *this;
  }
  RtString& operator=(RtString&& other) noexcept;
  RtString& operator=(const char* text) {
    assign(text);
    return *this;
  }

  // --- storage --------------------------------------------------------------
  void reserve(uint32_t n, bool keep = true) {         // room for n bytes plus the terminator
    if (n != 0 && capacity <= n) grow(n, keep);
  }
  char* writable_buffer(uint32_t n);                    // reserve(n, true); caller then calls sync_length
  void sync_length();                                   // length = bytes before the first zero
  void release() noexcept;                              // free the buffer, back to the shared empty text

  // --- assignment and appending --------------------------------------------
  void assign(const RtString& other);
  void assign(const char* text);                        // safe when text lies inside this string
  void assign_exact(const char* text);                  // buffer of exactly length + 1 bytes
  void assign_bytes(const void* bytes, size_t count);
  void append(const RtString& other);                   // appending a string to itself doubles it
  void append(const char* text);
  void append_bytes(const void* bytes, size_t count);
  void append_char(char c) {
    if (length + 1 >= capacity) {
      // Full: the next 16-byte step, in place while the block underneath has it.
      if (capacity > kExactBlockLimit && capacity + 16 <= block_bytes(capacity))
        capacity += 16;
      else
        grow(length + 1, true);
    }
    char* d = data;  // locals: a store through char* may alias the fields
    const uint32_t n = length;
    d[n] = c;
    d[n + 1] = 0;
    length = n + 1;
  }
  void truncate(int n);                                 // 0 <= n < length: cut; else nothing

  // --- reading ----------------------------------------------------------------
  bool equals(const RtString& other) const noexcept;
  bool equals(const char* text) const noexcept;
  int char_at(int position) const noexcept;             // 0..255; 0 outside the text
  int first_char_code() const noexcept { return static_cast<unsigned char>(data[0]); }
  int to_int() const;                                   // atoi
  double to_double() const;                            // atof
  int64_t to_int64() const;

  const char* c_str() const noexcept { return data; }
  uint32_t size() const noexcept { return length; }
  bool empty() const noexcept { return length == 0; }
  std::string_view view() const noexcept { return std::string_view(data, length); }
  std::string str() const { return std::string(data, length); }
  bool owns_buffer() const noexcept { return data != mxt::g_empty_text; }

  void swap(RtString& other) noexcept;

 private:
  void grow(uint32_t n, bool keep);

 public:
  // Buffers up to this capacity are allocated exactly; larger ones in
  // power-of-two blocks that later growth reuses.
  static constexpr uint32_t kExactBlockLimit = 4096;
  static size_t block_bytes(uint32_t capacity) noexcept {
    // In 64 bits: above 2 GiB the next power of two no longer fits 32.
    return capacity <= kExactBlockLimit ? capacity : std::bit_ceil(static_cast<uint64_t>(capacity));
  }
};

// Concatenation and equality; the rest of the operator family lives in
// string_ops.h.
RtString operator+(const RtString& a, const RtString& b);
RtString operator+(const RtString& a, const char* b);
RtString operator+(const char* a, const RtString& b);
RtString operator+(RtString&& a, const RtString& b);
RtString operator+(RtString&& a, const char* b);
inline bool operator==(const RtString& a, const RtString& b) noexcept { return a.equals(b); }
inline bool operator==(const RtString& a, const char* b) noexcept { return a.equals(b); }

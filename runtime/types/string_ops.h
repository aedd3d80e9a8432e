// The string operators: strings, integers and numbers meet in `+` and in
// comparisons as the game language lets them. A number joins a string as its
// text (rtstring.h's rules, "3" for 3.0), and a string compared with a number
// is read as a number first. Two strings compare byte-wise; equality also
// counts length. The string commands are in types.h.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>

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

std::strong_ordering operator<=>(const RtString& a, const RtString& b);  // byte-wise (strcmp): "10" < "9"
std::strong_ordering operator<=>(const RtString& a, const char* b);
bool operator==(const RtString& a, int b);                       // atoi(a) == b: "10" == 10
std::strong_ordering operator<=>(const RtString& a, int b);
bool operator==(const RtString& a, int64_t b);                   // decimal 64-bit parse
std::strong_ordering operator<=>(const RtString& a, int64_t b);
bool operator==(const RtString& a, double b);                    // atof; floats widen
std::partial_ordering operator<=>(const RtString& a, double b);


#include <gtest/gtest.h>

#include <string>

#include <moxtril.h>
#include "runtime/types/numtext.h"

using namespace mxt;

namespace {
std::string gcvt(double v, int digits) {
  char buf[64];
  format_gcvt(v, digits, buf);
  return buf;
}
std::string itoa(int32_t v, int radix) {
  char buf[40];
  format_itoa(v, buf, radix);
  return buf;
}
}  // namespace

TEST(NumText, GcvtMatchesTheDocumentedTwelveDigitSeries) {
  // The library's own documentation walks -1234567890.123 through powers of ten.
  EXPECT_EQ(gcvt(-1234567890.123, 12), "-1234567890.12");
  EXPECT_EQ(gcvt(-12345678901.23, 12), "-12345678901.2");
  EXPECT_EQ(gcvt(-123456789012.3, 12), "-123456789012.");
  EXPECT_EQ(gcvt(-1234567890123.0, 12), "-1.23456789012e+012");
  EXPECT_EQ(gcvt(-12.34567890123, 12), "-12.3456789012");
  EXPECT_EQ(gcvt(-1.234567890123, 12), "-1.23456789012");
  EXPECT_EQ(gcvt(-0.1234567890123, 12), "-0.123456789012");
  EXPECT_EQ(gcvt(-0.01234567890123, 12), "-1.23456789012e-002");
}

TEST(NumText, GcvtKeepsThePointAndDropsFractionZeros) {
  EXPECT_EQ(gcvt(3.0, 10), "3.");
  EXPECT_EQ(gcvt(0.0, 10), "0.");
  EXPECT_EQ(gcvt(0.5, 10), "0.5");
  EXPECT_EQ(gcvt(1e21, 10), "1.e+021");
  EXPECT_EQ(gcvt(2.5e-100, 10), "2.5e-100");
  EXPECT_EQ(gcvt(1.7976931348623157e308, 10), "1.797693135e+308");
  EXPECT_EQ(gcvt(4.9406564584124654e-324, 10), "4.940656458e-324");
  EXPECT_EQ(gcvt(9.9999999999e9, 10), "10000000000.");  // rounds after the form was chosen
  EXPECT_EQ(gcvt(123.456, 1), "1.e+002");
  EXPECT_EQ(gcvt(0.123456, 3), "0.123");
}

TEST(NumText, NumberTextDropsTheTrailingPoint) {
  char buf[64];
  format_number(3.0, buf);
  EXPECT_STREQ(buf, "3");
  format_number(-0.75, buf);
  EXPECT_STREQ(buf, "-0.75");
  format_number(1e21, buf);
  EXPECT_STREQ(buf, "1.e+021");
}

TEST(NumText, ItoaRadixRules) {
  EXPECT_EQ(itoa(26, 16), "1a");
  EXPECT_EQ(itoa(-1, 16), "ffffffff");  // other radixes write the bit pattern
  EXPECT_EQ(itoa(-1, 10), "-1");
  EXPECT_EQ(itoa(5, 2), "101");
  EXPECT_EQ(itoa(35, 36), "z");
  EXPECT_EQ(itoa(7, 1), "");
  char buf[80];
  format_i64toa(INT64_MIN, buf, 10);
  EXPECT_STREQ(buf, "-9223372036854775808");
  format_i64toa(-1, buf, 16);
  EXPECT_STREQ(buf, "ffffffffffffffff");
}

TEST(NumText, ParsersIgnoreTheLocaleAndNullText) {
  EXPECT_EQ(parse_atoi(nullptr), 0);
  EXPECT_EQ(parse_atof(nullptr), 0.0);
  EXPECT_EQ(parse_int64(nullptr), 0);
  EXPECT_EQ(parse_atoi("  \v-0012x"), -12);
  EXPECT_DOUBLE_EQ(parse_atof("1,5"), 1.0);  // a comma is never a decimal point
  EXPECT_DOUBLE_EQ(parse_atof("+1.5E+2"), 150.0);
  EXPECT_DOUBLE_EQ(parse_atof("1.5e+"), 1.5);
}

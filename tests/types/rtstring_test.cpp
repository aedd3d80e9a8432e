#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>

#include <moxtril.h>
#include "runtime/types/rtstring.h"

namespace {

bool uses_shared_empty(const RtString& s) { return s.data == mxt::g_empty_text && s.capacity == 0; }

}  // namespace

TEST(RtString, EmptyStringsShareOneZeroByteAndAllocateNothing) {
  RtString a;
  RtString b("");
  RtString c(a);
  RtString d(static_cast<const char*>(nullptr));
  for (const RtString* s : {&a, &b, &c, &d}) {
    EXPECT_TRUE(uses_shared_empty(*s));
    EXPECT_EQ(s->length, 0u);
    EXPECT_EQ(s->data[0], 0);
    EXPECT_EQ(s->first_char_code(), 0);
  }
  a.release();
  a.release();  // releasing twice is harmless
  EXPECT_TRUE(uses_shared_empty(a));
  EXPECT_EQ(mxt::g_empty_text[0], 0);
}

TEST(RtString, ReserveFollowsTheSixteenByteRule) {
  struct Case { uint32_t n, capacity; } cases[] = {{14, 16}, {15, 32}, {63, 80}, {1, 16}, {16, 32}, {31, 48}};
  for (const Case& c : cases) {
    RtString s;
    s.reserve(c.n);
    EXPECT_EQ(s.capacity, c.capacity) << "reserve(" << c.n << ")";
    EXPECT_EQ(s.data[0], 0);
  }
  RtString s;
  s.reserve(0);
  EXPECT_TRUE(uses_shared_empty(s));
  s.reserve(40);
  const uint32_t cap = s.capacity;
  s.reserve(10);  // never shrinks
  EXPECT_EQ(s.capacity, cap);
}

TEST(RtString, AppendingCharactersGrowsInSixteenByteStepsAndKeepsContent) {
  RtString s;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    s.append_char(c);
    expected += c;
    if (i == 0) {
      EXPECT_EQ(s.capacity, 16u);
    } else if (i == 14) {
      EXPECT_EQ(s.capacity, 16u);  // length 15 still fits 16
    } else if (i == 15) {
      EXPECT_EQ(s.capacity, 32u);  // the sixteenth append grows it
    }
    ASSERT_EQ(s.view(), expected);
    ASSERT_EQ(s.data[s.length], 0);
    ASSERT_LT(s.length, s.capacity);
  }
}

TEST(RtString, LongStringsKeepTheCapacityRuleAndContent) {
  // Past 4 KiB the buffer underneath is reused in place; the reported
  // capacity still follows the rule and the bytes stay intact.
  RtString s;
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    const char c = static_cast<char>('A' + i % 23);
    s.append_char(c);
    expected += c;
    ASSERT_EQ(s.capacity % 16, 0u);
    ASSERT_LT(s.length, s.capacity);
    ASSERT_LE(s.capacity, s.length + 17) << "capacity grew by more than one 16-byte step";
  }
  EXPECT_EQ(s.view(), expected);
  RtString copy(s);
  EXPECT_EQ(copy.view(), expected);
  copy.append(s);
  EXPECT_EQ(copy.view(), expected + expected);
}

TEST(RtString, BlocksUnderneathHoldTheirCapacityAllTheWayToTheLargest) {
  // Buffers up to 4 KiB are exact; above, the next power of two, computed
  // wide enough that a capacity past 2 GiB does not wrap to nothing.
  EXPECT_EQ(RtString::block_bytes(16), 16u);
  EXPECT_EQ(RtString::block_bytes(RtString::kExactBlockLimit), 4096u);
  EXPECT_EQ(RtString::block_bytes(4112), 8192u);
  EXPECT_EQ(RtString::block_bytes(0x80000000u), 0x80000000u);
  EXPECT_EQ(RtString::block_bytes(0x80000010u), uint64_t{1} << 32);
  EXPECT_EQ(RtString::block_bytes(0xFFFFFFF0u), uint64_t{1} << 32);
  for (uint32_t c : {4112u, 70000u, 0x40000010u, 0x80000010u, 0xFFFFFFF0u}) EXPECT_GE(RtString::block_bytes(c), c);
}

TEST(RtString, AssignmentKeepsBufferForEmptySourceAndIgnoresSelf) {
  RtString s("hello world");
  const uint32_t cap = s.capacity;
  char* buf = s.data;
  s = s;
  EXPECT_EQ(s.view(), "hello world");
  EXPECT_EQ(s.data, buf);
  s.assign(RtString());
  EXPECT_EQ(s.length, 0u);
  EXPECT_EQ(s.capacity, cap);
  EXPECT_EQ(s.data, buf);
  EXPECT_EQ(s.data[0], 0);
  s.assign(RtString("abc"));
  EXPECT_EQ(s.view(), "abc");
  EXPECT_EQ(s.data, buf);  // fits: no new buffer
}

TEST(RtString, AssignFromTextInsideOwnBufferAndExactAssign) {
  RtString s("0123456789");
  s.assign(s.data + 4);
  EXPECT_EQ(s.view(), "456789");
  s.assign_exact("abcdef");
  EXPECT_EQ(s.capacity, 7u);
  EXPECT_EQ(s.view(), "abcdef");
  s.append("gh");  // grows from an exact buffer
  EXPECT_EQ(s.view(), "abcdefgh");
  EXPECT_EQ(s.capacity, 16u);
  s.assign_exact("");
  EXPECT_TRUE(uses_shared_empty(s));
}

TEST(RtString, SelfAppendDoublesAndAppendFromOwnBufferIsSafe) {
  RtString s("abc");
  s.append(s);
  EXPECT_EQ(s.view(), "abcabc");
  s.append(s);
  EXPECT_EQ(s.view(), "abcabcabcabc");
  RtString t("0123456789abcde");  // capacity 16, full
  t.append(t.data + 10);          // must survive the reallocation
  EXPECT_EQ(t.view(), "0123456789abcdeabcde");
  RtString e;
  e.append(e);
  EXPECT_TRUE(uses_shared_empty(e));
}

TEST(RtString, TruncateCharAtAndZeroBytes) {
  RtString s("abcdef");
  s.truncate(6);
  s.truncate(-1);
  EXPECT_EQ(s.view(), "abcdef");
  s.truncate(3);
  EXPECT_EQ(s.view(), "abc");
  const uint32_t cap = s.capacity;
  s.truncate(0);
  EXPECT_EQ(s.length, 0u);
  EXPECT_EQ(s.capacity, cap);
  RtString t("\xE9z");
  EXPECT_EQ(t.char_at(0), 0xE9);
  EXPECT_EQ(t.char_at(-1), 0);
  EXPECT_EQ(t.char_at(2), 0);
  EXPECT_EQ(t.first_char_code(), 0xE9);
  RtString zero("\0", 1);  // the one-character string of code 0
  EXPECT_EQ(zero.length, 1u);
  RtString joined = RtString("a") + zero + "b";
  EXPECT_EQ(joined.length, 3u);
  EXPECT_EQ(joined.char_at(1), 0);
  EXPECT_EQ(joined.char_at(2), 'b');
}

TEST(RtString, SyncLengthStopsAtCapacityWithoutTerminator) {
  RtString s;
  char* buf = s.writable_buffer(10);
  ASSERT_EQ(s.capacity, 16u);
  std::memset(buf, 'x', 16);
  s.sync_length();
  EXPECT_EQ(s.length, 15u);
  EXPECT_EQ(s.data[15], 0);
  std::memcpy(buf, "hi", 3);
  s.sync_length();
  EXPECT_EQ(s.view(), "hi");
}

TEST(RtString, EqualityComparesLengthThenBytes) {
  EXPECT_TRUE(RtString("abc").equals("abc"));
  EXPECT_FALSE(RtString("abc").equals("abcd"));
  EXPECT_FALSE(RtString("abc").equals(RtString("abd")));
  EXPECT_TRUE(RtString().equals(""));
  EXPECT_TRUE(RtString().equals(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(RtString("a\0b", 3).equals(RtString("a\0c", 3)));
}

TEST(RtString, IntegersToText) {
  EXPECT_EQ(RtString(7).view(), "7");
  EXPECT_EQ(RtString(-12).view(), "-12");
  EXPECT_EQ(RtString(0).view(), "0");
  EXPECT_EQ(RtString(INT32_MIN).view(), "-2147483648");
  EXPECT_EQ(RtString(INT32_MAX).view(), "2147483647");
  EXPECT_EQ(RtString(int64_t{INT64_MIN}).view(), "-9223372036854775808");
  EXPECT_EQ(RtString(int64_t{1234567890123}).view(), "1234567890123");
  EXPECT_EQ(RtString(7).capacity, 32u);             // reserve(15)
  EXPECT_EQ(RtString(int64_t{7}).capacity, 80u);    // reserve(63)
  EXPECT_EQ(RtString(0.5).capacity, 80u);
}

TEST(RtString, DoublesToTextAsTheWindowsRuntimeWritesThem) {
  struct Case { double v; const char* text; } cases[] = {
      {0.0, "0"},          {2.0, "2"},           {3.0, "3"},         {100.0, "100"},
      {0.5, "0.5"},        {0.25, "0.25"},       {-2.5, "-2.5"},     {123456789.0, "123456789"},
      {1.0 / 3.0, "0.3333333333"},               {2.0 / 3.0, "0.6666666667"},
      {1234567890.0, "1234567890"},              {9999999999.0, "9999999999"},
      {0.1, "0.1"},        {0.05, "5.e-002"},    {0.0123, "1.23e-002"},
      {1e21, "1.e+021"},   {1.5e-7, "1.5e-007"}, {123456789012.0, "1.23456789e+011"},
      {-0.0, "-0"},        {1e10, "1.e+010"},    {-1e-300, "-1.e-300"},
      {12345.678901234, "12345.6789"},           {0.99999999999, "1"},
  };
  for (const Case& c : cases) EXPECT_EQ(RtString(c.v).view(), c.text) << c.v;
  EXPECT_EQ(RtString(0.1f).view(), "0.1000000015");
  EXPECT_EQ(RtString(1e300 * 1e300).view(), "1.#INF");
  EXPECT_EQ(RtString(-1e300 * 1e300).view(), "-1.#INF");
  EXPECT_EQ(RtString(std::nan("")).view(), "1.#QNAN");
  EXPECT_EQ(RtString(std::bit_cast<double>(uint64_t{0xFFF8000000000000})).view(), "-1.#IND");
  EXPECT_EQ(RtString(std::bit_cast<double>(uint64_t{0x7FF0000000000001})).view(), "1.#SNAN");
}

TEST(RtString, TextToNumbers) {
  EXPECT_EQ(RtString("  -42xyz").to_int64(), -42);
  EXPECT_EQ(RtString("abc").to_int64(), 0);
  EXPECT_EQ(RtString("\t\n+17").to_int64(), 17);
  EXPECT_EQ(RtString("9223372036854775808").to_int64(), INT64_MIN);  // wraps
  EXPECT_EQ(RtString(" 12abc").to_int(), 12);
  EXPECT_EQ(RtString("-7").to_int(), -7);
  EXPECT_EQ(RtString("x").to_int(), 0);
  EXPECT_EQ(RtString("4294967297").to_int(), 1);  // wraps like the library's loop
  EXPECT_DOUBLE_EQ(RtString(" 3.25e2xyz").to_double(), 325.0);
  EXPECT_DOUBLE_EQ(RtString("-.5").to_double(), -0.5);
  EXPECT_DOUBLE_EQ(RtString("1d3").to_double(), 1000.0);
  EXPECT_DOUBLE_EQ(RtString("2e").to_double(), 2.0);
  EXPECT_DOUBLE_EQ(RtString(".").to_double(), 0.0);
  EXPECT_DOUBLE_EQ(RtString("inf").to_double(), 0.0);
  EXPECT_TRUE(std::isinf(RtString("1e999").to_double()));
  EXPECT_DOUBLE_EQ(RtString("1e-999").to_double(), 0.0);
  EXPECT_DOUBLE_EQ(RtString("0.000001e300").to_double(), 1e294);
}

TEST(RtString, WideTextBecomesCodePage1252) {
  EXPECT_EQ(RtString(L"abc").view(), "abc");
  EXPECT_EQ(RtString(L"caf\u00e9 \u20ac").view(), "caf\xE9 \x80");
  EXPECT_EQ(RtString(L"\u4e2d").view(), "?");
  EXPECT_TRUE(uses_shared_empty(RtString(L"")));
}

TEST(RtString, MovesLeaveTheSourceEmpty) {
  RtString a("moved text");
  char* buf = a.data;
  RtString b(std::move(a));
  EXPECT_EQ(b.data, buf);
  EXPECT_TRUE(uses_shared_empty(a));  // NOLINT(bugprone-use-after-move)
  RtString c;
  c = std::move(b);
  EXPECT_EQ(c.view(), "moved text");
  RtString d = std::move(c) + "!";
  EXPECT_EQ(d.view(), "moved text!");
}

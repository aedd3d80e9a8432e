#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <moxtril.h>
#include "runtime/types/blowfish.h"
#include "runtime/types/string_ops.h"
#include "runtime/types/text_helpers.h"

using namespace mxt;

namespace {

struct TextCase {
  RtString got;
  std::string_view expected;
};

void expect_texts(const std::vector<TextCase>& cases) {
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].got.view(), cases[i].expected) << "case " << i;
}

std::vector<std::string> parts_of(const RtArray<RtString>& a) {
  std::vector<std::string> out;
  for (int i = 0; i < a.size0; ++i) out.push_back(a.data[i].str());
  return out;
}

RtString bytes(std::string_view s) { return RtString(s); }

}  // namespace

TEST(StringOps, ConcatenationTurnsNumbersIntoText) {
  RtString s("n=");
  s += 3.0;
  s += int64_t{-12};
  s += 7;
  s += RtString("|");
  s += "t";
  RtString self("ab");
  self += self;
  expect_texts({
      {RtString("A") + 1, "A1"},
      {2.5 + RtString("x"), "2.5x"},
      {mxt_join_text("A", 1), "A1"},
      {mxt_join_text(2.5, "x"), "2.5x"},
      {mxt_join_text("a", "b"), "ab"},
      {mxt_join_text(1, 2), "12"},
      {RtString("f") + 0.1f, "f0.1000000015"},  // the float's own value, widened
      {int64_t{INT64_MIN} + RtString("!"), "-9223372036854775808!"},
      {RtString("x") + 1.0 / 3.0, "x0.3333333333"},
      {-4 + RtString(""), "-4"},
      {s, "n=3-127|t"},
      {self, "abab"},
  });
}

TEST(StringOps, ComparisonsAreByteWiseBetweenTextsAndNumericWithNumbers) {
  EXPECT_TRUE(RtString("10") == 10);
  EXPECT_TRUE(10 == RtString("10"));
  EXPECT_TRUE(RtString("10") < RtString("9"));  // text order
  EXPECT_TRUE(RtString("10") > 9);               // numeric order
  EXPECT_TRUE("abd" > RtString("abc"));
  EXPECT_TRUE(RtString("\xE9") > "z");  // bytes are unsigned
  EXPECT_TRUE(RtString(" 7x") < 8);
  EXPECT_TRUE(2.4f < RtString("2.5"));
  EXPECT_TRUE(RtString("9223372036854775807") > int64_t{9223372036854775806});
  EXPECT_FALSE(RtString("9223372036854775807") > 0);  // as an int the text wraps to -1
  const double nan = std::nan("");
  EXPECT_FALSE(RtString("1") == nan);
  EXPECT_FALSE(RtString("1") < nan);
  EXPECT_TRUE(RtString("1") != nan);
  // Equality counts every byte; ordering stops at a zero byte, as strcmp does.
  EXPECT_FALSE(bytes({"a\0b", 3}) == bytes({"a\0c", 3}));
  EXPECT_TRUE((bytes({"a\0b", 3}) <=> bytes({"a\0c", 3})) == 0);

  struct Case {
    int got, expected;
  } cases[] = {
      {compare("b", "a"), 1},         {compare("a", "b"), -1},          {compare("", ""), 0},
      {compare(RtString("12"), 12), 0}, {compare(RtString("12"), 13), -1}, {compare("12", 11), 1},
      {compare("1.5", 1.25), 1},      {compare("x", nan), 0},           {compare("5", int64_t{6}), -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(StringOps, SubstringsLengthsAndCharacterCodes) {
  const RtString hello("HELLO");
  expect_texts({
      {mxt_mid_text(hello, 1, 3), "ELL"},
      {mxt_mid_text(hello, 3, -1), "LO"},
      {mxt_mid_text(hello, -1, 3), ""},
      {mxt_mid_text(hello, 5, 1), ""},
      {mxt_mid_text(hello, 0, 0), ""},
      {mxt_mid_text(hello, 2, 100), "LLO"},
      {mxt_mid_text(hello, INT32_MAX, INT32_MAX), ""},
      {mxt_mid_text(hello, 4, INT32_MAX), "O"},
      {mxt_mid_text(RtString(), 0, -1), ""},
      {mxt_char_text(65), "A"},
      {mxt_char_text(321), "A"},
      {mxt_char_text(-1), "\xFF"},
  });
  EXPECT_EQ(mxt_char_text(0).length, 1u);
  EXPECT_EQ(mxt_char_text(0).data[0], 0);
  EXPECT_EQ(mxt_text_length(hello), 5);
  EXPECT_EQ(mxt_text_length(mxt_char_text(0)), 0);
  EXPECT_EQ(mxt_text_length(bytes({"ab\0cd", 5})), 2);
  EXPECT_EQ(mxt_number_length(1.0 / 3.0), 12);
  EXPECT_EQ(mxt_number_length(3.0), 1);
  EXPECT_EQ(mxt_int_length(-12), 3);
  EXPECT_EQ(mxt_int_length(INT32_MIN), 11);
  EXPECT_EQ(mxt_char_code(RtString("\xE9t")), 0xE9);
  EXPECT_EQ(mxt_char_code(RtString()), 0);
}

TEST(StringOps, CaseConversionCoversTheCodePagesLetters) {
  expect_texts({
      {mxt_upper_text("abc xyz 09"), "ABC XYZ 09"},
      {mxt_upper_text("\xE9t\xE9"), "\xC9T\xC9"},                  // ete with accents
      {mxt_upper_text("\x9A\x9C\x9E\xFF"), "\x8A\x8C\x8E\x9F"},    // s and z caron, oe, y diaeresis
      {mxt_upper_text("\xDF\xB5\xF7"), "\xDF\xB5\xF7"},            // sharp s, micro, division: no partner
      {mxt_lower_text("ABC \xC0\xDE\xD7"), "abc \xE0\xFE\xD7"},
      {mxt_lower_text("\x8A\x8C\x8E\x9F"), "\x9A\x9C\x9E\xFF"},
      {mxt_upper_text(""), ""},
  });
  for (int b = 1; b < 256; ++b) {  // lower(upper(x)) == x for every lower-case letter and non-letter
    const RtString one = mxt_char_text(b);
    const RtString up = mxt_upper_text(one);
    if (up != one) {
      EXPECT_EQ(mxt_lower_text(up).view(), one.view()) << b;
    }
  }
  RtString s("MiXeD");
  to_lower(s);
  EXPECT_EQ(s.view(), "mixed");
}

TEST(StringOps, FindingForwardAndBackward) {
  const RtString banana("banana");
  struct Case {
    int got, expected;
  } cases[] = {
      {mxt_find_text(banana, "an", 0), 1},   {mxt_find_text(banana, "an", 2), 3},
      {mxt_find_text(banana, "an", 6), -1},  {mxt_find_text(banana, "", 0), -1},
      {mxt_find_text(banana, "an", -5), 1},  {mxt_find_text(banana, "bananas", 0), -1},
      {mxt_find_text(banana, "na", 5), -1},  {mxt_find_text(banana, "banana", 0), 0},
      {mxt_find_text(banana, "a", 4), 5},    {mxt_find_text("", "a", 0), -1},
      {mxt_find_text_back(banana, "an", -1), 3}, {mxt_find_text_back(banana, "an", 2), 1},
      {mxt_find_text_back("aaa", "aa", -1), 1},  {mxt_find_text_back(banana, "an", 0), -1},
      {mxt_find_text_back(banana, "an", 100), 3}, {mxt_find_text_back("ab", "abc", -1), -1},
      {mxt_find_text_back(banana, "", -1), -1},   {mxt_find_text_back(banana, "b", 0), 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].expected) << "case " << i;
}

TEST(StringOps, SearchAgreesWithStdStringOnRandomTexts) {
  std::mt19937 rng(5);
  // Short patterns and long ones (the shift table), often planted in the text.
  for (int round = 0; round < 6000; ++round) {
    std::string text(rng() % 60, ' '), pattern(1 + rng() % 12, ' ');
    for (char& c : text) c = static_cast<char>("ab\xE9"[rng() % 3]);
    for (char& c : pattern) c = static_cast<char>("ab\xE9"[rng() % 3]);
    if (rng() % 2) text.insert(rng() % (text.size() + 1), pattern);
    const int start = static_cast<int>(rng() % 62);
    const size_t expected = start < static_cast<int>(text.size()) ? text.find(pattern, static_cast<size_t>(start)) : std::string::npos;
    ASSERT_EQ(mxt_find_text(RtString(text), RtString(pattern), start),
              expected == std::string::npos ? -1 : static_cast<int>(expected))
        << text << " / " << pattern << " from " << start;
    std::string replaced = text;
    for (size_t at = 0; (at = replaced.find(pattern, at)) != std::string::npos; at += 2) replaced.replace(at, pattern.size(), "<>");
    ASSERT_EQ(mxt_replace_text(RtString(text), RtString(pattern), "<>").view(), replaced);
  }
}

TEST(StringOps, PatternsLongerThanTheShiftRange) {
  std::string pattern(300, 'x');
  pattern[0] = 'y';  // the only y is further than 255 bytes from the end
  const std::string text = std::string(1000, 'x') + "y" + std::string(299, 'x') + "z" + pattern + "x";
  EXPECT_EQ(mxt_find_text(RtString(text), RtString(pattern), 0), static_cast<int>(text.find(pattern)));
  EXPECT_EQ(mxt_find_text_back(RtString(text), RtString(pattern), -1), static_cast<int>(text.rfind(pattern)));
}

TEST(StringOps, ReplacingNeverSearchesWhatItInserted) {
  expect_texts({
      {mxt_replace_text("abb", "ab", "a"), "ab"},
      {mxt_replace_text("a.b.c", ".", "::"), "a::b::c"},
      {mxt_replace_text("xyz", "", "q"), "xyz"},
      {mxt_replace_text("aaa", "a", "aa"), "aaaaaa"},
      {mxt_replace_text("aaaa", "aa", "b"), "bb"},
      {mxt_replace_text("hello", "l", "L"), "heLLo"},
      {mxt_replace_text("abcabc", "abc", ""), ""},
      {mxt_replace_text("abcabc", "bc", "xy"), "axyaxy"},
      {mxt_replace_text("abc", "abcd", "x"), "abc"},
      {mxt_replace_text("", "a", "b"), ""},
  });
}

TEST(StringOps, TrimmingBySets) {
  expect_texts({
      {mxt_trim_right_text("path///", "/"), "path"},
      {mxt_trim_left_text("  x ", " "), "x "},
      {mxt_trim_right_text("  x ", " "), "  x"},
      {mxt_trim_left_text("///", "/"), ""},
      {mxt_trim_right_text("///", "/"), ""},
      {mxt_trim_left_text("abc", ""), "abc"},
      {mxt_trim_left_text("\t\n x", " \n\t"), "x"},
      {mxt_trim_right_text("", "x"), ""},
  });
  EXPECT_STREQ(find_first_of("key=value;", "=;"), "=value;");
  EXPECT_EQ(find_first_of("abc", "xyz"), nullptr);
  EXPECT_STREQ(find_first_not_of("  x", " "), "x");
  EXPECT_EQ(find_first_not_of("   ", " "), nullptr);
}

TEST(StringOps, SplittingAtDelimiterBytes) {
  struct Case {
    const char* text;
    const char* delimiters;
    int skip_empty;
    std::vector<std::string> parts;
  } cases[] = {
      {"a,,b", ",", 0, {"a", "", "b"}},
      {"a,,b", ",", 1, {"a", "b"}},
      {",a", ",", 0, {"", "a"}},
      {",a", ",", 1, {"a"}},
      {"a,", ",", 0, {"a"}},
      {",", ",", 0, {""}},
      {",,,", ",", 1, {}},
      {"", ",", 0, {}},
      {"one two;three", " ;", 0, {"one", "two", "three"}},
      {"no delimiter", ",", 0, {"no delimiter"}},
  };
  RtArray<RtString> parts;
  mxt_dim(parts, 3, 3);  // a sized, two-dimensional array is emptied first
  for (const Case& c : cases) {
    EXPECT_EQ(mxt_split_text(c.text, parts, c.delimiters, c.skip_empty), static_cast<int>(c.parts.size())) << c.text;
    EXPECT_EQ(parts_of(parts), c.parts) << c.text;
  }
  mxt_split_text("x,y", parts, ",", 0);
  mxt_split_text(parts(1), parts, "", 0);  // the text is one of the parts
  EXPECT_EQ(parts_of(parts), std::vector<std::string>{"y"});
}

TEST(StringOps, HexadecimalText) {
  const unsigned char block[] = {0x00, 0x7F, 0xAB, 0xFF};
  expect_texts({
      {mxt_hex_text(255), "ff"},
      {mxt_hex_text(0), "0"},
      {mxt_hex_text(-1), "ffffffff"},
      {mxt_hex_text(INT32_MIN), "80000000"},
      {bytes_to_hex(block, 4, false), "007fabff"},
      {bytes_to_hex(block, 4, true), "007FABFF"},
      {bytes_to_hex(block, 0, true), ""},
  });
}

TEST(StringOps, UrlTextCarriesUtf8AndDropsMalformedEscapes) {
  expect_texts({
      {mxt_url_encode("a b~"), "a%20b%7e"},
      {mxt_url_encode("-"), "%2d"},
      {mxt_url_encode("\xE9"), "%c3%a9"},
      {mxt_url_encode("\x80"), "%e2%82%ac"},  // the euro sign of the code page
      {mxt_url_encode(""), ""},
      {mxt_url_decode("%zz1"), "z1"},
      {mxt_url_decode("%4zq"), "zq"},
      {mxt_url_decode("%C3%A9t%C3%A9"), "\xE9t\xE9"},
      {mxt_url_decode("a+b%2Bc"), "a b+c"},
      {mxt_url_decode("%e2%82%ac"), "\x80"},
      {mxt_url_decode("%e4%b8%ad!"), "?!"},  // no byte in the code page
      {mxt_url_decode("abc%"), "abc"},
      {mxt_url_decode("abc%4"), "abc"},
      {mxt_url_decode("%"), ""},
      {mxt_url_decode("x%C3"), "x"},           // a sequence cut short by the end
      {mxt_url_decode("%C3A"), "A"},           // ... or by a plain byte
      {mxt_url_decode("%80x"), "x"},           // a stray continuation byte
      {mxt_url_decode("%C0%AFx"), "x"},        // overlong
      {mxt_url_decode("%ED%A0%80x"), "x"},     // surrogate
      {mxt_url_decode("%F0%9F%98%80x"), "?x"}, // beyond the code page
      {mxt_url_decode("%F8%88%80%80%80x"), "x"},
  });
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(mxt_url_decode(mxt_url_encode(RtString(all))).view(), all);
}

TEST(StringOps, DecodingUtf8InPlace) {
  RtString s("caf\xC3\xA9 \xE2\x82\xAC\xC3");
  char* const buffer = s.data;
  decode_utf8(s);
  EXPECT_EQ(s.view(), "caf\xE9 \x80");
  EXPECT_EQ(s.data, buffer);
  EXPECT_EQ(s.data[s.length], 0);
  EXPECT_EQ(to_wide_text(RtString("a\xE9\x80")), std::wstring(L"a\u00e9\u20ac"));
}

TEST(StringOps, BlowfishMatchesThePublishedVectors) {
  struct Case {
    uint8_t key;  // repeated eight times
    uint32_t left, right, cipher_left, cipher_right;
  } cases[] = {
      {0x00, 0x00000000, 0x00000000, 0x4EF99745, 0x6198DD78},
      {0xFF, 0xFFFFFFFF, 0xFFFFFFFF, 0x51866FD5, 0xB85ECB8A},
      {0x11, 0x11111111, 0x11111111, 0x2466DD87, 0x8B963C9D},
  };
  for (const Case& c : cases) {
    const uint8_t key[8] = {c.key, c.key, c.key, c.key, c.key, c.key, c.key, c.key};
    const Blowfish cipher(key, 8);
    uint32_t l = c.left, r = c.right;
    cipher.encrypt(l, r);
    EXPECT_EQ(l, c.cipher_left);
    EXPECT_EQ(r, c.cipher_right);
    cipher.decrypt(l, r);
    EXPECT_EQ(l, c.left);
    EXPECT_EQ(r, c.right);
  }
}

TEST(StringOps, TextEncryptionReadsWordsLittleEndianAndRoundTrips) {
  const RtString ones(std::string(8, '\xFF'));
  EXPECT_EQ(mxt_encrypt_text(ones, ones).view(), "d56f86518acb5eb8");
  const RtString key("secret key");
  const RtString hello = mxt_encrypt_text(key, "hello");
  EXPECT_EQ(hello.length, 16u);
  EXPECT_EQ(mxt_decrypt_text(key, hello).view(), "hello");
  EXPECT_EQ(mxt_decrypt_text(key, mxt_upper_text(hello)).view(), "hello");
  EXPECT_NE(mxt_decrypt_text("other key", hello).view(), "hello");
  EXPECT_EQ(mxt_encrypt_text(key, "8 bytes!").length, 16u);
  EXPECT_EQ(mxt_encrypt_text(key, "nine byte").length, 32u);
  EXPECT_EQ(mxt_encrypt_text(key, "").length, 0u);
  EXPECT_EQ(mxt_encrypt_text("", "text").length, 0u);
  EXPECT_EQ(mxt_decrypt_text("", hello).length, 0u);
  // Fewer than two digits make no byte: nothing, and no search of an empty buffer.
  EXPECT_EQ(mxt_decrypt_text(key, "").length, 0u);
  EXPECT_EQ(mxt_decrypt_text(key, "a").length, 0u);
  const std::string long_text(1000, 'q');
  EXPECT_EQ(mxt_decrypt_text(key, mxt_encrypt_text(key, RtString(long_text))).view(), long_text);
  EXPECT_EQ(mxt_decrypt_text(key, mxt_encrypt_text(key, bytes({"ab\0cd", 5}))).view(), "ab");
  // A cut or odd hexadecimal text decrypts without reading past it.
  EXPECT_LE(mxt_decrypt_text(key, mxt_mid_text(hello, 0, 11)).length, 8u);
  EXPECT_LE(mxt_decrypt_text(key, "zz").length, 8u);
}

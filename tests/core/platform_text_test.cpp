// Texts crossing into the system: the code page and the command line.
#include <gtest/gtest.h>

#include "runtime/platform/platform.h"
#include "runtime/platform/codepage.h"

using namespace mxt;

TEST(CodePage, RoundTripsEveryByteThroughUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8_to_cp1252(cp1252_to_utf8(all)), all);
  EXPECT_EQ(cp1252_to_utf8("\x80"), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(cp1252_to_utf8("\xE9"), "\xC3\xA9");
}

TEST(CodePage, BadUtf8BecomesTheFallbackWithoutReadingPastTheEnd) {
  EXPECT_EQ(utf8_to_cp1252("a\xC3"), "a?");                 // cut short at the end
  EXPECT_EQ(utf8_to_cp1252("\xC3(b"), "?(b");               // cut short by a plain byte
  EXPECT_EQ(utf8_to_cp1252("\xC0\xAF"), "??");              // overlong
  EXPECT_EQ(utf8_to_cp1252("\xE0\x80\xAF"), "?");           // overlong three-byte form
  EXPECT_EQ(utf8_to_cp1252("\xED\xA0\x80"), "?");           // surrogate
  EXPECT_EQ(utf8_to_cp1252("\xF4\x90\x80\x80"), "?");       // above U+10FFFF
  EXPECT_EQ(utf8_to_cp1252("\x80x"), "?x");                 // stray continuation
  EXPECT_EQ(utf8_to_cp1252("\xE4\xB8\xAD"), "?");           // no byte in the code page
  EXPECT_EQ(utf8_to_cp1252("\xE2\x82\xAC"), "\x80");
}

TEST(CommandLine, QuotingAndSplittingFollowTheWindowsRules) {
  const std::vector<std::string> args = {"prog", "plain", "two words", "", "q\"uote", "back\\slash\\",
                                         "end\\\\\"x", "tab\there"};
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + platform::quote_argument(a);
  EXPECT_EQ(platform::split_command_line(line), args) << line;
  EXPECT_EQ(platform::split_command_line("/bin/sh -c \"exit 7\""),
            (std::vector<std::string>{"/bin/sh", "-c", "exit 7"}));
  EXPECT_EQ(platform::split_command_line("a \\\\\\\"b c"), (std::vector<std::string>{"a", "\\\"b", "c"}));
  EXPECT_EQ(platform::split_command_line("\"C:\\a b\\p.exe\" x"), (std::vector<std::string>{"C:\\a b\\p.exe", "x"}));
  EXPECT_EQ(platform::split_command_line("a \"b\"\"c\""), (std::vector<std::string>{"a", "b\"c"}));
  EXPECT_TRUE(platform::split_command_line("   ").empty());
}

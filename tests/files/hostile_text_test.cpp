// Hostile text files for the INI parser, the line file and the channels:
// megabyte lines, zero bytes, a byte-order mark, mixed and missing line
// ends, "[" without "]", 100,000 sections. Each opens within a second and
// gives the documented result.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "files_support.h"
#include "runtime/base/singletons.h"
#include "runtime/core/core.h"
#include "runtime/files/files.h"
#include "runtime/files/storage.h"

using namespace files_test;
using mxt_test::write_file;

namespace {

class HostileText : public ScratchTest {
 protected:
  // Runs `what`, which must take under a second.
  template <typename F>
  void within_a_second(const char* name, F&& what) {
    const auto start = std::chrono::steady_clock::now();
    what();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(s, 1.0) << name;
  }
  static std::string get(const char* section, const char* key) { return mxt_ini_get(section, key, "-").str(); }
  static std::string line(const char* name, int n) {
    RtString out("untouched");
    mxt_get_file_line(name, n, out);
    return out.str();
  }
};

}  // namespace

TEST_F(HostileText, AMegabyteLineIsCutInto1024ByteLines) {
  const std::string huge(1 << 20, 'v');
  ASSERT_TRUE(write_file("huge.ini", "key=" + huge + "\r\nnext=1\r\n"));
  within_a_second("ini", [] { mxt_ini_open("huge.ini"); });
  EXPECT_EQ(get("", "key"), std::string(1020, 'v')) << "the first 1,024 bytes of the line";
  EXPECT_EQ(get("", "next"), "1") << "the rest are lines without \"=\"";
  ASSERT_TRUE(write_file("huge.txt", huge + "\n"));
  within_a_second("line file", [] { EXPECT_EQ(line("huge.txt", 255), std::string(1024, 'v')); });
  within_a_second("channel", [] {
    ASSERT_TRUE(mxt_open_file(0, "huge.txt", 1));
    int lines = 0;
    RtString text;
    while (!mxt_end_of_file(0)) {
      mxt_read_line(0, text);
      ++lines;
    }
    EXPECT_EQ(lines, 1024) << "1,024 full lines, the LF right after the last one its own";
  });
}

TEST_F(HostileText, ZeroBytesEndTheTextOfTheirLine) {
  ASSERT_TRUE(write_file("zero.ini", std::string("a=1\0junk\r\nb\0=2\r\n\0\r\nc=3", 22)));
  mxt_ini_open("zero.ini");
  EXPECT_EQ(get("", "a"), "1");
  EXPECT_EQ(get("", "b"), "-");
  EXPECT_EQ(get("", "c"), "3");
  ASSERT_TRUE(write_file("control.ini", std::string("k= \x01\0x\r\nl=\x02\x03\r\n", 14)));
  mxt_ini_open("control.ini");
  EXPECT_TRUE(mxt::rt.ini->sections.empty()) << "a value of control bytes alone is as empty as none";
  ASSERT_TRUE(write_file("zero.txt", std::string("x\0y\r\n\0\r\nz", 9)));
  EXPECT_EQ(line("zero.txt", 0), "x");
  EXPECT_EQ(line("zero.txt", 1), "NO_DATA");
  EXPECT_EQ(line("zero.txt", 2), "z");
}

TEST_F(HostileText, AByteOrderMarkDoesNotHideTheFirstSection) {
  ASSERT_TRUE(write_file("bom.ini", "\xEF\xBB\xBF[Player]\r\nname=Ann\r\n"));
  mxt_ini_open("bom.ini");
  EXPECT_EQ(get("Player", "name"), "Ann");
  ASSERT_EQ(mxt::rt.ini->sections.size(), 1u);
  ASSERT_TRUE(write_file("bom.txt", "\xEF\xBB\xBF" "1\r\n"));
  EXPECT_EQ(line("bom.txt", 0), "\xEF\xBB\xBF" "1") << "line files keep every byte";
}

TEST_F(HostileText, MixedAndMissingLineEnds) {
  ASSERT_TRUE(write_file("mixed.ini", "a=1\rb=2\nc=3\r\n\n\r\nd=4"));
  mxt_ini_open("mixed.ini");
  EXPECT_EQ(get("", "a"), "1\rb=2") << "a lone CR ends no line";
  EXPECT_EQ(get("", "c"), "3");
  EXPECT_EQ(get("", "d"), "4") << "the last line needs no line end";
  mxt_ini_put("", "e", "5");
  mxt_ini_open("");
  EXPECT_EQ(mxt_test::read_file(work() + "/mixed.ini"), "[]\r\na=1\rb=2\r\nc=3\r\nd=4\r\ne=5\r\n");
  mxt_ini_open("mixed.ini");
  EXPECT_EQ(get("", "a"), "1\rb=2") << "and it round-trips";
  EXPECT_EQ(get("", "d"), "4");
}

TEST_F(HostileText, OpenSectionHeaders) {
  ASSERT_TRUE(write_file("open.ini", "[abc\r\nk=1\r\n[\r\nl=2\r\n[ [x\r\nm=3\r\n["));
  mxt_ini_open("open.ini");
  EXPECT_EQ(get("abc", "k"), "1");
  EXPECT_EQ(get("abc", "l"), "-") << "\"[\" keeps the name: a second section \"abc\", after the first";
  EXPECT_EQ(get("[x", "m"), "3");
  EXPECT_EQ(mxt::rt.ini->sections.size(), 3u);
}

TEST_F(HostileText, AHundredThousandSections) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "[s" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
  ASSERT_TRUE(write_file("many.ini", text));
  within_a_second("open", [] { mxt_ini_open("many.ini"); });
  EXPECT_EQ(mxt::rt.ini->sections.size(), 100000u);
  within_a_second("get", [] { EXPECT_EQ(get("S99999", "K"), "99999"); });
  mxt_ini_put("s0", "k", "changed");
  within_a_second("write back", [] { mxt_ini_open(""); });
  EXPECT_EQ(mxt_test::read_file(work() + "/many.ini").size(), text.size() - 1 + 6 + 1);
}

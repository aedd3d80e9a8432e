// Line files: numbered lines read once and cached, NO_FILE and NO_DATA,
// puts that build a new file, write-back on a switch of name, and a file
// from the media archive that is never written.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "files_support.h"
#include "runtime/base/singletons.h"
#include "runtime/core/core.h"
#include "runtime/files/files.h"
#include "runtime/files/storage.h"

using namespace files_test;
using mxt_test::read_file;
using mxt_test::write_file;

namespace {

class LineFiles : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    mxt::create_archive_slots();
  }
  void TearDown() override {
    mxt::release_archive_slots();
    ScratchTest::TearDown();
  }
  static std::string get(const char* name, double n) {
    RtString out("untouched");
    mxt_get_file_line(name, n, out);
    return out.str();
  }
};

}  // namespace

TEST_F(LineFiles, GetsLinesNumbersAndMarkers) {
  ASSERT_TRUE(write_file("n.txt", "10\r\n20\r\n  abc \t\r\n\r\n3.5"));
  int i = -1;
  mxt_get_file_line_int("n.txt", 1, i);
  EXPECT_EQ(i, 20);
  EXPECT_EQ(get("n.txt", 2), "  abc ") << "trailing control bytes go, leading spaces stay";
  EXPECT_EQ(get("n.txt", 3), "NO_DATA") << "an empty line";
  double d = 0;
  mxt_get_file_line_number("n.txt", 4.9, d);
  EXPECT_EQ(d, 3.5) << "line numbers are truncated";
  EXPECT_EQ(get("n.txt", 5), "NO_DATA");
  EXPECT_EQ(get("n.txt", 255), "NO_DATA");
  EXPECT_EQ(get("n.txt", 256), "NO_DATA");
  EXPECT_EQ(mxt_last_error(), 7);
  EXPECT_EQ(get("n.txt", -1), "NO_DATA") << "below 0 is outside too";
  EXPECT_EQ(get("n.txt", std::nan("")), "NO_DATA");
  EXPECT_EQ(get("missing.txt", 0), "untouched") << "a name that is nowhere leaves the output";
  i = 5;
  mxt_get_file_line_int("n.txt", 3, i);
  EXPECT_EQ(i, 0) << "NO_DATA reads as 0";
}

TEST_F(LineFiles, TheCacheReadsOnceAndNamesCompareByteForByte) {
  ASSERT_TRUE(write_file("Data.txt", "first\r\n"));
  EXPECT_EQ(get("Data.txt", 0), "first");
  ASSERT_TRUE(write_file("Data.txt", "changed\r\n"));
  EXPECT_EQ(get("Data.txt", 0), "first") << "the file on disk is not read again";
  EXPECT_EQ(mxt_put_file_line("data.txt", 1, "x"), 0) << "another name, letter case and all";
  EXPECT_EQ(get("data.txt", 0), "changed") << "the same file on disk, read anew";
}

TEST_F(LineFiles, PutsBuildANewFileWrittenBackOnASwitch) {
  EXPECT_EQ(mxt_put_file_line("new.txt", 5, "x"), 0);
  EXPECT_EQ(mxt_last_error(), 0) << "a file not there yet is no error for a put";
  EXPECT_EQ(mxt_put_file_line_number("new.txt", 6, 2.5), 0);
  EXPECT_EQ(mxt_put_file_line("new.txt", 256, "y"), 7);
  EXPECT_EQ(mxt_last_error(), 7);
  EXPECT_EQ(mxt_put_file_line("new.txt", 255.5, RtString(std::string(2000, 'L'))), 0);
  EXPECT_FALSE(mxt_test::file_exists(work() + "/new.txt")) << "only a switch or the end writes";
  mxt_put_file_line("other.txt", 0, "o");
  std::string expect = "\r\n\r\n\r\n\r\n\r\nx\r\n2.5\r\n";
  for (int i = 7; i < 255; ++i) expect += "\r\n";
  expect += std::string(1023, 'L') + "\r\n";
  EXPECT_EQ(read_file(work() + "/new.txt"), expect);
}

TEST_F(LineFiles, EmptyLinesAndCrLfRoundTrip) {
  ASSERT_TRUE(write_file("r.txt", "a\r\n\r\nb\n\nc"));
  EXPECT_EQ(get("r.txt", 2), "b");
  mxt_put_file_line("r.txt", 0, "A");
  mxt_put_file_line("x.txt", 0, "x");
  EXPECT_EQ(read_file(work() + "/r.txt"), "A\r\n\r\nb\r\n\r\nc\r\n");
  EXPECT_EQ(get("r.txt", 4), "c");
  EXPECT_EQ(get("r.txt", 1), "NO_DATA");
}

TEST_F(LineFiles, FullLinesKeepTheirPlaceAcrossSaves) {
  // A line as long as a put keeps, and one as long as a read gives: saved
  // and read again, neither is followed by an empty line that would push the
  // lines after it down one.
  for (int round = 0; round < 3; ++round) {
    mxt_put_file_line("full.txt", 0, RtString(std::string(1023, 'a')));
    mxt_put_file_line("full.txt", 2, "after");
    mxt_put_file_line("switch.txt", 0, "x");
    EXPECT_EQ(get("full.txt", 0), std::string(1023, 'a'));
    EXPECT_EQ(get("full.txt", 2), "after");
    EXPECT_EQ(get("full.txt", 3), "NO_DATA");
  }
  ASSERT_TRUE(write_file("read.txt", std::string(1024, 'b') + "\r\nnext\r\n"));
  EXPECT_EQ(get("read.txt", 1), "next");
  mxt_put_file_line("read.txt", 2, "third");
  mxt_put_file_line("switch.txt", 0, "x");
  EXPECT_EQ(read_file(work() + "/read.txt"), std::string(1024, 'b') + "\r\nnext\r\nthird\r\n");
}

TEST_F(LineFiles, ArchiveFilesAreReadButNeverWrittenAndCut1024ByteLinesGoOn) {
  const std::string long_line(1500, 'q');
  ASSERT_TRUE(write_file("media.sbx", plain_archive({{"packed.txt", "p0\r\n" + long_line + "\r\np2\r\n"}})));
  mxt_set_archive("media.sbx", "");
  EXPECT_EQ(get("packed.txt", 0), "p0");
  EXPECT_EQ(get("packed.txt", 1), std::string(1024, 'q'));
  EXPECT_EQ(get("packed.txt", 2), std::string(476, 'q')) << "a longer line goes on in the next slot";
  EXPECT_EQ(get("packed.txt", 3), "p2");
  ASSERT_TRUE(mxt::rt.line_file->name.str().starts_with("mem://"));
  mxt::rt.line_file->changed = true;  // as a put under that name would
  mxt::rt.line_file->lines[0] = "changed";
  mxt_put_file_line("plain.txt", 0, "z");
  EXPECT_EQ(names_in(work()), (std::vector<std::string>{"media.sbx"}));
}

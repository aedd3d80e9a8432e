// File channels over real files and over the same files inside a media
// archive: opening, positions, every typed value, lines, and the read-ahead
// that must keep positions exact when line and value reads mix. The reads
// and writes that end the program are in saves_test.cpp (a child program).
#include <gtest/gtest.h>

#include <cstring>
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

class Channels : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    mxt::create_archive_slots();
  }
  void TearDown() override {
    mxt::release_archive_slots();
    ScratchTest::TearDown();
  }
  // The same files on disk (as given) and in media.sbx, which is mounted.
  void disk_and_archive(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::pair<std::string, std::string>> packed;
    for (const auto& [name, bytes] : files) {
      ASSERT_TRUE(write_file(name, bytes));
      packed.push_back({"packed-" + name, bytes});
    }
    ASSERT_TRUE(write_file("media.sbx", plain_archive(packed)));
    mxt_set_archive("media.sbx", "");
  }
};

RtString rs(const std::string& s) { return RtString(s.c_str()); }

// Both ways of reading a file: from disk, and out of the archive.
const char* const kWays[] = {"", "packed-"};

std::vector<std::string> lines_of(int channel) {
  std::vector<std::string> lines;
  while (!mxt_end_of_file(channel)) {
    RtString line;
    mxt_read_line(channel, line);
    lines.push_back(line.str());
  }
  return lines;
}

}  // namespace

TEST_F(Channels, FreeChannelOpenFailuresAndErrorTexts) {
  disk_and_archive({{"a.txt", "a"}});
  EXPECT_EQ(mxt_free_channel(), 0);
  ASSERT_TRUE(mxt_open_file(0, "a.txt", 1));
  ASSERT_TRUE(mxt_open_file(1, "A.TXT", 1)) << "letter case is found";
  EXPECT_EQ(mxt_free_channel(), 2);
  ASSERT_TRUE(mxt_open_file(2, "packed-a.txt", 1));
  EXPECT_EQ(mxt_free_channel(), 3) << "a channel reading an archive entry is in use";
  for (int c = 3; c < 8; ++c) ASSERT_TRUE(mxt_open_file(c, "a.txt", 1));
  EXPECT_EQ(mxt_free_channel(), -1);
  mxt_close_file(1);
  EXPECT_EQ(mxt_free_channel(), 1);

  EXPECT_FALSE(mxt_open_file(8, "a.txt", 1));
  EXPECT_EQ(mxt_last_error(), 7);
  EXPECT_EQ(mxt_error_text(), "0007 out of memory");
  EXPECT_FALSE(mxt_open_file(-1, "a.txt", 1));
  EXPECT_FALSE(mxt_open_file(1, "missing.txt", 1));
  EXPECT_EQ(mxt_error_text(), "0003 no such file");
  EXPECT_EQ(mxt_free_channel(), 1) << "a failed open leaves the channel closed";
  EXPECT_FALSE(mxt_open_file(1, "mem://       4.  123456", 0)) << "an in-memory name is never written";
  EXPECT_TRUE(mxt_open_file(1, "a.txt", 1));
  EXPECT_EQ(mxt_error_text(), "0000 success") << "opening clears the code";
  mxt_report_error(20);
  EXPECT_EQ(mxt_error_text(), "0020 out of data");
  mxt_report_error(26);
  EXPECT_EQ(mxt_error_text(), "0026 unknown error");
  EXPECT_TRUE(mxt_end_of_file(9)) << "outside 0..7: nothing to read, and no end";
}

TEST_F(Channels, EveryTypedValueRoundTripsLittleEndian) {
  ASSERT_TRUE(mxt_open_file(0, "values.bin", 0));
  mxt_write_int8(0, -2);
  mxt_write_uint8(0, 0x1FE);   // low 8 bits
  mxt_write_int16(0, -300);
  mxt_write_uint16(0, 70000);  // low 16 bits: 0x70 0x11
  mxt_write_int32(0, -123456789);
  mxt_write_uint32(0, -1);     // the same bits
  mxt_write_float(0, 1.5);
  mxt_write_double(0, -0.1);
  mxt_write_text(0, RtString("z\0z", 3));
  mxt_write_text(0, "");
  mxt_write_line(0, "");
  EXPECT_EQ(mxt_file_position(0), 0) << "writing leaves the position";
  mxt_close_file(0);
  const std::string bytes = read_file(work() + "/values.bin");
  ASSERT_EQ(bytes.size(), 1u + 1 + 2 + 2 + 4 + 4 + 4 + 8 + 3 + 2);
  EXPECT_EQ(bytes.substr(0, 6), std::string("\xFE\xFE\xD4\xFE\x70\x11", 6));
  EXPECT_EQ(bytes.substr(bytes.size() - 5), std::string("z\0z\r\n", 5)) << "an empty line is CR LF alone";

  ASSERT_TRUE(write_file("ffff.bin", "\xFF\xFF"));
  disk_and_archive({{"values.bin", bytes}, {"ffff.bin", "\xFF\xFF"}});
  for (const char* way : kWays) {
    SCOPED_TRACE(way);
    ASSERT_TRUE(mxt_open_file(0, rs(std::string(way) + "values.bin"), 1));
    int i = 0;
    double d = 0;
    mxt_read_int8(0, i);
    EXPECT_EQ(i, -2);
    mxt_read_uint8(0, i);
    EXPECT_EQ(i, 0xFE);
    mxt_read_int16(0, i);
    EXPECT_EQ(i, -300);
    mxt_read_uint16(0, i);
    EXPECT_EQ(i, 4464);
    mxt_file_seek(0, -2, 1);
    mxt_read_int16(0, i);
    EXPECT_EQ(i, 4464) << "as signed too";
    mxt_read_int32(0, i);
    EXPECT_EQ(i, -123456789);
    mxt_read_uint32(0, i);
    EXPECT_EQ(i, -1);
    mxt_read_float(0, d);
    EXPECT_EQ(d, 1.5);
    mxt_read_double(0, d);
    EXPECT_EQ(d, -0.1);
    RtString text;
    mxt_read_text_bytes(0, text, 3);
    EXPECT_EQ(text.length, 3u);
    EXPECT_EQ(std::memcmp(text.data, "z\0z", 3), 0);
    EXPECT_EQ(mxt_file_position(0), static_cast<int64_t>(bytes.size()) - 2);
    mxt_read_text_bytes(0, text, 0);
    EXPECT_TRUE(text.empty());

    ASSERT_TRUE(mxt_open_file(1, rs(std::string(way) + "ffff.bin"), 1));
    mxt_read_int16(1, i);
    EXPECT_EQ(i, -1);
    mxt_close_file(1);
  }
}

TEST_F(Channels, LinesEndAtLfOrTheEndOfTheFileAndCutAt1024Bytes) {
  const std::string long_line(1500, 'x');
  disk_and_archive({{"ab.txt", "a\r\nb"},
                    {"mixed.txt", "one\n\ntwo\r\n\r\nthree\rfour\r\r\nlast\r"},
                    {"long.txt", long_line + "\r\nnext\n"},
                    {"exact.txt", std::string(1024, 'y') + "\n" + std::string(64, 'z')},
                    {"zero.txt", std::string("ab\0cd\nef", 8)},
                    {"numbers.txt", " 42xyz\r\n-2.5e1\r\n"}});
  for (const char* way : kWays) {
    SCOPED_TRACE(way);
    const std::string w = way;
    ASSERT_TRUE(mxt_open_file(0, rs(w + "ab.txt"), 1));
    EXPECT_EQ(lines_of(0), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(mxt_end_of_file(0));

    ASSERT_TRUE(mxt_open_file(0, rs(w + "mixed.txt"), 1));
    EXPECT_EQ(lines_of(0), (std::vector<std::string>{"one", "", "two", "", "three\rfour\r", "last"}))
        << "one CR before the LF goes, and one at the end of the file";

    ASSERT_TRUE(mxt_open_file(0, rs(w + "long.txt"), 1));
    EXPECT_EQ(lines_of(0), (std::vector<std::string>{std::string(1024, 'x'), std::string(476, 'x'), "next"}));

    ASSERT_TRUE(mxt_open_file(0, rs(w + "exact.txt"), 1));
    EXPECT_EQ(lines_of(0), (std::vector<std::string>{std::string(1024, 'y'), std::string(64, 'z')}))
        << "the LF right after a full line is its own; a file of 64-byte multiples without a final line end "
           "reads its last line";

    ASSERT_TRUE(mxt_open_file(0, rs(w + "zero.txt"), 1));
    EXPECT_EQ(lines_of(0), (std::vector<std::string>{"ab", "ef"})) << "a zero byte ends the text, not the line";

    ASSERT_TRUE(mxt_open_file(0, rs(w + "numbers.txt"), 1));
    int i = 0;
    double d = 0;
    mxt_read_line_int(0, i);
    mxt_read_line_number(0, d);
    EXPECT_EQ(i, 42);
    EXPECT_EQ(d, -25.0);
  }
}

TEST_F(Channels, SeeksPositionsAndMixedReadsStayExactAcrossTheReadAhead) {
  // Larger than the read-ahead, so reads cross its refills.
  std::string bytes;
  for (int i = 0; i < 40000; ++i) bytes += "line " + std::to_string(i) + "\r\n";
  for (int i = 0; i < 40000; ++i) {
    const auto v = static_cast<uint32_t>(i) * 2654435761u;
    bytes.append(reinterpret_cast<const char*>(&v), 4);
  }
  std::string hundred(100, '\0');
  for (int i = 0; i < 100; ++i) hundred[static_cast<size_t>(i)] = static_cast<char>(i);
  disk_and_archive({{"big.bin", bytes}, {"hundred.bin", hundred}});
  for (const char* way : kWays) {
    SCOPED_TRACE(way);
    const std::string w = way;
    ASSERT_TRUE(mxt_open_file(3, rs(w + "big.bin"), 1));
    int64_t expect = 0;
    for (int i = 0; i < 40000; ++i) {
      RtString line;
      mxt_read_line(3, line);
      ASSERT_EQ(line, rs("line " + std::to_string(i)));
      expect += static_cast<int64_t>(line.length) + 2;
      ASSERT_EQ(mxt_file_position(3), expect);
    }
    for (int i = 0; i < 40000; ++i) {
      int v = 0;
      mxt_read_uint32(3, v);
      ASSERT_EQ(static_cast<uint32_t>(v), static_cast<uint32_t>(i) * 2654435761u);
    }
    EXPECT_TRUE(mxt_end_of_file(3));
    // Back into the lines, then forward again from the end.
    mxt_file_seek(3, 8, 0);
    RtString line;
    mxt_read_line(3, line);
    EXPECT_EQ(line, "line 1");
    mxt_file_seek(3, -4, -1);
    int v = 0;
    mxt_read_int32(3, v);
    EXPECT_EQ(static_cast<uint32_t>(v), static_cast<uint32_t>(39999u * 2654435761u));
    mxt_file_seek(3, -10, 0);
    EXPECT_EQ(mxt_file_position(3), static_cast<int64_t>(bytes.size())) << "before the start is refused";

    ASSERT_TRUE(mxt_open_file(4, rs(w + "hundred.bin"), 1));
    mxt_file_seek(4, -4, -1);
    EXPECT_EQ(mxt_file_position(4), 96);
    mxt_file_seek(4, -1, 1);
    mxt_read_uint8(4, v);
    EXPECT_EQ(v, 95);
  }
  // Past the end of an archive file a read is cut and gives zeros.
  ASSERT_TRUE(mxt_open_file(4, "packed-hundred.bin", 1));
  mxt_file_seek(4, 95, 0);
  RtString tail;
  mxt_read_text_bytes(4, tail, 10);
  ASSERT_EQ(tail.length, 10u);
  EXPECT_EQ(tail.data[0], 95);
  EXPECT_EQ(std::string(tail.data + 5, 5), std::string(5, '\0'));
  EXPECT_EQ(mxt_file_position(4), 100);
}

TEST_F(Channels, AnArchiveFileStaysReadableAfterOtherMediaAreLoaded) {
  disk_and_archive({{"one.txt", "first\nsecond\n"}, {"two.txt", "other"}});
  ASSERT_TRUE(mxt_open_file(0, "packed-one.txt", 1));
  RtString line;
  mxt_read_line(0, line);
  RtString other("packed-two.txt");
  ASSERT_TRUE(mxt_resolve_file(other)) << "frees the extraction channel 0 was opened on";
  mxt_read_line(0, line);
  EXPECT_EQ(line, "second");
}

TEST_F(Channels, AppendingWritesAfterTheEndAndWritingReplaces) {
  ASSERT_TRUE(write_file("log.txt", "old\r\n"));
  ASSERT_TRUE(mxt_open_file(0, "log.txt", -1));
  EXPECT_EQ(mxt_file_position(0), 0);
  EXPECT_TRUE(mxt_end_of_file(0)) << "size and position are 0 when appending";
  mxt_write_line(0, "new");
  mxt_close_file(0);
  EXPECT_EQ(read_file(work() + "/log.txt"), "old\r\nnew\r\n");
  ASSERT_TRUE(mxt_open_file(0, "log.txt", 0));
  mxt_write_text(0, "header");
  mxt_file_seek(0, 0, 0);
  mxt_write_text(0, "H");
  mxt_close_file(0);
  EXPECT_EQ(read_file(work() + "/log.txt"), "Header") << "a seek moves where the next write goes";

  // A channel written anew can be read back: reads see what writes put there.
  ASSERT_TRUE(mxt_open_file(0, "rw.bin", 0));
  mxt_write_text(0, "abcd");
  mxt_file_seek(0, 0, 0);
  RtString got;
  mxt_read_text_bytes(0, got, 2);  // the size known at opening is 0; a platform file reads what is there
  EXPECT_EQ(got, "ab");
  mxt_write_text(0, "XY");         // where the reads stopped
  mxt_file_seek(0, 0, 0);
  mxt_read_text_bytes(0, got, 4);
  EXPECT_EQ(got, "abXY");
  mxt_close_file(0);
}

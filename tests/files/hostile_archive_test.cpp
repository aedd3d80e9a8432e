// Crafted bad archives. Each must give "not found" or an empty image: no
// crash, no read past a buffer, no huge allocation, and no file outside the
// temporary folder. Run this binary under the asan build too.
#include <gtest/gtest.h>

#include <filesystem>

#include "files_support.h"
#include "runtime/files/archive.h"
#include <moxtril.h>
#include "runtime/files/rtfile.h"

using namespace mxt;
using namespace files_test;
using mxt_test::read_file;
using mxt_test::write_file;

namespace {

constexpr const char* kNotFound = "<not found>";
const std::string kContent(1000, 'c');

// One good entry's data at offset 0, then a directory made of `dir`, then the
// terminator and a trailer pointing at the directory.
std::string with_directory(const std::string& data, const std::string& dir) {
  return data + dir + std::string(1, '\0') + trailer(static_cast<int64_t>(data.size()));
}

// An archive whose one entry "a.bin" has the stored bytes given.
std::string with_entry_data(const std::string& entry_data) {
  return with_directory(entry_data, dir_entry("a.bin", 0, static_cast<int64_t>(entry_data.size())));
}

std::string lzo_of(const std::string& s) { return stored(s).substr(4); }

struct Case {
  const char* name;
  std::string bytes;
  const char* request;
  const char* expect;  // kNotFound, or the image's contents ("" for an empty image)
};

std::vector<Case> cases() {
  const std::string good = stored(kContent);
  const int64_t good_size = static_cast<int64_t>(good.size());
  static const std::string long_name(255, 'n');  // outlives the cases that point at it
  std::vector<Case> c = {
      {"file shorter than a trailer", "sb", "a.bin", kNotFound},
      {"wrong magic", plain_archive({{"a.bin", kContent}}).substr(0, good.size() + 20) + "sbY" + le32(0), "a.bin", kNotFound},
      {"directory offset past the end", good + trailer(1 << 30), "a.bin", kNotFound},
      {"directory offset before the start", good + trailer(-(1 << 30)), "a.bin", kNotFound},
      {"directory cut inside a name", good + std::string(1, '\xC8') + "a.bin" + trailer(good_size), "a.bin", kNotFound},
      {"directory cut inside the offsets", good + std::string(1, '\x05') + "a.bin" + le32(0) + "sbX" + le32(good_size),
       "a.bin", kNotFound},
      {"data offset past the end", with_directory(good, dir_entry("a.bin", 1 << 28, good_size)), "a.bin", kNotFound},
      {"data offset before the start", with_directory(good, dir_entry("a.bin", -(1 << 28), good_size)), "a.bin", kNotFound},
      {"stored size below its own size field", with_directory(good, dir_entry("a.bin", 0, 2)), "a.bin", kNotFound},
      {"negative stored size", with_directory(good, dir_entry("a.bin", 0, -5)), "a.bin", kNotFound},
      {"stored size past the end", with_directory(good, dir_entry("a.bin", 0, 0x7FFFFFFF)), "a.bin", kNotFound},
      {"unpacked size of 2 GiB", with_entry_data(le32(0x7FFFFFFF) + lzo_of(kContent)), "a.bin", ""},
      {"unpacked size above what the stored bytes can make", with_entry_data(le32(1000000) + lzo_of("tiny")), "a.bin", ""},
      {"negative unpacked size", with_entry_data(le32(-1) + lzo_of(kContent)), "a.bin", ""},
      {"unpacked size smaller than the stream", with_entry_data(le32(10) + lzo_of(kContent)), "a.bin", ""},
      {"unpacked size larger than the stream", with_entry_data(le32(1500) + lzo_of(kContent)), "a.bin", ""},
      {"stream of random bytes", with_entry_data(le32(1000) + std::string("\x15\xFF\x00\x9A\x42\x00\x00\x13\x77", 9)),
       "a.bin", ""},
      {"stream cut short", with_entry_data(good.substr(0, good.size() / 2)), "a.bin", ""},
      {"name of 255 bytes", with_directory(good, dir_entry(long_name, 0, good_size)), long_name.c_str(), nullptr},
  };
  return c;
}

class HostileArchives : public ScratchTest {
 protected:
  std::string lookup(const std::string& bytes, const char* request, bool to_memory) {
    EXPECT_TRUE(write_file("bad.sbx", bytes));
    ArchiveSlot m;
    m.archive_path = "bad.sbx";
    RtString out;
    const int found = mount_lookup(m, RtString(request), out, to_memory);
    std::string got = kNotFound;
    if (found) {
      RtFile f;
      EXPECT_TRUE(open_read(f, out)) << out.c_str();
      got.assign(static_cast<size_t>(f.size), '\0');
      EXPECT_TRUE(read_bytes(f, got.data(), f.size));
      close(f);
    } else {
      EXPECT_TRUE(out.empty());
    }
    reset_mount(m);
    return got;
  }
  // Nothing but the scratch folders at the top, nothing left in the temporary folder.
  void expect_nothing_escaped() {
    EXPECT_EQ(names_in(root()), (std::vector<std::string>{"tmp", "work"}));
    EXPECT_TRUE(names_in(temp()).empty());
  }
};

}  // namespace

TEST_F(HostileArchives, EachGivesNotFoundOrAnEmptyImageThroughBothMounts) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const std::string expected = c.expect ? c.expect : kContent;
    EXPECT_EQ(lookup(c.bytes, c.request, true), expected);
    // The file mount gives the same, except that a 255-byte entry name is too
    // long for a file name once "sbx" and two letters stand before it.
    EXPECT_EQ(lookup(c.bytes, c.request, false), c.expect ? expected : kNotFound);
    expect_nothing_escaped();
  }
}

TEST_F(HostileArchives, EntryNamesNeverLeaveTheTemporaryFolder) {
  const std::string good = stored(kContent);
  const int64_t n = static_cast<int64_t>(good.size());
  const std::string bytes = with_directory(
      good, dir_entry("../../escape.txt", 0, n) + dir_entry("..", 0, n) + dir_entry("a..b", 0, n) +
                dir_entry("c:x", 0, n) + dir_entry("bell\x07.txt", 0, n) + dir_entry("sub\\x.txt", 0, n));
  for (const char* request : {"escape.txt", "../../escape.txt", "..", "a..b", "c:x", "bell\x07.txt", "x.txt", "sub\\x.txt"}) {
    SCOPED_TRACE(request);
    EXPECT_EQ(lookup(bytes, request, false), kNotFound);
    expect_nothing_escaped();
  }
  // In memory no path is built, so a harmless odd name still loads.
  EXPECT_EQ(lookup(bytes, "a..b", true), kContent);
}

TEST_F(HostileArchives, ALinkPlantedUnderTheTemporaryNameIsReplacedNotFollowed) {
  const std::string bytes = plain_archive({{"song.ogg", kContent}});
  ArchiveSlot m;
  ASSERT_TRUE(write_file("bad.sbx", bytes));
  m.archive_path = "bad.sbx";
  RtString out;
  ASSERT_EQ(mount_lookup(m, "song.ogg", out, false), 1);
  const std::string temp_file = out.str();
  reset_mount(m);
  m.archive_path = "bad.sbx";
  ASSERT_TRUE(write_file(root() + "/victim.txt", "keep me"));
  std::filesystem::create_symlink(root() + "/victim.txt", temp_file);
  ASSERT_EQ(mount_lookup(m, "song.ogg", out, false), 1);
  EXPECT_EQ(out.str(), temp_file);
  EXPECT_FALSE(std::filesystem::is_symlink(temp_file));
  EXPECT_EQ(read_file(temp_file), kContent);
  EXPECT_EQ(read_file(root() + "/victim.txt"), "keep me");
  reset_mount(m);
}

TEST_F(HostileArchives, SbxExtractWritesOnlyInsideItsFolder) {
  const std::string good = stored("payload");
  const int64_t n = static_cast<int64_t>(good.size());
  ASSERT_TRUE(write_file("evil.sbx", with_directory(good, dir_entry("../escape.txt", 0, n) +
                                                              dir_entry("/tmp/abs.txt", 0, n) +
                                                              dir_entry("..", 0, n) + dir_entry("ok.txt", 0, n))));
  std::filesystem::create_directory("out");
  ASSERT_TRUE(write_file(root() + "/victim.txt", "keep me"));
  std::filesystem::create_symlink(root() + "/victim.txt", work() + "/out/ok.txt");
  mxt_test::ChildOptions in_out;
  in_out.cwd = work() + "/out";
  const auto run = mxt_test::run_child(std::string(MXT_BINARY_DIR) + "/tools/sbx/sbx", {"extract", "../evil.sbx"}, in_out);
  EXPECT_EQ(run.exit_code, 1) << "skipped entries are reported";
  EXPECT_EQ(names_in(work() + "/out"), std::vector<std::string>{"ok.txt"});
  EXPECT_EQ(read_file(work() + "/out/ok.txt"), "payload");
  EXPECT_EQ(read_file(root() + "/victim.txt"), "keep me");
  EXPECT_EQ(names_in(work()), (std::vector<std::string>{"evil.sbx", "out"}));
}

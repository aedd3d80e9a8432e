// The archive mounts: disk before archive, file-name matching, offsets from
// the end, a bad trailer, extraction lifetimes, temporary files, and a round
// trip through the sbx tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "files_support.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/files/archive.h"
#include "runtime/files/directories.h"
#include <moxtril.h>
#include "runtime/files/rtfile.h"

using namespace mxt;
using namespace files_test;
using mxt_test::read_file;
using mxt_test::write_file;

namespace {

// Everything an in-memory or real name opens to.
std::string contents_of(const RtString& name) {
  RtFile f;
  if (!open_read(f, name)) return "<cannot open>";
  std::string bytes(static_cast<size_t>(f.size), '\0');
  const bool ok = read_bytes(f, bytes.data(), f.size);
  close(f);
  return ok ? bytes : "<cannot read>";
}

class Mounts : public ScratchTest {
 protected:
  // Looks a name up on a mount and gives back what the result opens to.
  std::string lookup(ArchiveSlot& m, const char* name, bool to_memory = true) {
    RtString out("stale");
    if (!mount_lookup(m, RtString(name), out, to_memory)) {
      EXPECT_TRUE(out.empty()) << "a failed lookup leaves the output empty";
      return "<not found>";
    }
    return contents_of(out);
  }
  ArchiveSlot mount(const std::string& archive_bytes, const char* file = "media.sbx") {
    EXPECT_TRUE(write_file(file, archive_bytes));
    ArchiveSlot m;
    m.archive_path = file;
    return m;
  }
};

}  // namespace

TEST_F(Mounts, DiskWinsAndOnlyTheFileNamePartMatchesIgnoringCase) {
  ArchiveSlot m = mount(plain_archive({{"board.png", "from archive"},
                                       {"gfx/tile.png", "folder entry"},
                                       {"BOARD.PNG", "second match"},
                                       {"cell.png", "cell from archive"}}));
  EXPECT_EQ(lookup(m, "gfx/Board.PNG"), "from archive") << "first entry whose name matches the file part";
  EXPECT_EQ(lookup(m, "gfx\\board.png"), "from archive");
  EXPECT_EQ(lookup(m, "gfx/tile.png"), "<not found>") << "an entry with a folder part is never found";
  EXPECT_EQ(lookup(m, "tile.png"), "<not found>");
  EXPECT_EQ(lookup(m, "board.pn"), "<not found>");
  ASSERT_TRUE(write_file("cell.png", "cell from disk"));
  EXPECT_EQ(lookup(m, "cell.png"), "cell from disk");
  EXPECT_EQ(lookup(m, "CELL.png"), "cell from disk") << "disk found ignoring case still wins";
  EXPECT_EQ(lookup(m, ""), "<not found>");
  EXPECT_EQ(lookup(m, std::string(1100, 'a').c_str()), "<not found>") << "longer than a path buffer";
}

TEST_F(Mounts, NegativeOffsetsCountFromTheEnd) {
  // 5000 bytes: the directory at byte 4800, given as -200.
  const std::string data = stored("counted from the end");
  std::string bytes = std::string(100, 'x') + data;
  bytes.resize(4800, 'x');
  const std::string dir = dir_entry("tail.txt", 100 - 5000, static_cast<int64_t>(data.size())) + std::string(1, '\0');
  bytes += dir;
  bytes.resize(5000 - 7, '\0');
  bytes += trailer(-200);
  ASSERT_EQ(bytes.size(), 5000u);
  ArchiveSlot m = mount(bytes);
  EXPECT_EQ(lookup(m, "tail.txt"), "counted from the end");
}

TEST_F(Mounts, BadTrailerDisablesTheMountUntilTheNextSetArchive) {
  ArchiveSlot m = mount("this file ends without any trailer at all");
  EXPECT_EQ(lookup(m, "a.txt"), "<not found>");
  EXPECT_EQ(m.enabled, 0);
  // Even a good archive under that name is not looked at again...
  ASSERT_TRUE(write_file("media.sbx", plain_archive({{"a.txt", "now good"}})));
  EXPECT_EQ(lookup(m, "a.txt"), "<not found>");
  // ... until the mount is reset and named again, as mxt_set_archive does.
  reset_mount(m);
  m.archive_path = "media.sbx";
  EXPECT_EQ(lookup(m, "a.txt"), "now good");
  // A missing archive disables the same way.
  m.archive_path = "missing.sbx";
  EXPECT_EQ(lookup(m, "a.txt"), "<not found>");
  EXPECT_EQ(m.enabled, 0);
}

TEST_F(Mounts, NextLookupFreesTheLastImageButItsOwnNameStaysOpenable) {
  ArchiveSlot m = mount(plain_archive({{"one.txt", "first"}, {"two.txt", "second"}}));
  RtString first, second, again;
  ASSERT_EQ(mount_lookup(m, "one.txt", first, true), 1);
  EXPECT_EQ(contents_of(first), "first");
  // Resolving the extraction's own name keeps it alive rather than freeing
  // the image it names.
  ASSERT_EQ(mount_lookup(m, first, again, true), 1);
  EXPECT_EQ(again, first);
  EXPECT_EQ(contents_of(first), "first");
  ASSERT_EQ(mount_lookup(m, "two.txt", second, true), 1);
  EXPECT_EQ(contents_of(second), "second");
  EXPECT_EQ(contents_of(first), "<cannot open>") << "the first image is gone and its name opens nothing";
  RtString out;
  EXPECT_EQ(mount_lookup(m, first, out, true), 0);
  reset_mount(m);
  EXPECT_EQ(contents_of(second), "<cannot open>");
  EXPECT_TRUE(m.archive_path.empty());
}

TEST_F(Mounts, FileMountWritesTheNamedTemporaryFileAndRemovesItLater) {
  // data offset 1000 and stored size 3000 give the letters 'Y' and 'C'.
  std::mt19937 rng(7);
  std::string content, data;
  for (int n = 2900; n < 3100 && data.size() != 3000; ++n) {
    content.resize(static_cast<size_t>(n));
    for (char& c : content) c = static_cast<char>(rng());
    data = stored(content);
  }
  ASSERT_EQ(data.size(), 3000u) << "no random file packed to exactly 3000 bytes";
  const std::string bytes = std::string(1000, 'p') + data + dir_entry("theme.mp3", 1000, 3000) +
                            std::string(1, '\0') + trailer(4000);
  ArchiveSlot m = mount(bytes);
  RtString out;
  ASSERT_EQ(mount_lookup(m, "Music/THEME.mp3", out, false), 1);
  EXPECT_EQ(out.str(), temp() + "/sbxYCtheme.mp3");
  EXPECT_EQ(m.temp_path, out);
  EXPECT_EQ(read_file(out.str()), content);
  // The next lookup removes it; so does a reset.
  ASSERT_TRUE(write_file("loose.txt", "x"));
  ASSERT_EQ(mount_lookup(m, "loose.txt", out, false), 1);
  EXPECT_FALSE(std::filesystem::exists(temp() + "/sbxYCtheme.mp3"));
  ASSERT_EQ(mount_lookup(m, "theme.mp3", out, false), 1);
  reset_mount(m);
  EXPECT_TRUE(names_in(temp()).empty());
}

TEST_F(Mounts, ResolveFileUsesTheMemoryMountAndSetArchiveResetsBoth) {
  create_archive_slots();
  ASSERT_TRUE(write_file("media.sbx", plain_archive({{"tune.ogg", "music"}})));
  RtString name("tune.ogg");
  EXPECT_FALSE(mxt_resolve_file(name)) << "nothing mounted yet";
  EXPECT_EQ(name, RtString("tune.ogg"));
  mxt_set_archive("media.sbx", "");
  EXPECT_TRUE(mxt_resolve_file(name));
  EXPECT_TRUE(is_memory_name(name.c_str()));
  EXPECT_EQ(contents_of(name), "music");
  RtString real("tune.ogg");
  EXPECT_FALSE(resolve_real_file(real)) << "the file mount was named empty: disk only";
  RtString empty;
  EXPECT_FALSE(mxt_resolve_file(empty));
  mxt_set_archive("media.sbx", "media.sbx");
  EXPECT_EQ(contents_of(name), "<cannot open>") << "set_archive drops the last extraction";
  ASSERT_TRUE(resolve_real_file(real));
  EXPECT_EQ(read_file(real.str()), "music");
  release_archive_slots();
  EXPECT_EQ(rt.archive[0], nullptr);
  EXPECT_FALSE(std::filesystem::exists(real.str())) << "shutdown removes the last temporary file";
  RtString disk("media.sbx");
  EXPECT_TRUE(mxt_resolve_file(disk)) << "without mounts the disk still answers";
}

TEST_F(Mounts, CopyFileWritesTheDecompressedEntryAndAFailedCopyLeavesNothing) {
  create_archive_slots();
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
  ASSERT_TRUE(write_file("media.sbx", plain_archive({{"level.dat", big}})));
  mxt_set_archive("media.sbx", "");
  mxt_copy_file("data/LEVEL.DAT", "copy.dat");
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(read_file("copy.dat"), big);
  mxt_copy_file("absent.dat", "copy2.dat");
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_FALSE(std::filesystem::exists("copy2.dat"));
  mxt_copy_file("level.dat", "no/such/folder/copy.dat");
  EXPECT_EQ(mxt_last_error(), 3);
  release_archive_slots();
}

TEST_F(Mounts, SbxPackRoundTripsThroughTheRuntimeReader) {
  std::filesystem::create_directories("assets/sub");
  std::mt19937 rng(11);
  std::string random(5 * 1024 * 1024, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  std::string squeezable;
  while (squeezable.size() < 1000000) squeezable += "row of board tiles 0123456789\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"assets/empty.txt", ""}, {"assets/one.bin", "x"}, {"assets/noise.bin", random},
      {"assets/sub/level.txt", squeezable}, {"assets/Caf\xc3\xa9.txt", "cafe"}};
  for (const auto& [path, bytes] : files) ASSERT_TRUE(write_file(path, bytes));
  const std::string sbx = std::string(MXT_BINARY_DIR) + "/tools/sbx/sbx";
  const auto packed = mxt_test::run_child(sbx, {"pack", "out.sbx", "assets"});
  ASSERT_EQ(packed.exit_code, 0) << packed.err;
  std::filesystem::rename("assets", "gone");  // only the archive can answer now

  ArchiveSlot m;
  m.archive_path = "out.sbx";
  for (const auto& [path, bytes] : files) {
    std::string name = path.substr(path.rfind('/') + 1);
    if (name == "Caf\xc3\xa9.txt") name = "CAF\xe9.TXT";  // entry names are code page 1252
    EXPECT_EQ(lookup(m, name.c_str()), bytes) << path;
  }
  const auto listed = mxt_test::run_child(sbx, {"list", "out.sbx"});
  EXPECT_EQ(listed.exit_code, 0);
  EXPECT_NE(listed.out.find("5242880"), std::string::npos) << listed.out;

  std::filesystem::create_directory("back");
  mxt_test::ChildOptions in_back;
  in_back.cwd = work() + "/back";
  const auto extracted = mxt_test::run_child(sbx, {"extract", "../out.sbx"}, in_back);
  ASSERT_EQ(extracted.exit_code, 0) << extracted.err;
  EXPECT_EQ(read_file("back/noise.bin"), random);
  EXPECT_EQ(read_file("back/Caf\xc3\xa9.txt"), "cafe");
}

TEST_F(Mounts, SbxAppendAttachesAnArchiveThatStillResolves) {
  ASSERT_TRUE(write_file("game.bin", std::string(12345, 'G')));
  ArchiveBuilder b;
  ASSERT_TRUE(b.add("intro.txt", "hello", 5));
  ASSERT_TRUE(write_file("media.sbx", b.finish()));
  const std::string sbx = std::string(MXT_BINARY_DIR) + "/tools/sbx/sbx";
  const auto appended = mxt_test::run_child(sbx, {"append", "game.bin", "media.sbx"});
  ASSERT_EQ(appended.exit_code, 0) << appended.err;
  ArchiveSlot m;
  m.archive_path = "game.bin";
  EXPECT_EQ(lookup(m, "intro.txt"), "hello");
  // An archive laid out from its start would break once moved: refused.
  ASSERT_TRUE(write_file("fixed.sbx", plain_archive({{"a.txt", "a"}})));
  EXPECT_EQ(mxt_test::run_child(sbx, {"append", "game.bin", "fixed.sbx"}).exit_code, 1);
}

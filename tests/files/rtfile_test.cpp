// Names and RtFile: in-memory names, letter case and separators, reading at
// and past the end, and writing over what stands in the way.
#include <gtest/gtest.h>

#include <filesystem>

#include "files_support.h"
#include "runtime/files/directories.h"
#include <moxtril.h>
#include "runtime/files/rtfile.h"

using namespace mxt;
using namespace files_test;
using mxt_test::read_file;
using mxt_test::write_file;

TEST(MemoryNames, NameTextHasPaddedSizeAndAddress) {
  EXPECT_EQ(memory_name(reinterpret_cast<const void*>(0xa81230), 300), RtString("mem://     12c.  a81230"));
  uintptr_t address = 0;
  int64_t size = 0;
  ASSERT_TRUE(parse_memory_name("mem://     12c.  a81230", address, size));
  EXPECT_EQ(address, 0xa81230u);
  EXPECT_EQ(size, 300);
  // Cut or malformed texts parse as nothing: a reader that trusted the
  // layout would look 15 characters in whatever the name's length.
  for (const char* bad : {"mem://", "mem://12c", "mem://     12c", "mem://     12c.", "mem://     12c,  a81230",
                          "mem://     12c.  a81230x", "mem://    x12c.  a81230", "MEM://     12c.  a81230"})
    EXPECT_FALSE(parse_memory_name(bad, address, size)) << bad;
}

TEST(MemoryNames, OnlyRegisteredImagesOpenAndOnlyWithTheirOwnSize) {
  std::string image(300, 'q');
  image[0] = 'A';
  image[299] = 'Z';
  const RtString wrong_size = memory_name(image.data(), 301);
  const RtString name = memory_name(image.data(), 300);
  RtFile f;
  EXPECT_FALSE(open_read(f, name)) << "an unregistered image must not open";
  EXPECT_FALSE(mxt_file_exists(name));
  EXPECT_FALSE(open_read(f, RtString("mem://       1.       8")));

  EXPECT_EQ(mxt_register_memory_file(image.data(), 300), name);
  EXPECT_TRUE(mxt_file_exists(name));
  EXPECT_FALSE(open_read(f, wrong_size));
  ASSERT_TRUE(open_read(f, name));
  EXPECT_EQ(f.size, 300);
  EXPECT_EQ(f.memory, reinterpret_cast<const uint8_t*>(image.data()));
  char first = 0;
  ASSERT_TRUE(read_bytes(f, &first, 1));
  EXPECT_EQ(first, 'A');
  EXPECT_FALSE(open_write(f, name)) << "in-memory names are never written";
  EXPECT_FALSE(open_append(f, name));

  mxt_unregister_memory_file(image.data());
  EXPECT_FALSE(open_read(f, name));
  EXPECT_FALSE(mxt_file_exists(name));
}

TEST(RtFileRead, MemoryImageCutsAtTheEndAndPlatformFileFailsThere) {
  char image[25];
  for (int i = 0; i < 25; ++i) image[i] = static_cast<char>('a' + i);
  const RtString name = mxt_register_memory_file(image, 25);
  RtFile f;
  ASSERT_TRUE(open_read(f, name));
  char buf[16] = {};
  f.position = 20;
  ASSERT_TRUE(read_bytes(f, buf, 10));
  EXPECT_EQ(std::string(buf, 5), "uvwxy");
  EXPECT_EQ(f.position, 25);
  EXPECT_TRUE(read_bytes(f, buf, 10)) << "at the end: 0 bytes, still a success";
  EXPECT_EQ(f.position, 25);
  f.position = 26;
  EXPECT_FALSE(read_bytes(f, buf, 1)) << "a negative remainder fails";
  close(f);
  EXPECT_FALSE(read_bytes(f, buf, 1)) << "a closed file fails";
  EXPECT_EQ(f.size, 0);
  mxt_unregister_memory_file(image);

  mxt_test::TempDir dir;
  ASSERT_TRUE(write_file(dir.file("f.bin"), std::string(25, 'x')));
  ASSERT_TRUE(open_read(f, RtString(dir.file("f.bin").c_str())));
  EXPECT_EQ(f.size, 25);
  EXPECT_TRUE(read_bytes(f, buf, 10));
  EXPECT_FALSE(read_bytes(f, buf, 16)) << "a platform file delivers exactly n or fails";
  EXPECT_EQ(f.position, 10) << "a failed read leaves the position where it was";
  EXPECT_TRUE(read_bytes(f, buf, 15)) << "and the file too: the rest is still there";
  EXPECT_EQ(f.position, 25);
  EXPECT_FALSE(read_bytes(f, buf, 1));
  EXPECT_EQ(f.position, 25);
  close(f);
}

class NamesOnDisk : public ScratchTest {};

TEST_F(NamesOnDisk, LetterCaseAndBackslashesFindTheFileOneComponentAtATime) {
  std::filesystem::create_directories("Media/Gfx");
  ASSERT_TRUE(write_file("Media/Gfx/cell.png", "png"));
  RtFile f;
  for (const char* spelling : {"Media/Gfx/cell.png", "media/gfx/CELL.PNG", "MEDIA\\gfx\\Cell.Png", "./media//GFX/cell.PNG"}) {
    EXPECT_TRUE(mxt_file_exists(spelling)) << spelling;
    ASSERT_TRUE(open_read(f, spelling)) << spelling;
    EXPECT_EQ(f.size, 3);
    close(f);
  }
  EXPECT_EQ(platform_name("MEDIA/gfx/new.txt"), "Media/Gfx/new.txt") << "missing parts keep their spelling";
  EXPECT_FALSE(mxt_file_exists("media/gfx")) << "a folder is no file";
  EXPECT_FALSE(mxt_file_exists("media/gfx/cell.png/x"));
  EXPECT_FALSE(open_read(f, "Media/Gfx")) << "a folder does not open for reading";
  EXPECT_FALSE(open_read(f, ""));
}

TEST_F(NamesOnDisk, WritingReplacesAFileOrAnEmptyFolderAndAppendingKeepsContents) {
  ASSERT_TRUE(write_file("save.dat", "old contents"));
  RtFile f;
  ASSERT_TRUE(open_write(f, "SAVE.DAT"));
  ASSERT_TRUE(write_bytes(f, "new", 3));
  close(f);
  EXPECT_EQ(read_file("save.dat"), "new") << "the existing spelling is reused, not a second file";
  EXPECT_FALSE(std::filesystem::exists("SAVE.DAT"));

  ASSERT_TRUE(open_append(f, "save.dat"));
  ASSERT_TRUE(write_bytes(f, "+more", 5));
  close(f);
  EXPECT_EQ(read_file("save.dat"), "new+more");

  // An empty folder in the way goes, even when it is the current directory.
  std::filesystem::create_directory("slot");
  std::filesystem::current_path("slot");
  ASSERT_TRUE(open_write(f, RtString((work() + "/slot").c_str())));
  close(f);
  EXPECT_TRUE(std::filesystem::is_regular_file(work() + "/slot"));
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(work()));
}

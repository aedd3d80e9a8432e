// The INI file: the parser's rules line by line, get and put, write-back on
// opening another file (in one step, to the file it was read from), and an
// INI file inside the media archive, which is never written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

#include "files_support.h"
#include "runtime/base/singletons.h"
#include "runtime/core/core.h"
#include "runtime/files/files.h"
#include "runtime/files/storage.h"

using namespace files_test;
using mxt_test::read_file;
using mxt_test::write_file;

namespace {

class Ini : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    mxt::create_archive_slots();
  }
  void TearDown() override {
    mxt::release_archive_slots();
    ScratchTest::TearDown();
  }
  // Sections and entries as "name:key=value,key=value|..." to compare whole.
  static std::string shape() {
    std::string s;
    for (const mxt::IniSection& section : mxt::rt.ini->sections) {
      s += section.name.str() + ":";
      for (const mxt::IniEntry& e : section.entries) s += e.key.str() + "=" + e.value.str() + ",";
      s += "|";
    }
    return s;
  }
};

}  // namespace

TEST_F(Ini, ParsesAsDocumented) {
  ASSERT_TRUE(write_file("settings.ini",
                         "a=1\r\n[Video]\r\nwidth = 640\r\nheight=\r\n; note\r\n[Empty]\r\n[video]\r\nwidth=800\r\n"));
  mxt_ini_open("settings.ini");
  EXPECT_EQ(shape(), ":a=1,|Video:width=640,|video:width=800,|");
  EXPECT_EQ(mxt_ini_get("VIDEO", "WIDTH", "x"), "640") << "first match, ignoring case";
  EXPECT_EQ(mxt_ini_get("Video", "height", "none"), "none");
  EXPECT_EQ(mxt_ini_get("Empty", "x", "d"), "d");
  EXPECT_EQ(mxt_ini_get("", "a", "d"), "1");

  ASSERT_TRUE(write_file("odd.ini",
                         "  \t[My Section]\r\nkey = value ; rest  \r\nnoequals\r\nk v\r\n= empty key\r\n"
                         "[a]b]\nx=\t1\x01\x02\n[unclosed\ny=2\n[]\nz=3\n[=x]\nq=4\r\n[  spaced  ]\nw=5\n"));
  mxt_ini_open("odd.ini");
  EXPECT_EQ(shape(), "My:key=value ; rest  ,=empty key,|a]b:x=1,|unclosed:y=2,|unclosed:z=3,|unclosed:q=4,|spaced:w=5,|")
      << "names cut at white space and one \"]\"; trailing control bytes go, trailing spaces stay; \"[]\" keeps "
         "the name, and \"[=x]\" too";
  EXPECT_EQ(mxt_ini_get("unclosed", "z", "d"), "d") << "the first of three sections of one name wins";
  EXPECT_EQ(mxt_ini_get("My", "", "d"), "empty key");
  EXPECT_EQ(mxt_last_error(), 0) << "malformed lines record nothing";
}

TEST_F(Ini, PutSetsAddsDeletesAndWritesBackOnOpeningAnother) {
  mxt_ini_open("new.ini");
  EXPECT_FALSE(mxt::rt.ini->changed);
  mxt_ini_put("New", "k", "");
  EXPECT_FALSE(mxt::rt.ini->changed) << "an empty value for a missing key does nothing";
  mxt_ini_put("New", "", "v");
  mxt_ini_put("New", "k", "v");
  mxt_ini_open("other.ini");
  EXPECT_EQ(read_file(work() + "/new.ini"), "[New]\r\nk=v\r\n");

  ASSERT_TRUE(write_file("scores.ini", "top=1\r\n[S]\r\na=1\r\nb=2\r\nc=3\r\n"));
  mxt_ini_open("scores.ini");
  mxt_ini_put("s", "A", "");  // the last entry moves into its place
  mxt_ini_put("S", "b", "20");
  mxt_ini_put("T", "d", "4");
  EXPECT_EQ(shape(), ":top=1,|S:c=3,b=20,|T:d=4,|");
  mxt_ini_open("");
  EXPECT_EQ(read_file(work() + "/scores.ini"), "[]\r\ntop=1\r\n[S]\r\nc=3\r\nb=20\r\n[T]\r\nd=4\r\n");
  EXPECT_TRUE(mxt::rt.ini->sections.empty());
  EXPECT_TRUE(mxt::rt.ini->name.empty());

  mxt_ini_open("scores.ini");
  EXPECT_EQ(mxt_ini_get("", "top", "d"), "1") << "keys before the first header come back under \"[]\"";
  EXPECT_EQ(shape(), ":top=1,|S:c=3,b=20,|T:d=4,|");
  const std::string names_before = read_file(work() + "/scores.ini");
  mxt_ini_open("");
  EXPECT_EQ(read_file(work() + "/scores.ini"), names_before) << "unchanged: not written";
}

TEST_F(Ini, WriteBackGoesToTheFileThatWasOpenedAndLeavesNothingBeside) {
  std::filesystem::create_directory("saves");
  RtString saves("saves");
  ASSERT_EQ(mxt_set_current_dir(saves), 1);
  mxt_ini_open("game.ini");
  mxt_ini_put("Player", "name", "Ann");
  RtString up("..");
  ASSERT_EQ(mxt_set_current_dir(up), 1);
  mxt_ini_open("");
  EXPECT_EQ(read_file(work() + "/saves/game.ini"), "[Player]\r\nname=Ann\r\n");
  EXPECT_FALSE(mxt_test::file_exists(work() + "/game.ini"));
  EXPECT_EQ(names_in(work() + "/saves"), (std::vector<std::string>{"game.ini"}));
}

TEST_F(Ini, AFailedWriteBackKeepsTheOldFileAndLogsWhy) {
  std::filesystem::create_directory("locked");
  ASSERT_TRUE(write_file("locked/keep.ini", "[A]\r\nx=1\r\n"));
  mxt_ini_open("locked/keep.ini");
  mxt_ini_put("A", "x", "2");
  std::filesystem::permissions("locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (::geteuid() == 0) {
    // root writes anyway; a name that is a folder fails for everyone.
    std::filesystem::permissions("locked", std::filesystem::perms::owner_all);
    std::filesystem::remove("locked/keep.ini");
    std::filesystem::create_directories("locked/keep.ini/inside");
  }
  mxt_ini_open("");
  std::filesystem::permissions("locked", std::filesystem::perms::owner_all);
  if (std::filesystem::is_directory("locked/keep.ini")) {
    EXPECT_TRUE(std::filesystem::exists("locked/keep.ini/inside"));
  } else {
    EXPECT_EQ(read_file(work() + "/locked/keep.ini"), "[A]\r\nx=1\r\n");
  }
  EXPECT_EQ(names_in(work() + "/locked"), (std::vector<std::string>{"keep.ini"})) << "no new file left beside it";
  EXPECT_NE(read_file(temp() + "/ErrorLog.txt").find("cannot save " + work() + "/locked/keep.ini, the old file stays"),
            std::string::npos);
  EXPECT_EQ(mxt_last_error(), 0) << "the game is told nothing";
}

TEST_F(Ini, AnIniFileFromTheArchiveIsReadAndNeverWritten) {
  ASSERT_TRUE(write_file("media.sbx", plain_archive({{"packed.ini", "[A]\r\nx=1\r\n"}})));
  mxt_set_archive("media.sbx", "");
  mxt_ini_open("packed.ini");
  EXPECT_EQ(mxt_ini_get("a", "X", "d"), "1");
  mxt_ini_put("A", "x", "2");
  EXPECT_EQ(mxt_ini_get("a", "X", "d"), "2");
  mxt_ini_open("");
  EXPECT_EQ(names_in(work()), (std::vector<std::string>{"media.sbx"}));
}

TEST_F(Ini, LargeSectionsFindTheFirstMatchThroughDeletesAndAdds) {
  std::string text = "[Big]\r\n";
  for (int i = 0; i < 100; ++i) text += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  text += "KEY5=duplicate\r\n";
  ASSERT_TRUE(write_file("big.ini", text));
  mxt_ini_open("big.ini");
  EXPECT_EQ(mxt_ini_get("big", "Key5", "-"), "5") << "the first of two";
  EXPECT_EQ(mxt_ini_get("big", "key99", "-"), "99");
  mxt_ini_put("big", "key5", "");  // the duplicate moves into its place
  EXPECT_EQ(mxt_ini_get("big", "key5", "-"), "duplicate");
  EXPECT_EQ(mxt_ini_get("big", "key99", "-"), "99");
  mxt_ini_put("big", "key5", "");
  EXPECT_EQ(mxt_ini_get("big", "key5", "-"), "-");
  mxt_ini_put("big", "new", "n");
  mxt_ini_put("big", "NEW", "m");
  EXPECT_EQ(mxt_ini_get("big", "new", "-"), "m") << "set, not added twice";
  EXPECT_EQ(mxt::rt.ini->sections[0].entries.size(), 100u);
  mxt_ini_put("big", "key0", "zero");
  EXPECT_EQ(mxt_ini_get("big", "KEY0", "-"), "zero");
}

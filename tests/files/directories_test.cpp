// Directory commands on a scratch tree: the current directory, tests,
// create and delete, size and time, wildcards, the listing, and the dialog.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "files_support.h"
#include <moxtril.h>
#include "runtime/files/directories.h"
#include "runtime/files/rtfile.h"

using namespace mxt;
using namespace files_test;
using mxt_test::write_file;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> texts(const std::vector<RtString>& v) {
  std::vector<std::string> out;
  for (const RtString& s : v) out.push_back(s.str());
  return out;
}

class Directories : public ScratchTest {};

}  // namespace

TEST_F(Directories, CurrentDirectoryTakesEitherSeparatorAndComesBackWithSlashes) {
  fs::create_directories("Media/Sounds");
  RtString media("media/sounds");
  EXPECT_EQ(mxt_set_current_dir(media), 1);
  EXPECT_EQ(media, RtString("media\\sounds")) << "the caller's string keeps the change";
  EXPECT_EQ(mxt_get_current_dir().str(), work() + "/Media/Sounds/");
  RtString up("..\\..");
  EXPECT_EQ(mxt_set_current_dir(up), 1);
  EXPECT_EQ(mxt_get_current_dir().str(), work() + "/");
  RtString missing("nowhere");
  EXPECT_EQ(mxt_set_current_dir(missing), 0);
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_EQ(mxt_set_current_dir(media), 1);
  EXPECT_EQ(mxt_last_error(), 0) << "a success clears the last error";
}

TEST_F(Directories, TestsCreateAndDelete) {
  ASSERT_TRUE(write_file("a.txt", "abc"));
  EXPECT_TRUE(mxt_file_exists("A.TXT"));
  EXPECT_FALSE(mxt_is_directory("a.txt"));
  EXPECT_TRUE(mxt_create_directory("Saves"));
  EXPECT_FALSE(mxt_create_directory("Saves")) << "exists already";
  EXPECT_FALSE(mxt_create_directory("x/y")) << "one level only";
  EXPECT_TRUE(mxt_is_directory("saves"));
  EXPECT_FALSE(mxt_file_exists("saves")) << "a folder is no file";

  EXPECT_EQ(mxt_delete_file("missing.txt"), -1);
  EXPECT_NE(mxt_delete_file("A.txt"), 0);
  EXPECT_FALSE(fs::exists("a.txt"));
  ASSERT_TRUE(write_file("Saves/slot1", "x"));
  EXPECT_EQ(mxt_delete_file("saves"), 0) << "a folder that stays is refused, not deleted";
  EXPECT_TRUE(fs::exists("Saves")) << "only an empty folder can go";
  ASSERT_TRUE(fs::remove("Saves/slot1"));
  EXPECT_EQ(mxt_delete_file("saves"), 1);
  EXPECT_FALSE(fs::exists("Saves"));
  // The current directory, empty, goes after the current directory moves up.
  fs::create_directory("empty");
  fs::current_path("empty");
  EXPECT_EQ(mxt_delete_file(RtString((work() + "/empty").c_str())), 1);
  EXPECT_FALSE(fs::exists(work() + "/empty"));
  EXPECT_EQ(fs::current_path(), fs::path(work()));
}

TEST_F(Directories, SizeAndTime) {
  ASSERT_TRUE(write_file("level.dat", std::string(70000, 'x')));
  EXPECT_EQ(mxt_file_size("LEVEL.dat"), 70000);
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(mxt_file_size("missing.dat"), 0);
  EXPECT_EQ(mxt_last_error(), 3);
  std::string image(300, 'i');
  const RtString name = mxt_register_memory_file(image.data(), 300);
  EXPECT_EQ(mxt_file_size(name), 300);
  mxt_unregister_memory_file(image.data());
  EXPECT_EQ(mxt_file_size(name), 0) << "a name no image stands behind has no size";
  EXPECT_EQ(mxt_last_error(), 3);

  // 2016-09-13 14:17:33 local time, set on the file and read back.
  std::tm when{};
  when.tm_year = 116;
  when.tm_mon = 8;
  when.tm_mday = 13;
  when.tm_hour = 14;
  when.tm_min = 17;
  when.tm_sec = 33;
  when.tm_isdst = -1;
  const timespec times[2] = {{std::mktime(&when), 0}, {std::mktime(&when), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "level.dat", times, 0), 0);
  EXPECT_EQ(mxt_file_time("level.dat"), RtString("2016-09-13 14:17:33"));
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(mxt_file_time("missing.dat"), RtString(""));
  EXPECT_EQ(mxt_last_error(), 3);
  fs::create_directory("dir");
  EXPECT_EQ(mxt_file_time("dir"), RtString(""));
}

TEST(Wildcards, StarsRunAndLettersIgnoreCase) {
  EXPECT_TRUE(match_wildcard("*.PNG", "board.png"));
  EXPECT_TRUE(match_wildcard("b*d", "board"));
  EXPECT_FALSE(match_wildcard("b?ard", "board")) << "no single-character wildcard";
  EXPECT_TRUE(match_wildcard("b?ard", "b?ard"));
  EXPECT_TRUE(match_wildcard("*.*", "README"));
  EXPECT_TRUE(match_wildcard("*", ""));
  EXPECT_FALSE(match_wildcard("*.png", "board.png.bak")) << "the whole name must match";
  EXPECT_TRUE(match_wildcard("*a*b*c", "xxaxxbxxbxxc"));
  EXPECT_FALSE(match_wildcard("*a*b*c", "xxaxxbxxbxxcx"));
  EXPECT_TRUE(match_wildcard("**x", "x"));
  EXPECT_FALSE(match_wildcard("abc", "ab"));
  EXPECT_FALSE(match_wildcard("", "a"));
  // No exponential backtracking on many stars.
  EXPECT_FALSE(match_wildcard("*a*a*a*a*a*a*a*a*a*a*b", std::string(5000, 'a')));
}

TEST_F(Directories, ListFilesCountsFilesPlus65536TimesFolders) {
  for (const char* f : {"b.png", "A.png", "c.txt"}) ASSERT_TRUE(write_file(f, "x"));
  fs::create_directory("gfx");
  RtArray<RtString> list;
  mxt_dim(list, 40);
  EXPECT_EQ(mxt_list_files("*.png", list), 196610.0);
  ASSERT_EQ(list.size0, 5);
  std::vector<std::string> got;
  for (int i = 0; i < list.size0; ++i) got.push_back(list(i).str());
  EXPECT_EQ(got, (std::vector<std::string>{".", "..", "gfx", "A.png", "b.png"}));
  EXPECT_EQ(mxt_list_files("*.none", list), 3 * 65536.0);
  EXPECT_EQ(list.size0, 3);
  // Folders take no pattern, a link to a folder is a folder, case is ignored.
  fs::create_directory("Zounds.png");
  fs::create_directory_symlink(work() + "/gfx", "linked");
  DirectoryListing listing;
  ASSERT_TRUE(list_current_directory("*.png", listing));
  EXPECT_EQ(texts(listing.directories), (std::vector<std::string>{".", "..", "gfx", "linked", "Zounds.png"}));
  EXPECT_EQ(texts(listing.files), (std::vector<std::string>{"A.png", "b.png"}));
}

TEST(FileDialog, FilterTextBecomesDescriptionsAndPatterns) {
  const auto filters = parse_file_filter("Images|*.png;*.BMP; *.jpg|All files|*.*|Dangling");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].description, "Images");
  EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.png", "*.BMP", "*.jpg"}));
  EXPECT_EQ(filters[1].description, "All files");
  EXPECT_EQ(filters[1].patterns, std::vector<std::string>{"*.*"});
  EXPECT_TRUE(parse_file_filter("").empty());
}

TEST_F(Directories, DialogGoesThroughZenityAndAnAutomatedRunGetsNoFile) {
  // A stand-in zenity that records its arguments and answers with a path.
  fs::create_directory("bin");
  ASSERT_TRUE(write_file("bin/zenity",
                         "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> \"$(dirname \"$0\")/args\"; done\n"
                         "[ -n \"$ZENITY_CANCEL\" ] && exit 1\necho \"$PWD/Chosen File.txt\"\n"));
  fs::permissions("bin/zenity", fs::perms::owner_all);
  const std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (work() + "/bin:" + old_path).c_str(), 1);
  std::string chosen;
  const bool ok = platform::file_dialog(false, work(), parse_file_filter("Saves|*.sav"), chosen);
  EXPECT_EQ(chosen, work() + "/Chosen File.txt");
  EXPECT_TRUE(ok);
  EXPECT_EQ(mxt_test::split_lines(mxt_test::read_file("bin/args")),
            (std::vector<std::string>{"--file-selection", "--save", "--confirm-overwrite",
                                      "--filename=" + work() + "/", "--file-filter=Saves | *.sav"}));
  setenv("ZENITY_CANCEL", "1", 1);
  EXPECT_FALSE(platform::file_dialog(true, work(), {}, chosen));
  unsetenv("ZENITY_CANCEL");
  setenv("PATH", old_path.c_str(), 1);
  // Tests run without anyone to answer: the command does not open a dialog.
  EXPECT_EQ(mxt_file_dialog(1, "All|*.*"), RtString("NO_FILE"));
}

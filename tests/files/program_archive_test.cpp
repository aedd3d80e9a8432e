// The program file itself is the archive of both mounts from start-up until
// the game names its own; shutdown removes the last temporary copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "files_support.h"

using namespace mxt_test;
namespace fs = std::filesystem;

namespace {

struct GameRun {
  std::vector<std::string> out;
  std::string temp_before, temp_after;
};

GameRun run_game(const TempDir& dir) {
  ChildOptions options;
  fs::create_directory(dir.file("tmp"));
  options.env = {{"TMPDIR", dir.file("tmp")}};
  const ChildResult r = run_child(dir.file("game"), {}, options);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  GameRun run;
  for (const std::string& line : split_lines(r.out)) {
    if (line.rfind("temp=", 0) == 0)
      (run.out.size() < 2 ? run.temp_before : run.temp_after) = line.substr(5);  // before or after "after:"
    else if (line != "exit")
      run.out.push_back(line);
  }
  return run;
}

std::string archive_of(const std::string& name, const std::string& content) {
  mxt::ArchiveBuilder b(mxt::ArchiveBuilder::Level::fast);
  EXPECT_TRUE(b.add(name, content.data(), static_cast<int64_t>(content.size())));
  return b.finish();
}

}  // namespace

TEST(ProgramArchive, AnArchiveAppendedToTheProgramServesMediaUntilTheGameNamesItsOwn) {
  TempDir dir;
  fs::copy_file(test_program("prog_files"), dir.file("game"));
  ASSERT_TRUE(write_file(dir.file("media.sbx"), archive_of("hello.txt", "from the program file")));
  const ChildResult appended =
      run_child(std::string(MXT_BINARY_DIR) + "/tools/sbx/sbx", {"append", dir.file("game"), dir.file("media.sbx")});
  ASSERT_EQ(appended.exit_code, 0) << appended.err;
  ASSERT_TRUE(write_file(dir.file("media.sbx"), archive_of("other.txt", "no hello here")));
  const GameRun run = run_game(dir);
  EXPECT_EQ(run.out, (std::vector<std::string>{"before: from the program file", "after: missing"}));
  EXPECT_EQ(run.temp_before.substr(run.temp_before.rfind('/') + 1, 3), "sbx") << run.temp_before;
  EXPECT_TRUE(run.temp_after.empty());
  EXPECT_FALSE(fs::exists(run.temp_before)) << "mxt_set_archive removed the file mount's copy";
}

TEST(ProgramArchive, APlainProgramFindsNothingUntilTheGameNamesItsArchive) {
  TempDir dir;
  fs::copy_file(test_program("prog_files"), dir.file("game"));
  ASSERT_TRUE(write_file(dir.file("media.sbx"), archive_of("hello.txt", "from media.sbx")));
  const GameRun run = run_game(dir);
  EXPECT_EQ(run.out, (std::vector<std::string>{"before: missing", "after: from media.sbx"}));
  EXPECT_TRUE(run.temp_before.empty());
  ASSERT_FALSE(run.temp_after.empty());
  EXPECT_FALSE(fs::exists(run.temp_after)) << "shutdown removes the last temporary copy";
}

TEST(OpenDocument, TheDesktopOpenerGetsTheNameAndEscapeEndsTheGameRightAfter) {
  TempDir dir;
  fs::copy_file(test_program("prog_files"), dir.file("game"));
  fs::create_directories(dir.file("docs"));
  ASSERT_TRUE(write_file(dir.file("docs/readme.txt"), "read me"));
  // A stand-in opener that notes what it was asked to open.
  fs::create_directories(dir.file("bin"));
  ASSERT_TRUE(write_file(dir.file("bin/xdg-open"), "#!/bin/sh\necho \"$1\" >> \"" + dir.file("opened") + "\"\n"));
  fs::permissions(dir.file("bin/xdg-open"), fs::perms::owner_all);
  ChildOptions options;
  fs::create_directory(dir.file("tmp"));
  const char* path = std::getenv("PATH");
  options.env = {{"TMPDIR", dir.file("tmp")}, {"MXT_TEST_SCENARIO", "open_document"},
                 {"PATH", dir.file("bin") + ":" + (path ? path : "")}};
  const ChildResult r = run_child(dir.file("game"), {}, options);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(split_lines(r.out), (std::vector<std::string>{"continued", "exit"}));
  // The opener runs detached: give it a moment to write.
  for (int i = 0; i < 100 && split_lines(read_file(dir.file("opened"))).size() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::vector<std::string> opened = split_lines(read_file(dir.file("opened")));
  std::sort(opened.begin(), opened.end());  // two detached openers may finish in either order
  EXPECT_EQ(opened, (std::vector<std::string>{"docs/readme.txt", "https://example.invalid/page"}));
}

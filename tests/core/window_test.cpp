// Window modes seen from outside.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/child.h"

using namespace mxt_test;

namespace {

struct WindowRun {
  std::vector<std::string> out;
  std::string log;
};

WindowRun run_window(const std::string& scenario) {
  TempDir tmp;
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", scenario}, {"TMPDIR", tmp.path()}};
  const ChildResult r = run_child(test_program("prog_window"), {}, options);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return {split_lines(r.out), read_file(tmp.file("ErrorLog.txt"))};
}

}  // namespace

TEST(WindowModes, StartUpShowsACentredWindowWithTheTitle) {
  const WindowRun run = run_window("");
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out[0], "start: 320x200 shown=1 fullscreen=0 title=Window \xC3\xA9");
}

TEST(WindowModes, TheWindowIsCentredOnTheWorkAreaByTheRuntimesArithmetic) {
  const WindowRun run = run_window("where");
  ASSERT_GE(run.out.size(), 2u);
  int x = 0, y = 0, left = 0, top = 0, work_w = 0, work_h = 0;
  ASSERT_EQ(std::sscanf(run.out[1].c_str(), "client at %d %d, borders %d %d, work area %d %d", &x, &y, &left, &top,
                        &work_w, &work_h),
            6)
      << run.out[1];
  ASSERT_GT(work_w, 320);
  // The outer frame's corner at half the spare room, halves truncated; the
  // client area inside the frame's borders.
  EXPECT_EQ(x, (work_w - 320) / 2 + left);
  EXPECT_EQ(y, (work_h - 200) / 2 + top);
}

TEST(WindowModes, SetScreenResizesAndSettlesForFiveFrames) {
  const WindowRun run = run_window("set_screen");
  const std::vector<std::string> expected = {"start: 320x200 shown=1 fullscreen=0 title=Window \xC3\xA9",
                                             "settle frames 5", "settings 333x222 full 0", "screen size 333x222",
                                             "after: 333x222 shown=1 fullscreen=0 title=Window \xC3\xA9", "exit"};
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.log.find("No Fullscreen Mode available"), std::string::npos);
}

TEST(WindowModes, ASpriteSurvivesAResizeThatNeedsANewContext) {
  const WindowRun run = run_window("new_context");
  const std::vector<std::string> expected = {"start: 320x200 shown=1 fullscreen=0 title=Window \xC3\xA9",
                                             "pixel 00ff00, sprite 1",
                                             "after: 300x180 shown=1 fullscreen=0 title=Window \xC3\xA9", "exit"};
  EXPECT_EQ(run.out, expected);
  EXPECT_NE(run.log.find("move textures from mem to temp file"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("restoring textures from temp file"), std::string::npos);
}

TEST(WindowModes, FullScreenWithoutSuchAModeFallsBackToAWindowOfThatSize) {
  const WindowRun run = run_window("fullscreen_fail");
  ASSERT_GE(run.out.size(), 5u);
  EXPECT_EQ(run.out[2], "settings 333x222 full 1");
  EXPECT_EQ(run.out[4], "after: 333x222 shown=1 fullscreen=0 title=Window \xC3\xA9");
  EXPECT_NE(run.log.find("No Fullscreen Mode available\n"), std::string::npos);
}

TEST(WindowModes, HiddenStateHidesUntilTheWindowedModeShowsAgain) {
  const WindowRun run = run_window("hidden");
  ASSERT_GE(run.out.size(), 3u);
  EXPECT_EQ(run.out[1], "hidden: 320x200 shown=0 fullscreen=0 title=Window \xC3\xA9");
  EXPECT_EQ(run.out[2], "windowed: 320x200 shown=1 fullscreen=0 title=Window \xC3\xA9");
}

// The frame loop seen from outside: a real program driven by injected events.
#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/gfx2d/image.h"
#include "support/child.h"

using namespace mxt_test;

namespace {

// The program under a file size limit of nothing: every write to a file fails.
ChildResult run_without_room(const std::string& program, const ChildOptions& options) {
  return run_child("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\"", program}, options);
}

std::vector<std::string> run_frame(const std::string& scenario,
                                   std::vector<std::pair<std::string, std::string>> env = {}) {
  TempDir tmp;
  ChildOptions options;
  options.env = std::move(env);
  options.env.emplace_back("MXT_TEST_SCENARIO", scenario);
  options.env.emplace_back("TMPDIR", tmp.path());
  const ChildResult r = run_child(test_program("prog_frame"), {}, options);
  EXPECT_EQ(r.exit_code, 0) << scenario << "\n" << r.err;
  EXPECT_FALSE(r.timed_out) << scenario;
  return split_lines(r.out);
}

}  // namespace

TEST(FrameLoop, EscapeEndsTheProgramOnTheFrameAfterItIsPressed) {
  const std::vector<std::string> expected = {"frame 1", "frame 2", "exit"};
  EXPECT_EQ(run_frame("escape"), expected);
}

TEST(FrameLoop, WithTheEscapeSwitchOffOnlyAltF4Ends) {
  const std::vector<std::string> expected = {"survived escape", "exit"};
  EXPECT_EQ(run_frame("escape_off"), expected);
}

TEST(FrameLoop, AltAndF4MustBeDownTogether) {
  const std::vector<std::string> expected = {"survived alt then f4", "main returns", "exit"};
  EXPECT_EQ(run_frame("alt_only"), expected);
}

TEST(FrameLoop, WaitPumpEndsOnKeyMoveOrButtonAndGivesUpAfterItsPasses) {
  const std::vector<std::string> out = run_frame("waits");
  ASSERT_GE(out.size(), 5u);
  EXPECT_EQ(out[0], "key wait_mode=0");
  EXPECT_EQ(out[1], "move wait_mode=0");
  EXPECT_EQ(out[2], "button wait_mode=0");
  // 100 passes of a bounded wait (10 ms) and a 10 ms sleep, on the program's
  // own clock, wait mode left as it was
  EXPECT_EQ(out[3], "none wait_mode=31 ms=2000 sleeps=100");
  EXPECT_EQ(out[4], "no wait ms=0") << "below wait mode 30 the idle pump only pumps";
}

TEST(FrameLoop, HookSeesEachMessageOnceAndTypedTextReachesTheQueueAsCodePageBytes) {
  const std::vector<std::string> expected = {"hook calls 3", "typed 61", "typed e9", "main returns", "exit"};
  EXPECT_EQ(run_frame("hook_and_text"), expected);
}

TEST(FrameLoop, FrameTimeIsThePeriodAndNeverBelowOne) {
  // On the program's own clock: the pacing sleeps to within its last naps of
  // the 60 Hz period; unlimited, frames come every 2 ms at least.
  const std::vector<std::string> out = run_frame("frame_time");
  ASSERT_EQ(out.size(), 5u);
  double frame_ms = 0, unlimited_ms = 0;
  ASSERT_EQ(std::sscanf(out[0].c_str(), "frame time %lf", &frame_ms), 1) << out[0];
  EXPECT_NEAR(frame_ms, 1000.0 / 60.0, 0.5);
  EXPECT_EQ(out[1], "same reading 1");
  ASSERT_EQ(std::sscanf(out[2].c_str(), "50 unlimited frames ms=%lf", &unlimited_ms), 1) << out[2];
  EXPECT_GE(unlimited_ms, 50 * 2.0);
  EXPECT_LT(unlimited_ms, 50 * 2.5);
  EXPECT_EQ(out[3], "main returns");
}

TEST(FrameLoop, FocusLossPausesOnceWithTheTitleSuffixAndFocusResumes) {
  const std::vector<std::string> expected = {"pause callback", "resume callback", "title while paused: Frame <pause>",
                                             "title now: Frame", "paused 0", "main returns", "exit"};
  EXPECT_EQ(run_frame("focus"), expected);
}

TEST(FrameLoop, DebugModeNeverPausesNorChangesTheTitle) {
  const std::vector<std::string> expected = {"title while paused: ", "title now: Frame", "paused 0",
                                             "main returns", "exit"};
  EXPECT_EQ(run_frame("focus_debug"), expected);
}

TEST(FrameLoop, ReactivationRequestIsServedByTheNextFrame) {
  const std::vector<std::string> expected = {"activate", "ok", "request 0", "main returns", "exit"};
  EXPECT_EQ(run_frame("reactivate"), expected);
}

TEST(FrameLoop, HeadlessRunEndsAfterTheFramesAndSavesTheLastOne) {
  TempDir shots;
  const std::string shot = shots.file("last.png");
  const std::vector<std::string> out = run_frame("headless", {{"MXT_FRAMES", "4"}, {"MXT_SCREENSHOT", shot}});
  const std::vector<std::string> expected = {"frame 1", "frame 2", "frame 3", "frame 4", "exit"};
  EXPECT_EQ(out, expected);
  const std::string bytes = read_file(shot);
  mxt::ImageBuffer image;
  ASSERT_TRUE(mxt::decode_png(image, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), -1));
  ASSERT_EQ(image.width, 160);
  ASSERT_EQ(image.height, 120);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{80, 60}, std::pair{159, 119}}) {
    const uint8_t* p = image.pixel(x, y);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{255, 0, 0, 255})) << x << "," << y;
  }
}

TEST(FrameLoop, ARelativeScreenshotNameMeansTheFolderTheProgramStartedIn) {
  TempDir here;
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", "headless"}, {"MXT_FRAMES", "2"}, {"MXT_SCREENSHOT", "shots/last.png"},
                 {"TMPDIR", here.path()}};
  options.cwd = here.path();
  std::filesystem::create_directory(here.file("shots"));
  const ChildResult r = run_child(test_program("prog_frame"), {}, options);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(file_exists(here.file("shots/last.png"))) << "not in the program's own folder, which start-up made current";
}

TEST(FrameLoop, AScreenshotThatCannotBeWrittenIsReportedAndLeavesNoHalfFile) {
  TempDir here;
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", "headless"}, {"MXT_FRAMES", "2"}, {"MXT_SCREENSHOT", here.file("last.png")},
                 {"TMPDIR", here.path()}};
  const ChildResult r = run_without_room(test_program("prog_frame"), options);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("moxtril: cannot write the screenshot " + here.file("last.png")), std::string::npos) << r.err;
  EXPECT_FALSE(file_exists(here.file("last.png")));
}

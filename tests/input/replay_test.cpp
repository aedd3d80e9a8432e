// Recording and replaying a real program's input: the same pictures, the
// same waits, files written by hand, and bad files stopping the program.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/base/singletons.h"
#include "runtime/gfx2d/image.h"

#include <set>

#include "support/child.h"
#include "support/images.h"

using namespace mxt_test;

namespace {

struct Session {
  ChildResult result;
  std::string shot;
};

Session run_input(const TempDir& dir, const std::string& scenario, const std::string& name,
              std::vector<std::pair<std::string, std::string>> env, const std::string& frames) {
  ChildOptions options;
  options.env = std::move(env);
  options.env.emplace_back("MXT_TEST_SCENARIO", scenario);
  options.env.emplace_back("TMPDIR", dir.path());
  options.env.emplace_back("MXT_FRAMES", frames);
  options.env.emplace_back("MXT_SCREENSHOT", dir.file(name + ".png"));
  Session r;
  r.result = run_child(test_program("prog_input"), {}, options);
  r.shot = read_file(dir.file(name + ".png"));
  return r;
}

std::string replace_line(const std::string& text, const std::string& starts, const std::string& with) {
  std::string out;
  for (const std::string& line : split_lines(text)) out += (line.rfind(starts, 0) == 0 ? with : line) + "\n";
  return out;
}

}  // namespace

TEST(Replay, ARecordedSessionReplaysToTheSamePicture) {
  TempDir dir;
  const std::string rec = dir.file("session.txt");
  const Session live = run_input(dir, "draw", "live", {{"MXT_RECORD", rec}}, "20");
  ASSERT_EQ(live.result.exit_code, 0) << live.result.err;
  ASSERT_FALSE(live.shot.empty());
  ASSERT_GE(count_colours(live.shot), 5u) << "the clicks drew coloured squares";
  const std::string recording = read_file(rec);
  EXPECT_EQ(recording.rfind("moxtril-replay 1\nseed ", 0), 0u) << recording;
  EXPECT_NE(recording.find(" mouse-down 3\n"), std::string::npos) << recording;
  EXPECT_NE(recording.find(" key-down 4\n"), std::string::npos) << recording;
  EXPECT_NE(recording.find(" wheel -2\n"), std::string::npos) << recording;

  // The replaying program pushes other events of its own: the live devices
  // do not count while a replay plays.
  const Session replay = run_input(dir, "draw_other", "replay", {{"MXT_REPLAY", rec}}, "20");
  ASSERT_EQ(replay.result.exit_code, 0) << replay.result.err;
  EXPECT_TRUE(replay.shot == live.shot) << "the replayed picture differs from the recorded one";

  const Session other = run_input(dir, "draw_other", "other", {}, "20");
  EXPECT_FALSE(other.shot == live.shot) << "the picture must depend on the input";

  // The seed comes from the file: another seed, other squares.
  const std::string path = dir.file("reseeded.txt");
  ASSERT_TRUE(write_file(path, replace_line(recording, "seed ", "seed 424242")));
  const Session reseeded = run_input(dir, "draw", "reseeded", {{"MXT_REPLAY", path}}, "20");
  ASSERT_EQ(reseeded.result.exit_code, 0) << reseeded.result.err;
  EXPECT_FALSE(reseeded.shot == live.shot);
}

TEST(Replay, RelativeMotionOfAHiddenPointerReplaysToo) {
  TempDir dir;
  const std::string rec = dir.file("hidden.txt");
  const Session live = run_input(dir, "hidden", "live", {{"MXT_RECORD", rec}}, "10");
  ASSERT_EQ(live.result.exit_code, 0) << live.result.err;
  EXPECT_NE(read_file(rec).find(" 60 70\n"), std::string::npos) << read_file(rec);
  const Session replay = run_input(dir, "hidden", "replay", {{"MXT_REPLAY", rec}}, "10");
  ASSERT_EQ(replay.result.exit_code, 0) << replay.result.err;
  ASSERT_GE(count_colours(live.shot), 3u);
  EXPECT_TRUE(replay.shot == live.shot);
}

TEST(Replay, AWaitForAClickReplaysWithoutThePerson) {
  TempDir dir;
  const std::string rec = dir.file("wait.txt");
  const Session live = run_input(dir, "wait", "live", {{"MXT_RECORD", rec}}, "5");
  ASSERT_EQ(live.result.exit_code, 0) << live.result.err;
  const std::vector<std::string> out = split_lines(live.result.out);
  ASSERT_EQ(out.size(), 3u) << live.result.out;
  EXPECT_EQ(out[1], "clicked at 33 44");

  const ChildResult replay = run_input(dir, "wait", "replay", {{"MXT_REPLAY", rec}}, "5").result;
  EXPECT_EQ(replay.exit_code, 0) << replay.err;
  EXPECT_EQ(split_lines(replay.out), out) << "the same random number, the same click";
}

TEST(Replay, AFileWrittenByHandReachesTheGameFrameByFrame) {
  TempDir dir;
  const std::string path = dir.file("hand.txt");
  ASSERT_TRUE(write_file(path,
                         "moxtril-replay 1\n"
                         "seed 7\n"
                         "0 mouse-move 40 30\n"
                         "1 mouse-down 1      # seen after the first frame\n"
                         "2 mouse-up 1\n"
                         "2 key-down 4\n"
                         "3 key-up 4\n"
                         "3 text 41\n"
                         "# the game waits for a click and a key during its frame 3\n"
                         "4 mouse-move 12 13\n"
                         "4 mouse-down 1\n"
                         "4 mouse-up 1\n"
                         "4 key-down 5\n"
                         "4 text 42\n"
                         "4 key-up 5\n"
                         "6 close\n"));
  const ChildResult r = run_input(dir, "report", "hand", {{"MXT_REPLAY", path}}, "0").result;  // the file's close ends it
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> expected = {"frame 1 click 40 30", "frame 2 key 4",  "frame 3 typed 41",
                                             "waiting for a click", "clicked at 12 13", "waiting for a key",
                                             "key typed",           "exit"};
  EXPECT_EQ(split_lines(r.out), expected);
}

TEST(Replay, PressesAndReleasesStampedAlikeReachTheGameAsClicksAndTaps) {
  TempDir dir;
  const std::string path = dir.file("taps.txt");
  ASSERT_TRUE(write_file(path,
                         "moxtril-replay 1\n"
                         "0 mouse-move 40 30\n"
                         "1 mouse-down 1\n"
                         "1 mouse-up 1\n"
                         "2 key-down 4\n"
                         "2 key-up 4\n"
                         "3 close\n"));
  const ChildResult r = run_input(dir, "report", "taps", {{"MXT_REPLAY", path}}, "0").result;
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> expected = {"frame 1 click 40 30", "frame 2 key 4", "exit"};
  EXPECT_EQ(split_lines(r.out), expected);
}

TEST(Replay, AMalformedFileStopsTheProgramNamingFileAndLine) {
  TempDir dir;
  const std::string path = dir.file("bad.txt");
  ASSERT_TRUE(write_file(path, "moxtril-replay 1\nseed 3\n\n5 mouse-down 1\n4 mouse-up 1\n"));
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", "draw"}, {"TMPDIR", dir.path()}, {"MXT_REPLAY", path}};
  const ChildResult r = run_child(test_program("prog_input"), {}, options);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "") << "the game never started";
  EXPECT_NE(r.err.find(path + ":5: frame 4 comes after frame 5"), std::string::npos) << r.err;

  options.env.back().second = dir.file("missing.txt");
  const ChildResult missing = run_child(test_program("prog_input"), {}, options);
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("cannot read the replay file " + dir.file("missing.txt")), std::string::npos)
      << missing.err;

  options.env.back() = {"MXT_RECORD", dir.path() + "/no/such/folder/rec.txt"};
  const ChildResult unwritable = run_child(test_program("prog_input"), {}, options);
  EXPECT_EQ(unwritable.exit_code, 1);
  EXPECT_NE(unwritable.err.find("cannot write the recording"), std::string::npos) << unwritable.err;
}

TEST(Replay, ARecordingThatCannotBeWrittenCompletelyIsReported) {
  TempDir dir;
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", "draw"}, {"TMPDIR", dir.path()}, {"MXT_FRAMES", "8"},
                 {"MXT_RECORD", dir.file("rec.txt")}};
  // A file size limit of nothing: the recording opens, and no write reaches it.
  const ChildResult r = run_child("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\"", test_program("prog_input")},
                                  options);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("moxtril: the recording " + dir.file("rec.txt") + " could not be written completely"),
            std::string::npos)
      << r.err;
}

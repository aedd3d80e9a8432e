// The fatal channel errors, and write-back at the end on every way out: the
// end of the main routine, Escape, the close button and a fatal error. Each
// runs tests/programs/prog_saves.cpp as a child.
#include <gtest/gtest.h>

#include <string>

#include "support/child.h"

using namespace mxt_test;

namespace {

struct Ended {
  ChildResult result;
  std::string ini;
  std::string lines;
};

Ended run_saves(const std::string& scenario) {
  TempDir dir;
  EXPECT_TRUE(write_file(dir.file("ab.txt"), "a\r\nb"));
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", scenario}, {"MXT_TEST_DIR", dir.path()}, {"SDL_VIDEODRIVER", "offscreen"},
                 {"TMPDIR", dir.path()}};
  Ended e;
  e.result = run_child(test_program("prog_saves"), {}, options);
  e.ini = read_file(dir.file("scores.ini"));
  e.lines = read_file(dir.file("lines.txt"));
  return e;
}

}  // namespace

TEST(Saves, EveryWayOutWritesTheIniFileAndTheLineFileBack) {
  for (const char* way : {"end_of_main", "escape", "close", "read_past_end", "bad_channel", "write_to_reader"}) {
    SCOPED_TRACE(way);
    const Ended e = run_saves(way);
    EXPECT_EQ(e.result.exit_code, 0) << e.result.err;
    EXPECT_EQ(e.ini, "[Scores]\r\nbest=900\r\n[Quit]\r\nsaved=yes\r\n") << e.result.out;
    EXPECT_EQ(e.lines, "\r\n\r\nthird\r\n");
    EXPECT_EQ(e.result.out.find("never printed"), std::string::npos) << e.result.out;
    EXPECT_NE(e.result.out.find("quit\n"), std::string::npos);
  }
}

TEST(Saves, ReadsPastTheEndAndBadChannelsEndTheProgram) {
  const Ended past = run_saves("read_past_end");
  EXPECT_EQ(split_lines(past.result.out),
            (std::vector<std::string>{"line a eof 0", "line b eof 1", "error: 3", "quit", "exit"}));
  EXPECT_EQ(split_lines(run_saves("value_past_end").result.out),
            (std::vector<std::string>{"error: 3", "quit", "exit"}))
      << "a 32-bit value where 3 bytes remain";
  EXPECT_EQ(split_lines(run_saves("bad_channel").result.out), (std::vector<std::string>{"error: 7", "quit", "exit"}));
  EXPECT_EQ(split_lines(run_saves("write_to_reader").result.out),
            (std::vector<std::string>{"error: 3", "quit", "exit"}));
}

// The program's life seen from outside: a real child program, its standard
// output, its exit code and its debug log.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/child.h"

using namespace mxt_test;

namespace {

struct ProgramRun {
  ChildResult result;
  std::vector<std::string> out;
  std::vector<std::string> log;
};

ProgramRun run_scenario(const std::string& scenario, const TempDir& tmp, const std::string& cwd = "") {
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", scenario}, {"TMPDIR", tmp.path()}};
  options.cwd = cwd;
  ProgramRun run;
  run.result = run_child(test_program("prog_lifecycle"), {"first arg", "plain", "q\"uote"}, options);
  run.out = split_lines(run.result.out);
  run.log = split_lines(read_file(tmp.file("ErrorLog.txt")));
  return run;
}

}  // namespace

TEST(Lifecycle, ReportedErrorsPrintHexAndTheProgramEndsWithExit) {
  TempDir tmp;
  const ProgramRun run = run_scenario("errors", tmp);
  ASSERT_FALSE(run.result.timed_out);
  EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
  // error 0 prints nothing and leaves the last code at 26
  const std::vector<std::string> expected = {"error: 9", "error: 1a", "last 26", "main returns",
                                             "quit callback", "exit"};
  EXPECT_EQ(run.out, expected) << run.result.out;
}

TEST(Lifecycle, RunningOutOfMemoryEndsInOrderWithErrorSeven) {
  for (const std::string scenario : {"out_of_memory", "string_too_long"}) {
    SCOPED_TRACE(scenario);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer's own operator new reports a failed allocation and
    // ends the process before the runtime's handler is asked.
    if (scenario == "out_of_memory") continue;
#endif
    TempDir tmp;
    const ProgramRun run = run_scenario(scenario, tmp);
    EXPECT_EQ(run.result.signal, 0) << "no abort: " << run.result.err;
    EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
    ASSERT_GE(run.out.size(), 3u) << run.result.out;
    EXPECT_EQ(run.out[run.out.size() - 3], "error: 7");
    EXPECT_EQ(run.out[run.out.size() - 2], "quit callback") << "the orderly end";
    EXPECT_EQ(run.out.back(), "exit");
    EXPECT_EQ(run.result.out.find("not reached"), std::string::npos);
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back(), "mxt is shutdown");
  }
}

TEST(Lifecycle, AnExceptionEscapingTheGameEndsItInOrderNotByTerminate) {
  TempDir tmp;
  const ProgramRun run = run_scenario("exception", tmp);
  EXPECT_EQ(run.result.signal, 0) << run.result.err;
  EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
  const std::vector<std::string> expected = {"error: 7", "quit callback", "exit"};
  EXPECT_EQ(run.out, expected) << run.result.out;
  const std::string log = read_file(tmp.file("ErrorLog.txt"));
  EXPECT_NE(log.find("uncaught exception: the game's own"), std::string::npos) << log;
}

TEST(Lifecycle, FailedAssertionReportsTwentyOneAndEndsWithCodeZero) {
  TempDir tmp;
  const ProgramRun run = run_scenario("assert", tmp);
  EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
  const std::vector<std::string> expected = {"after assert 5", "error: 15", "quit callback", "exit"};
  EXPECT_EQ(run.out, expected) << run.result.out;
}

TEST(Lifecycle, EndCalledInsideTheQuitCallbackReturnsAndShutdownCompletes) {
  TempDir tmp;
  const ProgramRun run = run_scenario("end_in_quit", tmp);
  EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
  const std::vector<std::string> expected = {"main returns", "quit callback", "mxt_end returned", "exit"};
  EXPECT_EQ(run.out, expected) << run.result.out;
  ASSERT_FALSE(run.log.empty());
  EXPECT_EQ(run.log.back(), "mxt is shutdown");
}

TEST(Lifecycle, SecondShutdownFindsNothingToRelease) {
  TempDir tmp;
  const ProgramRun run = run_scenario("shutdown_twice", tmp);
  EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
  EXPECT_EQ(run.result.signal, 0);
  const std::vector<std::string> expected = {"quit callback", "first shutdown done", "second shutdown done",
                                             "main returns", "exit"};
  EXPECT_EQ(run.out, expected) << run.result.out;
  // Only the first shutdown found the renderer; both reached their last line.
  EXPECT_EQ(std::count(run.log.begin(), run.log.end(), "Shutdown MXT"), 1);
  EXPECT_EQ(std::count(run.log.begin(), run.log.end(), "mxt is shutdown"), 3);
}

TEST(Lifecycle, DebugLogHoldsTheStartUpLinesInOrder) {
  TempDir tmp;
  write_file(tmp.file("ErrorLog.txt"), "a line from an earlier run\n");
  const ProgramRun run = run_scenario("errors", tmp);
  ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
  ASSERT_FALSE(run.log.empty());
  EXPECT_EQ(run.log.front(), "Start new log...");  // the earlier run's log is gone
  const std::vector<std::string> order = {
      "Start new log...", "timer", "rbow", "rbow init", "WIN32 init video", "get accurate timer - 1st call",
      "flip - 1st call", "init fbo", "2D VP", "VURE init [OK]", "Cptn", "Network", "Input", "Window mode",
      "Create DXin", "reptr", "getexe", "cd", "shoeboxing...", "init gettimer", "clear screen", "flip",
      "mk2D", "finding font...", "Init Finalized", "Shutdown MXT", "mxt is shutdown"};
  size_t at = 0;
  for (const std::string& line : run.log)
    if (at < order.size() && line == order[at]) ++at;
  EXPECT_EQ(at, order.size()) << "missing or out of order: " << (at < order.size() ? order[at] : "")
                              << "\n" << read_file(tmp.file("ErrorLog.txt"));
}

TEST(Lifecycle, DebugLogPathThatIsADirectoryIsRemoved) {
  TempDir tmp;
  std::filesystem::create_directory(tmp.file("ErrorLog.txt"));
  const ProgramRun run = run_scenario("errors", tmp);
  EXPECT_EQ(run.result.exit_code, 0) << run.result.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(tmp.file("ErrorLog.txt")));
  ASSERT_FALSE(run.log.empty());
  EXPECT_EQ(run.log.front(), "Start new log...");
}

TEST(Lifecycle, ProgramFolderBecomesCurrentAndCommandLineIsKeptWhole) {
  TempDir tmp;
  const ProgramRun run = run_scenario("where", tmp, tmp.path());
  ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
  const std::string folder = std::filesystem::path(test_program("prog_lifecycle")).parent_path().string();
  EXPECT_NE(std::find(run.out.begin(), run.out.end(), "cwd=" + folder), run.out.end()) << run.result.out;
  const std::string cmd = "cmd=" + test_program("prog_lifecycle") + " \"first arg\" plain \"q\\\"uote\"";
  EXPECT_NE(std::find(run.out.begin(), run.out.end(), cmd), run.out.end()) << run.result.out;
  EXPECT_NE(std::find(run.out.begin(), run.out.end(), "title=Lifecycle"), run.out.end());
}

TEST(Lifecycle, DebugModeLogsTheEndReport) {
  TempDir tmp;
  const ProgramRun run = run_scenario("debug_end", tmp);
  ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
  auto it = std::find(run.log.begin(), run.log.end(), "-End On Line");
  ASSERT_NE(it, run.log.end()) << read_file(tmp.file("ErrorLog.txt"));
  ASSERT_GE(run.log.end() - it, 5);
  // last error code, error line - 1, current line, current file index
  EXPECT_EQ(std::vector<std::string>(it + 1, it + 5), (std::vector<std::string>{"3", "39", "44", "2"}));
}

TEST(Lifecycle, LoopCallbackRunsAfterMainUntilItClearsItself) {
  TempDir tmp;
  const ProgramRun run = run_scenario("frames", tmp);
  ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
  const std::vector<std::string> expected = {"frames done", "main returns", "loop 1", "loop 2", "loop 3",
                                             "quit callback", "exit"};
  EXPECT_EQ(run.out, expected) << run.result.out;
}

TEST(Lifecycle, DebuggerTextsReachOnlyAnAttachedDebugger) {
  for (const bool traced : {true, false}) {
    TempDir tmp;
    ChildOptions options;
    options.env = {{"MXT_TEST_SCENARIO", "debugger"}, {"TMPDIR", tmp.path()}};
    // The leak checker stops the world with ptrace, which a traced process cannot.
    if (traced) options.env.emplace_back("ASAN_OPTIONS", "detect_leaks=0");
    options.traced = traced;
    const ChildResult r = run_child(test_program("prog_lifecycle"), {}, options);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::vector<std::string> out = split_lines(r.out);
    const std::vector<std::string> expected = {"call 0", "quiet 0", "error: 15", "quit callback", "exit"};
    EXPECT_EQ(out, expected) << r.out;
    if (traced) {
      EXPECT_EQ(r.err, "TXhello debugger\nTXCALLBYNAME \"NO_SUCH_FUNCTION\" *** failed ***\nBP1a"
                       "TXAssertion: Value = 0\n");
      // The breakpoint asks the next frame to bring the window forward; the
      // program ended first, so nothing was printed for it.
    } else {
      EXPECT_EQ(r.err, "") << "without a debugger nothing is sent";
    }
  }
}

TEST(Lifecycle, NoWindowMeansAClearMessageAndAnOrderlyEndBeforeTheGameRuns) {
  TempDir tmp;
  ChildOptions options;
  // SDL's dummy video driver offers no OpenGL, so no window can be made.
  options.env = {{"MXT_TEST_SCENARIO", "errors"}, {"TMPDIR", tmp.path()}, {"SDL_VIDEODRIVER", "dummy"}};
  const ChildResult r = run_child(test_program("prog_lifecycle"), {}, options);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("the window could not be created"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "") << "the game's main routine and its quit callback never ran";
  const std::vector<std::string> log = split_lines(read_file(tmp.file("ErrorLog.txt")));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "mxt is shutdown");
}

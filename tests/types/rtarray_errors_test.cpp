// Array faults end the program: seen from outside, in a real child program.
#include <gtest/gtest.h>

#include <moxtril.h>
#include "support/child.h"

using namespace mxt_test;

namespace {

struct Fault {
  const char* scenario;
  std::vector<std::string> out;  // standard output, line by line
  const char* err;               // the report on standard error, or "" for none
};

ChildResult run_arrays(const std::string& scenario, const TempDir& tmp) {
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", scenario}, {"TMPDIR", tmp.path()}};
  return run_child(test_program("prog_arrays"), {}, options);
}

}  // namespace

TEST(ArrayFaults, ReportRaiseTheErrorAndEndWithCodeZero) {
  const Fault faults[] = {
      {"index_past_end", {"reached 9", "error: 9", "exit"}, "bounds: [  10]\naccess: [  10]\n"},
      {"negative_index", {"last 5", "error: 9", "exit"}, "bounds: [  10]\naccess: [  -1]\n"},
      {"two_dimensions", {"error: 9", "exit"}, "bounds: [  10][  10]\naccess: [  12][   3]\n"},
      {"negative_second_index", {"error: 9", "exit"}, "bounds: [   4][   4]\naccess: [   1][  -1]\n"},
      {"never_sized", {"error: 9", "exit"}, "bounds: [   0]\naccess: [   0]\n"},
      {"four_dimensions", {"error: 9", "exit"}, "bounds: [   2][   3][   4][   5]\naccess: [   1][   2][   3][   5]\n"},
      {"push_two_dimensions", {"error: 8", "exit"}, ""},
      {"negative_size", {"error: 7", "exit"}, ""},
      {"count_overflow", {"error: 7", "exit"}, ""},
      {"read_past_end", {"read 2 12abc", "error: 14", "exit"}, ""},
      {"read_without_list", {"error: 14", "exit"}, ""},
  };
  for (const Fault& f : faults) {
    TempDir tmp;
    const ChildResult r = run_arrays(f.scenario, tmp);
    ASSERT_FALSE(r.timed_out) << f.scenario;
    EXPECT_EQ(r.signal, 0) << f.scenario;
    EXPECT_EQ(r.exit_code, 0) << f.scenario;
    EXPECT_EQ(split_lines(r.out), f.out) << f.scenario << "\n" << r.out;
    // The platform may add lines of its own to standard error.
    if (*f.err)
      EXPECT_NE(r.err.find(f.err), std::string::npos) << f.scenario << "\n" << r.err;
    else
      EXPECT_EQ(r.err.find("bounds:"), std::string::npos) << f.scenario << "\n" << r.err;
  }
}

TEST(ArrayFaults, AProgramWithoutFaultsRunsToItsEnd) {
  TempDir tmp;
  const ChildResult r = run_arrays("", tmp);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(split_lines(r.out), (std::vector<std::string>{"reached end of main", "exit"}));
  EXPECT_EQ(r.err.find("bounds:"), std::string::npos);
}

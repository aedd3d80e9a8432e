// Named callbacks and the pause state, in process with a table of our own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/platform/platform.h"

using namespace mxt;

namespace {

std::vector<std::string> calls;
int loop_a_calls = 0;

void fn_pause() { calls.push_back("pause"); }
void fn_resume() { calls.push_back("resume"); }
void fn_long() { calls.push_back("long"); }

// Runs three times re-setting its own name, then switches to B.
void fn_loop_a() {
  calls.push_back("A");
  ++loop_a_calls;
  if (loop_a_calls < 3) {
    mxt_set_loop_callback("LOOP_A");
  } else {
    mxt_set_loop_callback("LOOP_B");
    calls.push_back("A after switch");  // the switch takes effect after this call
  }
}
void fn_loop_b() {
  calls.push_back("B");
  mxt_set_loop_callback("");
}
void fn_loop_missing() {
  calls.push_back("M");
  mxt_set_loop_callback("NOT_THERE");
}

const CallbackEntry kTable[] = {
    {fn_pause, "MXT_ON_PAUSE"},   {fn_resume, "MXT_ON_RESUME"}, {fn_long, "MXT_ON_LOOPING"},
    {fn_loop_a, "LOOP_A"},        {fn_loop_b, "LOOP_B"},        {fn_loop_missing, "LOOP_M"},
    {nullptr, nullptr},
};

class Callbacks : public ::testing::Test {
 protected:
  void SetUp() override {
    rt.callbacks = kTable;
    calls.clear();
    loop_a_calls = 0;
  }
  void TearDown() override {
    static const CallbackEntry kEmpty[] = {{nullptr, nullptr}};
    rt.callbacks = kEmpty;
  }
};

}  // namespace

TEST_F(Callbacks, NamesMatchExactlyByLengthAndBytes) {
  EXPECT_EQ(find_callback("MXT_ON_PAUSE"), fn_pause);
  EXPECT_EQ(find_callback("MXT_ON_LOOPING"), fn_long);
  EXPECT_EQ(find_callback("MXT_ON_LOOP"), nullptr) << "a prefix of a longer name does not match";
  EXPECT_EQ(find_callback("mxt_on_pause"), nullptr) << "case matters";
  EXPECT_EQ(find_callback("MXT_ON_PAUSE "), nullptr);
  EXPECT_EQ(find_callback(""), nullptr);
  EXPECT_EQ(mxt_call_by_name("MXT_ON_LOOPING"), 1);
  EXPECT_EQ(mxt_call_by_name("MXT_ON_QUIT"), 0);
  EXPECT_EQ(mxt_call_by_name("SOMETHING_ELSE"), 0);
  EXPECT_EQ(calls, std::vector<std::string>{"long"});
}

TEST_F(Callbacks, LoopRunnerKeepsCallingSwitchesAfterTheCallAndEndsOnEmptyName) {
  mxt_set_loop_callback("LOOP_A");
  const std::vector<std::string> expected = {"A", "A", "A", "A after switch", "B"};
  EXPECT_EQ(calls, expected);
  // The runner is idle again: a new name starts a new run.
  calls.clear();
  mxt_set_loop_callback("LOOP_B");
  EXPECT_EQ(calls, std::vector<std::string>{"B"});
}

TEST_F(Callbacks, UnknownLoopNamesEndTheRunnerAndLeaveItUsable) {
  mxt_set_loop_callback("NOT_THERE");
  EXPECT_TRUE(calls.empty());
  mxt_set_loop_callback("LOOP_M");  // switches to a missing name from inside
  EXPECT_EQ(calls, std::vector<std::string>{"M"});
  calls.clear();
  mxt_set_loop_callback("LOOP_B");  // a failed look-up must not leave the runner stuck
  EXPECT_EQ(calls, std::vector<std::string>{"B"});
}

TEST_F(Callbacks, PauseFiresOnceForTwoDeactivationsAndResumeOnce) {
  on_focus_change(1);
  on_focus_change(1);
  EXPECT_EQ(rt.core->pause.paused, 1);
  on_focus_change(0);
  on_focus_change(0);
  EXPECT_EQ(rt.core->pause.paused, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"pause", "resume"}));
}

TEST_F(Callbacks, AutoPauseOffNeitherPausesNorCallsAndSwitchingItOffResumes) {
  on_focus_change(1);
  ASSERT_EQ(rt.core->pause.paused, 1);
  mxt_set_auto_pause(0);
  EXPECT_EQ(rt.core->pause.paused, 0);
  on_focus_change(1);
  EXPECT_EQ(rt.core->pause.paused, 0);
  mxt_set_auto_pause(1);
  EXPECT_EQ(calls, (std::vector<std::string>{"pause", "resume"}));
}

TEST(RunProgram, StartsARealChildAndKeepsItsExitCode) {
  double code = -1;
  EXPECT_EQ(mxt_run_program("/bin/sh -c \"exit 7\"", 1, 1, code), 1);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(mxt_run_program("/bin/sh -c \"exit 7\"", 0, 1, code), 1);
  EXPECT_EQ(code, 0) << "without waiting the code stays 0";
  EXPECT_EQ(mxt_run_program("/no/such/program arg", 1, 1, code), 0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(mxt_run_program("", 1, 1, code), 0);
}

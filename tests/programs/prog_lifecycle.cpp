// A small game for the lifecycle tests. MXT_TEST_SCENARIO picks what it does;
// the tests read its standard output, exit code and debug log.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "runtime/core/runtime.h"
#include <moxtril.h>
#include "tests/programs/scenario.h"
#include "runtime/platform/platform.h"

namespace {

using scenario_support::scenario;

void say(const char* text) { mxt_stdout(text); }

void on_quit() {
  say("quit callback\n");
  if (scenario() == "end_in_quit") {
    mxt_end();  // already ending: returns at once
    say("mxt_end returned\n");
  }
}

int loop_calls = 0;
void on_loop() {
  if (scenario() != "frames") {
    mxt_set_loop_callback("");
    return;
  }
  ++loop_calls;
  std::printf("loop %d\n", loop_calls);
  if (loop_calls == 3) mxt_set_loop_callback("");
}

}  // namespace

extern const CallbackEntry mxt_callbacks[] = {
    {on_quit, "MXT_ON_QUIT"},
    {on_loop, "MXT_ON_LOOP"},
    {nullptr, nullptr},
};

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 200;
  mxt_settings().frame_rate = 60;
  mxt_settings().debug_mode = scenario() == "debug_end" ? 1 : 0;
  mxt_app_title() = "Lifecycle";
}

int mxt_main() {
  const std::string s = scenario();
  if (s == "errors") {
    mxt_report_error(9);
    mxt_report_error(26);
    mxt_report_error(0);
    std::printf("last %d\n", mxt_last_error());
  } else if (s == "assert") {
    mxt_assert(5);
    say("after assert 5\n");
    mxt_assert(0);
    say("not reached\n");
  } else if (s == "shutdown_twice") {
    mxt::runtime_shutdown();
    say("first shutdown done\n");
    mxt::runtime_shutdown();
    say("second shutdown done\n");
  } else if (s == "where") {
    std::printf("cwd=%s\n", mxt::platform::current_dir().c_str());
    std::printf("cmd=%s\n", mxt_command_line().c_str());
    std::printf("title=%s\n", mxt_app_title().c_str());
  } else if (s == "debug_end") {
    mxt_set_line(2, 40);
    mxt_report_error(3);
    mxt_set_line(2, 44);
  } else if (s == "debugger") {
    mxt_debug_out("hello debugger\n");
    std::printf("call %d\n", mxt_call_by_name("NO_SUCH_FUNCTION"));
    std::printf("quiet %d\n", mxt_call_by_name("MXT_WIN32_MSG"));
    std::fflush(stdout);
    mxt_breakpoint(26);
    mxt_assert(0);
  } else if (s == "out_of_memory") {
    // More than any machine gives: the allocation fails inside a command's
    // own call of operator new.
    const size_t huge = size_t{1} << 62;
    say("allocating\n");
    volatile char* p = new char[huge];
    p[0] = 1;
    say("not reached\n");
  } else if (s == "string_too_long") {
    RtString text("x");
    text.reserve(0xFFFFFFF8u);  // more than a string's 32-bit capacity can hold
    say("not reached\n");
  } else if (s == "exception") {
    throw std::runtime_error("the game's own");
  } else if (s == "frames") {
    for (int i = 0; i < 3; ++i) mxt_show_screen();
    say("frames done\n");
  }
  say("main returns\n");
  return 0;
}

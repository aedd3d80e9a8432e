// Named callbacks: the game's table of functions the runtime reaches by
// exact name, the loop-function runner, and the pause state behind the
// "MXT_ON_PAUSE" and "MXT_ON_RESUME" events.
#include <cstring>

#include "runtime/core/runtime.h"

namespace mxt {

namespace {
constexpr CallbackEntry kEmptyTable[] = {{nullptr, nullptr}};
RtString current_loop_name;
RtString next_loop_name;
}  // namespace

const CallbackEntry* callback_table = kEmptyTable;
PauseState pause_state;

Callback find_callback(const char* name) {
  if (!name || !callback_table) return nullptr;
  const size_t n = std::strlen(name);
  for (const CallbackEntry* e = callback_table; e->function; ++e) {
    if (e->name && std::strlen(e->name) == n && std::memcmp(e->name, name, n) == 0) return e->function;
  }
  return nullptr;
}

Callback find_callback(const RtString& name) { return find_callback(name.c_str()); }

void on_focus_change(int deactivated) {
  const int want = pause_state.auto_pause ? deactivated : 0;
  if (want && !pause_state.paused) {
    pause_state.paused = 1;
    mxt_call_by_name("MXT_ON_PAUSE");
  } else if (!want && pause_state.paused) {
    pause_state.paused = 0;
    mxt_call_by_name("MXT_ON_RESUME");
  }
}

}  // namespace mxt

using namespace mxt;

int mxt_call_by_name(const RtString& name) {
  if (Callback f = find_callback(name)) {
    f();
    return 1;
  }
  if (!name.equals("MXT_ON_QUIT") && !name.equals("MXT_WIN32_MSG")) {
    RtString notice("CALLBYNAME \"");
    notice.append(name);
    notice.append("\" *** failed ***\n");
    mxt_debug_out(notice);
  }
  return 0;
}

void mxt_set_loop_callback(const RtString& name) {
  if (!current_loop_name.empty()) {
    // Called from inside the running loop function: the runner takes the new
    // name once that function returns.
    next_loop_name = name;
    current_loop_name.assign("");
    return;
  }
  next_loop_name.assign("");
  current_loop_name = name;
  if (current_loop_name.empty()) return;
  Callback f = find_callback(current_loop_name);
  for (;;) {
    if (!f) {
      current_loop_name.assign("");
      return;
    }
    do {
      f();
    } while (!current_loop_name.empty());
    current_loop_name = next_loop_name;
    next_loop_name.assign("");
    if (current_loop_name.empty()) return;
    f = find_callback(current_loop_name);
  }
}

void mxt_end_loop() {
  mxt_set_loop_callback("");
  mxt_report_error(0);
  mxt_end();
}

void mxt_set_auto_pause(int on) {
  pause_state.auto_pause = on != 0;
  if (!pause_state.auto_pause && pause_state.paused) {
    pause_state.paused = 0;
    mxt_call_by_name("MXT_ON_RESUME");
  }
}

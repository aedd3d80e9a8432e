// Named callbacks: the game's table of functions the runtime reaches by
// exact name, the loop-function runner, and the pause state behind the
// "MXT_ON_PAUSE" and "MXT_ON_RESUME" events.
#include <cstring>

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"

namespace mxt {

Callback find_callback(const char* name) {
  if (!name || !rt.callbacks) return nullptr;
  const size_t n = std::strlen(name);
  for (const CallbackEntry* e = rt.callbacks; e->function; ++e) {
    if (e->name && std::strlen(e->name) == n && std::memcmp(e->name, name, n) == 0) return e->function;
  }
  return nullptr;
}

Callback find_callback(const RtString& name) { return find_callback(name.c_str()); }

void on_focus_change(int deactivated) {
  if (!rt.core) return;
  PauseState& pause = rt.core->pause;
  const int want = pause.auto_pause ? deactivated : 0;
  if (want && !pause.paused) {
    pause.paused = 1;
    mxt_call_by_name(MXT_ON_PAUSE);
  } else if (!want && pause.paused) {
    pause.paused = 0;
    mxt_call_by_name(MXT_ON_RESUME);
  }
}

}  // namespace mxt

using namespace mxt;

int mxt_call_by_name(const RtString& name) {
  if (Callback f = find_callback(name)) {
    f();
    return 1;
  }
  if (!name.equals(MXT_ON_QUIT) && !name.equals(MXT_WIN32_MSG)) {
    RtString notice("CALLBYNAME \"");
    notice.append(name);
    notice.append("\" *** failed ***\n");
    mxt_debug_out(notice);
  }
  return 0;
}

void mxt_set_loop_callback(const RtString& name) {
  if (!rt.core) return;
  RtString& current_loop_name = rt.core->loop_name;
  RtString& next_loop_name = rt.core->next_loop_name;
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
    } while (rt.core && !current_loop_name.empty());
    if (!rt.core) return;
    current_loop_name = next_loop_name;
    next_loop_name.assign("");
    if (current_loop_name.empty()) return;
    f = find_callback(current_loop_name);
  }
}

void mxt_end_loop() {
  mxt_set_loop_callback("");
  mxt_end();
}

void mxt_set_auto_pause(int on) {
  if (!rt.core) return;
  PauseState& pause = rt.core->pause;
  pause.auto_pause = on != 0;
  if (!pause.auto_pause && pause.paused) {
    pause.paused = 0;
    mxt_call_by_name(MXT_ON_RESUME);
  }
}

// The input commands: each finds the runtime's input state and forwards;
// set-up and shutdown of the input state; the waits for a click and a key.
#include "runtime/input/input.h"

#include <cstring>

#include "runtime/base/singletons.h"
#include "runtime/input/input_state.h"
#include "runtime/input/joystick.h"
#include "runtime/input/journal.h"
#include "runtime/platform/platform.h"

namespace mxt {

// The screen source stays as it was: the runtime frame sets it to the
// renderer's screen when it creates the input state.
void input_setup(InputState& in, platform::Window* window, bool hide_pointer) {
  in.current_mouse = 0;
  in.window = window;
  in.steer_system_pointer = !(rt.journal && rt.journal->replaying());
  // The runtime's pointer starts where the system pointer is (a replay says
  // where that was when it was recorded).
  int x = 0, y = 0;
  platform::mouse_in_window(window, &x, &y);
  journal_pointer(&x, &y);
  in.mice.assign(1, MouseRecord{x, y, x, y, 0});
  std::memset(in.key_state, 0, sizeof in.key_state);
  std::memset(in.live_keys, 0, sizeof in.live_keys);
  std::memset(in.pressed_keys, 0, sizeof in.pressed_keys);
  in.pointer_visible = false;
  if (hide_pointer) {
    in.apply_pointer_mode();  // taken exclusively from the start
  } else {
    in.set_pointer_visible(true);
  }
  joysticks_setup(in);
}

void input_shutdown(InputState& in) {
  joysticks_shutdown(in);
  in.set_pointer_visible(true);
  in.release_mouse();
  in.mice.clear();
  in.typed.clear();
  in.typed.shrink_to_fit();
}

bool key_down(int code) { return rt.input && (rt.input->key_state[code & 0xFF] & 0x80) != 0; }

bool any_key_down() {
  for (int k = 1; k < 256; ++k)
    if (key_down(k)) return true;
  return false;
}

}  // namespace mxt

using namespace mxt;

// ---------------------------------------------------------------------------
// Mouse and touch

void mxt_mouse_state(int& x, int& y, int& button1, int& button2) {
  MouseReading m;
  if (rt.input) m = rt.input->mouse_state();
  x = m.x;
  y = m.y;
  button1 = m.left;
  button2 = m.right;
}

void mxt_mouse_state(double& x, double& y, double& button1, double& button2) {
  int a, b, c, d;
  mxt_mouse_state(a, b, c, d);
  x = a;
  y = b;
  button1 = c;
  button2 = d;
}

int mxt_mouse_axis(int kind) { return rt.input ? rt.input->mouse_axis(kind) : 0; }

void mxt_set_mouse(int x, int y) {
  if (rt.input) rt.input->set_mouse(x, y);
}

void mxt_show_pointer(double flag) {
  if (rt.input) rt.input->set_pointer_visible(flag != 0);  // NaN shows it
}

int mxt_mouse_count() { return InputState::mouse_count(); }

void mxt_select_mouse(int index) {
  if (rt.input) rt.input->select_mouse(index);
}

namespace {

// One pass of the runtime frame's idle pump, waiting for the player; without
// a frame (nothing can arrive) the wait ends.
bool wait_for_input() {
  if (!rt.frame.wait_for_input) return false;
  rt.frame.wait_for_input();
  return true;
}

}  // namespace

void mxt_wait_mouse() {
  if (!rt.input) return;
  while (rt.input && rt.input->any_button())
    if (!wait_for_input()) return;
  while (rt.input && !rt.input->any_button())
    if (!wait_for_input()) return;
  while (rt.input && rt.input->any_button())
    if (!wait_for_input()) return;
}

// ---------------------------------------------------------------------------
// Keyboard

int mxt_key(int code) { return rt.input ? rt.input->key(code) : 0; }

RtString mxt_typed_char() {
  if (!rt.input) return RtString();
  const int c = rt.input->pop_typed_char();
  if (c == 0) return RtString();
  const char byte = static_cast<char>(c);
  return RtString(&byte, 1);
}

int mxt_key_to_char(int code) { return rt.input ? rt.input->key_to_char(code) : 0; }

void mxt_wait_key() {
  if (!rt.input) return;
  // What was typed before the wait does not count. It is dropped at once:
  // waiting for input once per dropped character would swallow the keys
  // typed meanwhile and leave the wait asking for more.
  while (rt.input->drop_typed_char()) {
  }
  while (rt.input && !rt.input->drop_typed_char())
    if (!wait_for_input()) return;
  while (rt.input && rt.input->drop_typed_char()) {
  }
}

// Joysticks: the device list kept in the input state, the readings turned
// into what games read, and the joystick commands.
//
// [SECTION] The device list
// [SECTION] Policy
// [SECTION] Commands
#include "runtime/input/joystick.h"

#include <algorithm>
#include <cmath>

#include "runtime/base/singletons.h"
#include "runtime/input/input.h"
#include "runtime/input/input_state.h"
#include "runtime/input/screen_map.h"
#include "runtime/platform/platform.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] The device list

namespace {

void close_all(InputState& in) {
  for (int i = 0; i < kJoysticks; ++i) {
    platform::close_joystick(in.joysticks[i]);
    in.joysticks[i] = nullptr;
    in.joystick_names[i].clear();
  }
  in.joystick_count = 0;
}

// The first ten devices that open, in the system's order; one that does not
// open is skipped and not counted.
void open_all(InputState& in) {
  const int devices = platform::joystick_devices();
  for (int d = 0; d < devices && in.joystick_count < kJoysticks; ++d) {
    platform::Joystick* j = platform::open_joystick(d);
    if (!j) continue;
    in.joysticks[in.joystick_count] = j;
    in.joystick_names[in.joystick_count] = platform::joystick_name(j);
    ++in.joystick_count;
  }
}

}  // namespace

void joysticks_setup(InputState& in) {
  close_all(in);
  in.joystick_service = platform::joysticks_init();
  if (!in.joystick_service) return;
  platform::joysticks_changed();  // what start-up found is opened now
  open_all(in);
}

void joysticks_shutdown(InputState& in) {
  close_all(in);
  if (in.joystick_service) platform::joysticks_quit();
  in.joystick_service = false;
}

void joysticks_refresh(InputState& in) {
  if (!in.joystick_service || !platform::joysticks_changed()) return;
  close_all(in);
  open_all(in);
}

bool read_joystick(InputState& in, int index, JoyState& out) {
  out = JoyState{};
  joysticks_refresh(in);
  if (index < 0 || index >= kJoysticks || !in.joysticks[index]) return false;
  platform::JoystickState s;
  if (!platform::read_joystick(in.joysticks[index], s)) return false;
  out.x = s.x;
  out.y = s.y;
  out.z = s.z;
  out.rx = s.rx;
  out.ry = s.ry;
  out.rz = s.rz;
  out.pov[0] = s.pov;
  for (int b = 0; b < 32; ++b) out.buttons[b] = s.buttons[b] ? 128 : 0;
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Policy

double joy_axis(int32_t value) { return std::clamp(static_cast<double>(value) / 32767.0, -1.0, 1.0); }

void joy_turn(int orientation, double x, double y, double* tx, double* ty) {
  turn_direction(orientation, x, y, tx, ty);
}

int joy_hat_x(uint32_t pov) {
  if (pov == 4500 || pov == 9000 || pov == 13500) return 1;
  if (pov == 22500 || pov == 27000 || pov == 31500) return -1;
  return 0;
}

int joy_hat_y(uint32_t pov) {
  if (pov == 0 || pov == 4500 || pov == 31500) return -1;
  if (pov == 13500 || pov == 18000 || pov == 22500) return 1;
  return 0;
}

int joy_digital_axis(int32_t value) { return value / 30000; }

double joy_rumble_strength(double x, double y) {
  x = std::isnan(x) ? 0.0 : std::clamp(x, -1.0, 1.0);
  y = std::isnan(y) ? 0.0 : std::clamp(y, -1.0, 1.0);
  return std::trunc((x * x + y * y) * 10000.0 * 0.5) / 10000.0;
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

namespace {

JoyState read(int index) {
  JoyState s;
  if (rt.input) read_joystick(*rt.input, index, s);
  return s;
}

int orientation() {
  if (!rt.input) return 0;
  if (rt.input->screen_source) rt.input->screen_source(rt.input->screen);
  return rt.input->screen.orientation;
}

// X and Y (or RX and RY) turned together with the screen.
double turned(int index, bool right_stick, bool want_y) {
  const JoyState s = read(index);
  const double x = joy_axis(right_stick ? s.rx : s.x);
  const double y = joy_axis(right_stick ? s.ry : s.y);
  double tx, ty;
  joy_turn(orientation(), x, y, &tx, &ty);
  return want_y ? ty : tx;
}

// The hat turned with the screen like a stick, so "up" stays up on the
// screen the player sees.
void hat(int index, int* hx, int* hy) {
  const JoyState s = read(index);
  double tx, ty;
  joy_turn(orientation(), joy_hat_x(s.pov[0]), joy_hat_y(s.pov[0]), &tx, &ty);
  *hx = static_cast<int>(tx);
  *hy = static_cast<int>(ty);
}

}  // namespace

int mxt_joy_count() {
  if (!rt.input) return 0;
  joysticks_refresh(*rt.input);
  return rt.input->joystick_count;
}

RtString mxt_joy_name(int index) {
  if (!rt.input) return RtString();
  joysticks_refresh(*rt.input);
  if (index < 0 || index >= rt.input->joystick_count) return RtString();
  return RtString(std::string_view(rt.input->joystick_names[index]));
}

double mxt_joy_x(int index) { return turned(index, false, false); }
double mxt_joy_y(int index) { return turned(index, false, true); }
double mxt_joy_z(int index) { return joy_axis(read(index).z); }
double mxt_joy_rx(int index) { return turned(index, true, false); }
double mxt_joy_ry(int index) { return turned(index, true, true); }
double mxt_joy_rz(int index) { return joy_axis(read(index).rz); }

int mxt_joy_hat_x(int index) {
  int x, y;
  hat(index, &x, &y);
  return x;
}

int mxt_joy_hat_y(int index) {
  int x, y;
  hat(index, &x, &y);
  return y;
}

int mxt_joy_button(int index, unsigned button) {
  if (button > 31) return 0;
  return read(index).buttons[button];
}

void mxt_joy_digital(int& x, int& y, int& button1, int& button2) {
  const JoyState s = read(0);
  x = joy_digital_axis(s.x);
  y = joy_digital_axis(s.y);
  button1 = s.buttons[0];
  button2 = s.buttons[1];
}

void mxt_joy_digital(double& x, double& y, double& button1, double& button2) {
  int a, b, c, d;
  mxt_joy_digital(a, b, c, d);
  x = a;
  y = b;
  button1 = c;
  button2 = d;
}

void mxt_joy_rumble(int index, double ms, double x, double y) {
  if (!rt.input) return;
  joysticks_refresh(*rt.input);
  if (index < 0 || index >= kJoysticks || !rt.input->joysticks[index]) return;
  const double d = std::isnan(ms) ? 0.0 : std::clamp(ms, 0.0, 4294967295.0);
  platform::joystick_rumble(rt.input->joysticks[index], joy_rumble_strength(x, y), static_cast<uint32_t>(d));
}

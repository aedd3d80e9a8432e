// Joysticks: up to 10 devices opened when the input state is set up and
// again whenever one is plugged in or pulled out, read afresh by every
// query. The platform reports each device in the runtime's joystick state
// (axes -32768..32767, the first hat as an angle, 32 buttons); the scaling,
// the turn with the screen's orientation and the digital pad are here, as
// pure functions a test can call.
#pragma once

#include <cstdint>

namespace mxt {

struct InputState;

constexpr int kJoysticks = 10;

// One reading of a device, laid out as games have always read it.
struct JoyState {
  int32_t x = 0, y = 0, z = 0, rx = 0, ry = 0, rz = 0;
  int32_t sliders[2] = {0, 0};
  uint32_t pov[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};  // hundredths of a degree; centred
  uint8_t buttons[32] = {};        // 128 pressed
};

// Opening, closing and noticing changes. Setup starts the platform's joystick
// service; shutdown closes every device and stops it.
void joysticks_setup(InputState& in);
void joysticks_shutdown(InputState& in);
void joysticks_refresh(InputState& in);   // reopens the list when a device came or went
bool read_joystick(InputState& in, int index, JoyState& out);  // false (all zero) without a device there

// The policy, apart from any device.
double joy_axis(int32_t value);                        // value / 32767, held to -1..1
void joy_turn(int orientation, double x, double y, double* tx, double* ty);  // the screen's quarter turns
int joy_hat_x(uint32_t pov);                           // -1, 0, 1; right is +1
int joy_hat_y(uint32_t pov);                           // -1, 0, 1; up is -1
int joy_digital_axis(int32_t value);                   // trunc(value / 30000)
double joy_rumble_strength(double x, double y);        // trunc((x^2 + y^2) * 5000) / 10000, x and y held to -1..1

}  // namespace mxt

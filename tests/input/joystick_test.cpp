// Joysticks through SDL's virtual joysticks: real SDL devices made by the
// test, read by the runtime the way it reads a pad on a desk.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "runtime/base/singletons.h"
#include "runtime/input/input_state.h"
#include "runtime/input/joystick.h"
#include "support/runtime.h"
#include <moxtril.h>

using namespace mxt;

namespace {

struct Rumbles {
  std::vector<std::pair<int, int>> calls;  // low, high motor
};

int SDLCALL record_rumble(void* user, Uint16 low, Uint16 high) {
  static_cast<Rumbles*>(user)->calls.emplace_back(low, high);
  return 0;
}

// A virtual device: plain (read axis by axis) or a pad SDL knows the
// layout of; with or without a rumble motor.
struct VirtualStick {
  int instance = -1;
  SDL_Joystick* handle = nullptr;

  VirtualStick(const char* name, SDL_JoystickType type, Rumbles* rumbles = nullptr) {
    SDL_VirtualJoystickDesc d;
    SDL_zero(d);
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = static_cast<Uint16>(type);
    d.naxes = 6;
    d.nbuttons = 32;
    d.nhats = 1;
    d.name = name;
    if (rumbles) {
      d.Rumble = record_rumble;
      d.userdata = rumbles;
    }
    const int device = SDL_JoystickAttachVirtualEx(&d);
    EXPECT_GE(device, 0) << SDL_GetError();
    instance = SDL_JoystickGetDeviceInstanceID(device);
    handle = SDL_JoystickOpen(device);
    EXPECT_NE(handle, nullptr) << SDL_GetError();
  }
  ~VirtualStick() { detach(); }
  void detach() {
    if (!handle) return;
    SDL_JoystickClose(handle);
    handle = nullptr;
    for (int d = 0; d < SDL_NumJoysticks(); ++d)
      if (SDL_JoystickGetDeviceInstanceID(d) == instance) SDL_JoystickDetachVirtual(d);
  }
  void axis(int a, int16_t v) { SDL_JoystickSetVirtualAxis(handle, a, v); }
  void button(int b, bool down) { SDL_JoystickSetVirtualButton(handle, b, down ? 1 : 0); }
  void hat(Uint8 h) { SDL_JoystickSetVirtualHat(handle, 0, h); }
};

class Joystick : public ::testing::Test {
 protected:
  void SetUp() override {
    rt.input = new InputState();
    joysticks_setup(*rt.input);
    ASSERT_TRUE(rt.input->joystick_service) << SDL_GetError();
  }
  void TearDown() override {
    joysticks_shutdown(*rt.input);
    delete rt.input;
    rt.input = nullptr;
  }
  static void turn_screen(int orientation) {
    rt.input->screen_source = nullptr;
    rt.input->screen.orientation = orientation;
  }
};

}  // namespace

TEST(JoystickPolicy, AxesScaleWithoutDeadZoneAndHold) {
  EXPECT_EQ(joy_axis(0), 0.0);
  EXPECT_EQ(joy_axis(32767), 1.0);
  EXPECT_EQ(joy_axis(-32768), -1.0);  // one step beyond -32767 is held
  EXPECT_DOUBLE_EQ(joy_axis(100), 100.0 / 32767.0);
  EXPECT_EQ(joy_digital_axis(30000), 1);
  EXPECT_EQ(joy_digital_axis(29999), 0);
  EXPECT_EQ(joy_digital_axis(-30000), -1);
  EXPECT_EQ(joy_digital_axis(-32768), -1);
  EXPECT_DOUBLE_EQ(joy_rumble_strength(1, 1), 1.0);
  EXPECT_DOUBLE_EQ(joy_rumble_strength(5, -7), 1.0);  // held to -1..1 first
  EXPECT_DOUBLE_EQ(joy_rumble_strength(1, 0), 0.5);
  EXPECT_DOUBLE_EQ(joy_rumble_strength(0.1, 0), 0.005);
  EXPECT_EQ(joy_rumble_strength(0, 0), 0.0);
}

TEST(JoystickPolicy, HatAnglesGiveDirectionsWithUpNegative) {
  const struct {
    uint32_t pov;
    int x, y;
  } cases[] = {{0, 0, -1},     {4500, 1, -1},  {9000, 1, 0},   {13500, 1, 1}, {18000, 0, 1},
               {22500, -1, 1}, {27000, -1, 0}, {31500, -1, -1}, {0xFFFFFFFF, 0, 0}, {65535, 0, 0}, {1000, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(joy_hat_x(c.pov), c.x) << c.pov;
    EXPECT_EQ(joy_hat_y(c.pov), c.y) << c.pov;
  }
}

TEST_F(Joystick, AGameWithNoJoystickReadsNothing) {
  EXPECT_EQ(mxt_joy_count(), 0);
  EXPECT_EQ(mxt_joy_name(0).str(), "");
  EXPECT_EQ(mxt_joy_x(0), 0.0);
  EXPECT_EQ(mxt_joy_hat_y(0), 0);
  EXPECT_EQ(mxt_joy_button(0, 0), 0);
  int x = 5, y = 5, b1 = 5, b2 = 5;
  mxt_joy_digital(x, y, b1, b2);
  EXPECT_EQ(x + y + b1 + b2, 0);
  mxt_joy_rumble(0, 100, 1, 1);  // nothing there, nothing happens
  EXPECT_EQ(mxt_joy_x(-1), 0.0);
  EXPECT_EQ(mxt_joy_x(10), 0.0);
}

TEST_F(Joystick, AxesAtRestAndAtBothEnds) {
  VirtualStick stick("Desk Stick", SDL_JOYSTICK_TYPE_UNKNOWN);
  ASSERT_EQ(mxt_joy_count(), 1);
  EXPECT_EQ(mxt_joy_x(0), 0.0);
  EXPECT_EQ(mxt_joy_y(0), 0.0);
  stick.axis(0, -32768);
  stick.axis(1, 32767);
  stick.axis(2, 16384);
  stick.axis(3, 32767);
  stick.axis(4, -32768);
  stick.axis(5, -16384);
  EXPECT_EQ(mxt_joy_x(0), -1.0);
  EXPECT_EQ(mxt_joy_y(0), 1.0);
  EXPECT_DOUBLE_EQ(mxt_joy_z(0), 16384.0 / 32767.0);
  EXPECT_EQ(mxt_joy_rx(0), 1.0);
  EXPECT_EQ(mxt_joy_ry(0), -1.0);
  EXPECT_DOUBLE_EQ(mxt_joy_rz(0), -16384.0 / 32767.0);
  stick.axis(0, 0);
  EXPECT_EQ(mxt_joy_x(0), 0.0);  // read anew each time
}

TEST_F(Joystick, SticksAndHatTurnWithTheScreen) {
  VirtualStick stick("Desk Stick", SDL_JOYSTICK_TYPE_UNKNOWN);
  stick.axis(0, 32767);  // pushed right
  stick.hat(SDL_HAT_UP);
  turn_screen(1);
  EXPECT_EQ(mxt_joy_x(0), 0.0);
  EXPECT_EQ(mxt_joy_y(0), 1.0);
  EXPECT_EQ(mxt_joy_hat_x(0), 1);  // (0, -1) turned a quarter: (1, 0)
  EXPECT_EQ(mxt_joy_hat_y(0), 0);
  turn_screen(2);
  EXPECT_EQ(mxt_joy_x(0), -1.0);
  EXPECT_EQ(mxt_joy_hat_y(0), 1);
  turn_screen(0);
  EXPECT_EQ(mxt_joy_x(0), 1.0);
  EXPECT_EQ(mxt_joy_z(0), 0.0);  // Z never turns
}

TEST_F(Joystick, HatAndButtons) {
  VirtualStick stick("Desk Stick", SDL_JOYSTICK_TYPE_UNKNOWN);
  EXPECT_EQ(mxt_joy_hat_x(0), 0);
  EXPECT_EQ(mxt_joy_hat_y(0), 0);
  stick.hat(SDL_HAT_UP);
  EXPECT_EQ(mxt_joy_hat_y(0), -1);
  EXPECT_EQ(mxt_joy_hat_x(0), 0);
  stick.hat(SDL_HAT_RIGHTDOWN);
  EXPECT_EQ(mxt_joy_hat_x(0), 1);
  EXPECT_EQ(mxt_joy_hat_y(0), 1);
  stick.hat(SDL_HAT_LEFT);
  EXPECT_EQ(mxt_joy_hat_x(0), -1);

  EXPECT_EQ(mxt_joy_button(0, 0), 0);
  stick.button(0, true);
  stick.button(31, true);
  EXPECT_EQ(mxt_joy_button(0, 0), 128);
  EXPECT_EQ(mxt_joy_button(0, 31), 128);
  EXPECT_EQ(mxt_joy_button(0, 30), 0);
  EXPECT_EQ(mxt_joy_button(0, 32), 0);
  EXPECT_EQ(mxt_joy_button(0, 0xFFFFFFFFu), 0);
  stick.button(0, false);
  EXPECT_EQ(mxt_joy_button(0, 0), 0);
}

TEST_F(Joystick, TheDigitalPadReadsTheFirstJoystick) {
  VirtualStick stick("Desk Stick", SDL_JOYSTICK_TYPE_UNKNOWN);
  stick.axis(0, -30000);
  stick.axis(1, 29999);
  stick.button(1, true);
  int x, y, b1, b2;
  mxt_joy_digital(x, y, b1, b2);
  EXPECT_EQ(x, -1);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(b1, 0);
  EXPECT_EQ(b2, 128);
  stick.axis(1, 32767);
  stick.button(0, true);
  double dx, dy, d1, d2;
  mxt_joy_digital(dx, dy, d1, d2);
  EXPECT_EQ(dx, -1.0);
  EXPECT_EQ(dy, 1.0);
  EXPECT_EQ(d1, 128.0);
  EXPECT_EQ(d2, 128.0);
}

TEST_F(Joystick, NamesAreInstanceThenProduct) {
  VirtualStick plain("Desk Stick", SDL_JOYSTICK_TYPE_UNKNOWN);
  ASSERT_EQ(mxt_joy_count(), 1);
  EXPECT_EQ(mxt_joy_name(0).str(), "Desk Stick, Desk Stick");
  EXPECT_EQ(mxt_joy_name(1).str(), "");
  EXPECT_EQ(mxt_joy_name(-1).str(), "");
}

TEST_F(Joystick, APadIsReadInThePadLayout) {
  VirtualStick pad("Couch Pad", SDL_JOYSTICK_TYPE_GAMECONTROLLER);
  ASSERT_EQ(mxt_joy_count(), 1);
  ASSERT_TRUE(SDL_IsGameController(0));
  // SDL lays a virtual pad out as: a b x y back guide start, the stick
  // clicks, the shoulders, the D-pad as buttons 11..14; axes left x/y,
  // right x/y, the triggers.
  pad.axis(0, -32768);
  pad.axis(3, 32767);
  pad.axis(4, 32767);  // left trigger pulled
  pad.button(0, true);       // A
  pad.button(6, true);       // Start
  pad.button(11, true);      // D-pad up
  EXPECT_EQ(mxt_joy_x(0), -1.0);
  EXPECT_EQ(mxt_joy_ry(0), 1.0);
  EXPECT_EQ(mxt_joy_z(0), 1.0);
  EXPECT_EQ(mxt_joy_button(0, 0), 128);
  EXPECT_EQ(mxt_joy_button(0, 7), 128);  // Start, in the common order
  EXPECT_EQ(mxt_joy_button(0, 6), 0);
  EXPECT_EQ(mxt_joy_hat_y(0), -1);
  EXPECT_EQ(mxt_joy_hat_x(0), 0);
}

TEST_F(Joystick, RumbleReachesTheDeviceOnlyWhenItHasAMotor) {
  Rumbles motor;
  VirtualStick with("Shaker", SDL_JOYSTICK_TYPE_UNKNOWN, &motor);
  VirtualStick without("Still", SDL_JOYSTICK_TYPE_UNKNOWN);
  ASSERT_EQ(mxt_joy_count(), 2);
  const int shaker = mxt_joy_name(0).str().rfind("Shaker", 0) == 0 ? 0 : 1;
  mxt_joy_rumble(shaker, 250, 1, 1);
  ASSERT_EQ(motor.calls.size(), 1u);
  EXPECT_EQ(motor.calls[0], std::make_pair(65535, 65535));
  mxt_joy_rumble(shaker, 250, 1, 0);
  ASSERT_EQ(motor.calls.size(), 2u);
  EXPECT_EQ(motor.calls[1], std::make_pair(32768, 32768));
  mxt_joy_rumble(1 - shaker, 250, 1, 1);  // no motor: nothing, no failure
  mxt_joy_rumble(shaker, -5, 0.5, 0.5);
  EXPECT_EQ(motor.calls.size(), 3u);
}

TEST_F(Joystick, PadsPluggedInAndPulledOutWhileRunningAreNoticed) {
  EXPECT_EQ(mxt_joy_count(), 0);
  {
    VirtualStick first("First", SDL_JOYSTICK_TYPE_UNKNOWN);
    EXPECT_EQ(mxt_joy_count(), 1);
    VirtualStick second("Second", SDL_JOYSTICK_TYPE_UNKNOWN);
    second.axis(0, 32767);
    EXPECT_EQ(mxt_joy_count(), 2);
    EXPECT_EQ(mxt_joy_name(1).str(), "Second, Second");
    EXPECT_EQ(mxt_joy_x(1), 1.0);
    first.detach();
    // The one left moves up to index 0.
    EXPECT_EQ(mxt_joy_count(), 1);
    EXPECT_EQ(mxt_joy_name(0).str(), "Second, Second");
    EXPECT_EQ(mxt_joy_x(0), 1.0);
    EXPECT_EQ(mxt_joy_x(1), 0.0);
  }
  EXPECT_EQ(mxt_joy_count(), 0);
  EXPECT_EQ(mxt_joy_x(0), 0.0);
}

TEST_F(Joystick, AtMostTenAreOpened) {
  std::vector<std::unique_ptr<VirtualStick>> sticks;
  for (int i = 0; i < 11; ++i) sticks.push_back(std::make_unique<VirtualStick>("Many", SDL_JOYSTICK_TYPE_UNKNOWN));
  EXPECT_EQ(mxt_joy_count(), 10);
  sticks[10]->axis(0, 32767);
  EXPECT_EQ(mxt_joy_x(9), 0.0);  // the eleventh is not one of them
}

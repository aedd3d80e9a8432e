// SDL implementation of the joysticks: devices opened through the game
// controller interface when SDL knows the pad's layout and through the plain
// joystick interface otherwise, read into the runtime's joystick state, and
// plugging and pulling noticed through an event watch.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "runtime/platform/codepage.h"
#include "runtime/platform/platform.h"

namespace mxt::platform {

struct Joystick {
  SDL_Joystick* stick = nullptr;
  SDL_GameController* pad = nullptr;  // set when SDL knows the layout
};

namespace {

std::atomic<bool> g_changed{false};
bool g_up = false;

int SDLCALL watch_devices(void*, SDL_Event* e) {
  if (e->type == SDL_JOYDEVICEADDED || e->type == SDL_JOYDEVICEREMOVED) g_changed = true;
  return 1;
}

// Both triggers on one axis, the way DirectInput shows an XInput pad: the
// left one pulls towards +32767, the right one towards -32768.
int32_t triggers_axis(SDL_GameController* pad) {
  const int left = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
  const int right = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
  return std::clamp(left - right, -32768, 32767);
}

uint32_t pov_of(bool up, bool right, bool down, bool left) {
  if (up && right) return 4500;
  if (right && down) return 13500;
  if (down && left) return 22500;
  if (left && up) return 31500;
  if (up) return 0;
  if (right) return 9000;
  if (down) return 18000;
  if (left) return 27000;
  return 0xFFFFFFFF;
}

void read_pad(SDL_GameController* pad, JoystickState& s) {
  s.x = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
  s.y = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
  s.z = triggers_axis(pad);
  s.rx = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTX);
  s.ry = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTY);
  s.rz = 0;
  auto down = [pad](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(pad, b) != 0; };
  s.pov = pov_of(down(SDL_CONTROLLER_BUTTON_DPAD_UP), down(SDL_CONTROLLER_BUTTON_DPAD_RIGHT),
                 down(SDL_CONTROLLER_BUTTON_DPAD_DOWN), down(SDL_CONTROLLER_BUTTON_DPAD_LEFT));
  static const SDL_GameControllerButton kOrder[] = {
      SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,          SDL_CONTROLLER_BUTTON_X,
      SDL_CONTROLLER_BUTTON_Y,         SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
      SDL_CONTROLLER_BUTTON_BACK,      SDL_CONTROLLER_BUTTON_START,      SDL_CONTROLLER_BUTTON_LEFTSTICK,
      SDL_CONTROLLER_BUTTON_RIGHTSTICK, SDL_CONTROLLER_BUTTON_GUIDE,     SDL_CONTROLLER_BUTTON_MISC1,
      SDL_CONTROLLER_BUTTON_PADDLE1,   SDL_CONTROLLER_BUTTON_PADDLE2,    SDL_CONTROLLER_BUTTON_PADDLE3,
      SDL_CONTROLLER_BUTTON_PADDLE4,   SDL_CONTROLLER_BUTTON_TOUCHPAD};
  int n = 0;
  for (SDL_GameControllerButton b : kOrder) s.buttons[n++] = down(b) ? 1 : 0;
}

void read_stick(SDL_Joystick* stick, JoystickState& s) {
  int32_t* axes[] = {&s.x, &s.y, &s.z, &s.rx, &s.ry, &s.rz};
  const int n_axes = std::min(SDL_JoystickNumAxes(stick), 6);
  for (int i = 0; i < n_axes; ++i) *axes[i] = SDL_JoystickGetAxis(stick, i);
  if (SDL_JoystickNumHats(stick) > 0) {
    const Uint8 h = SDL_JoystickGetHat(stick, 0);
    s.pov = pov_of(h & SDL_HAT_UP, h & SDL_HAT_RIGHT, h & SDL_HAT_DOWN, h & SDL_HAT_LEFT);
  }
  const int n_buttons = std::min(SDL_JoystickNumButtons(stick), 32);
  for (int i = 0; i < n_buttons; ++i) s.buttons[i] = SDL_JoystickGetButton(stick, i) ? 1 : 0;
}

}  // namespace

bool joysticks_init() {
  if (g_up) return true;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) return false;
  SDL_AddEventWatch(watch_devices, nullptr);
  g_up = true;
  g_changed = false;
  return true;
}

void joysticks_quit() {
  if (!g_up) return;
  SDL_DelEventWatch(watch_devices, nullptr);
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
  g_up = false;
}

int joystick_devices() {
  if (!g_up) return 0;
  SDL_JoystickUpdate();  // notices what was plugged in or pulled out meanwhile
  return std::max(SDL_NumJoysticks(), 0);
}

Joystick* open_joystick(int device) {
  if (!g_up || device < 0 || device >= SDL_NumJoysticks()) return nullptr;
  Joystick* j = new Joystick();
  if (SDL_IsGameController(device)) {
    j->pad = SDL_GameControllerOpen(device);
    if (j->pad) j->stick = SDL_GameControllerGetJoystick(j->pad);
  }
  if (!j->stick) j->stick = SDL_JoystickOpen(device);
  if (!j->stick) {
    delete j;
    return nullptr;
  }
  return j;
}

void close_joystick(Joystick* j) {
  if (!j) return;
  if (j->pad)
    SDL_GameControllerClose(j->pad);
  else
    SDL_JoystickClose(j->stick);
  delete j;
}

std::string joystick_name(Joystick* j) {
  if (!j) return std::string();
  const char* device = SDL_JoystickName(j->stick);
  const char* instance = j->pad ? SDL_GameControllerName(j->pad) : nullptr;
  const std::string product = device ? device : "";
  return utf8_to_cp1252((instance ? std::string(instance) : product) + ", " + product);
}

bool read_joystick(Joystick* j, JoystickState& out) {
  out = JoystickState{};
  if (!j) return false;
  SDL_JoystickUpdate();
  if (!SDL_JoystickGetAttached(j->stick)) return false;
  if (j->pad)
    read_pad(j->pad, out);
  else
    read_stick(j->stick, out);
  return true;
}

bool joystick_rumble(Joystick* j, double strength, uint32_t ms) {
  if (!j || !SDL_JoystickGetAttached(j->stick) || !SDL_JoystickHasRumble(j->stick)) return false;
  const double s = std::isnan(strength) ? 0.0 : std::clamp(strength, 0.0, 1.0);
  const auto level = static_cast<Uint16>(std::lround(s * 65535.0));
  return SDL_JoystickRumble(j->stick, level, level, ms) == 0;
}

bool joysticks_changed() {
  if (g_up) SDL_JoystickUpdate();  // looks for devices plugged in or pulled out since the last look
  return g_changed.exchange(false);
}

}  // namespace mxt::platform

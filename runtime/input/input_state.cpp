// The input state's logic: events in, readings out.
//
// [SECTION] Helpers
// [SECTION] Events
// [SECTION] Keyboard and typed characters
// [SECTION] Pointer slots
// [SECTION] Mouse readings
// [SECTION] Pointer visibility and the current mouse
#include "runtime/input/input_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/input/keymap.h"
#include "runtime/platform/codepage.h"
#include "runtime/platform/platform.h"
#include "runtime/types/numbers.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Helpers

namespace {

// Motion and wheel add up between readings; a game that stops reading must
// not overflow them.
int32_t saturating_add(int32_t a, int32_t b) {
  const int64_t s = static_cast<int64_t>(a) + b;
  return static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
}

int sign(int32_t v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

int button_bit(int button) {
  switch (button) {
    case 1: return 1;   // left
    case 2: return 2;   // right
    case 3: return 4;   // middle
    case 4: return 8;
    case 5: return 16;
    default: return 0;
  }
}

// A touch position, a fraction of the window, in client pixels.
int32_t touch_pixel(float fraction, int32_t size) {
  if (size <= 0 || !(fraction > 0.0f)) return 0;  // NaN included
  const double p = std::floor(static_cast<double>(fraction) * size);
  return p >= size ? size - 1 : static_cast<int32_t>(p);
}

// The characters the window system types for keys rather than for text:
// Backspace, Tab and the two Enter keys.
int control_char_of(int dik) {
  switch (dik) {
    case kKeyBackspace: return 8;
    case kKeyTab: return 9;
    case kKeyEnter:
    case kKeyPadEnter: return 13;
    default: return 0;
  }
}

// Keypad keys type their characters with Num Lock on; the layout reports
// them as keys, so they are answered here.
uint32_t keypad_char_of(int hid) {
  static constexpr char kKeypad[] = "/*-+\r1234567890.";  // usages 84 .. 99
  return hid >= 84 && hid <= 99 ? static_cast<unsigned char>(kKeypad[hid - 84]) : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Events

void InputState::take_event(const platform::Event& e) {
  using platform::EventType;
  switch (e.type) {
    case EventType::text:
      for (size_t i = 0; i < sizeof e.text && e.text[i] != 0; ++i) push_typed_char(static_cast<unsigned char>(e.text[i]));
      break;
    case EventType::key_down:
    case EventType::key_up: {
      const int dik = dik_from_hid(e.key);
      if (dik == 0) break;
      const bool down = e.type == EventType::key_down;
      live_keys[dik] = down ? 0x80 : 0;
      if (down) {
        pressed_keys[dik] = 0x80;
        if (const int c = control_char_of(dik)) push_typed_char(c);
      }
      break;
    }
    case EventType::mouse_move:
      if (e.from_touch) break;  // touch arrives as finger events of its own
      device.x = e.x;
      device.y = e.y;
      device.motion_x = saturating_add(device.motion_x, e.dx);
      device.motion_y = saturating_add(device.motion_y, e.dy);
      pointer_event(0, kMousePointer, 0, device.buttons & 7, e.x, e.y);
      break;
    case EventType::mouse_down:
    case EventType::mouse_up: {
      const int bit = button_bit(e.button);
      if (e.from_touch || bit == 0) break;
      const int before = device.buttons;
      const bool down = e.type == EventType::mouse_down;
      device.buttons = down ? (before | bit) : (before & ~bit);
      if (down) device.latched |= bit;
      device.x = e.x;
      device.y = e.y;
      // The mouse goes down with its first button and up with its last; the
      // other button changes are updates.
      const int kind = down ? (before == 0 ? 1 : 0) : (device.buttons == 0 && before != 0 ? -1 : 0);
      pointer_event(kind, kMousePointer, 0, device.buttons & 7, e.x, e.y);
      break;
    }
    case EventType::mouse_wheel:
      device.wheel = saturating_add(device.wheel, e.dy);
      break;
    case EventType::finger_down:
    case EventType::finger_move:
    case EventType::finger_up: {
      refresh_screen();
      const int kind = e.type == EventType::finger_down ? 1 : e.type == EventType::finger_up ? -1 : 0;
      pointer_event(kind, kTouchPointer, e.finger, kind < 0 ? 0 : 1, touch_pixel(e.fx, screen.width),
                    touch_pixel(e.fy, screen.height));
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Keyboard and typed characters

// The key state comes from the game window's own key events, so unlike a
// global keyboard device it never holds keys meant for another window.
void InputState::refresh_keys() {
  if (++key_refresh_counter <= kKeyRefreshPeriod) return;
  key_refresh_counter = 0;
  for (size_t k = 0; k < sizeof key_state; ++k) key_state[k] = live_keys[k] | pressed_keys[k];
  std::memset(pressed_keys, 0, sizeof pressed_keys);
}

int InputState::key(int code) {
  refresh_keys();
  return key_state[code & 0xFF] >> 7;
}

void InputState::push_typed_char(int c) {
  c &= 0xFF;
  if (c == 0) return;
  if (c == 13) c = 10;
  if (c < 32 && c != 8 && c != 9 && c != 10) return;
  if (typed.size() >= 16) return;
  if (typed.capacity() == 0) typed.reserve(512);
  typed.push_back(static_cast<uint8_t>(c));
}

int InputState::pop_typed_char() {
  if (typed.empty()) return 0;
  const int c = typed.front();
  typed.erase(typed.begin());
  return c == 13 ? 10 : c;
}

bool InputState::drop_typed_char() {
  if (typed.empty()) return false;
  typed.erase(typed.begin());
  return true;
}

int InputState::key_to_char(int code) const {
  switch (code) {
    case kKeyBackspace: return 8;
    case kKeyEnter:
    case kKeyPadEnter: return 10;
    case 0x1D: case 0x2A: case 0x36: case 0x38: case 0x3A: case 0x45: case 0xDD: return 0;
    default: break;
  }
  if (code <= 0 || code > 255) return 0;
  const int hid = hid_from_dik(code);
  if (hid == 0) return 0;
  uint32_t cp = keypad_char_of(hid);
  if (cp == 0) cp = platform::key_character(hid);
  int b = cp == 0 ? -1 : unicode_to_cp1252(cp);
  if (b <= 0 || b == 127) return 0;  // Delete types nothing
  if ((live_keys[0x2A] | live_keys[0x36]) & 0x80) b = cp1252_upper(static_cast<uint8_t>(b));
  if (b < 32 && b != 8 && b != 10) return 0;
  return static_cast<int8_t>(static_cast<uint8_t>(b));
}

// ---------------------------------------------------------------------------
// [SECTION] Pointer slots

void InputState::pointer_event(int kind, int32_t owner, int64_t finger, int bits, int x, int y) {
  PointerSlot* slot = nullptr;
  for (PointerSlot& s : pointers) {
    if (s.owner == owner && (owner != kTouchPointer || s.finger == finger)) {
      slot = &s;
      break;
    }
  }
  if (!slot) {
    for (PointerSlot& s : pointers) {
      if (s.owner == 0) {
        slot = &s;
        break;
      }
    }
  }
  if (!slot) return;  // all 32 taken
  if (kind == 0) {
    slot->buttons = bits;
  } else if (kind > 0) {
    slot->buttons |= bits;
    slot->owner = owner;
    slot->finger = finger;
  } else {
    slot->buttons &= bits;
    slot->owner = 0;
    slot->finger = 0;
  }
  slot->x = x;
  slot->y = y;
}

// ---------------------------------------------------------------------------
// [SECTION] Mouse readings

void InputState::refresh_screen() {
  if (screen_source) screen_source(screen);
}

MouseRecord& InputState::current_record() {
  if (current_mouse < 0 || static_cast<size_t>(current_mouse) >= mice.size()) current_mouse = 0;
  if (mice.empty()) mice.resize(1);
  return mice[static_cast<size_t>(current_mouse)];
}

// One reading: the position (starting from x, y), the wheel step and the
// button bits (1 left, 2 right, 4 middle).
int InputState::read_mouse_device(int& x, int& y, int& wheel_step) {
  // The wheel belongs to the mouse whichever way the position is read, so a
  // shown pointer gets its wheel steps too.
  wheel_step = sign(device.wheel);
  device.wheel = 0;
  const int32_t mx = device.motion_x, my = device.motion_y;
  device.motion_x = device.motion_y = 0;

  const int latched = device.latched & 7;
  if (pointer_visible) {
    const PointerSlot& s = pointers[std::clamp(current_mouse, 0, kPointerSlots - 1)];
    x = s.x;
    y = s.y;
    return s.buttons | (s.owner == kTouchPointer ? 0 : latched);
  }
  if (!mouse_acquired) {
    // Taken back after a breakpoint released it; what the mouse did
    // meanwhile belonged to someone else.
    take_mouse(true);
  } else {
    x = saturating_add(x, mx);
    y = saturating_add(y, my);
  }
  x = std::clamp(x, 0, std::max(screen.width, 0));
  y = std::clamp(y, 0, std::max(screen.height, 0));
  return (device.buttons & 7) | latched;
}

void InputState::sample_mouse(MouseSample& out, bool commit, bool consume_latch) {
  refresh_screen();
  MouseRecord& r = current_record();
  int x, y, step;
  int buttons;
  if (pointer_visible) {
    x = r.reported_x;
    y = r.reported_y;
    buttons = read_mouse_device(x, y, step);
  } else {
    x = r.x;
    y = r.y;
    buttons = read_mouse_device(x, y, step);
    r.x = x;
    r.y = y;
  }
  out.speed_x = static_cast<int16_t>(x - r.reported_x);
  out.speed_y = static_cast<int16_t>(y - r.reported_y);
  out.wheel = static_cast<int16_t>(r.wheel + step);
  out.left = static_cast<int16_t>(buttons & 1);
  out.right = static_cast<int16_t>((buttons >> 1) & 1);
  out.middle = static_cast<int16_t>((buttons >> 2) & 1);
  if (!commit) {
    r.wheel = saturating_add(r.wheel, step);
    return;
  }
  if (consume_latch) device.latched = 0;  // the latched presses have been read once
  if (pointer_visible) {
    r.x = r.reported_x = x;
    r.y = r.reported_y = y;
  } else {
    r.reported_x = r.x;
    r.reported_y = r.y;
  }
  r.wheel = 0;
}

bool InputState::sample_all_mice(bool commit, bool consume_latch) {
  MouseSample s;
  bool held = false;
  const size_t n = mice.size();
  for (size_t i = 0; i < n; ++i) {
    sample_mouse(s, commit, consume_latch);
    held = held || s.left || s.right || s.middle;
  }
  return held;
}

bool InputState::any_button() { return sample_all_mice(true); }

MouseReading InputState::mouse_state(bool consume_latch) {
  MouseSample s;
  sample_mouse(s, true, consume_latch);
  const MouseRecord& r = current_record();
  MouseReading m;
  m.left = s.left;
  m.right = s.right;
  m.middle = s.middle;
  const int W = screen.width, H = screen.height;
  int x, y;
  window_to_logical(screen.orientation, r.reported_x, r.reported_y, W, H, &x, &y);
  const bool turned = screen.orientation == 1 || screen.orientation == 3;
  x = std::min(std::max(x, 0), turned ? H : W);
  y = std::min(std::max(y, 0), turned ? W : H);
  if (screen.scale != 0.0f) {
    x = truncate_to_int((x - screen.offset_x) / static_cast<double>(screen.scale));
    y = truncate_to_int((y - screen.offset_y) / static_cast<double>(screen.scale));
  }
  m.x = x;
  m.y = y;
  return m;
}

int InputState::mouse_axis(int kind) {
  MouseSample s;
  sample_mouse(s, false);
  switch (kind) {
    case 0:
    case 1: {
      // Motion turns with the screen: the position mapping without its offset.
      int ox, oy, tx, ty;
      window_to_logical(screen.orientation, 0, 0, screen.width, screen.height, &ox, &oy);
      window_to_logical(screen.orientation, s.speed_x, s.speed_y, screen.width, screen.height, &tx, &ty);
      return kind == 0 ? tx - ox : ty - oy;
    }
    case 2: return s.wheel;
    case 3: return s.left;
    case 4: return s.right;
    case 5: return s.middle;
    default: return 0;
  }
}

void InputState::set_mouse(int x, int y) {
  refresh_screen();
  if (screen.scale != 0.0f) {
    // Into window pixels, rounded away from zero, so that the next reading
    // reports exactly (x, y) again.
    const double s = screen.scale;
    const double vx = x * s, vy = y * s;
    x = screen.offset_x + truncate_to_int(vx >= 0 ? std::ceil(vx) : std::floor(vx));
    y = screen.offset_y + truncate_to_int(vy >= 0 ? std::ceil(vy) : std::floor(vy));
  }
  int wx, wy;
  logical_to_window(screen.orientation, x, y, screen.width, screen.height, &wx, &wy);
  MouseRecord& r = current_record();
  r.x = r.reported_x = wx;
  r.y = r.reported_y = wy;
}

// ---------------------------------------------------------------------------
// [SECTION] Pointer visibility and the current mouse

// Hidden, the mouse is taken exclusively: the system pointer disappears and
// only relative motion counts. Shown again, the system pointer appears where
// the runtime's own pointer was.
void InputState::take_mouse(bool exclusive) {
  mouse_acquired = exclusive;
  if (!steer_system_pointer) return;
  platform::set_relative_mouse(exclusive);
  platform::set_cursor_visible(!exclusive);
}

void InputState::set_pointer_visible(bool show) {
  device.motion_x = device.motion_y = 0;  // relative motion counts from now on
  if (show && !pointer_visible && steer_system_pointer) {
    platform::set_relative_mouse(false);
    const MouseRecord& r = current_record();
    platform::warp_mouse(window, r.reported_x, r.reported_y);
  }
  take_mouse(!show);
  pointer_visible = show;
}

void InputState::apply_pointer_mode() { take_mouse(!pointer_visible); }

void InputState::release_mouse() {
  if (!mouse_acquired) return;
  mouse_acquired = false;
  if (steer_system_pointer) platform::set_relative_mouse(false);
}

void InputState::select_mouse(int index) {
  const int n = mouse_count();
  if (index < 0 || index >= n) index = 0;  // a negative index would read outside the table
  current_mouse = std::min(index, n - 1);
  if (static_cast<size_t>(current_mouse) >= mice.size()) mice.resize(static_cast<size_t>(n));
}

}  // namespace mxt

#include "runtime/input/input.h"

#include <cstring>

#include "runtime/core/runtime.h"
#include "runtime/input/keymap.h"
#include "runtime/platform/platform.h"

namespace mxt {

void InputState::refresh_keys() {
  if (++key_refresh_counter <= 100) return;
  key_refresh_counter = 0;
  std::memcpy(key_state, live_keys, sizeof key_state);
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
  return c;
}

bool InputState::drop_typed_char() {
  if (typed.empty()) return false;
  typed.erase(typed.begin());
  return true;
}

void InputState::sample_mouse(MouseSample& out, bool commit) {
  out = MouseSample{};
  if (mice.empty()) return;
  MouseRecord& m = mice[static_cast<size_t>(current_mouse) < mice.size() ? current_mouse : 0];
  out.wheel = static_cast<int16_t>(m.wheel);
  out.speed_x = static_cast<int16_t>(m.x - m.reported_x);
  out.speed_y = static_cast<int16_t>(m.y - m.reported_y);
  if (commit) {
    m.reported_x = m.x;
    m.reported_y = m.y;
    m.wheel = 0;
  }
}

void InputState::sample_all_mice(bool commit) {
  MouseSample s;
  const int32_t keep = current_mouse;
  for (size_t i = 0; i < mice.size(); ++i) {
    current_mouse = static_cast<int32_t>(i);
    sample_mouse(s, commit);
  }
  current_mouse = keep;
}

bool InputState::any_button() { return buttons != 0; }

void InputState::take_event(const platform::Event& e) {
  using platform::EventType;
  switch (e.type) {
    case EventType::text:
      for (const char* p = e.text; *p; ++p) push_typed_char(static_cast<unsigned char>(*p));
      break;
    case EventType::key_down:
    case EventType::key_up:
      if (const int dik = dik_from_hid(e.key)) live_keys[dik] = e.type == EventType::key_down ? 0x80 : 0;
      break;
    case EventType::mouse_move:
      mice[0].x = e.x;
      mice[0].y = e.y;
      break;
    case EventType::mouse_down:
    case EventType::mouse_up: {
      const int bit = e.button == 1 ? 1 : e.button == 2 ? 2 : e.button == 3 ? 4 : 0;
      buttons = e.type == EventType::mouse_down ? (buttons | bit) : (buttons & ~bit);
      break;
    }
    default:
      break;
  }
}

void input_setup(InputState& in, platform::Window* window, bool hide_pointer) {
  in.window = window;
  in.pointer_visible = !hide_pointer;
  std::memset(in.key_state, 0, sizeof in.key_state);
  std::memset(in.live_keys, 0, sizeof in.live_keys);
}

void input_shutdown(InputState& in) {
  platform::set_relative_mouse(false);
  platform::set_cursor_visible(true);
  in.window = nullptr;
}

bool key_down(int code) {
  if (!rt.input || !rt.input->keyboard_device) return false;
  return (rt.input->key_state[code & 0xFF] & 0x80) != 0;
}

}  // namespace mxt

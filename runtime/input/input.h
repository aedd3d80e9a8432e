// InputState: the runtime's one input object: mouse records and touch
// pointers, the key state in DirectInput scan codes, the typed-character
// queue and the joysticks. The message pump hands it every platform event;
// the frame loop commits a mouse sample and refreshes the keys once a frame.
#pragma once

#include <cstdint>
#include <vector>

namespace mxt {

namespace platform {
struct Window;
struct Event;
}

struct MouseRecord {
  int32_t x = 0, y = 0;                    // where the runtime's pointer is
  int32_t reported_x = 100, reported_y = 100;  // handed to the game at the last commit
  int32_t wheel = 0;                       // wheel steps since the last commit
};

struct MouseSample {
  int16_t left = 0, right = 0, middle = 0;
  int16_t speed_x = 0, speed_y = 0;
  int16_t wheel = 0;
};

struct InputState {
  int32_t key_refresh_counter = 0;
  std::vector<uint8_t> typed;              // typed characters, code page 1252
  std::vector<MouseRecord> mice = std::vector<MouseRecord>(1);
  int32_t current_mouse = 0;
  bool keyboard_device = true;             // key states are available
  bool mouse_device = false;               // the mouse is read exclusively
  uint8_t key_state[256] = {};             // the snapshot the game reads; bit 7 = down
  uint8_t live_keys[256] = {};             // kept current by key events
  platform::Window* window = nullptr;
  bool pointer_visible = true;
  int32_t buttons = 0;                     // 1 left, 2 right, 4 middle

  void refresh_keys();
  void push_typed_char(int c);
  int pop_typed_char();
  bool drop_typed_char();
  void sample_mouse(MouseSample& out, bool commit);
  void sample_all_mice(bool commit);
  bool any_button();
  void take_event(const platform::Event& e);
};

void input_setup(InputState& in, platform::Window* window, bool hide_pointer);
void input_shutdown(InputState& in);

// Key state of a DirectInput scan code from the runtime's input object; false
// without one.
bool key_down(int code);

}  // namespace mxt

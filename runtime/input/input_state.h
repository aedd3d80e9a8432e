// InputState: the runtime's one input object. It takes every input event the
// message pump hands it and keeps what the game reads: the mouse records and
// the 32 pointer slots, the key state in DirectInput scan codes and the
// typed-character queue, and the joysticks (joystick.h).
//
// The platform reports raw events; everything here (scan codes, slots,
// relative motion, the mapping to screen coordinates) is the runtime's own
// policy, so a test can build an InputState, feed it events and read it back
// without the process-wide singletons.
//
// The mouse: while the system pointer is shown, the position is that of the
// pointer slot of the current mouse (the mouse lands in a slot like every
// touch contact). While it is hidden the mouse is taken exclusively and the
// runtime moves its own pointer by the relative motion, held inside the
// window. A commit makes the position the one reported to the game; speeds
// are measured from the last commit.
//
// Presses are latched: a button that went down since the last committed
// reading reads as down in the next one (once), even when it is already up
// again, and a key that went down since the last snapshot is down in the
// next snapshot. A tap or click whose press and release arrive between two
// frames (a touchpad's tap, synthetic input) is then never lost; the latch
// works on the events themselves, so a replay latches the same way.
#pragma once

#include <cstdint>
#include <vector>

#include <string>

#include "runtime/input/joystick.h"
#include "runtime/input/screen_map.h"

namespace mxt {

namespace platform {
struct Window;
struct Event;
struct Joystick;
}

struct MouseRecord {
  int32_t x = 0, y = 0;                        // where the runtime's own pointer is
  int32_t reported_x = 100, reported_y = 100;  // handed to the game at the last commit
  int32_t wheel = 0;                           // wheel steps read since the last commit
};

struct MouseSample {
  int16_t left = 0, right = 0, middle = 0;     // 0 or 1
  int16_t speed_x = 0, speed_y = 0;            // motion since the last commit
  int16_t wheel = 0;                           // wheel steps since the last commit, this reading included
};

// One of the 32 pointer slots. The mouse and each touch contact take the
// first free slot when they go down and keep it until they go up; a hovering
// mouse writes into the first free slot without taking it.
struct PointerSlot {
  int32_t x = 0, y = 0;     // client pixels of the game window
  int32_t buttons = 0;      // 1 first, 2 second, 4 third button; a touch contact is the first
  int32_t owner = 0;        // 0 free, else kMousePointer or kTouchPointer
  int64_t finger = 0;       // the contact's id, for a touch
};
constexpr int kPointerSlots = 32;
constexpr int32_t kMousePointer = 1;
constexpr int32_t kTouchPointer = 2;

// What the mouse reported since the last reading of it.
struct MouseDevice {
  int32_t x = 0, y = 0;                // last position, window pixels
  int32_t motion_x = 0, motion_y = 0;  // relative motion not read yet
  int32_t wheel = 0;                   // wheel notches not read yet
  int32_t buttons = 0;                 // 1 left, 2 right, 4 middle, 8 and 16 the side buttons
  int32_t latched = 0;                 // buttons that went down since the last committed reading
};

// A committed reading in screen coordinates.
struct MouseReading {
  int32_t x = 0, y = 0;
  int32_t left = 0, right = 0, middle = 0;
};

struct InputState {
  // The key snapshot is refreshed on every 101st call; a value above the
  // period makes the next call refresh it.
  static constexpr int32_t kKeyRefreshPeriod = 100;
  int32_t key_refresh_counter = 0;
  std::vector<uint8_t> typed;                  // typed characters, code page 1252
  std::vector<MouseRecord> mice = std::vector<MouseRecord>(1);
  int32_t current_mouse = 0;
  bool mouse_acquired = false;                 // relative motion is being taken
  bool steer_system_pointer = true;            // false during a replay: the person watching keeps the mouse
  uint8_t key_state[256] = {};                 // the snapshot the game reads; bit 7 = down
  uint8_t live_keys[256] = {};                 // kept current by key events
  uint8_t pressed_keys[256] = {};              // went down since the last snapshot (bit 7)
  platform::Window* window = nullptr;
  bool pointer_visible = false;
  PointerSlot pointers[kPointerSlots] = {};
  MouseDevice device;
  InputScreen screen;
  void (*screen_source)(InputScreen&) = nullptr;  // refreshes `screen`; null keeps it as set
  platform::Joystick* joysticks[kJoysticks] = {};      // the open devices, the first joystick_count of them
  std::string joystick_names[kJoysticks];              // "instance, product", code page 1252
  int32_t joystick_count = 0;
  bool joystick_service = false;               // the platform's joystick service is up

  // Events, from the message pump.
  void take_event(const platform::Event& e);

  // Keyboard.
  void refresh_keys();                         // throttled: a fresh snapshot every 101st call
  void force_key_refresh() { key_refresh_counter = kKeyRefreshPeriod + 1; }  // the next refresh is fresh
  int key(int code);                           // refresh, then 1 while the key is down
  void push_typed_char(int c);
  int pop_typed_char();                        // 0 when the queue is empty
  bool drop_typed_char();
  int key_to_char(int code) const;

  // Mouse.
  // A reading of the current mouse. A committed one makes the position the
  // reported one and, unless told otherwise, uses up the latched presses.
  void sample_mouse(MouseSample& out, bool commit) { sample_mouse(out, commit, commit); }
  void sample_mouse(MouseSample& out, bool commit, bool consume_latch);
  bool sample_all_mice(bool commit, bool consume_latch = true);  // one sample per record, each of the
                                               // current mouse; true when any of them held a button
  bool any_button();                           // a committed reading: a button down (or latched)
  MouseReading mouse_state(bool consume_latch = true);  // a committed reading in screen coordinates
  int mouse_axis(int kind);
  void set_mouse(int x, int y);
  void set_pointer_visible(bool show);
  void apply_pointer_mode();                   // the remembered visibility, again (after a mode change)
  void release_mouse();                        // give the mouse back to the system until the next reading
  void select_mouse(int index);
  static int mouse_count() { return kPointerSlots; }

  // The slot update of one pointer event: kind +1 down, 0 update, -1 up;
  // bits are the buttons held after the event.
  void pointer_event(int kind, int32_t owner, int64_t finger, int bits, int x, int y);

 private:
  int read_mouse_device(int& x, int& y, int& wheel_step);
  void take_mouse(bool exclusive);             // the system pointer: hidden with relative motion, or shown
  MouseRecord& current_record();
  void refresh_screen();
};

void input_setup(InputState& in, platform::Window* window, bool hide_pointer);
void input_shutdown(InputState& in);

// Key state of a DirectInput scan code in the runtime's snapshot, without a
// refresh; false without an input state.
bool key_down(int code);
bool any_key_down();                           // any code 1..255, the same way

}  // namespace mxt

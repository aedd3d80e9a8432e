// Test support: a person's input as real events, queued through the
// platform layer exactly as the system would queue them. Header-only, so the
// small test programs can use it too.
#pragma once

#include <cstdint>
#include <cstring>

#include "runtime/platform/platform.h"

namespace mxt_test {

using mxt::platform::Event;
using mxt::platform::EventType;

inline bool push_move(int x, int y, int dx = 0, int dy = 0) {
  Event e;
  e.type = EventType::mouse_move;
  e.x = x;
  e.y = y;
  e.dx = dx;
  e.dy = dy;
  return mxt::platform::push_event(e);
}

inline bool push_button(int button, bool down, int x, int y) {
  Event e;
  e.type = down ? EventType::mouse_down : EventType::mouse_up;
  e.button = button;
  e.x = x;
  e.y = y;
  return mxt::platform::push_event(e);
}

inline bool push_wheel(int notches) {
  Event e;
  e.type = EventType::mouse_wheel;
  e.dy = notches;
  return mxt::platform::push_event(e);
}

// A key by its USB usage (the platform's scancode).
inline bool push_key(int usage, bool down) {
  Event e;
  e.type = down ? EventType::key_down : EventType::key_up;
  e.key = usage;
  return mxt::platform::push_event(e);
}

// Typed text in code page 1252.
inline bool push_text(const char* bytes) {
  Event e;
  e.type = EventType::text;
  std::strncpy(e.text, bytes, sizeof e.text - 1);
  return mxt::platform::push_event(e);
}

inline bool push_finger(EventType type, int64_t id, float fx, float fy) {
  Event e;
  e.type = type;
  e.finger = id;
  e.fx = fx;
  e.fy = fy;
  return mxt::platform::push_event(e);
}

}  // namespace mxt_test

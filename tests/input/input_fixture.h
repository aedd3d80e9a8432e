// The input tests' world: a real window and renderer in this process, the
// runtime's input state set up as start-up sets it up, and real SDL events
// pushed into the queue and taken by the runtime's message pump.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/gfx2d/renderer.h"
#include <moxtril.h>
#include "runtime/input/input_state.h"
#include "runtime/platform/platform.h"
#include "support/events.h"
#include "support/gl.h"
#include "support/runtime.h"

namespace input_test {

using mxt::platform::Event;
using mxt::platform::EventType;

constexpr int kWidth = 800;
constexpr int kHeight = 480;

inline void key(int scancode, bool down) { ASSERT_TRUE(mxt_test::push_key(scancode, down)) << SDL_GetError(); }
inline void text(const char* bytes) { ASSERT_TRUE(mxt_test::push_text(bytes)) << SDL_GetError(); }
inline void move(int x, int y, int dx = 0, int dy = 0) { ASSERT_TRUE(mxt_test::push_move(x, y, dx, dy)); }
inline void button(int b, bool down, int x, int y) { ASSERT_TRUE(mxt_test::push_button(b, down, x, y)); }
inline void wheel(int notches) { ASSERT_TRUE(mxt_test::push_wheel(notches)); }
inline void finger(EventType type, int64_t id, float fx, float fy) {
  ASSERT_TRUE(mxt_test::push_finger(type, id, fx, fy));
}

// A person acting while the program waits, on the frame loop's clock: the
// idle pump waits for an event once in each of its passes, and the n-th
// wait runs what the script says for n before it looks. No real time passes.
struct WaitScript {
  static inline int waits = 0;
  static inline std::vector<std::pair<int, std::function<void()>>> acts;
  static bool wait(int) {
    ++waits;
    for (const auto& [n, act] : acts)
      if (n == waits) act();
    Event e;
    return mxt::platform::peek_event(e);
  }
  static void sleep(int) {}
};

inline void script_person(std::vector<std::pair<int, std::function<void()>>> acts) {
  WaitScript::waits = 0;
  WaitScript::acts = std::move(acts);
  mxt::rt.core->clock.wait_event = WaitScript::wait;
  mxt::rt.core->clock.sleep_ms = WaitScript::sleep;
}

class InputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { renderer = mxt_test::make_renderer(kWidth, kHeight); }
  static void TearDownTestSuite() {
    mxt_test::destroy_renderer(renderer);
    renderer = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(renderer, nullptr) << mxt::platform::last_error();
    mxt_test::reset_drawing_state(*renderer);
    mxt::rt.input = new mxt::InputState();
    mxt::rt.input->screen_source = mxt::renderer_input_screen;
    mxt::input_setup(*mxt::rt.input, mxt::rt.window, false);
    pump();  // what set-up itself set off (the pointer placed where it is)
  }
  void TearDown() override {
    mxt::input_shutdown(*mxt::rt.input);
    delete mxt::rt.input;
    mxt::rt.input = nullptr;
    mxt::platform::flush_events();
  }

  static void pump() { mxt::pump_messages(nullptr, false); }
  // What a presented frame does to the keys: the next query takes a snapshot.
  static void next_frame() { mxt::rt.input->force_key_refresh(); }
  static mxt::InputState& in() { return *mxt::rt.input; }

  static mxt::VuduRODoverore* renderer;
};
inline mxt::VuduRODoverore* InputTest::renderer = nullptr;

}  // namespace input_test

// A small game for the input and replay tests: MXT_TEST_SCENARIO picks what it
// does. The "draw" scenarios put a square of random size and colour where
// each click lands; the scripted ones play a person's part by pushing events
// themselves, which a replay replaces with the recorded ones.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "runtime/input/keymap.h"
#include <moxtril.h>
#include "tests/programs/scenario.h"
#include "runtime/platform/platform.h"
#include "tests/support/events.h"

namespace {

using mxt_test::push_button;
using mxt_test::push_move;
using mxt_test::push_wheel;

using scenario_support::scenario;

void push_dik(int dik, bool down) { mxt_test::push_key(mxt::hid_from_dik(dik), down); }

void click(int b, int x, int y) {
  push_move(x, y);
  push_button(b, true, x, y);
}

// What the person does before the game's frame f.
void act(const std::string& s, int f) {
  if (s == "draw") {
    switch (f) {
      case 2: click(1, 20, 30); break;
      case 3: push_button(1, false, 20, 30); break;
      case 5: click(2, 100, 50); break;
      case 6: push_button(2, false, 100, 50); push_wheel(1); break;
      case 8: push_dik(4, true); break;
      case 9: push_dik(4, false); click(3, 60, 90); break;
      case 10: push_button(3, false, 60, 90); push_wheel(-2); break;
      case 12: click(1, 140, 10); push_button(1, false, 140, 10); push_move(150, 110); break;
      case 13: click(1, 75, 60); break;
      case 14: push_button(1, false, 75, 60); break;
      default: break;
    }
  } else if (s == "draw_other") {
    switch (f) {
      case 1: click(1, 5, 5); break;
      case 2: push_button(1, false, 5, 5); push_dik(7, true); break;
      default: break;
    }
  } else if (s == "hidden") {
    switch (f) {
      case 1: push_move(0, 0, 25, 10); push_button(1, true, 0, 0); break;
      case 2: push_button(1, false, 0, 0); push_move(0, 0, 60, 70); break;
      case 3: push_button(1, true, 0, 0); break;
      case 4: push_button(1, false, 0, 0); push_move(0, 0, -500, -3); break;
      case 5: push_button(1, true, 0, 0); break;
      case 6: push_button(1, false, 0, 0); break;
      default: break;
    }
  }
}

struct Square {
  int x, y, size;
  float r, g, b;
};

void draw(const Square& s) {
  auto byte = [](float v) { return static_cast<int>(v * 255.0f + 0.5f); };
  mxt_draw_rect(s.x, s.y, s.size, s.size, byte(s.r) | byte(s.g) << 8 | byte(s.b) << 16);
}

float channel() { return static_cast<float>(mxt_rnd(255)) / 255.0f; }

// Squares where the clicks land; the wheel makes the next ones larger, the
// digit keys tint the background. MXT_FRAMES ends it.
int draw_game(const std::string& s) {
  std::vector<Square> squares;
  int held = 0, grow = 0, tint = 0;
  for (int f = 0;; ++f) {
    act(s, f);
    grow += mxt_mouse_axis(2) * 3;
    int x, y, b1, b2;
    mxt_mouse_state(x, y, b1, b2);
    const int buttons = b1 | (b2 << 1) | (mxt_mouse_axis(5) << 2);
    // The frame of the click shapes the square too: a replay must be on time.
    if (buttons & ~held) squares.push_back({x, y, 4 + grow + f % 5 + mxt_rnd(12), channel(), channel(), channel()});
    held = buttons;
    for (int k = 2; k <= 10; ++k)
      if (mxt_key(k)) tint = k;
    mxt_set_clear_colour(tint * 0x100C08);
    for (const Square& q : squares) draw(q);
    mxt_show_screen();
  }
}

// What the game sees, frame by frame, for replay files written by hand.
int report_game() {
  int held = 0;
  for (int f = 0;; ++f) {
    int x, y, b1, b2;
    mxt_mouse_state(x, y, b1, b2);
    if (b1 && !held) std::printf("frame %d click %d %d\n", f, x, y);
    held = b1;
    for (int k = 2; k <= 10; ++k)
      if (mxt_key(k)) std::printf("frame %d key %d\n", f, k);
    for (RtString c = mxt_typed_char(); c.length > 0; c = mxt_typed_char())
      std::printf("frame %d typed %02x\n", f, static_cast<unsigned char>(c.data[0]));
    if (f == 3) {
      std::printf("waiting for a click\n");
      mxt_wait_mouse();
      mxt_mouse_state(x, y, b1, b2);
      std::printf("clicked at %d %d\n", x, y);
      std::printf("waiting for a key\n");
      mxt_wait_key();
      std::printf("key typed\n");
    }
    mxt_show_screen();
  }
}

// A person clicks while the game waits for it.
int wait_game() {
  std::printf("rnd %d\n", mxt_rnd(1000000));
  mxt_show_screen();
  std::thread person([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    push_move(33, 44);
    push_button(1, true, 33, 44);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    push_button(1, false, 33, 44);
  });
  mxt_wait_mouse();
  person.join();
  int x, y, b1, b2;
  mxt_mouse_state(x, y, b1, b2);
  std::printf("clicked at %d %d\n", x, y);
  for (;;) mxt_show_screen();
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 160;
  mxt_settings().screen_height = 120;
  mxt_settings().frame_rate = 0;
  mxt_settings().hide_pointer = scenario() == "hidden" ? 1 : 0;
  mxt_app_title() = "Input";
}

int mxt_main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string s = scenario();
  if (s == "report") return report_game();
  if (s == "wait") return wait_game();
  return draw_game(s);
}

// A small game for the frame-loop tests: MXT_TEST_SCENARIO picks what it does.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "runtime/input/input_state.h"
#include "runtime/input/keymap.h"
#include <moxtril.h>
#include "tests/programs/scenario.h"

namespace {

using mxt::rt;
using mxt::WaitMode;
using mxt::platform::Event;
using mxt::platform::EventType;
using scenario_support::fake_time;
using scenario_support::scenario;

int hook_calls = 0;
std::string title_while_paused;

void on_message() {
  ++hook_calls;
  if (rt.core->pause.paused && title_while_paused.empty() && rt.window)
    title_while_paused = SDL_GetWindowTitle(SDL_GL_GetCurrentWindow());
}
void on_pause() { std::printf("pause callback\n"); }
void on_resume() { std::printf("resume callback\n"); }

void push(EventType type, int a = 0, int b = 0) {
  Event e;
  e.type = type;
  if (type == EventType::key_down || type == EventType::key_up) e.key = mxt::hid_from_dik(a);
  if (type == EventType::mouse_move) {
    e.x = a;
    e.y = b;
  }
  if (type == EventType::mouse_down || type == EventType::mouse_up) e.button = a;
  mxt::platform::push_event(e);
}

Uint32 push_focus_gained(Uint32, void*) {
  push(EventType::focus_gained);
  return 0;
}

int wait_mode() { return static_cast<int>(rt.core->frame.wait_mode); }

// The idle pump on the fake clock: how long it waited, in how many sleeps.
void timed_idle_pump(const char* what) {
  mxt::platform::flush_events();
  rt.core->frame.wait_mode = WaitMode::waiting;
  const double t0 = mxt_elapsed_ms();
  const int sleeps0 = fake_time().sleeps;
  mxt::idle_pump();
  std::printf("%s wait_mode=%d ms=%.0f sleeps=%d\n", what, wait_mode(), mxt_elapsed_ms() - t0,
              fake_time().sleeps - sleeps0);
}

}  // namespace

extern const CallbackEntry mxt_callbacks[] = {
    {on_message, "MXT_WIN32_MSG"},
    {on_pause, "MXT_ON_PAUSE"},
    {on_resume, "MXT_ON_RESUME"},
    {nullptr, nullptr},
};

void project_settings() {
  mxt_settings().screen_width = 160;
  mxt_settings().screen_height = 120;
  mxt_settings().frame_rate = 60;
  mxt_settings().debug_mode = scenario() == "focus_debug" ? 1 : 0;
  mxt_app_title() = "Frame";
}

namespace {

void run_escape() {
  push(EventType::key_down, 1);
  for (int i = 1; i <= 5; ++i) {
    std::printf("frame %d\n", i);
    mxt_show_screen();
  }
  std::printf("survived\n");
}

void run_escape_off() {
  mxt_set_escape_ends(0);
  push(EventType::key_down, 1);
  for (int i = 0; i < 3; ++i) mxt_show_screen();
  std::printf("survived escape\n");
  push(EventType::key_down, 0x38);
  push(EventType::key_down, 0x3E);
  for (int i = 0; i < 3; ++i) mxt_show_screen();
  std::printf("survived alt f4\n");
}

void run_alt_only() {
  push(EventType::key_down, 0x38);
  for (int i = 0; i < 3; ++i) mxt_show_screen();
  push(EventType::key_up, 0x38);
  push(EventType::key_down, 0x3E);
  for (int i = 0; i < 3; ++i) mxt_show_screen();
  std::printf("survived alt then f4\n");
}

void run_waits() {
  scenario_support::use_fake_clock();
  for (int i = 0; i < 3; ++i) mxt_show_screen();
  mxt::platform::flush_events();
  rt.core->frame.wait_mode = WaitMode::waiting;
  push(EventType::key_down, 0x30);
  mxt::idle_pump();
  std::printf("key wait_mode=%d\n", wait_mode());
  push(EventType::key_up, 0x30);
  mxt_show_screen();
  rt.core->frame.wait_mode = WaitMode::waiting;
  push(EventType::mouse_move, 40, 30);
  mxt::idle_pump();
  std::printf("move wait_mode=%d\n", wait_mode());
  rt.core->frame.wait_mode = WaitMode::waiting;
  push(EventType::mouse_down, 1);
  mxt::idle_pump();
  std::printf("button wait_mode=%d\n", wait_mode());
  push(EventType::mouse_up, 1);
  mxt_show_screen();
  timed_idle_pump("none");
  rt.core->frame.wait_mode = WaitMode::none;
  const double t0 = mxt_elapsed_ms();
  mxt::idle_pump();
  std::printf("no wait ms=%d\n", static_cast<int>(mxt_elapsed_ms() - t0));
}

void run_hook_and_text() {
  mxt_show_screen();
  mxt::platform::flush_events();
  hook_calls = 0;
  Event text;
  text.type = EventType::text;
  std::snprintf(text.text, sizeof text.text, "a\xE9");
  mxt::platform::push_event(text);
  push(EventType::mouse_move, 3, 4);
  push(EventType::key_down, 0x30);
  mxt::lookup_message_hook();
  mxt::pump_messages(rt.core->frame.hook, false);
  std::printf("hook calls %d\n", hook_calls);
  int c;
  while ((c = rt.input->pop_typed_char()) != 0) std::printf("typed %02x\n", c);
}

void run_frame_time() {
  // On the fake clock: the first frame only waits out what start-up left
  // of its period; measure whole ones.
  scenario_support::use_fake_clock();
  mxt_show_screen();
  mxt_show_screen();
  mxt_show_screen();
  std::printf("frame time %.2f\n", mxt_frame_time());
  rt.core->frame.current_frame_time = rt.core->frame.previous_frame_time;
  std::printf("same reading %g\n", mxt_frame_time());
  mxt_limit_fps(0, 0);
  const double t0 = mxt_elapsed_ms();
  for (int i = 0; i < 50; ++i) mxt_show_screen();
  std::printf("50 unlimited frames ms=%.1f\n", mxt_elapsed_ms() - t0);
}

void run_focus() {
  const std::string s = scenario();
  mxt_show_screen();
  push(EventType::focus_lost);
  push(EventType::focus_lost);
  if (s == "focus") SDL_AddTimer(300, push_focus_gained, nullptr);
  for (int i = 0; i < 3; ++i) mxt_show_screen();
  std::printf("title while paused: %s\n", title_while_paused.c_str());
  std::printf("title now: %s\n", SDL_GetWindowTitle(SDL_GL_GetCurrentWindow()));
  std::printf("paused %d\n", rt.core->pause.paused);
}

void run_reactivate() {
  rt.core->frame.reactivation_request = 1;
  mxt_show_screen();
  std::printf("request %d\n", rt.core->frame.reactivation_request);
}

void run_headless() {
  mxt_set_clear_colour(0x0000FF);  // red
  for (int i = 1;; ++i) {
    std::printf("frame %d\n", i);
    mxt_show_screen();
  }
}

// Each scenario is one function; the test names it in MXT_TEST_SCENARIO.
const std::map<std::string, void (*)()> kScenarios = {
    {"escape", run_escape},
    {"escape_off", run_escape_off},
    {"alt_only", run_alt_only},
    {"waits", run_waits},
    {"hook_and_text", run_hook_and_text},
    {"frame_time", run_frame_time},
    {"focus", run_focus},
    {"focus_debug", run_focus},
    {"reactivate", run_reactivate},
    {"headless", run_headless},
};

}  // namespace

int mxt_main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const auto found = kScenarios.find(scenario());
  if (found != kScenarios.end()) found->second();
  std::printf("main returns\n");
  return 0;
}

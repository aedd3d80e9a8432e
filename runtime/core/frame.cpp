// The frame loop: the clocks, mxt_show_screen with its upkeep, the message
// pump with the window procedure's handling of each event, the idle pump
// that waits for input or for the end of a pause, and the small process
// commands.
//
// [SECTION] Clocks and pacing arithmetic
// [SECTION] Message pump and window events
// [SECTION] Frame upkeep and headless runs
// [SECTION] Idle pump
// [SECTION] Commands
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/audio/music.h"
#include "runtime/core/runtime.h"
#include "runtime/core/window.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/input/input.h"
#include "runtime/platform/platform.h"

namespace mxt {

FrameState frame;

// ---------------------------------------------------------------------------
// [SECTION] Clocks and pacing arithmetic

namespace {

struct TimerSource {
  bool use_counter = false;
  double frequency = 0;
  bool started = false;
  uint64_t origin_raw = 0;
};
TimerSource timer;

}  // namespace

void timer_init() {
  const uint64_t f = platform::perf_frequency();
  timer.use_counter = f > 0;
  timer.frequency = static_cast<double>(f);
}

// Milliseconds since the first reading. The counter's difference from its
// first value is scaled, not the raw count: a raw count times 1000 overflows
// 64 bits after a few months of uptime.
double accurate_ms() {
  if (timer.frequency == 0 && !timer.use_counter) timer_init();
  const uint64_t raw = timer.use_counter ? platform::perf_counter() : platform::ticks_ms();
  if (!timer.started) {
    timer.started = true;
    timer.origin_raw = raw;
    return 0.0;
  }
  const uint64_t delta = raw - timer.origin_raw;
  if (!timer.use_counter) return static_cast<double>(delta);
  const uint64_t f = static_cast<uint64_t>(timer.frequency);
  return static_cast<double>(delta / f) * 1000.0 + static_cast<double>(delta % f) * 1000.0 / timer.frequency;
}

void restart_elapsed_clock() {
  const double now = accurate_ms();
  frame.current_frame_time = now;
  frame.previous_frame_time = now;
  frame.elapsed_origin = now;
}

double next_frame_after(double next_frame_time, double now, double period) {
  if (period <= 0) return next_frame_time;
  double next = next_frame_time + period;
  if (now > next) next += period;       // one frame late: catch up by one
  if (now > next) next = now + period;  // longer stall: drop the backlog
  return next;
}

PaceStep pace_step(double next_frame_time, double now) {
  const double remaining = next_frame_time - now;
  if (remaining > 7) return {PaceStep::sleep, static_cast<int>(remaining - 3)};
  if (remaining > 1) return {PaceStep::nap, 0};
  return {PaceStep::due, 0};
}

double frame_period_for(double fps) {
  if (!(fps >= 1.0)) return 2.0;  // NaN, zero and negative rates included
  const double n = fps >= 2147483647.0 ? 2147483647.0 : std::trunc(fps);
  return 1000.0 / n;
}

// ---------------------------------------------------------------------------
// [SECTION] Message pump and window events

namespace {

void dispatch(const platform::Event& e) {
  handle_window_event(e);
  if (rt.input) rt.input->take_event(e);
}

}  // namespace

int pump_messages(VuduRODoverore* /*renderer*/, Callback hook, bool wait) {
  // A bounded wait: a quiet session (or a headless one) must not hang here.
  if (wait) platform::wait_event(10);
  platform::Event e;
  if (!hook) {
    while (platform::poll_event(e)) dispatch(e);
  } else {
    // The hook sees each message while it is still in the queue.
    while (platform::peek_event(e)) {
      hook();
      if (!platform::poll_event(e)) break;
      dispatch(e);
    }
  }
  return 1;
}

void lookup_message_hook() {
  if (frame.hook_state != -1) return;
  frame.hook = find_callback("MXT_WIN32_MSG");
  frame.hook_state = frame.hook ? 1 : 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Frame upkeep and headless runs

namespace {

// MXT_FRAMES=N ends the program after N presented frames; MXT_SCREENSHOT
// saves the last of them first. Read once, at the first frame.
struct HeadlessRun {
  bool read = false;
  int64_t frames = 0;
  std::string screenshot;
};
HeadlessRun headless;

void read_headless_settings() {
  headless.read = true;
  if (const char* f = std::getenv("MXT_FRAMES")) headless.frames = std::atoll(f);
  if (const char* s = std::getenv("MXT_SCREENSHOT")) headless.screenshot = s;
}

// The frame about to be presented, read from the back buffer before the swap,
// written as the name's extension says (PNG for ".png").
void save_screenshot(VuduRODoverore& r, const std::string& path) {
  const int w = r.window_width, h = r.window_height;
  ImageBuffer image;
  if (w <= 0 || h <= 0 || !image.size_to(w, h)) return;
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  flush_drawing();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  for (int y = 0; y < h; ++y) {
    uint8_t* row = image.pixel(0, y);
    std::memcpy(row, &rgba[static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) * 4], static_cast<size_t>(w) * 4);
    for (int x = 0; x < w; ++x) row[x * 4 + 3] = 255;  // the picture as seen: opaque
  }
  if (!write_image(RtString(path.c_str()), image))
    std::fprintf(stderr, "moxtril: cannot write the screenshot %s\n", path.c_str());
}

void serve_reactivation_request() {
  std::puts("activate");
  platform::show_window(rt.window);
  platform::raise_window(rt.window);
  std::puts("ok");
  std::fflush(stdout);
  frame.reactivation_request = 0;
}

}  // namespace

void frame_upkeep() {
  if (frame.reactivation_request) serve_reactivation_request();
  frame.previous_frame_time = frame.current_frame_time;
  frame.current_frame_time = accurate_ms();
  while (pause_state.paused) {
    frame.wait_mode = 31;
    idle_pump();
  }
  if (rt.input) {
    rt.input->sample_all_mice(true);
    rt.input->refresh_keys();  // begin_frame armed it, so this takes a fresh snapshot
  }

  if (frame.escape_switch && (key_down(0x81) || key_down(1))) {
    mxt_report_error(0);
    mxt_end();
  }
  if (key_down(0x38) && key_down(0x3E)) {  // left Alt + F4
    mxt_report_error(0);
    mxt_end();
  }
  // The 3D renderer's per-frame step joins here.
  music_upkeep();
  lookup_message_hook();
  pump_messages(rt.renderer, frame.hook, false);

  if (!headless.read) read_headless_settings();
  const bool last = headless.frames > 0 && frame.frames_presented + 1 >= headless.frames;
  if (last && !headless.screenshot.empty() && rt.renderer) save_screenshot(*rt.renderer, headless.screenshot);
  if (rt.renderer) rt.renderer->present(frame.hook);
  ++frame.frames_presented;
  if (last) mxt_end();
}

// ---------------------------------------------------------------------------
// [SECTION] Idle pump

void idle_pump() {
  music_upkeep();
  lookup_message_hook();
  pump_messages(rt.renderer, frame.hook, false);
  if (frame.wait_mode < 30) return;

  MouseSample reference;
  if (rt.input) rt.input->sample_mouse(reference, false);
  const int ref_x = rt.input ? rt.input->mice[0].x : 0;
  const int ref_y = rt.input ? rt.input->mice[0].y : 0;
  for (int pass = 0; pass < 100; ++pass) {
    music_upkeep();
    lookup_message_hook();
    pump_messages(rt.renderer, frame.hook, true);
    if (!pause_state.paused) {
      if (rt.input) {
        rt.input->sample_all_mice(false);
        rt.input->key_refresh_counter = 100000;
        rt.input->refresh_keys();
      }
      if (frame.escape_switch && (key_down(0x81) || key_down(1))) mxt_end();
      for (int k = 0; k < 255; ++k) {
        if (key_down(k)) {
          frame.wait_mode = 0;
          return;
        }
      }
      if (rt.input) {
        const MouseRecord& m = rt.input->mice[0];
        if (m.x != ref_x || m.y != ref_y || rt.input->any_button()) {
          frame.wait_mode = 0;
          return;
        }
      }
      platform::sleep_ms(10);
    } else {
      write_log_line("pause loop in showscreen/hibernate\n");
      while (pause_state.paused && !frame.reactivation_request) {
        platform::sleep_ms(500);
        music_upkeep();
        lookup_message_hook();
        pump_messages(rt.renderer, frame.hook, true);
      }
      write_log_line("pause loop ended\n");
      return;
    }
  }
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

void mxt_show_screen() {
  frame_upkeep();
  if (rt.renderer) rt.renderer->begin_frame();
  if (rt.input) rt.input->key_refresh_counter = 100000;
}

double mxt_elapsed_ms() { return accurate_ms() - frame.elapsed_origin; }

double mxt_frame_time() {
  const double t = frame.current_frame_time - frame.previous_frame_time;
  return t <= 0 ? 1.0 : t;
}

void mxt_limit_fps(double fps, int vsync) {
  if (gl_ext.swap_control) platform::set_swap_interval(vsync ? 1 : 0);
  if (rt.renderer) rt.renderer->frame_period = frame_period_for(fps);
}

void mxt_set_escape_ends(int on) { frame.escape_switch = on != 0; }

void mxt_sleep(int ms) { platform::sleep_ms(ms); }

int mxt_run_program(const RtString& command_line, double wait, double /*show*/, double& exit_code) {
  exit_code = 0;
  if (rt.renderer) enter_windowed_mode();
  int code = 0;
  const bool started = platform::run_process(command_line.str(), wait != 0, &code);
  if (started && wait != 0) exit_code = code;
  if (rt.window) platform::raise_window(rt.window);
  return started ? 1 : 0;
}

void mxt_run_and_end(const RtString& command_line) {
  runtime_shutdown();
  platform::run_process(command_line.str(), false, nullptr);
  std::exit(0);
}

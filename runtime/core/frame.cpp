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
#include "runtime/input/input_state.h"
#include "runtime/input/journal.h"
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

// The frame count recordings and replays go by: 0 while start-up runs, then
// one more than the frames mxt_show_screen has presented. So the game sees an
// event stamped f after its f-th mxt_show_screen (0: before the first), and
// the pumps of one stamp never have game code between them, only the waits
// that take their events one by one.
int64_t journal_clock() { return runtime_started() ? frame.frames_presented + 1 : 0; }

// Every event the runtime takes goes through here: recorded first (a close
// ends the program inside the window's handling), then the window's handling,
// then the input state.
void dispatch(const platform::Event& e) {
  if (rt.journal && rt.input) rt.journal->record(e, journal_clock());
  handle_window_event(e);
  if (rt.input) rt.input->take_event(e);
}

// While a replay plays, the devices are not listened to; the window's own
// events (close, size, exposure) still are.
bool replaced_by_replay(const platform::Event& e) {
  return rt.journal && rt.journal->replaying() && is_device_event(e.type);
}

int pump_events(Callback hook, ReplayPace pace) {
  // Replayed events reach the input state once it exists, before what the
  // platform has queued.
  size_t replayed = rt.journal && rt.input ? rt.journal->replay_quota(pace, journal_clock()) : 0;
  // A bounded wait: a quiet session (or a headless one) must not hang here.
  if ((pace == ReplayPace::waiting || pace == ReplayPace::paused) && replayed == 0) platform::wait_event(10);
  platform::Event e;
  for (; replayed > 0 && rt.journal->next_replayed(e); --replayed) {
    if (hook) hook();
    dispatch(e);
  }
  if (!hook) {
    while (platform::poll_event(e))
      if (!replaced_by_replay(e)) dispatch(e);
  } else {
    // The hook sees each message while it is still in the queue.
    while (platform::peek_event(e)) {
      if (replaced_by_replay(e)) {
        platform::poll_event(e);
        continue;
      }
      hook();
      if (!platform::poll_event(e)) break;
      dispatch(e);
    }
  }
  if (rt.journal) rt.journal->flush();
  return 1;
}

}  // namespace

int pump_messages(VuduRODoverore* /*renderer*/, Callback hook, bool wait) {
  return pump_events(hook, wait ? ReplayPace::waiting : ReplayPace::per_frame);
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
    rt.input->sample_all_mice(true);  // movement since the last frame is taken in
    rt.input->refresh_keys();         // mxt_show_screen armed it, so this takes a fresh snapshot
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

namespace {

// A fresh look at the devices for the wait: the mouse records sampled and
// the key snapshot taken now, not throttled.
void refresh_input_now() {
  if (!rt.input) return;
  rt.input->sample_all_mice(true);
  rt.input->key_refresh_counter = 100000;
  rt.input->refresh_keys();
}

MouseReading read_mouse() { return rt.input ? rt.input->mouse_state() : MouseReading{}; }

}  // namespace

void idle_pump() {
  music_upkeep();
  lookup_message_hook();
  const bool waiting = frame.wait_mode >= 30;
  pump_events(frame.hook, waiting ? ReplayPace::wait_start : ReplayPace::per_frame);
  if (!waiting) return;

  const MouseReading reference = read_mouse();
  for (int pass = 0; pass < 100; ++pass) {
    music_upkeep();
    lookup_message_hook();
    const size_t typed_before = rt.input ? rt.input->typed.size() : 0;
    pump_events(frame.hook, ReplayPace::waiting);
    if (!pause_state.paused) {
      refresh_input_now();
      if (frame.escape_switch && (key_down(0x81) || key_down(1))) mxt_end();
      // A key held, or a character typed (its key may already be up again).
      bool key_input = rt.input && rt.input->typed.size() > typed_before;
      for (int k = 0; k < 255 && !key_input; ++k) key_input = key_down(k);
      if (key_input) {
        frame.wait_mode = 0;
        return;
      }
      // A move, a button held, or a button let go since the reference: the
      // release counts, or a wait for a click would sit until the next move.
      const MouseReading m = read_mouse();
      if (m.x != reference.x || m.y != reference.y || m.left || m.right || m.middle || reference.left ||
          reference.right || reference.middle) {
        frame.wait_mode = 0;
        return;
      }
      platform::sleep_ms(10);
    } else {
      write_log_line("pause loop in showscreen/hibernate\n");
      while (pause_state.paused && !frame.reactivation_request) {
        platform::sleep_ms(500);
        music_upkeep();
        lookup_message_hook();
        pump_events(frame.hook, ReplayPace::paused);
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

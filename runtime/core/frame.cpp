// The frame loop: mxt_show_screen with its upkeep and pacing, the message
// pump with the window procedure's handling of each event, the idle pump
// that waits for input or for the end of a pause, and the small process
// commands. Time comes from the core state's FrameClock, so tests can run the
// loop on a clock of their own.
//
// [SECTION] Clocks
// [SECTION] Message pump and window events
// [SECTION] Frame upkeep, pacing and headless runs
// [SECTION] Idle pump
// [SECTION] Commands
#include <cstdio>
#include <cstdlib>

#include "runtime/audio/music.h"
#include "runtime/base/clock.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/core/window.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx3d/renderer3d.h"
#include "runtime/input/input_state.h"
#include "runtime/input/journal.h"
#include "runtime/input/keymap.h"
#include "runtime/platform/platform.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Clocks

namespace {
void nap() { platform::sleep_us(250); }  // this platform's short sleeps are precise
}  // namespace

FrameClock runtime_frame_clock() {
  FrameClock c;
  c.now = accurate_ms;
  c.sleep_ms = platform::sleep_ms;
  c.nap = nap;
  c.wait_event = platform::wait_event;
  return c;
}

void restart_elapsed_clock() {
  FrameState& f = rt.core->frame;
  const double now = rt.core->clock.now();
  f.current_frame_time = now;
  f.previous_frame_time = now;
  f.elapsed_origin = now;
}

// ---------------------------------------------------------------------------
// [SECTION] Message pump and window events

namespace {

// The frame count recordings and replays go by: 0 while start-up runs, then
// one more than the frames mxt_show_screen has presented. So the game sees an
// event stamped f after its f-th mxt_show_screen (0: before the first), and
// the pumps of one stamp never have game code between them, only the waits
// that take their events one by one.
int64_t journal_clock() { return runtime_started() ? rt.core->frame.frames_presented + 1 : 0; }

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

void pump_events(Callback hook, ReplayPace pace) {
  // Replayed events reach the input state once it exists, before what the
  // platform has queued.
  size_t replayed = rt.journal && rt.input ? rt.journal->replay_quota(pace, journal_clock()) : 0;
  // A bounded wait: a quiet session (or a headless one) must not hang here.
  if ((pace == ReplayPace::waiting || pace == ReplayPace::paused) && replayed == 0) rt.core->clock.wait_event(10);
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
}

}  // namespace

void pump_messages(Callback hook, bool wait) { pump_events(hook, wait ? ReplayPace::waiting : ReplayPace::per_frame); }

void lookup_message_hook() {
  FrameState& f = rt.core->frame;
  if (f.hook_state != -1) return;
  f.hook = find_callback(MXT_WIN32_MSG);
  f.hook_state = f.hook ? 1 : 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Frame upkeep, pacing and headless runs

namespace {

// The frame about to be presented, read from the back buffer before the swap,
// written as the name's extension says (PNG for ".png"). Whoever asked for it
// is told when it could not be written.
void save_screenshot(VuduRODoverore& r, const std::string& path) {
  ImageBuffer image;
  if (r.read_frame(image) && write_image(RtString(path.c_str()), image)) return;
  write_log_format("cannot write the screenshot %s\n", path.c_str());
  std::fprintf(stderr, "moxtril: cannot write the screenshot %s\n", path.c_str());
  std::fflush(stderr);
}

void serve_reactivation_request() {
  write_stdout("activate\n");
  platform::show_window(rt.window);
  platform::raise_window(rt.window);
  write_stdout("ok\n");
  rt.core->frame.reactivation_request = 0;
}

bool exit_keys_down() {
  return rt.core->frame.escape_switch && (key_down(kKeyEscapeAlternate) || key_down(kKeyEscape));
}

}  // namespace

// Sleep while more than 7 ms remain (waking 3 ms early), then spend the last
// milliseconds pumping messages in short naps.
void pace_frame(Callback hook) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  const FrameClock& clock = rt.core->clock;
  double now = 0;
  for (;;) {
    pump_messages(hook, false);
    now = clock.now();
    const PaceStep step = pace_step(r->next_frame_time, now);
    if (step.kind == PaceStep::due) break;
    if (step.kind == PaceStep::sleep)
      clock.sleep_ms(step.sleep_ms);
    else
      clock.nap();
  }
  if (r->frame_period > 0) r->next_frame_time = next_frame_after(r->next_frame_time, now, r->frame_period);
}

void frame_upkeep() {
  CoreState& core = *rt.core;
  FrameState& f = core.frame;
  if (f.reactivation_request) serve_reactivation_request();
  f.previous_frame_time = f.current_frame_time;
  f.current_frame_time = core.clock.now();
  while (core.pause.paused) {
    f.wait_mode = WaitMode::waiting;
    idle_pump();
  }
  if (rt.input) {
    rt.input->sample_all_mice(true);  // movement since the last frame is taken in
    rt.input->refresh_keys();         // mxt_show_screen armed it, so this takes a fresh snapshot
  }

  if (exit_keys_down()) mxt_end();
  if (key_down(kKeyLeftAlt) && key_down(kKeyF4)) mxt_end();
  if (rt.renderer3d) rt.renderer3d->frame_step();
  music_upkeep();
  lookup_message_hook();
  pump_messages(f.hook, false);

  const RunSettings& run = core.run;
  const bool last = run.frames > 0 && f.frames_presented + 1 >= run.frames;
  if (last && !run.screenshot.empty() && rt.renderer) save_screenshot(*rt.renderer, run.screenshot);
  if (rt.renderer) {
    rt.renderer->present();
    pace_frame(f.hook);
  }
  ++f.frames_presented;
  if (last) mxt_end();
}

// ---------------------------------------------------------------------------
// [SECTION] Idle pump

namespace {

// A fresh look at the devices for the wait: the mouse records sampled and
// the key snapshot taken now, not throttled. Whether a button is down, or
// went down and up since the last reading: the wait ends on it, and the
// latched press is left for whoever waited to read.
bool refresh_input_now() {
  if (!rt.input) return false;
  const bool held = rt.input->sample_all_mice(true, false);
  rt.input->force_key_refresh();
  rt.input->refresh_keys();
  return held;
}

MouseReading read_mouse() { return rt.input ? rt.input->mouse_state(false) : MouseReading{}; }

bool pressed(const MouseReading& m) { return m.left || m.right || m.middle; }

}  // namespace

void idle_pump() {
  CoreState& core = *rt.core;
  FrameState& f = core.frame;
  music_upkeep();
  lookup_message_hook();
  const bool waiting = f.wait_mode == WaitMode::waiting;
  pump_events(f.hook, waiting ? ReplayPace::wait_start : ReplayPace::per_frame);
  if (!waiting) return;

  const MouseReading reference = read_mouse();
  for (int pass = 0; pass < 100; ++pass) {
    music_upkeep();
    lookup_message_hook();
    const size_t typed_before = rt.input ? rt.input->typed.size() : 0;
    pump_events(f.hook, ReplayPace::waiting);
    if (!core.pause.paused) {
      const bool button = refresh_input_now();
      if (exit_keys_down()) mxt_end();
      // A key held, or a character typed (its key may already be up again).
      const bool key_input = (rt.input && rt.input->typed.size() > typed_before) || any_key_down();
      // A move, a button held, or a button let go since the reference: the
      // release counts, or a wait for a click would sit until the next move.
      const MouseReading m = read_mouse();
      if (key_input || button || m.x != reference.x || m.y != reference.y || pressed(m) || pressed(reference)) {
        f.wait_mode = WaitMode::none;
        return;
      }
      core.clock.sleep_ms(10);
    } else {
      write_log_line("pause loop in showscreen/hibernate\n");
      while (core.pause.paused && !f.reactivation_request) {
        core.clock.sleep_ms(500);
        music_upkeep();
        lookup_message_hook();
        pump_events(f.hook, ReplayPace::paused);
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
  if (rt.input) rt.input->force_key_refresh();
}

double mxt_elapsed_ms() { return rt.core->clock.now() - rt.core->frame.elapsed_origin; }

double mxt_frame_time() {
  const FrameState& f = rt.core->frame;
  const double t = f.current_frame_time - f.previous_frame_time;
  return t <= 0 ? 1.0 : t;
}

void mxt_limit_fps(double fps, int vsync) {
  if (!rt.renderer) return;
  if (rt.renderer->swap_control) platform::set_swap_interval(vsync ? 1 : 0);
  rt.renderer->frame_period = frame_period_for(fps);
}

void mxt_set_escape_ends(int on) { rt.core->frame.escape_switch = on != 0; }

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

// The runtime's clock and the arithmetic of frame pacing.
//
// `accurate_ms` counts milliseconds since its first reading, from the
// platform's high-resolution counter (or its coarse tick count where there
// is none). The pacing steps are pure functions of clock readings, so the
// frame loop, and tests with made-up clocks, use the same rules.
#pragma once

#include <cstdint>

namespace mxt {

struct TimerSource {
  bool use_counter = false;
  double frequency = 0;              // counts per second of the counter
  bool started = false;              // the first reading has been taken
  uint64_t origin_raw = 0;           // that reading
};

void timer_init();                   // choose the counter; start-up step "timer"
double accurate_ms();                // milliseconds since the first reading

// The frame period for a rate: 1000 / trunc(fps), or 2.0 ms when that is not
// at least one frame a second (NaN, zero and negative rates included).
double frame_period_for(double fps);

// The next frame time after a frame became due at `now`: one period on; a
// frame late catches up by one period, a longer stall drops the backlog.
double next_frame_after(double next_frame_time, double now, double period);

// What the pacing loop does next: sleep (more than 7 ms left: for that much
// minus 3), nap (1 to 7 ms left: pump messages and look again) or go on.
struct PaceStep {
  enum Kind { sleep, nap, due } kind;
  int sleep_ms;
};
PaceStep pace_step(double next_frame_time, double now);

}  // namespace mxt

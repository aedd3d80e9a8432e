// The clock and the pacing arithmetic.
#include "runtime/base/clock.h"

#include <cmath>

#include "runtime/base/singletons.h"
#include "runtime/platform/platform.h"

namespace mxt {

void timer_init() {
  const uint64_t f = platform::perf_frequency();
  rt.timer.use_counter = f > 0;
  rt.timer.frequency = static_cast<double>(f);
}

// The counter's difference from its first value is scaled, not the raw
// count: a raw count times 1000 overflows 64 bits after a few months of uptime.
double accurate_ms() {
  TimerSource& t = rt.timer;
  if (t.frequency == 0 && !t.use_counter) timer_init();
  const uint64_t raw = t.use_counter ? platform::perf_counter() : platform::ticks_ms();
  if (!t.started) {
    t.started = true;
    t.origin_raw = raw;
    return 0.0;
  }
  const uint64_t delta = raw - t.origin_raw;
  if (!t.use_counter) return static_cast<double>(delta);
  const uint64_t f = static_cast<uint64_t>(t.frequency);
  return static_cast<double>(delta / f) * 1000.0 + static_cast<double>(delta % f) * 1000.0 / t.frequency;
}

double frame_period_for(double fps) {
  if (!(fps >= 1.0)) return 2.0;
  const double n = fps >= 2147483647.0 ? 2147483647.0 : std::trunc(fps);
  return 1000.0 / n;
}

double next_frame_after(double next_frame_time, double now, double period) {
  if (period <= 0) return next_frame_time;
  double next = next_frame_time + period;
  if (now > next) next += period;
  if (now > next) next = now + period;
  return next;
}

PaceStep pace_step(double next_frame_time, double now) {
  const double remaining = next_frame_time - now;
  if (remaining > 7) return {PaceStep::sleep, static_cast<int>(remaining - 3)};
  if (remaining > 1) return {PaceStep::nap, 0};
  return {PaceStep::due, 0};
}

}  // namespace mxt

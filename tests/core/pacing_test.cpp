// Frame pacing driven by a made-up clock.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/base/clock.h"

using namespace mxt;

TEST(Pacing, FramePeriodFromTheRate) {
  EXPECT_DOUBLE_EQ(frame_period_for(60), 1000.0 / 60);
  EXPECT_DOUBLE_EQ(frame_period_for(59.9), 1000.0 / 59);  // the rate is truncated
  EXPECT_DOUBLE_EQ(frame_period_for(0), 2.0);
  EXPECT_DOUBLE_EQ(frame_period_for(-30), 2.0);
  EXPECT_DOUBLE_EQ(frame_period_for(0.5), 2.0);
  EXPECT_DOUBLE_EQ(frame_period_for(std::nan("")), 2.0);
  EXPECT_DOUBLE_EQ(frame_period_for(1e300), 1000.0 / 2147483647.0);
}

TEST(Pacing, LateFramesCatchUpByOneAndLongStallsDropTheBacklog) {
  const double p = 1000.0 / 60;
  EXPECT_DOUBLE_EQ(next_frame_after(100, 100, p), 100 + p);              // on time
  EXPECT_DOUBLE_EQ(next_frame_after(100, 100 + 0.5 * p, p), 100 + p);    // half late: still one period
  EXPECT_DOUBLE_EQ(next_frame_after(100, 100 + 1.5 * p, p), 100 + 2 * p);
  EXPECT_DOUBLE_EQ(next_frame_after(100, 100 + 3 * p, p), 100 + 3 * p + p);
  // The first presentation after window creation finds the next frame time
  // long past (the timer's first reading) and schedules one period ahead.
  EXPECT_DOUBLE_EQ(next_frame_after(0, 5000, p), 5000 + p);
  EXPECT_DOUBLE_EQ(next_frame_after(7, 9, 0), 7) << "no period, no change";
}

TEST(Pacing, SleepsOnlyWithMoreThanSevenMillisecondsLeftAndWakesThreeEarly) {
  EXPECT_EQ(pace_step(120, 100).kind, PaceStep::sleep);
  EXPECT_EQ(pace_step(120, 100).sleep_ms, 17);
  EXPECT_EQ(pace_step(107.5, 100).sleep_ms, 4);
  EXPECT_EQ(pace_step(107, 100).kind, PaceStep::nap);
  EXPECT_EQ(pace_step(101.5, 100).kind, PaceStep::nap);
  EXPECT_EQ(pace_step(101, 100).kind, PaceStep::due);
  EXPECT_EQ(pace_step(90, 100).kind, PaceStep::due);
}

TEST(Pacing, ASimulatedLoopRunsAtTheRateWithAFakeClock) {
  // Each frame takes `work` ms of drawing; sleeping is exact; naps take 0.25 ms.
  for (const double work : {2.0, 10.0, 16.0}) {
    const double period = frame_period_for(60);
    double clock = 0, next = 0;
    std::vector<double> due_times;
    for (int frame = 0; frame < 120; ++frame) {
      clock += work;
      for (;;) {
        const PaceStep step = pace_step(next, clock);
        if (step.kind == PaceStep::due) break;
        clock += step.kind == PaceStep::sleep ? step.sleep_ms : 0.25;
      }
      EXPECT_GE(clock, next - 1.0) << "never more than 1 ms early; work " << work << " frame " << frame;
      due_times.push_back(clock);
      next = next_frame_after(next, clock, period);
    }
    // Once settled, frames come one period apart on average.
    EXPECT_NEAR((due_times.back() - due_times[40]) / 79.0, period, 0.05) << "work " << work;
  }
}

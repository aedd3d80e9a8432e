// Frame pacing of an empty scene at 60 frames per second: 600 frames through
// mxt_show_screen, then the same count through a naive loop that swaps and
// sleeps SDL_Delay(16), on the same window in the same run.
// Run: SDL_VIDEODRIVER=offscreen build-rel/bench/frame_pacing/bench_frame_pacing
#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "runtime/base/clock.h"
#include <moxtril.h>
#include "runtime/platform/platform.h"

namespace {

constexpr int kFrames = 600;
constexpr double kPeriod = 1000.0 / 60.0;

void report(const char* name, std::vector<double> intervals, double cpu_seconds) {
  std::sort(intervals.begin(), intervals.end());
  const double median = intervals[intervals.size() / 2];
  const double p99 = intervals[intervals.size() * 99 / 100];
  const double worst = intervals.back();
  const auto late = [&](double by) {
    return std::count_if(intervals.begin(), intervals.end(), [&](double v) { return v > kPeriod + by; });
  };
  std::printf("RESULT loop=%s frames=%zu median_ms=%.3f p99_ms=%.3f max_ms=%.3f late_1ms=%ld late_2ms=%ld "
              "cpu_ms_per_frame=%.3f\n",
              name, intervals.size(), median, p99, worst, static_cast<long>(late(1.0)),
              static_cast<long>(late(2.0)), cpu_seconds * 1000.0 / static_cast<double>(intervals.size()));
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 640;
  mxt_settings().screen_height = 480;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "pacing";
}

int mxt_main() {
  for (int i = 0; i < 30; ++i) mxt_show_screen();  // settle

  std::vector<double> ours;
  double cpu0 = mxt::platform::process_cpu_seconds();
  double last = mxt::accurate_ms();
  for (int i = 0; i < kFrames; ++i) {
    mxt_show_screen();
    const double now = mxt::accurate_ms();
    ours.push_back(now - last);
    last = now;
  }
  report("moxtril", ours, mxt::platform::process_cpu_seconds() - cpu0);

  std::vector<double> naive;
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  cpu0 = mxt::platform::process_cpu_seconds();
  last = mxt::accurate_ms();
  for (int i = 0; i < kFrames; ++i) {
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
    SDL_PumpEvents();
    SDL_Delay(16);
    const double now = mxt::accurate_ms();
    naive.push_back(now - last);
    last = now;
  }
  report("sdl_delay16", naive, mxt::platform::process_cpu_seconds() - cpu0);
  mxt_end();
  return 0;
}

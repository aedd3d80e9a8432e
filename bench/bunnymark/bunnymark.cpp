// Bunnymark on the runtime: N sprites bouncing around an 800 x 480 window,
// one runtime call per sprite per frame (the workload every peer runs).
// usage: bench_bunnymark N plain|rotzoom|tiny [frames] [warmup]
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/base/clock.h"
#include "runtime/base/singletons.h"
#include <moxtril.h>
#include "bench/support/bouncing.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/platform/platform.h"

namespace {

constexpr int kW = 800, kH = 480;

}  // namespace

void project_settings() {
  mxt_settings().screen_width = kW;
  mxt_settings().screen_height = kH;
  mxt_settings().frame_rate = 0;  // no cap beyond the runtime's 2 ms minimum period
  mxt_app_title() = "bunnymark";
}

int mxt_main() {
  const std::vector<std::string> args = bench::arguments();
  const int n = args.size() > 0 ? std::atoi(args[0].c_str()) : 1000;
  const std::string variant = args.size() > 1 ? args[1] : "plain";
  const int frames = args.size() > 2 ? std::atoi(args[2].c_str()) : 300;
  const int warmup = args.size() > 3 ? std::atoi(args[3].c_str()) : 30;
  const bool rotzoom = variant == "rotzoom";
  const std::string file = std::string(MXT_BUNNY_DIR) + (variant == "tiny" ? "/tiny.png" : "/bunny.png");

  mxt_set_clear_colour(0x331A1A);  // RGB (26, 26, 51)
  mxt_load_sprite(file.c_str(), 1);
  int sw = 0, sh = 0;
  mxt_sprite_size(1, sw, sh);
  if (sw == 0) {
    std::fprintf(stderr, "cannot load %s\n", file.c_str());
    mxt_end();
  }
  const size_t count = static_cast<size_t>(n);
  std::vector<double> xs(count), ys(count), vxs(count), vys(count), a0(count);
  for (size_t i = 0; i < count; ++i) {
    xs[i] = bench::rnd() * (kW - sw);
    ys[i] = bench::rnd() * (kH - sw);
    vxs[i] = (bench::rnd() * 2 - 1) * 3;
    vys[i] = (bench::rnd() * 2 - 1) * 3;
    a0[i] = bench::rnd() * 360;
  }
  const double mx = kW - sw, my = kH - sw;
  double t0 = 0;
  for (int f = 0; f < warmup + frames; ++f) {
    if (f == warmup) {
      bench::wait_for_gpu();
      t0 = mxt::accurate_ms();
    }
    bench::bounce(xs, ys, vxs, vys, mx, my);
    if (rotzoom) {
      // Clockwise on screen: the runtime turns positive angles counter-clockwise.
      for (size_t i = 0; i < count; ++i)
        mxt_rotozoom_sprite(1, static_cast<int>(xs[i]), static_cast<int>(ys[i]), -(a0[i] + 2.0 * f), 1.5);
    } else {
      for (size_t i = 0; i < count; ++i) mxt_draw_sprite(1, static_cast<int>(xs[i]), static_cast<int>(ys[i]));
    }
    if (f == warmup + frames - 1) bench::wait_for_gpu();
    mxt_show_screen();
  }
  const double secs = (mxt::accurate_ms() - t0) / 1000.0;
  const double fps = frames / secs;
  std::printf("RESULT peer=moxtril variant=%s n=%d frames=%d secs=%.4f fps=%.2f sprites_per_s=%.0f\n",
              variant.c_str(), n, frames, secs, fps, fps * n);
  std::fflush(stdout);
  mxt_end();
  return 0;
}

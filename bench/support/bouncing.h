// What the sprite and text benchmarks share: the peers' random sequence
// (Park-Miller, seed 12345, so every peer places the same things), the
// bounce every thing makes off the window's edges, the program's arguments,
// and a wait for the queued GL work so frame times count the drawing.
#pragma once

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include <moxtril.h>
#include "runtime/gfx2d/draw.h"
#include "runtime/platform/platform.h"

namespace bench {

inline double rnd() {
  static double seed = 12345;
  seed = std::fmod(seed * 16807.0, 2147483647.0);
  return seed / 2147483647.0;
}

inline std::vector<std::string> arguments() {
  std::vector<std::string> args = mxt::platform::split_command_line(mxt_command_line().str());
  if (!args.empty()) args.erase(args.begin());
  return args;
}

inline void wait_for_gpu() {
  unsigned char p[4];
  mxt::flush_drawing();
  glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);  // waits for the queued work
}

// One step of every thing, reflected off 0 and the largest position (mx, my).
inline void bounce(std::vector<double>& xs, std::vector<double>& ys, std::vector<double>& vxs,
                   std::vector<double>& vys, double mx, double my) {
  for (size_t i = 0; i < xs.size(); ++i) {
    double x = xs[i] + vxs[i], y = ys[i] + vys[i];
    if (x < 0) {
      x = -x;
      vxs[i] = -vxs[i];
    } else if (x > mx) {
      x = 2 * mx - x;
      vxs[i] = -vxs[i];
    }
    if (y < 0) {
      y = -y;
      vys[i] = -vys[i];
    } else if (y > my) {
      y = 2 * my - y;
      vys[i] = -vys[i];
    }
    xs[i] = x;
    ys[i] = y;
  }
}

}  // namespace bench

// Decoding a 2048 x 2048 PNG and JPEG through the runtime's readers, against
// the command-line decoders pngtopnm and djpeg on the same files, in one run.
// Each is timed several times and the median reported.
// Run: build-rel/bench/image_decode/bench_image_decode [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/gfx2d/image.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class F>
double median_ms(int runs, F f) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    f();
    t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// A picture with smooth gradients and some noise, like game artwork.
mxt::ImageBuffer make_picture(int side) {
  mxt::ImageBuffer image;
  image.size_to(side, side);
  uint32_t seed = 1;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      seed = seed * 1664525u + 1013904223u;
      uint8_t* p = image.pixel(x, y);
      p[0] = static_cast<uint8_t>(static_cast<uint32_t>(x / 8) + (seed >> 29));
      p[1] = static_cast<uint8_t>(y / 8);
      p[2] = static_cast<uint8_t>(static_cast<uint32_t>((x + y) / 16) + (seed >> 30));
      p[3] = 255;
    }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  const std::string dir = "/tmp/mxt-bench-decode";
  std::system(("mkdir -p " + dir).c_str());
  const mxt::ImageBuffer picture = make_picture(2048);
  const std::string png = dir + "/picture.png", jpg = dir + "/picture.jpg";
  if (!mxt::write_image(png.c_str(), picture) || !mxt::write_image(jpg.c_str(), picture)) {
    std::fprintf(stderr, "cannot write the test pictures\n");
    return 1;
  }
  mxt::ImageBuffer out;
  const double ours_png = median_ms(runs, [&] { mxt::read_png(out, png.c_str(), -1); });
  const double tool_png = median_ms(runs, [&] { std::system(("pngtopnm " + png + " > /dev/null").c_str()); });
  const double ours_jpg = median_ms(runs, [&] { mxt::read_jpeg(out, jpg.c_str()); });
  const double tool_jpg = median_ms(runs, [&] { std::system(("djpeg " + jpg + " > /dev/null").c_str()); });
  std::printf("RESULT format=png ours_ms=%.1f pngtopnm_ms=%.1f ratio=%.2f\n", ours_png, tool_png, ours_png / tool_png);
  std::printf("RESULT format=jpeg ours_ms=%.1f djpeg_ms=%.1f ratio=%.2f\n", ours_jpg, tool_jpg, ours_jpg / tool_jpg);
  return 0;
}

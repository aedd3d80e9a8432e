// Pixel-exact collision of two 256 x 256 irregular sprites at 1,000
// placements each of three kinds (boxes overlapping with no shared pixel,
// touching at an edge, half overlapping), through mxt_sprite_collision,
// against a plain row-by-row scan of both alpha masks with an early exit, in
// the same run. Also the cost of a sprite's first test (its read-back).
// Run headless: SDL_VIDEODRIVER=offscreen build-rel/bench/collision/bench_collision
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include <moxtril.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSide = 256;

// A blob: opaque inside a wobbly circle, with scattered holes; alpha kept
// for the plain scan.
std::vector<uint8_t> make_blob(int n, double phase) {
  RtArray<int32_t> pixels;
  mxt_dim(pixels, kSide * kSide);
  std::vector<uint8_t> alpha(kSide * kSide);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const double dx = x - 127.5, dy = y - 127.5;
      const double radius = 100 + 20 * std::sin(std::atan2(dy, dx) * 5 + phase);
      const bool on = dx * dx + dy * dy < radius * radius && (x * 31 + y * 17) % 13 != 0;
      alpha[static_cast<size_t>(y * kSide + x)] = on ? 255 : 0;
      pixels(y * kSide + x) = on ? -1 : 0;
    }
  mxt_sprite_from_array(pixels, n, kSide, kSide);
  return alpha;
}

bool plain_scan(const std::vector<uint8_t>& a, int ax, int ay, const std::vector<uint8_t>& b, int bx, int by) {
  const int left = std::max(ax, bx), right = std::min(ax, bx) + kSide;
  const int top = std::max(ay, by), bottom = std::min(ay, by) + kSide;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      if (a[static_cast<size_t>((y - ay) * kSide + x - ax)] && b[static_cast<size_t>((y - by) * kSide + x - bx)])
        return true;
  return false;
}

struct Placement {
  int bx, by;
};

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
}

int mxt_main() {
  const std::vector<uint8_t> a = make_blob(1, 0), b = make_blob(2, 1.3);
  // The first test of each sprite reads its alpha back from the GPU.
  auto t0 = Clock::now();
  mxt_sprite_collision(1, 0, 0, 2, 1000, 1000);  // boxes apart: no read-back yet
  mxt_sprite_collision(1, 0, 0, 2, 0, 0);
  const double first_ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

  struct Kind {
    const char* name;
    std::vector<Placement> at;
  };
  // Placements of b relative to a at (0, 0).
  std::vector<Kind> kinds = {{"no shared pixel", {}}, {"touching", {}}, {"half overlap", {}}};
  uint32_t seed = 7;
  auto next = [&](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>(seed >> 8) % range;
  };
  for (int i = 0; i < 1000; ++i) {
    kinds[0].at.push_back({230 + next(20), next(40) - 20});   // boxes overlap by the blobs' empty corners
    kinds[1].at.push_back({200 + next(12), next(20) - 10});   // the wobbly edges meet here and there
    kinds[2].at.push_back({128 + next(8) - 4, next(40) - 20});
  }
  std::printf("first test of two sprites (read-back): %.3f ms\n", first_ms);
  std::printf("%-16s %12s %12s %8s %6s\n", "placements", "runtime us", "plain us", "ratio", "hits");
  for (const Kind& kind : kinds) {
    double ours = 1e30, plain = 1e30;
    int hits = 0, plain_hits = 0;
    for (int round = 0; round < 5; ++round) {
      hits = plain_hits = 0;
      t0 = Clock::now();
      for (const Placement& p : kind.at) hits += mxt_sprite_collision(1, 0, 0, 2, p.bx, p.by);
      ours = std::min(ours, std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
      t0 = Clock::now();
      for (const Placement& p : kind.at) plain_hits += plain_scan(a, 0, 0, b, p.bx, p.by);
      plain = std::min(plain, std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::printf("%-16s %12.1f %12.1f %8.2f %6d%s\n", kind.name, ours, plain, ours / plain, hits,
                hits == plain_hits ? "" : "  MISMATCH");
  }
  mxt_end();
  return 0;
}

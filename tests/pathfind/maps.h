// The test set of maps: open fields, random walls at several densities,
// mazes, a spiral, single corridors, one-cell-wide strips and a large field,
// each with start and goal pairs. Everything comes from a fixed seed, so a
// failure names a map and a pair that can be searched again.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mxt_test {

struct TestMap {
  std::string name;
  int width = 0, height = 0;
  std::vector<double> values;  // cell (x, y) at x + width * y; 0 is a wall
  std::vector<std::pair<std::pair<int, int>, std::pair<int, int>>> requests;  // (start, goal)

  double& at(int x, int y) { return values[static_cast<size_t>(x + width * y)]; }
  bool open(int x, int y) const { return values[static_cast<size_t>(x + width * y)] > 0; }
};

// A small deterministic generator (xorshift), the same on every library.
class MapRandom {
 public:
  explicit MapRandom(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return s_;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }

 private:
  uint64_t s_;
};

// Costs: 1 everywhere (every tie the search can meet), or 1 ... 9.
inline TestMap field(const std::string& name, int w, int h, bool varied, MapRandom& rnd) {
  TestMap m;
  m.name = name;
  m.width = w;
  m.height = h;
  m.values.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 1.0);
  if (varied)
    for (double& v : m.values) v = 1 + rnd.below(9);
  return m;
}

inline void scatter_walls(TestMap& m, double share, MapRandom& rnd) {
  for (double& v : m.values)
    if (rnd.unit() < share) v = 0;
}

// Requests between open cells, plus one whose goal may be a wall.
inline void add_requests(TestMap& m, int count, MapRandom& rnd) {
  auto open_cell = [&]() {
    for (int tries = 0; tries < 10000; ++tries) {
      const int x = rnd.below(m.width), y = rnd.below(m.height);
      if (m.open(x, y)) return std::make_pair(x, y);
    }
    return std::make_pair(0, 0);
  };
  for (int i = 0; i < count; ++i) {
    auto s = open_cell(), g = open_cell();
    if (s != g) m.requests.push_back({s, g});
  }
  m.requests.push_back({open_cell(), {rnd.below(m.width), rnd.below(m.height)}});
}

// A maze carved by a depth-first walk over a (2k+1) x (2k+1) grid of walls.
inline TestMap maze(const std::string& name, int cells, bool varied, MapRandom& rnd) {
  const int side = 2 * cells + 1;
  TestMap m;
  m.name = name;
  m.width = m.height = side;
  m.values.assign(static_cast<size_t>(side) * static_cast<size_t>(side), 0.0);
  auto carve = [&](int x, int y) { m.at(x, y) = varied ? 1 + rnd.below(9) : 1.0; };
  std::vector<std::pair<int, int>> stack{{0, 0}};
  std::vector<char> seen(static_cast<size_t>(cells) * static_cast<size_t>(cells), 0);
  seen[0] = 1;
  carve(1, 1);
  while (!stack.empty()) {
    const auto [cx, cy] = stack.back();
    const int dirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    int options[4], n = 0;
    for (int d = 0; d < 4; ++d) {
      const int nx = cx + dirs[d][0], ny = cy + dirs[d][1];
      if (nx >= 0 && ny >= 0 && nx < cells && ny < cells && !seen[static_cast<size_t>(nx + cells * ny)]) options[n++] = d;
    }
    if (n == 0) {
      stack.pop_back();
      continue;
    }
    const int d = options[rnd.below(n)];
    const int nx = cx + dirs[d][0], ny = cy + dirs[d][1];
    seen[static_cast<size_t>(nx + cells * ny)] = 1;
    carve(2 * cx + 1 + dirs[d][0], 2 * cy + 1 + dirs[d][1]);
    carve(2 * nx + 1, 2 * ny + 1);
    stack.push_back({nx, ny});
  }
  return m;
}

// A square spiral: rings of wall, each with one gap, the gaps on opposite
// corners in turn, so the way from the border to the centre winds round.
inline TestMap spiral(int side) {
  TestMap m;
  m.name = "spiral";
  m.width = m.height = side;
  m.values.assign(static_cast<size_t>(side) * static_cast<size_t>(side), 1.0);
  int x0 = 1, y0 = 1, x1 = side - 2, y1 = side - 2;
  for (int ring = 0; x0 < x1 && y0 < y1; ++ring) {
    for (int x = x0; x <= x1; ++x) m.at(x, y0) = m.at(x, y1) = 0;
    for (int y = y0; y <= y1; ++y) m.at(x0, y) = m.at(x1, y) = 0;
    if (ring % 2 == 0)
      m.at(x0, y0 + 1) = 1;
    else
      m.at(x1, y1 - 1) = 1;
    x0 += 2;
    y0 += 2;
    x1 -= 2;
    y1 -= 2;
  }
  m.requests = {{{0, 0}, {side / 2, side / 2}}, {{side / 2, side / 2}, {side - 1, side - 1}}, {{0, side - 1}, {side - 1, 0}}};
  return m;
}

// One corridor winding back and forth across the map.
inline TestMap serpentine(int w, int h, MapRandom& rnd) {
  TestMap m;
  m.name = "serpentine";
  m.width = w;
  m.height = h;
  m.values.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0.0);
  for (int y = 0; y < h; y += 2) {
    for (int x = 0; x < w; ++x) m.at(x, y) = 1 + rnd.below(3);
    if (y + 1 < h) m.at((y / 2) % 2 == 0 ? w - 1 : 0, y + 1) = 1;
  }
  m.requests = {{{0, 0}, {w / 2, h - 1 - (h - 1) % 2}}, {{w / 2, 0}, {w / 3, 2}}};
  return m;
}

inline std::vector<TestMap> test_maps(bool with_large) {
  MapRandom rnd(24);
  std::vector<TestMap> maps;
  maps.push_back(field("open field of ones", 40, 30, false, rnd));
  maps.push_back(field("open field, varied costs", 40, 30, true, rnd));
  for (double share : {0.10, 0.30, 0.45}) {
    for (bool varied : {false, true}) {
      TestMap m = field("walls " + std::to_string(static_cast<int>(share * 100)) + "%" + (varied ? ", varied" : ""), 64,
                        48, varied, rnd);
      scatter_walls(m, share, rnd);
      maps.push_back(std::move(m));
    }
  }
  maps.push_back(maze("maze of ones", 20, false, rnd));
  maps.push_back(maze("maze, varied costs", 20, true, rnd));
  for (TestMap& m : maps) {
    if (m.requests.empty()) add_requests(m, 12, rnd);
    if (m.name.rfind("open field", 0) == 0) m.requests.push_back({{0, 0}, {m.width - 1, m.height - 1}});
  }
  maps.push_back(spiral(31));
  maps.push_back(serpentine(33, 21, rnd));
  TestMap row = field("1 x N", 1, 50, true, rnd), column = field("N x 1", 50, 1, true, rnd);
  row.requests = {{{0, 0}, {0, 49}}, {{0, 30}, {0, 3}}};
  column.requests = {{{0, 0}, {49, 0}}, {{30, 0}, {3, 0}}};
  maps.push_back(row);
  maps.push_back(column);
  TestMap cut = column;
  cut.name = "N x 1, cut by a wall";
  cut.at(20, 0) = 0;
  maps.push_back(cut);
  if (with_large) {
    TestMap big = field("512 x 512, walls 30%", 512, 512, true, rnd);
    scatter_walls(big, 0.30, rnd);
    add_requests(big, 2, rnd);
    big.requests.push_back({{0, 0}, {511, 511}});
    big.at(0, 0) = big.at(511, 511) = 5;
    maps.push_back(std::move(big));
  }
  return maps;
}

}  // namespace mxt_test

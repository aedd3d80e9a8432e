// Path finding: 1,000 start and goal pairs on 512 x 512 maps (30 % walls,
// and a maze) at weights 0, 0.5 and 1, timed for
//
//   search     AStarPlanner set up once per map, then retarget, start, run,
//              reset per pair: the search alone, which must not allocate
//   command    mxt_find_path per pair: set-up (cost grid, allocations) included
//   boost      Boost.Graph's astar_search on a compressed sparse row graph of
//              the same grid, edge weights the same float cell costs, the
//              heuristic the Manhattan distance times w / (1 - w), which
//              orders the cells as the planner's f = g + w (h - g) does; at
//              weight 1 a plain greedy search on std::priority_queue instead
//   list       ListAStarPlanner (the sorted ring buffer and 256 hash buckets
//              the planner started from) on the first few pairs only: it
//              takes seconds a search on maps this size
//
// The ratio is the planner's time over the peer's: at most 1.0 is the goal.
// Pairs are drawn from the largest connected region, so every one has a path.
//
//   build-rel/bench/pathfind/bench_pathfind [pairs] [list pairs]
#include <moxtril.h>

#include <boost/graph/astar_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <queue>
#include <string>
#include <utility>
#include <vector>

#include "runtime/pathfind/list_planner.h"
#include "runtime/pathfind/planner.h"
#include "runtime/types/rtarray.h"

// ---------------------------------------------------------------------------
// Counting allocations: the planner's search must make none. These replace
// the global operators, so malloc and free pair up as new and delete do.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int kSide = 512;
constexpr int kCells = kSide * kSide;

using Clock = std::chrono::steady_clock;
double ms_since(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

uint64_t g_seed = 0x51ED2701u;
uint64_t next_random() {
  g_seed ^= g_seed << 13;
  g_seed ^= g_seed >> 7;
  g_seed ^= g_seed << 17;
  return g_seed;
}
int below(int n) { return static_cast<int>(next_random() % static_cast<uint64_t>(n)); }

struct Map {
  std::string name;
  RtArray<double> values;     // values(x, y); 0 a wall
  std::vector<float> cost;    // the planner's cell costs, -1 for a wall
  std::vector<std::pair<int, int>> pairs;  // start and goal cells, x + side * y
};

Map walls_map() {
  Map m;
  m.name = "30% walls";
  mxt_dim(m.values, kSide, kSide);
  for (int i = 0; i < kCells; ++i) m.values.data[i] = below(100) < 30 ? 0 : 1 + below(9);
  return m;
}

// A maze carved by a depth-first walk over 255 x 255 rooms, costs 1 to 9.
Map maze_map() {
  Map m;
  m.name = "maze";
  mxt_dim(m.values, kSide, kSide);
  const int rooms = (kSide - 1) / 2;
  std::vector<char> seen(static_cast<size_t>(rooms) * rooms, 0);
  std::vector<std::pair<int, int>> stack{{0, 0}};
  seen[0] = 1;
  auto carve = [&](int x, int y) { m.values(x, y) = 1 + below(9); };
  carve(1, 1);
  while (!stack.empty()) {
    const auto [cx, cy] = stack.back();
    const int dirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    int options[4], n = 0;
    for (int d = 0; d < 4; ++d) {
      const int nx = cx + dirs[d][0], ny = cy + dirs[d][1];
      if (nx >= 0 && ny >= 0 && nx < rooms && ny < rooms && !seen[static_cast<size_t>(nx + rooms * ny)]) options[n++] = d;
    }
    if (n == 0) {
      stack.pop_back();
      continue;
    }
    const int d = options[below(n)];
    const int nx = cx + dirs[d][0], ny = cy + dirs[d][1];
    seen[static_cast<size_t>(nx + rooms * ny)] = 1;
    carve(2 * cx + 1 + dirs[d][0], 2 * cy + 1 + dirs[d][1]);
    carve(2 * nx + 1, 2 * ny + 1);
    stack.push_back({nx, ny});
  }
  return m;
}

// The cost grid and pairs inside the largest region.
void prepare(Map& m, int pairs) {
  m.cost.resize(kCells);
  mxt::Planner::build_cost_grid(m.values, m.cost.data());
  std::vector<int> region(kCells, -1), size;
  std::vector<int> todo;
  for (int c = 0; c < kCells; ++c) {
    if (m.cost[static_cast<size_t>(c)] < 0 || region[static_cast<size_t>(c)] >= 0) continue;
    const int r = static_cast<int>(size.size());
    size.push_back(0);
    todo.push_back(c);
    region[static_cast<size_t>(c)] = r;
    while (!todo.empty()) {
      const int u = todo.back();
      todo.pop_back();
      ++size.back();
      const int x = u % kSide, y = u / kSide;
      const int nx[4] = {x, x + 1, x - 1, x}, ny[4] = {y - 1, y, y, y + 1};
      for (int k = 0; k < 4; ++k) {
        if (nx[k] < 0 || ny[k] < 0 || nx[k] >= kSide || ny[k] >= kSide) continue;
        const int v = nx[k] + kSide * ny[k];
        if (m.cost[static_cast<size_t>(v)] < 0 || region[static_cast<size_t>(v)] >= 0) continue;
        region[static_cast<size_t>(v)] = r;
        todo.push_back(v);
      }
    }
  }
  int largest = 0;
  for (int r = 0; r < static_cast<int>(size.size()); ++r)
    if (size[static_cast<size_t>(r)] > size[static_cast<size_t>(largest)]) largest = r;
  auto cell = [&]() {
    for (;;) {
      const int c = below(kCells);
      if (region[static_cast<size_t>(c)] == largest) return c;
    }
  };
  while (static_cast<int>(m.pairs.size()) < pairs) {
    const int s = cell(), g = cell();
    if (s != g) m.pairs.push_back({s, g});
  }
}

// ---------------------------------------------------------------------------
// The peers

using Graph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, float>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

Graph grid_graph(const Map& m) {
  std::vector<std::pair<int, int>> edges;
  std::vector<float> weights;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      if (m.cost[static_cast<size_t>(x + kSide * y)] < 0) continue;
      const int nx[4] = {x, x + 1, x - 1, x}, ny[4] = {y - 1, y, y, y + 1};
      for (int k = 0; k < 4; ++k) {
        if (nx[k] < 0 || ny[k] < 0 || nx[k] >= kSide || ny[k] >= kSide) continue;
        const float c = m.cost[static_cast<size_t>(nx[k] + kSide * ny[k])];
        if (c < 0) continue;
        edges.push_back({x + kSide * y, nx[k] + kSide * ny[k]});
        weights.push_back(c);
      }
    }
  return Graph(boost::edges_are_sorted, edges.begin(), edges.end(), weights.begin(), static_cast<size_t>(kCells));
}

struct FoundGoal {};

struct GoalVisitor : boost::default_astar_visitor {
  Vertex goal;
  explicit GoalVisitor(Vertex g) : goal(g) {}
  void examine_vertex(Vertex u, const Graph&) const {
    if (u == goal) throw FoundGoal();
  }
};

struct ScaledManhattan : boost::astar_heuristic<Graph, float> {
  int gx, gy;
  float scale;
  ScaledManhattan(int goal, float s) : gx(goal % kSide), gy(goal / kSide), scale(s) {}
  float operator()(Vertex v) const {
    const int x = static_cast<int>(v) % kSide, y = static_cast<int>(v) / kSide;
    return scale * static_cast<float>(std::abs(gx - x) + std::abs(gy - y));
  }
};

struct BoostSearch {
  const Graph& graph;
  std::vector<Vertex> pred;
  std::vector<float> dist, rank;
  std::vector<boost::default_color_type> colour;
  explicit BoostSearch(const Graph& g) : graph(g), pred(kCells), dist(kCells), rank(kCells), colour(kCells) {}

  // The cost of the path found (the goal's distance), or -1.
  float run(int start, int goal, double weight) {
    const auto index = boost::get(boost::vertex_index, graph);
    try {
      boost::astar_search(graph, static_cast<Vertex>(start), ScaledManhattan(goal, static_cast<float>(weight / (1 - weight))),
                          boost::weight_map(boost::get(boost::edge_bundle, graph))
                              .predecessor_map(boost::make_iterator_property_map(pred.begin(), index))
                              .distance_map(boost::make_iterator_property_map(dist.begin(), index))
                              .rank_map(boost::make_iterator_property_map(rank.begin(), index))
                              .color_map(boost::make_iterator_property_map(colour.begin(), index))
                              .visitor(GoalVisitor(static_cast<Vertex>(goal))));
    } catch (const FoundGoal&) {
      return dist[static_cast<size_t>(goal)];
    }
    return -1;
  }
};

// Weight 1: the Manhattan distance alone, on std::priority_queue.
struct GreedySearch {
  const std::vector<float>& cost;
  std::vector<char> seen;
  std::vector<int> parent, touched;
  explicit GreedySearch(const std::vector<float>& c) : cost(c), seen(kCells, 0), parent(kCells, -1) {}

  int run(int start, int goal) {  // path cells, or 0
    for (int c : touched) seen[static_cast<size_t>(c)] = 0;
    touched.clear();
    const int gx = goal % kSide, gy = goal / kSide;
    using Item = std::pair<int, int>;  // distance, cell
    std::priority_queue<Item, std::vector<Item>, std::greater<>> open;
    open.push({0, start});
    seen[static_cast<size_t>(start)] = 1;
    touched.push_back(start);
    while (!open.empty()) {
      const int u = open.top().second;
      open.pop();
      if (u == goal) {
        int n = 1;
        for (int c = u; c != start; c = parent[static_cast<size_t>(c)]) ++n;
        return n;
      }
      const int x = u % kSide, y = u / kSide;
      const int nx[4] = {x, x + 1, x - 1, x}, ny[4] = {y - 1, y, y, y + 1};
      for (int k = 0; k < 4; ++k) {
        if (nx[k] < 0 || ny[k] < 0 || nx[k] >= kSide || ny[k] >= kSide) continue;
        const int v = nx[k] + kSide * ny[k];
        if (cost[static_cast<size_t>(v)] < 0 || seen[static_cast<size_t>(v)]) continue;
        seen[static_cast<size_t>(v)] = 1;
        touched.push_back(v);
        parent[static_cast<size_t>(v)] = u;
        open.push({std::abs(gx - nx[k]) + std::abs(gy - ny[k]), v});
      }
    }
    return 0;
  }
};

// ---------------------------------------------------------------------------
// Runs

mxt::PlannerParams params_for(const std::pair<int, int>& pair, double weight) {
  mxt::PlannerParams p;
  p.start_x = pair.first % kSide;
  p.start_y = pair.first / kSide;
  p.goal_x = pair.second % kSide;
  p.goal_y = pair.second / kSide;
  p.weight = weight;
  return p;
}

struct Times {
  double search = 0, peer = 0, command = 0;  // ms, summed over the pairs
  long allocations = 0;                      // during the planner's searches
  int agree = 0;
};

// The three, pair by pair in turn, so that a machine whose load changes
// during the run slows them alike.
Times time_pairs(const Map& m, const Graph& graph, double weight) {
  Times t;
  mxt::AStarPlanner planner;
  planner.set_up(m.values, params_for(m.pairs[0], weight));
  BoostSearch boost_search(graph);
  GreedySearch greedy(m.cost);
  RtArray<int> path;
  for (const auto& [s, g] : m.pairs) {
    const long before = g_allocations.load();
    auto t0 = Clock::now();
    planner.retarget(s % kSide, s / kSide, g % kSide, g / kSide);
    planner.start();
    const float ours = planner.run() ? planner.result()->g : -1;
    planner.reset();
    t.search += ms_since(t0);
    t.allocations += g_allocations.load() - before;

    t0 = Clock::now();
    const float theirs = weight >= 1 ? static_cast<float>(greedy.run(s, g)) : boost_search.run(s, g, weight);
    t.peer += ms_since(t0);

    t0 = Clock::now();
    mxt_find_path(m.values, path, weight, s % kSide, s / kSide, g % kSide, g / kSide);
    t.command += ms_since(t0);

    // Up to one half both searches are optimal: the same cost, up to float
    // rounding in another order. At 1 both must find a path.
    if (weight >= 1)
      t.agree += ours > 0 && theirs > 0;
    else
      t.agree += std::fabs(ours - theirs) <= 1e-4f * std::fmax(1.0f, theirs);
  }
  return t;
}

double time_list(const Map& m, double weight, size_t pairs) {
  mxt::ListAStarPlanner planner;
  planner.set_up(m.values, params_for(m.pairs[0], weight));
  const auto t0 = Clock::now();
  for (size_t i = 0; i < pairs && i < m.pairs.size(); ++i) {
    const auto& [s, g] = m.pairs[i];
    planner.retarget(s % kSide, s / kSide, g % kSide, g / kSide);
    planner.start();
    planner.run();
    planner.reset();
  }
  return ms_since(t0);
}

}  // namespace

int main(int argc, char** argv) {
  const int pairs = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int list_pairs = argc > 2 ? std::atoi(argv[2]) : 5;
  if (pairs < 1 || list_pairs < 0) {
    std::fprintf(stderr, "usage: bench_pathfind [pairs >= 1] [list pairs >= 0]\n");
    return 2;
  }
  std::printf("path finding, %d x %d, %d pairs per map and weight (list planner: %d); ms per search\n", kSide, kSide, pairs,
              list_pairs);
  std::printf("%-10s %6s | %9s %9s | %9s %6s | %9s %6s | %9s %6s | %s\n", "map", "weight", "search", "allocs", "peer",
              "ratio", "command", "ratio", "list", "ratio", "agreement");
  Map maps[2] = {walls_map(), maze_map()};
  for (Map& m : maps) {
    prepare(m, pairs);
    const Graph graph = grid_graph(m);
    for (double weight : {0.0, 0.5, 1.0}) {
      const Times t = time_pairs(m, graph, weight);
      const double search = t.search / pairs, peer = t.peer / pairs, command = t.command / pairs;
      const double list = list_pairs > 0 ? time_list(m, weight, static_cast<size_t>(list_pairs)) / list_pairs : 0;
      std::printf("%-10s %6.1f | %9.4f %9ld | %9.4f %6.2f | %9.4f %6.2f | %9.2f %6.0f | %d/%d %s\n", m.name.c_str(), weight,
                  search, t.allocations, peer, search / peer, command, command / peer, list, list > 0 ? list / search : 0,
                  t.agree, pairs, weight >= 1 ? "found by both" : "same cost");
      std::fflush(stdout);
    }
  }
  std::printf("peer: Boost.Graph astar_search at weights 0 and 0.5, std::priority_queue greedy at 1;\n"
              "list ratio: the first structures' time over the planner's search\n");
  return 0;
}

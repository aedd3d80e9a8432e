// The path commands and the planner: the documented results at the edges,
// and on a test set of maps the very paths of the reference search
// (reference.h), ties included.
#include <gtest/gtest.h>

#include <moxtril.h>

#include <cmath>
#include <limits>
#include <queue>
#include <string>
#include <vector>

#include "pathfind/maps.h"
#include "pathfind/reference.h"
#include "runtime/pathfind/list_planner.h"
#include "runtime/pathfind/planner.h"
#include "runtime/types/rtarray.h"

using namespace mxt_test;

namespace {

using Path = std::vector<std::pair<int, int>>;

RtArray<double> as_array(const std::vector<double>& values, int w, int h) {
  RtArray<double> a;
  mxt_dim(a, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) a(x, y) = values[static_cast<size_t>(x + w * y)];
  return a;
}

// A map from rows of text: '#' a wall, a digit its cost.
struct TextMap {
  int w = 0, h = 0;
  std::vector<double> values;
  explicit TextMap(const std::vector<std::string>& rows) {
    h = static_cast<int>(rows.size());
    w = static_cast<int>(rows[0].size());
    for (const std::string& row : rows)
      for (char c : row) values.push_back(c == '#' ? 0.0 : c - '0');
  }
  RtArray<double> array() const { return as_array(values, w, h); }
};

template <class T>
Path path_of(const RtArray<T>& a) {
  Path p;
  for (int k = 0; k < a.size0; ++k) p.push_back({static_cast<int>(a(k, 0)), static_cast<int>(a(k, 1))});
  return p;
}

Path find(const RtArray<double>& map, double weight, int sx, int sy, int gx, int gy, int* result = nullptr) {
  RtArray<int> path;
  const int n = mxt_find_path(map, path, weight, sx, sy, gx, gy);
  if (result) *result = n;
  EXPECT_EQ(n, path.size0);
  return path_of(path);
}

// Every step moves to one of the four neighbours, through no wall.
::testing::AssertionResult walkable(const Path& p, const std::vector<double>& values, int w) {
  for (size_t k = 1; k < p.size(); ++k) {
    const int dx = std::abs(p[k].first - p[k - 1].first), dy = std::abs(p[k].second - p[k - 1].second);
    if (dx + dy != 1) return ::testing::AssertionFailure() << "step " << k << " is no orthogonal step";
    if (!(values[static_cast<size_t>(p[k].first + w * p[k].second)] > 0))
      return ::testing::AssertionFailure() << "step " << k << " enters a wall";
  }
  return ::testing::AssertionSuccess();
}

// An independent Dijkstra over the same float costs, summing as the search
// sums: the cheapest cost from the start to the goal, or -1.
float dijkstra(const std::vector<float>& cost, int w, int h, int sx, int sy, int gx, int gy) {
  std::vector<float> best(cost.size(), std::numeric_limits<float>::infinity());
  using Item = std::pair<float, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<>> queue;
  best[static_cast<size_t>(sx + w * sy)] = 0;
  queue.push({0.0f, sx + w * sy});
  while (!queue.empty()) {
    const auto [d, cell] = queue.top();
    queue.pop();
    if (d > best[static_cast<size_t>(cell)]) continue;
    const int x = cell % w, y = cell / w;
    if (x == gx && y == gy) return d;
    const int nx[4] = {x, x + 1, x - 1, x}, ny[4] = {y - 1, y, y, y + 1};
    for (int k = 0; k < 4; ++k) {
      if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) continue;
      const size_t next = static_cast<size_t>(nx[k] + w * ny[k]);
      if (cost[next] == -1.0f) continue;
      const float g = d + cost[next];
      if (g < best[next]) {
        best[next] = g;
        queue.push({g, static_cast<int>(next)});
      }
    }
  }
  return -1;
}

float summed_cost(const Path& p, const std::vector<float>& cost, int w) {
  float g = 0;
  for (size_t k = 1; k < p.size(); ++k) g = g + cost[static_cast<size_t>(p[k].first + w * p[k].second)];
  return g;
}

}  // namespace

// ---------------------------------------------------------------------------
// The edges of the commands

TEST(FindPath, RefusedRequestsReturnZeroAndLeaveThePathAsItWas) {
  const TextMap m({"1111", "1111", "1111"});
  const RtArray<double> map = m.array();
  const int refused[][4] = {{1, 1, 1, 1}, {-1, 0, 2, 2}, {0, 0, 4, 0}, {0, 0, 0, 3}, {0, 3, 0, 0}, {4, 0, 0, 0}};
  for (const auto& r : refused) {
    RtArray<int> path;
    mxt_dim(path, 3, 1);
    path(0, 0) = 7;
    EXPECT_EQ(mxt_find_path(map, path, 0.5, r[0], r[1], r[2], r[3]), 0);
    EXPECT_EQ(path.size0, 3) << "untouched";
    EXPECT_EQ(path(0, 0), 7);
  }
  // No positive cell: zeros, negatives, NaN.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {0.0, -3.0, nan, -std::numeric_limits<double>::infinity()}) {
    RtArray<double> dead;
    mxt_dim(dead, 4, 4);
    for (int i = 0; i < 16; ++i) dead.data[i] = v;
    RtArray<int> path;
    mxt_dim(path, 2, 2);
    EXPECT_EQ(mxt_find_path(dead, path, 0.5, 0, 0, 3, 3), 0) << v;
    EXPECT_EQ(path.size0, 2) << v;
  }
  // A 1 x 1 map has no two cells; a one-dimensional array no second size.
  RtArray<double> one, flat;
  mxt_dim(one, 1, 1);
  one(0, 0) = 1;
  mxt_dim(flat, 5);
  for (int i = 0; i < 5; ++i) flat(i) = 1;
  RtArray<int> path;
  mxt_dim(path, 1, 2);
  EXPECT_EQ(mxt_find_path(one, path, 0.5, 0, 0, 0, 0), 0);
  EXPECT_EQ(mxt_find_path(flat, path, 0.5, 0, 0, 4, 0), 0);
  EXPECT_EQ(path.size0, 1);
  RtArray<double> empty;
  EXPECT_EQ(mxt_find_path(empty, path, 0.5, 0, 0, 1, 0), 0);
  EXPECT_EQ(path.size0, 1);
}

TEST(FindPath, AGoalThatCannotBeReachedSizesThePathToZero) {
  const TextMap walled({"11#1", "11#1", "11#1"});
  const TextMap on_wall({"111", "1#1", "111"});
  for (const auto& [m, gx, gy] : {std::tuple{&walled, 3, 0}, std::tuple{&on_wall, 1, 1}}) {
    RtArray<int> path;
    mxt_dim(path, 4, 2);
    EXPECT_EQ(mxt_find_path(m->array(), path, 0.5, 0, 0, gx, gy), 0);
    EXPECT_EQ(path.size0, 0);
    EXPECT_EQ(path.count, 0);
  }
}

TEST(FindPath, AWallOnTheStartIsLeftAndNeverEnteredAgain) {
  const TextMap m({"111", "1#1", "111"});
  EXPECT_EQ(find(m.array(), 0.5, 1, 1, 1, 0), (Path{{1, 1}, {1, 0}}));
  const Path p = find(m.array(), 0.5, 1, 1, 1, 2);
  EXPECT_EQ(p, (Path{{1, 1}, {1, 2}}));
  // From beside the wall to the far side: round it, not through it.
  const Path round = find(m.array(), 0, 0, 1, 2, 1);
  EXPECT_EQ(round.size(), 5u);
  EXPECT_TRUE(walkable(round, m.values, m.w));
}

TEST(FindPath, ThreeByOneAndOrthogonalSteps) {
  const TextMap line({"111"});
  int n = 0;
  EXPECT_EQ(find(line.array(), 0.5, 0, 0, 2, 0, &n), (Path{{0, 0}, {1, 0}, {2, 0}}));
  EXPECT_EQ(n, 3);
  const TextMap open({"1111", "1111", "1111", "1111"});
  const Path p = find(open.array(), 0.5, 0, 0, 1, 1, &n);
  EXPECT_EQ(n, 3) << "no diagonal step";
  EXPECT_TRUE(walkable(p, open.values, open.w));
  const Path far = find(open.array(), 0.5, 3, 0, 0, 3);
  EXPECT_EQ(far.size(), 7u);
  EXPECT_TRUE(walkable(far, open.values, open.w));
}

TEST(FindPath, WeightZeroTakesTheCheapWayOneTheShortAndTheRestIsClamped) {
  // Straight across costs 9 a cell (2 once scaled), the way round the top 1
  // (1.11): 12 against 8.9.
  const TextMap m({"1111111", "9999999"});
  const RtArray<double> map = m.array();
  const Path cheap = find(map, 0, 0, 1, 6, 1);
  const Path straight = find(map, 1, 0, 1, 6, 1);
  EXPECT_EQ(cheap.size(), 9u) << "up, across the top, down";
  EXPECT_EQ(straight.size(), 7u) << "the Manhattan distance alone";
  EXPECT_EQ(find(map, -4, 0, 1, 6, 1), cheap);
  EXPECT_EQ(find(map, std::numeric_limits<double>::quiet_NaN(), 0, 1, 6, 1), cheap);
  EXPECT_EQ(find(map, 7.5, 0, 1, 6, 1), straight);
  EXPECT_EQ(find(map, std::numeric_limits<double>::infinity(), 0, 1, 6, 1), straight);
}

TEST(FindPath, TheThreeFormsAgree) {
  MapRandom rnd(7);
  TestMap m = field("varied", 30, 20, true, rnd);
  scatter_walls(m, 0.25, rnd);
  m.at(0, 0) = m.at(29, 19) = 3;
  RtArray<int> ints, from_int_map;
  RtArray<double> numbers;
  RtArray<int> int_map;
  mxt_dim(int_map, 30, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) int_map(x, y) = static_cast<int>(m.at(x, y));
  const RtArray<double> map = as_array(m.values, 30, 20);
  const int n = mxt_find_path(map, ints, 0.3, 0, 0, 29, 19);
  ASSERT_GT(n, 0);
  EXPECT_EQ(mxt_find_path_to_numbers(map, numbers, 0.3, 0, 0, 29, 19), n);
  EXPECT_EQ(mxt_find_path_int_map(int_map, from_int_map, 0.3, 0, 0, 29, 19), n);
  EXPECT_EQ(path_of(numbers), path_of(ints));
  EXPECT_EQ(path_of(from_int_map), path_of(ints));
}

TEST(FindPath, NanInfiniteAndNegativeCellsGiveTheDocumentedCosts) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  RtArray<double> map;
  mxt_dim(map, 3, 2);
  const double values[] = {4, nan, -inf, inf, -2, 8};
  for (int i = 0; i < 6; ++i) map.data[i] = values[i];
  float cost[6];
  ASSERT_TRUE(mxt::Planner::build_cost_grid(map, cost));
  const float want[] = {1, -1, -1, 2, -1, 1};  // an infinite largest: finite cells 1, infinite 2
  for (int i = 0; i < 6; ++i) EXPECT_EQ(cost[i], want[i]) << i;
  map.data[3] = 2;  // now 8 is the largest
  ASSERT_TRUE(mxt::Planner::build_cost_grid(map, cost));
  EXPECT_EQ(cost[0], 1.5f);
  EXPECT_EQ(cost[3], 1.25f);
  EXPECT_EQ(cost[5], 2.0f);

  // A path runs round NaN walls and through infinite cells, never crashing.
  const TextMap base({"1111", "1111", "1111"});
  RtArray<double> strange = base.array();
  strange(1, 0) = nan;
  strange(1, 1) = -inf;
  strange(2, 1) = inf;
  const Path p = find(strange, 0.5, 0, 0, 3, 0);
  ASSERT_FALSE(p.empty());
  for (const auto& [x, y] : p) EXPECT_FALSE(x == 1 && y < 2) << "through a wall at " << x << "," << y;
}

// ---------------------------------------------------------------------------
// The test set: the very paths of the reference search

TEST(FindPath, EveryMapOfTheTestSetGivesTheReferencePaths) {
  int searched = 0, found = 0;
  for (const TestMap& m : test_maps(true)) {
    const RtArray<double> map = as_array(m.values, m.width, m.height);
    const std::vector<float> cost = reference_costs(m.values);
    const bool large = m.width * m.height > 100000;
    const std::vector<double> weights = large ? std::vector<double>{0, 0.5, 1} : std::vector<double>{0, 0.25, 0.5, 0.75, 1};
    for (const auto& [s, g] : m.requests)
      for (double w : weights) {
        SCOPED_TRACE(m.name + " from " + std::to_string(s.first) + "," + std::to_string(s.second) + " to " +
                     std::to_string(g.first) + "," + std::to_string(g.second) + " weight " + std::to_string(w));
        const ReferenceResult want = reference_search(m.values, m.width, m.height, {s.first, s.second, g.first, g.second, w});
        RtArray<int> path;
        mxt_dim(path, 1, 1);
        const int n = mxt_find_path(map, path, w, s.first, s.second, g.first, g.second);
        ASSERT_FALSE(want.refused);
        ASSERT_EQ(n, static_cast<int>(want.path.size()));
        ASSERT_EQ(path_of(path), want.path);
        ++searched;
        if (n == 0) continue;
        ++found;
        EXPECT_TRUE(walkable(want.path, m.values, m.width));
        if (w == 0) {
          EXPECT_EQ(summed_cost(want.path, cost, m.width),
                    dijkstra(cost, m.width, m.height, s.first, s.second, g.first, g.second))
              << "the cheapest path";
        }
      }
  }
  EXPECT_GT(searched, 300);
  EXPECT_GT(found, searched / 2) << "most requests have a path";
}

// Above a weight of one half the search opens closed cells again; with the
// goal walled off on a large map that used to run for minutes before giving
// the only possible answer.
TEST(FindPath, AGoalWalledOffOnALargeMapIsGivenUpQuickly) {
  MapRandom rnd(11);
  TestMap m = field("large", 512, 512, true, rnd);
  scatter_walls(m, 0.3, rnd);
  for (int x = 0; x < 3; ++x) m.at(x, 2) = 0;
  for (int y = 0; y < 3; ++y) m.at(2, y) = 0;
  m.at(0, 0) = 1;  // the goal, in a walled corner
  m.at(400, 400) = 1;
  const RtArray<double> map = as_array(m.values, 512, 512);
  for (double w : {0.75, 0.9, 1.0}) {
    RtArray<int> path;
    mxt_dim(path, 5, 2);
    EXPECT_EQ(mxt_find_path(map, path, w, 400, 400, 0, 0), 0) << w;
    EXPECT_EQ(path.size0, 0);
  }
}

// The planners directly, diagonal moves included (the commands never ask
// for them): both structures and the reference agree, and so does the heap
// when its insertion numbers run out again and again.
TEST(Planner, BothStructuresGiveTheReferencePathsWithDiagonalMovesToo) {
  for (const TestMap& m : test_maps(false)) {
    if (m.width * m.height > 5000) continue;
    const RtArray<double> map = as_array(m.values, m.width, m.height);
    for (bool diagonal : {false, true})
      for (const auto& [s, g] : m.requests)
        for (double w : {0.0, 0.5, 0.8, 1.0}) {
          SCOPED_TRACE(m.name + (diagonal ? " diagonal" : "") + " weight " + std::to_string(w));
          mxt::PlannerParams p;
          p.start_x = s.first;
          p.start_y = s.second;
          p.goal_x = g.first;
          p.goal_y = g.second;
          p.weight = w;
          p.diagonal_moves = diagonal;
          const ReferenceResult want =
              reference_search(m.values, m.width, m.height, {s.first, s.second, g.first, g.second, w, diagonal});
          mxt::AStarPlanner fast, renumbered;
          renumbered.limit_insertion_numbers(40);
          mxt::ListAStarPlanner list;
          for (mxt::Planner* planner : {static_cast<mxt::Planner*>(&fast), static_cast<mxt::Planner*>(&renumbered),
                                        static_cast<mxt::Planner*>(&list)}) {
            ASSERT_TRUE(planner->set_up(map, p));
            planner->start();
            EXPECT_EQ(planner->run(), !want.path.empty());
            EXPECT_TRUE(planner->done());
            EXPECT_EQ(planner->run_count(), 1);
            Path got;
            for (const mxt::Node* n = planner->result(); n; n = n->parent) got.insert(got.begin(), {n->x, n->y});
            EXPECT_EQ(got, want.path);
          }
        }
  }
}

TEST(Planner, OneSetUpServesManySearches) {
  MapRandom rnd(3);
  TestMap m = field("reused", 50, 40, true, rnd);
  scatter_walls(m, 0.3, rnd);
  add_requests(m, 20, rnd);
  const RtArray<double> map = as_array(m.values, m.width, m.height);
  mxt::AStarPlanner planner;
  mxt::PlannerParams p;
  p.start_x = m.requests[0].first.first;
  p.start_y = m.requests[0].first.second;
  p.goal_x = m.requests[0].second.first;
  p.goal_y = m.requests[0].second.second;
  p.weight = 0.7;
  ASSERT_TRUE(planner.set_up(map, p));
  for (const auto& [s, g] : m.requests) {
    ASSERT_TRUE(planner.retarget(s.first, s.second, g.first, g.second));
    planner.start();
    planner.run();
    Path got;
    for (const mxt::Node* n = planner.result(); n; n = n->parent) got.insert(got.begin(), {n->x, n->y});
    EXPECT_EQ(got, reference_search(m.values, m.width, m.height, {s.first, s.second, g.first, g.second, 0.7}).path);
    planner.reset();
    EXPECT_EQ(planner.nodes_used(), 0);
    EXPECT_EQ(planner.result(), nullptr);
  }
  EXPECT_FALSE(planner.retarget(0, 0, 0, 0));
  EXPECT_FALSE(planner.retarget(0, 0, 50, 0));
}

TEST(Planner, APoolOrOpenListTooSmallEndsTheSearchWithoutAPath) {
  const TextMap m({"11111111", "11111111", "11111111"});
  for (const auto& [pool, open] : {std::pair{3, 0}, std::pair{0, 2}, std::pair{1, 1}}) {
    mxt::PlannerParams p;
    p.goal_x = 7;
    p.goal_y = 2;
    p.pool_size = pool;
    p.open_capacity = open;
    mxt::AStarPlanner fast;
    mxt::ListAStarPlanner list;
    for (mxt::Planner* planner : {static_cast<mxt::Planner*>(&fast), static_cast<mxt::Planner*>(&list)}) {
      ASSERT_TRUE(planner->set_up(m.array(), p));
      planner->start();
      EXPECT_FALSE(planner->run()) << pool << " " << open;
      EXPECT_TRUE(planner->done());
      EXPECT_EQ(planner->result(), nullptr);
    }
  }
}

// ---------------------------------------------------------------------------
// The list planner's structures

TEST(FixedDeque, PushesAndPopsAtBothEndsAndRefusesWhenFull) {
  mxt::FixedDeque<int> d;
  ASSERT_TRUE(d.allocate(3));
  EXPECT_TRUE(d.push_back(1));
  EXPECT_TRUE(d.push_front(0));
  EXPECT_TRUE(d.push_back(2));
  EXPECT_TRUE(d.full());
  EXPECT_FALSE(d.push_back(3));
  EXPECT_FALSE(d.push_front(3));
  EXPECT_EQ(d.size(), 3);
  EXPECT_EQ(d.at(0), 0);
  EXPECT_EQ(d.at(2), 2);
  EXPECT_EQ(d.pop_front(), 0);
  EXPECT_EQ(d.pop_back(), 2);
  EXPECT_TRUE(d.push_back(5));  // wraps round the end of the ring
  EXPECT_TRUE(d.push_back(6));
  EXPECT_EQ(d.size(), 3);
  EXPECT_EQ(d.at(0), 1);
  EXPECT_EQ(d.at(1), 5);
  EXPECT_EQ(d.at(2), 6);
  EXPECT_EQ(d.pop_back(), 6);
  EXPECT_EQ(d.pop_back(), 5);
  EXPECT_EQ(d.pop_back(), 1);
  EXPECT_TRUE(d.empty());
  EXPECT_EQ(d.pop_back(), 0) << "an empty deque gives T()";
}

TEST(FixedDeque, InsertsAndErasesAtAnIndex) {
  mxt::FixedDeque<int> d;
  ASSERT_TRUE(d.allocate(5));
  d.push_back(10);
  d.push_back(30);
  d.pop_front();
  d.push_front(10);  // front is no longer at slot 0
  EXPECT_TRUE(d.insert(1, 20));
  EXPECT_TRUE(d.insert(3, 40));
  EXPECT_TRUE(d.insert(0, 0));
  EXPECT_FALSE(d.insert(0, 99)) << "full";
  EXPECT_FALSE(d.insert(7, 99));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(d.at(i), i * 10);
  EXPECT_TRUE(d.erase(4));
  EXPECT_TRUE(d.erase(0));
  EXPECT_FALSE(d.erase(3));
  EXPECT_EQ(d.size(), 3);
  EXPECT_EQ(d.at(0), 10);
  EXPECT_EQ(d.at(2), 30);
  EXPECT_TRUE(d.erase(0));
  EXPECT_TRUE(d.erase(0));
  EXPECT_TRUE(d.erase(0));
  EXPECT_TRUE(d.empty());
}

TEST(NodeHashTable, FindsUnlinksAndRoundsItsBits) {
  mxt::NodeHashTable t;
  ASSERT_TRUE(t.allocate(9));
  EXPECT_EQ(t.bits(), 8);
  mxt::NodeHashTable none;
  ASSERT_TRUE(none.allocate(-3));
  EXPECT_EQ(none.bits(), 0);
  // (1, 2), (17, 2) and (1, 18) share a bucket of 4 + 4 bits.
  mxt::Node a{nullptr, 1, 2, 0, 0, nullptr}, b{nullptr, 17, 2, 0, 0, nullptr}, c{nullptr, 1, 18, 0, 0, nullptr};
  t.insert(&a);
  t.insert(&b);
  t.insert(&c);
  t.insert(&c);  // already at the head: no loop
  EXPECT_EQ(t.find(17, 2), &b);
  EXPECT_EQ(t.find(1, 18), &c);
  EXPECT_EQ(t.find(2, 1), nullptr);
  EXPECT_EQ(t.find(17, 2), &b);
  t.unlink_found();
  EXPECT_EQ(t.find(17, 2), nullptr);
  EXPECT_EQ(t.find(1, 2), &a);
  EXPECT_EQ(t.find(1, 18), &c);
  t.unlink_found();
  EXPECT_EQ(t.find(1, 2), &a);
  t.clear();
  EXPECT_EQ(t.find(1, 2), nullptr);
}

// A plain copy of the path search the runtime must reproduce, kept beside
// the tests as the definition of "the same path": the open list is a vector
// kept sorted by f (largest first) with binary-search insertion in front of
// equal f, the search takes the last element, and the neighbours come in
// the fixed order. Nothing here is fast; it only has to be obviously right.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace mxt_test {

struct ReferenceRequest {
  int start_x = 0, start_y = 0, goal_x = 0, goal_y = 0;
  double weight = 0.5;
  bool diagonal_moves = false;
};

struct ReferenceResult {
  bool refused = false;                   // the request was turned down before any search
  std::vector<std::pair<int, int>> path;  // start first; empty when the goal was not reached
};

// The cell costs the search runs on: -1 for a wall, else value / largest + 1
// (an infinite largest makes infinite cells 2 and the rest 1). Empty when no
// cell is positive.
inline std::vector<float> reference_costs(const std::vector<double>& values) {
  double largest = 0;
  for (double v : values)
    if (v > largest) largest = v;
  if (!(largest > 0)) return {};
  std::vector<float> costs;
  for (double v : values) {
    if (!(v > 0))
      costs.push_back(-1.0f);
    else if (std::isinf(largest))
      costs.push_back(std::isinf(v) ? 2.0f : 1.0f);
    else
      costs.push_back(static_cast<float>(v / largest + 1.0));
  }
  return costs;
}

// values: width * height cells, cell (x, y) at x + width * y.
inline ReferenceResult reference_search(const std::vector<double>& values, int width, int height,
                                        const ReferenceRequest& r) {
  ReferenceResult out;
  auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < width && y < height; };
  if (!inside(r.start_x, r.start_y) || !inside(r.goal_x, r.goal_y) ||
      (r.start_x == r.goal_x && r.start_y == r.goal_y)) {
    out.refused = true;
    return out;
  }
  const std::vector<float> cost = reference_costs(values);
  if (cost.empty()) {
    out.refused = true;
    return out;
  }
  const float weight = std::isnan(r.weight) ? 0.0f : static_cast<float>(r.weight < 0 ? 0.0 : r.weight > 1 ? 1.0 : r.weight);

  struct Node {
    int parent;
    int x, y;
    float f, g;
    bool closed;
  };
  std::vector<Node> nodes;
  std::vector<int> node_of(static_cast<size_t>(width) * static_cast<size_t>(height), -1);
  std::vector<int> open;  // node numbers, f descending: the back leaves first
  auto insert_open = [&](int n) {
    size_t lo = 0, hi = open.size();
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (nodes[static_cast<size_t>(open[mid])].f > nodes[static_cast<size_t>(n)].f)
        lo = mid + 1;
      else
        hi = mid;
    }
    open.insert(open.begin() + static_cast<std::ptrdiff_t>(lo), n);
  };

  const int dx[8] = {-1, 0, 1, 1, -1, -1, 0, 1};
  const int dy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};

  // With the goal out of reach the search can only end without a path, but
  // above a weight of one half it may take minutes to get there: say so at once.
  {
    std::vector<char> seen(cost.size(), 0);
    std::vector<std::pair<int, int>> todo{{r.start_x, r.start_y}};
    seen[static_cast<size_t>(r.start_x + width * r.start_y)] = 1;
    bool reached = false;
    while (!todo.empty() && !reached) {
      const auto [x, y] = todo.back();
      todo.pop_back();
      for (int k = 0; k < 8; ++k) {
        if (dx[k] != 0 && dy[k] != 0 && !r.diagonal_moves) continue;
        const int nx = x + dx[k], ny = y + dy[k];
        if (!inside(nx, ny)) continue;
        const size_t cell = static_cast<size_t>(nx + width * ny);
        if (cost[cell] == -1.0f || seen[cell]) continue;
        seen[cell] = 1;
        reached = reached || (nx == r.goal_x && ny == r.goal_y);
        todo.push_back({nx, ny});
      }
    }
    if (!reached) return out;
  }

  nodes.push_back({-1, r.start_x, r.start_y, 0.0f, 0.0f, false});
  node_of[static_cast<size_t>(r.start_x + width * r.start_y)] = 0;
  open.push_back(0);
  int goal = -1;
  while (!open.empty()) {
    const int n = open.back();
    open.pop_back();
    const Node here = nodes[static_cast<size_t>(n)];
    if (here.x == r.goal_x && here.y == r.goal_y) {
      nodes[static_cast<size_t>(n)].closed = true;
      goal = n;
      break;
    }
    for (int k = 0; k < 8; ++k) {
      const bool diagonal = dx[k] != 0 && dy[k] != 0;
      if (diagonal && !r.diagonal_moves) continue;
      const int nx = here.x + dx[k], ny = here.y + dy[k];
      if (!inside(nx, ny)) continue;
      const size_t cell = static_cast<size_t>(nx + width * ny);
      const float c = cost[cell];
      if (c == -1.0f) continue;
      const float g = diagonal ? here.g + c * 1.4142137f : here.g + c;
      const int h = std::abs(r.goal_x - nx) + std::abs(r.goal_y - ny);
      const float to_goal = static_cast<float>(h) - g;
      const float pulled = weight * to_goal;
      const float f = g + pulled;
      const int m = node_of[cell];
      if (m < 0) {
        nodes.push_back({n, nx, ny, f, g, false});
        node_of[cell] = static_cast<int>(nodes.size()) - 1;
        insert_open(node_of[cell]);
        continue;
      }
      Node& there = nodes[static_cast<size_t>(m)];
      if (!(there.g > g)) continue;
      if (!there.closed) {  // searched from the back, as the list is
        for (size_t i = open.size(); i-- > 0;)
          if (open[i] == m) {
            open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
            break;
          }
      }
      there.closed = false;
      there.parent = n;
      there.g = g;
      there.f = f;
      insert_open(m);
    }
    nodes[static_cast<size_t>(n)].closed = true;
  }
  for (int n = goal; n >= 0; n = nodes[static_cast<size_t>(n)].parent)
    out.path.push_back({nodes[static_cast<size_t>(n)].x, nodes[static_cast<size_t>(n)].y});
  std::reverse(out.path.begin(), out.path.end());
  return out;
}

}  // namespace mxt_test

// The path commands: set up a planner, search, copy the path out.
#include "runtime/pathfind/pathfind.h"

#include "runtime/base/errors.h"
#include "runtime/pathfind/planner.h"
#include "runtime/types/rtarray.h"

namespace {

template <class Map, class Out>
int find_path(const Map& map, RtArray<Out>& path, double weight, int start_x, int start_y, int goal_x, int goal_y) {
  mxt::PlannerParams params;
  params.start_x = start_x;
  params.start_y = start_y;
  params.goal_x = goal_x;
  params.goal_y = goal_y;
  params.diagonal_cost = true;
  params.diagonal_moves = false;
  params.pool_size = 0;
  params.open_capacity = 0;
  params.hash_bits = 8;
  params.weight = weight;
  mxt::AStarPlanner planner;
  if (!planner.set_up(map, params)) {
    if (planner.out_of_memory()) mxt::report_error(mxt::RuntimeError::out_of_memory);
    return 0;
  }
  planner.start();
  planner.run();
  // Every node sits on one cell, so a path is never longer than the nodes
  // handed out; the bound only guards the walk.
  int n = 0;
  for (const mxt::Node* node = planner.result(); node && n <= planner.nodes_used(); node = node->parent) ++n;
  if (n == 0 || n > planner.nodes_used()) {
    mxt_redim(path, 0);
    return 0;
  }
  mxt_redim(path, n, 2);
  if (path.size0 != n) return 0;  // refused: the program is ending
  int k = n - 1;
  for (const mxt::Node* node = planner.result(); node; node = node->parent, --k) {
    path(k, 0) = static_cast<Out>(node->x);
    path(k, 1) = static_cast<Out>(node->y);
  }
  planner.reset();
  return n;
}

}  // namespace

int mxt_find_path(const RtArray<double>& map, RtArray<int>& path, double weight, int start_x, int start_y, int goal_x,
                  int goal_y) {
  return find_path(map, path, weight, start_x, start_y, goal_x, goal_y);
}

int mxt_find_path_to_numbers(const RtArray<double>& map, RtArray<double>& path, double weight, int start_x, int start_y,
                             int goal_x, int goal_y) {
  return find_path(map, path, weight, start_x, start_y, goal_x, goal_y);
}

int mxt_find_path_int_map(const RtArray<int>& map, RtArray<int>& path, double weight, int start_x, int start_y,
                          int goal_x, int goal_y) {
  return find_path(map, path, weight, start_x, start_y, goal_x, goal_y);
}

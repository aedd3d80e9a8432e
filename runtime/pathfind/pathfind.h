// Path finding: the command sheet.
//
// A map is a two-dimensional array, x the first index and y the second; a
// cell whose value is 0 or less (or NaN) is a wall, any other value is the
// cost of entering it, scaled so that the dearest cell costs 2 and all cost
// more than 1 (with an infinite value on the map, it costs 2 and every finite
// one 1). Steps are orthogonal only. The weight mixes the cost so far with
// the Manhattan distance to the goal: 0 finds the cheapest path, 1 heads
// straight for the goal, values between trade one for the other; it is
// clamped to 0 ... 1 (NaN counts as 0). The same map and request always give
// the same path, ties included, so recorded games replay.
//
// The path array becomes n x 2: (k, 0) and (k, 1) are the x and y of the
// k-th cell, k = 0 the start and n - 1 the goal. A request refused outright
// (start or goal outside the map, start equal to goal, no positive cell, a
// one-dimensional map) returns 0 and leaves the array as it was; a search
// that cannot reach the goal (a wall on it, or walled off) returns 0 and
// sizes the array to 0. A wall on the start is left, never re-entered.
#pragma once

#include "runtime/types/types.h"

// ---------------------------------------------------------------------------
// Finding a path

int mxt_find_path(const RtArray<double>& map, RtArray<int>& path, double weight,
                  int start_x, int start_y, int goal_x, int goal_y);  // cells on the path, start and goal included
                   // [fails: 0, the path untouched or sized 0 (see above); fails: 0, error 7 for a map too large to search]
int mxt_find_path_to_numbers(const RtArray<double>& map, RtArray<double>& path, double weight,
                             int start_x, int start_y, int goal_x, int goal_y);  // the same, the path in a number array
                   // [fails: 0, the path untouched or sized 0 (see above); fails: 0, error 7 for a map too large to search]
int mxt_find_path_int_map(const RtArray<int>& map, RtArray<int>& path, double weight,
                          int start_x, int start_y, int goal_x, int goal_y);  // the same over an integer map
                   // [fails: 0, the path untouched or sized 0 (see above); fails: 0, error 7 for a map too large to search]

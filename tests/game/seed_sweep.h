// The generator over a run of seeds: every grid valid, row and column nine
// left empty. Used by the everyday sweep and by the slow thousand.
#pragma once

#include <gtest/gtest.h>

#include "game/quiltex.h"

// The number of seeds whose grid needed a restart.
inline int sweep_seeds(int first, int count) {
  size_board();
  int with_restarts = 0;
  for (int seed = first; seed < first + count; ++seed) {
    mxt_seed_rnd(seed);
    const GeneratorReport report = generate_solution();
    EXPECT_TRUE(report.candidates_in_block) << seed;
    with_restarts += report.restarts > 0;
    for (int d = 1; d <= 9; ++d) {
      for (int i = 0; i < 9; ++i) {
        int in_row = 0, in_column = 0, in_block = 0;
        for (int k = 0; k < 9; ++k) {
          in_row += solution_grid(k, i) == d;
          in_column += solution_grid(i, k) == d;
          in_block += solution_grid((i % 3) * 3 + k % 3, (i / 3) * 3 + k / 3) == d;
        }
        EXPECT_EQ(in_row, 1) << "seed " << seed << " digit " << d << " row " << i;
        EXPECT_EQ(in_column, 1) << "seed " << seed << " digit " << d << " column " << i;
        EXPECT_EQ(in_block, 1) << "seed " << seed << " digit " << d << " block " << i;
      }
    }
    for (int i = 0; i <= 9; ++i) {
      EXPECT_EQ(solution_grid(9, i), 0) << seed;
      EXPECT_EQ(solution_grid(i, 9), 0) << seed;
    }
    if (::testing::Test::HasFailure()) break;  // the first bad seed says enough
  }
  return with_restarts;
}

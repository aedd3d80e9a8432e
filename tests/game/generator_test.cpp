// The puzzle generator over many seeds.
#include <gtest/gtest.h>

#include <array>

#include "game/quiltex.h"
#include "game/seed_sweep.h"

namespace {

// The restart rule counted a second way: a grid is abandoned after 51 failed
// attempts in a row at its start, or 50 in a row after a success.
struct Replay {
  int restarts = 0;
  std::array<std::array<int, 9>, 9> grid{};
};

Replay replay_generator() {
  Replay out;
  for (;;) {
    std::array<std::array<int, 9>, 9> g{};
    int digit = 1, bc = 0, br = 0, placed = 0, failures = 0;
    bool any_success = false;
    while (placed < 81) {
      const int x = bc + mxt_rnd(2), y = br + mxt_rnd(2);
      bool clash = g[static_cast<size_t>(x)][static_cast<size_t>(y)] != 0;
      for (int i = 0; i < 9; ++i)
        clash = clash || g[static_cast<size_t>(i)][static_cast<size_t>(y)] == digit ||
                g[static_cast<size_t>(x)][static_cast<size_t>(i)] == digit;
      if (!clash) {
        g[static_cast<size_t>(x)][static_cast<size_t>(y)] = digit;
        ++placed;
        failures = 0;
        any_success = true;
        bc += 3;
        if (bc > 6) bc = 0, br += 3;
        if (br > 6) br = 0, ++digit;
      } else if (++failures >= (any_success ? 50 : 51)) {
        break;
      }
    }
    if (placed == 81) {
      out.grid = g;
      return out;
    }
    ++out.restarts;
  }
}

}  // namespace

// A hundred seeds here; the thousand are in generator_slow_test.cpp.
TEST(GeneratorSeeds, AHundredSeedsGiveValidGridsWithColumnAndRowNineEmpty) {
  EXPECT_GT(sweep_seeds(0, 100), 10) << "restarts are common, so the rule below is exercised";
}

TEST(Generator, RestartsHappenExactlyWhereTheCounterRuleSays) {
  size_board();
  int seeds_with_restarts = 0;
  for (int seed = 0; seed < 60; ++seed) {
    mxt_seed_rnd(seed);
    const GeneratorReport report = generate_solution();
    mxt_seed_rnd(seed);
    const Replay expected = replay_generator();
    ASSERT_EQ(report.restarts, expected.restarts) << "seed " << seed;
    for (int c = 0; c < 9; ++c)
      for (int r = 0; r < 9; ++r)
        ASSERT_EQ(solution_grid(c, r), expected.grid[static_cast<size_t>(c)][static_cast<size_t>(r)]) << seed;
    seeds_with_restarts += expected.restarts > 0;
  }
  EXPECT_GT(seeds_with_restarts, 0);
}

TEST(Generator, TheSameSeedAlwaysGivesTheSameGrid) {
  size_board();
  mxt_seed_rnd(4242);
  generate_solution();
  RtArray<int32_t> first = solution_grid;
  mxt_seed_rnd(4242);
  generate_solution();
  for (int c = 0; c < 9; ++c)
    for (int r = 0; r < 9; ++r) ASSERT_EQ(solution_grid(c, r), first(c, r));
}

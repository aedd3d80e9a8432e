// A thousand seeds through the generator, in four parts so that they run side
// by side: every draw of the generator runs a full pass of its 256-word state,
// so this is the suite's longest sweep.
#include <gtest/gtest.h>

#include "game/seed_sweep.h"

class GeneratorThousandSeeds : public ::testing::TestWithParam<int> {};

TEST_P(GeneratorThousandSeeds, EverySeedGivesAValidGridWithColumnAndRowNineEmpty) {
  EXPECT_GT(sweep_seeds(GetParam(), 250), 25) << "restarts are common, so the counter rule is exercised";
}

INSTANTIATE_TEST_SUITE_P(Thousand, GeneratorThousandSeeds, ::testing::Values(0, 250, 500, 750));

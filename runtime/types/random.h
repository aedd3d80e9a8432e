// The random generator: ISAAC (256 words), drawn one full generation pass
// per number. Slow for a generator, but puzzles and levels made from a seed
// depend on exactly this sequence, so it must never change. The
// process-wide generator is `rt.random`, seeded by start-up from the clock
// (or by a replay with its recorded seed); tests build their own.
#pragma once

#include <cstdint>

namespace mxt {

class Random {
 public:
  struct IsaacState {
    uint32_t r[256];   // results of the last pass
    uint32_t m[256];   // memory
    uint32_t a, b, c;
    uint32_t counter;
  };

  void seed(int32_t seed);   // restart the sequence
  int next(int n);           // 0..n inclusive; 0, and no draw, when n <= 0

 private:
  IsaacState state_{};       // zero until seeded
};

}  // namespace mxt

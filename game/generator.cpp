// The solution grid: each digit in turn is placed once into each 3 x 3 block,
// blocks left to right and top to bottom, at a random cell of the block where
// neither its row nor its column holds the digit yet. The attempt counter
// resets at every success; more than 50 attempts in a row start the grid over,
// with the random sequence running on.
#include "game/quiltex.h"

GeneratorReport generate_solution() {
  GeneratorReport report;
  for (;;) {
    for (int r = 0; r <= 9; ++r)
      for (int c = 0; c <= 9; ++c) solution_grid(c, r) = 0;
    int digit = 1, block_column = 0, block_row = 0, placed = 0, misses = 0;
    bool restart = false;
    while (placed < 81) {
      const int x = block_column + mxt_rnd(2);
      const int y = block_row + mxt_rnd(2);
      ++report.attempts;
      if (x - block_column > 2 || y - block_row > 2 || x < block_column || y < block_row)
        report.candidates_in_block = false;
      bool taken = false;
      for (int i = 0; i <= 8 && !taken; ++i) taken = solution_grid(i, y) == digit || solution_grid(x, i) == digit;
      if (!taken && solution_grid(x, y) == 0) {
        solution_grid(x, y) = digit;
        block_column += 3;
        ++placed;
        misses = 0;
      }
      if (block_column > 6) {
        block_row += 3;
        block_column = 0;
      }
      if (block_row > 6) {
        ++digit;
        block_column = 0;
        block_row = 0;
      }
      if (++misses > 50) {
        restart = true;
        break;
      }
    }
    if (!restart) return report;
    ++report.restarts;
  }
}

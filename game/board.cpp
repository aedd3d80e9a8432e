// The game's process-wide data: empty until mxt_main sizes them.
#include "game/quiltex.h"

RtArray<int32_t> solution_grid;
RtArray<int32_t> cell_state;
RtArray<int32_t> cell_value;
RtArray<int32_t> conflict_mark;
RtArray<int32_t> digit_count;
RtArray<Ttape> tape_list;
int32_t mouse_x = 0, mouse_y = 0, mouse_left = 0, mouse_right = 0;

// Every board array at its size, every element zero; the tape list grows by itself.
void size_board() {
  mxt_dim(solution_grid, 20, 20);
  mxt_dim(cell_state, 20, 20);
  mxt_dim(cell_value, 20, 20);
  mxt_dim(conflict_mark, 20, 20);
  mxt_dim(digit_count, 10);
}

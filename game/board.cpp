// The game's process-wide data: empty until mxt_main sizes them.
#include "game/quiltex.h"

RtArray<int32_t> solution_grid;
RtArray<int32_t> cell_state;
RtArray<int32_t> cell_value;
RtArray<int32_t> conflict_mark;
RtArray<int32_t> digit_count;
RtArray<Ttape> tape_list;
int32_t mouse_x = 0, mouse_y = 0, mouse_left = 0, mouse_right = 0;

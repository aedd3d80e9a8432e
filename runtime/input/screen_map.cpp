// Window pixels and logical pixels under the orientation's quarter turns.
#include "runtime/input/screen_map.h"

namespace mxt {

void window_to_logical(int o, int x, int y, int W, int H, int* lx, int* ly) {
  switch (o & 3) {
    case 1: *lx = y; *ly = W - 1 - x; break;
    case 2: *lx = W - 1 - x; *ly = H - 1 - y; break;
    case 3: *lx = H - 1 - y; *ly = x; break;
    default: *lx = x; *ly = y; break;
  }
}

void logical_to_window(int o, int x, int y, int W, int H, int* wx, int* wy) {
  switch (o & 3) {
    case 1: *wx = W - 1 - y; *wy = x; break;
    case 2: *wx = W - 1 - x; *wy = H - 1 - y; break;
    case 3: *wx = y; *wy = H - 1 - x; break;
    default: *wx = x; *wy = y; break;
  }
}

void turn_direction(int o, double dx, double dy, double* tx, double* ty) {
  switch (o & 3) {
    case 1: *tx = -dy; *ty = dx; break;
    case 2: *tx = -dx; *ty = -dy; break;
    case 3: *tx = dy; *ty = -dx; break;
    default: *tx = dx; *ty = dy; break;
  }
}

}  // namespace mxt

// The logical screen as the input state sees it: the window's client size,
// the orientation's quarter turns and the virtual screen's scale and offsets,
// and the conversions between window pixels and logical pixels. The renderer
// owns the screen (gfx2d/viewport.h); the runtime frame hands its figures to
// the input state each time it reads positions, so input needs no renderer.
#pragma once

#include <cstdint>

namespace mxt {

struct InputScreen {
  int32_t width = 0, height = 0;     // client size of the window
  int32_t orientation = 0;           // quarter turns, 0..3
  float scale = 0.0f;                // the virtual screen's scale; 0: none
  int32_t offset_x = 0, offset_y = 0;
};

// Window pixels <-> logical pixels under an orientation (W, H: window size),
// and a direction turned with the screen.
void window_to_logical(int orientation, int x, int y, int window_w, int window_h, int* lx, int* ly);
void logical_to_window(int orientation, int x, int y, int window_w, int window_h, int* wx, int* wy);
void turn_direction(int orientation, double dx, double dy, double* tx, double* ty);

}  // namespace mxt

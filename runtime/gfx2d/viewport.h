// The logical screen: viewport, virtual resolution and orientation.
//
// Every 2D command draws in logical pixels, origin top-left, y down. The
// viewport is a sub-rectangle that receives drawing; the virtual screen is a
// fixed logical resolution scaled by a snapped factor (1, 1.5, 2, 3, 4, 8,
// then whole numbers from 10) and centred in the window; the orientation
// turns the logical screen by quarter turns inside the window. The commands
// are in gfx2d.h; the input state's side of the mapping is input/screen_map.h.
#pragma once

namespace mxt {

struct ViewportRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const ViewportRect&) const = default;
};

// The command layer's virtual screen: active while scale is not 0 and no
// surface is selected for drawing.
struct VirtualScreen {
  float scale = 0.0f;
  int offset_x = 0, offset_y = 0;
  int width = 0, height = 0;
  int command_surface = -1;
  bool active() const { return scale != 0.0f && command_surface == -1; }
};

// The GL viewport (window pixels, origin bottom-left) for a logical viewport
// under an orientation.
ViewportRect gl_viewport_for(int orientation, int x, int y, int w, int h, int window_w, int window_h);

// The snapped scale for a fit ratio r: never below 1; 5, 6, 7 and 9 never occur.
float snap_virtual_scale(double r);

// The virtual screen for a logical size (a, b) fitted into a reference size.
VirtualScreen fit_virtual_screen(double a, double b, int reference_w, int reference_h);

// The viewport the renderer gets for a logical one under the virtual screen
// (zoom is the scale), and the logical one it reports back.
struct ScaledViewport {
  ViewportRect rect;
  float zoom;
};
ScaledViewport scale_viewport(const VirtualScreen& vs, int x, int y, int w, int h);
ViewportRect unscale_viewport(const VirtualScreen& vs, const ViewportRect& stored);

class VuduRODoverore;

// The full viewport as the frame begins: the whole virtual screen when one is
// active, else the whole screen.
void apply_full_viewport(VuduRODoverore& r);

// The orientation's quarter turn as the current GL matrix (the projection
// is built on it; the turn in force is the renderer's `applied_turn`).
void load_turn_matrix(int orientation);

}  // namespace mxt

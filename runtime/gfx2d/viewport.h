// The logical screen: viewport, virtual resolution and orientation.
//
// Every 2D command draws in logical pixels, origin top-left, y down. The
// viewport is a sub-rectangle that receives drawing; the virtual screen is a
// fixed logical resolution scaled by a snapped factor and centred in the
// window; the orientation turns the logical screen by quarter turns.
#pragma once

namespace mxt {

struct ViewportRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const ViewportRect&) const = default;
};

// The GL viewport (window pixels, origin bottom-left) for a logical viewport
// under an orientation.
ViewportRect gl_viewport_for(int orientation, int x, int y, int w, int h, int window_w, int window_h);

}  // namespace mxt

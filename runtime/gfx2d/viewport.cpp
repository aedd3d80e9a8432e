// The renderer's viewport: the logical screen (origin top-left, y down) mapped
// onto the window through the orientation's quarter turns, or onto an
// offscreen surface.
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/viewport.h"

namespace mxt {

ViewportRect gl_viewport_for(int orientation, int x, int y, int w, int h, int window_w, int window_h) {
  switch (orientation & 3) {
    case 1: return {window_w - y - h, window_h - x - w, h, w};
    case 2: return {window_w - x - w, y, w, h};
    case 3: return {y, x, h, w};
    default: return {x, window_h - y - h, w, h};
  }
}

void VuduRODoverore::set_viewport(int x, int y, int w, int h, float zoom) {
  if (virtual_height == 0) {
    virtual_width = window_width;
    virtual_height = window_height;
  }
  const bool turned = orientation == 1 || orientation == 3;
  if (w < 1 || h < 1) {
    x = y = 0;
    w = turned ? virtual_height : virtual_width;
    h = turned ? virtual_width : virtual_height;
  }

  glMatrixMode(GL_PROJECTION);
  // The quarter turn R maps clip (cx, cy) to (cy, -cx), (-cx, -cy) or (-cy, cx).
  static constexpr GLfloat kTurns[4][16] = {
      {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
      {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
      {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
      {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
  };
  glLoadMatrixf(kTurns[orientation & 3]);
  glOrtho(0, w, h, 0, -1, 1);
  const ViewportRect r = gl_viewport_for(orientation, x, y, w, h, window_width, window_height);
  glViewport(r.x, r.y, r.w, r.h);

  viewport[0] = x;
  viewport[1] = y;
  viewport[2] = w;
  viewport[3] = h;

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (zoom != 1.0f && current_surface < 0) glScalef(zoom, zoom, zoom);
}

}  // namespace mxt

// The renderer's viewport: the logical screen (origin top-left, y down) mapped
// onto the window through the orientation's quarter turns, or onto an
// offscreen surface.
#include "runtime/gfx2d/viewport.h"

#include <algorithm>
#include <cmath>

#include "runtime/base/singletons.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/types/numbers.h"

namespace mxt {

namespace {
int trunc_int(double v) { return truncate_to_int(v); }
}  // namespace

float snap_virtual_scale(double r) {
  if (r >= 10) return static_cast<float>(std::floor(std::min(r, 1e6)));
  if (r >= 8) return 8;
  if (r >= 4) return 4;
  if (r >= 3) return 3;
  if (r >= 2) return 2;
  if (r >= 1.5) return 1.5f;
  return 1;
}

VirtualScreen fit_virtual_screen(double a, double b, int reference_w, int reference_h) {
  VirtualScreen vs;
  const double r = std::min(reference_w / a, reference_h / b);
  vs.scale = snap_virtual_scale(r);
  vs.offset_x = trunc_int((reference_w - a * vs.scale) * 0.5);
  vs.offset_y = trunc_int((reference_h - b * vs.scale) * 0.5);
  vs.width = trunc_int(a);
  vs.height = trunc_int(b);
  return vs;
}

ScaledViewport scale_viewport(const VirtualScreen& vs, int x, int y, int w, int h) {
  if (!vs.active()) return {{x, y, w, h}, 1.0f};
  if (w <= 0) {
    w = vs.width;
    h = vs.height;
  }
  const double s = vs.scale;
  return {{vs.offset_x + trunc_int(s * x), vs.offset_y + trunc_int(s * y), trunc_int(w * s), trunc_int(h * s)},
          vs.scale};
}

ViewportRect unscale_viewport(const VirtualScreen& vs, const ViewportRect& v) {
  if (!vs.active()) return v;
  const double s = vs.scale;
  return {trunc_int((v.x - vs.offset_x) / s), trunc_int((v.y - vs.offset_y) / s), trunc_int(v.w / s),
          trunc_int(v.h / s)};
}

void apply_full_viewport(VuduRODoverore& r) {
  const ScaledViewport v = scale_viewport(r.virtual_screen, 0, 0, 0, 0);
  r.set_viewport(v.rect.x, v.rect.y, v.rect.w, v.rect.h, v.zoom);
}

ViewportRect gl_viewport_for(int orientation, int x, int y, int w, int h, int window_w, int window_h) {
  switch (orientation & 3) {
    case 1: return {window_w - y - h, window_h - x - w, h, w};
    case 2: return {window_w - x - w, y, w, h};
    case 3: return {y, x, h, w};
    default: return {x, window_h - y - h, w, h};
  }
}

void load_turn_matrix(int orientation) {
  // The quarter turn R maps clip (cx, cy) to (cy, -cx), (-cx, -cy) or (-cy, cx).
  static constexpr GLfloat kTurns[4][16] = {
      {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
      {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
      {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
      {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
  };
  glLoadMatrixf(kTurns[orientation & 3]);
}

void VuduRODoverore::set_viewport(int x, int y, int w, int h, float zoom) {
  flush();
  if (virtual_height == 0) {
    virtual_width = window_width;
    virtual_height = window_height;
  }
  // A surface drawn into is its own screen: its pixels, upright, unscaled.
  // (Without a framebuffer the surface stands in a corner of the window.)
  const SurfaceRecord* in_use = current_surface >= 0 ? &surfaces[current_surface] : nullptr;
  const SpriteRecord* surface = in_use ? sprite_record(in_use->sprite) : nullptr;
  const bool bound = surface && in_use->saved_binding != -1;
  const int turn = surface ? 0 : orientation;
  const int target_w = bound ? surface->image_width : window_width;
  const int target_h = bound ? surface->image_height : window_height;
  const bool turned = turn == 1 || turn == 3;
  if (w < 1 || h < 1) {
    x = y = 0;
    if (surface) {
      w = target_w;
      h = target_h;
    } else {
      w = turned ? virtual_height : virtual_width;
      h = turned ? virtual_width : virtual_height;
    }
  }

  glMatrixMode(GL_PROJECTION);
  load_turn_matrix(turn);
  applied_turn = turn;
  glOrtho(0, w, h, 0, -1, 1);
  const ViewportRect r = gl_viewport_for(turn, x, y, w, h, target_w, target_h);
  glViewport(r.x, r.y, r.w, r.h);

  viewport[0] = x;
  viewport[1] = y;
  viewport[2] = w;
  viewport[3] = h;

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (zoom != 1.0f && current_surface < 0) glScalef(zoom, zoom, zoom);
}

// ---------------------------------------------------------------------------
// Commands
//
// Every command here but the queries first makes the 3D renderer leave 3D
// mode (nothing when it is not in it), so the view they set is a 2D one.

namespace {

// The last step of the virtual-resolution and orientation commands: the full
// virtual viewport with its scale, or the full screen.
void apply_virtual_viewport() {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  const VirtualScreen& vs = r->virtual_screen;
  if (vs.active()) {
    r->set_viewport(vs.offset_x, vs.offset_y, trunc_int(vs.scale * static_cast<double>(vs.width)),
                    trunc_int(vs.scale * static_cast<double>(vs.height)), vs.scale);
  } else {
    r->set_viewport(0, 0, 0, 0, 1.0f);
  }
}

}  // namespace
}  // namespace mxt

using namespace mxt;

void mxt_set_viewport(int x, int y, int width, int height) {
  if (!rt.renderer) return;
  rt.renderer->leave_3d_mode();
  const ScaledViewport v = scale_viewport(rt.renderer->virtual_screen, x, y, width, height);
  rt.renderer->set_viewport(v.rect.x, v.rect.y, v.rect.w, v.rect.h, v.zoom);
}

void mxt_get_viewport(int& x, int& y, int& width, int& height) {
  ViewportRect v;
  if (rt.renderer) {
    v = {rt.renderer->viewport[0], rt.renderer->viewport[1], rt.renderer->viewport[2], rt.renderer->viewport[3]};
    v = unscale_viewport(rt.renderer->virtual_screen, v);
  }
  x = v.x;
  y = v.y;
  width = v.w;
  height = v.h;
}

void mxt_get_viewport(double& x, double& y, double& width, double& height) {
  x = y = width = height = 0;
  if (!rt.renderer) return;
  const int32_t* v = rt.renderer->viewport;
  const VirtualScreen& virtual_screen = rt.renderer->virtual_screen;
  if (!virtual_screen.active()) {
    x = v[0];
    y = v[1];
    width = v[2];
    height = v[3];
    return;
  }
  const double s = virtual_screen.scale;
  x = (v[0] - virtual_screen.offset_x) / s;
  y = (v[1] - virtual_screen.offset_y) / s;
  width = v[2] / s;
  height = v[3] / s;
}

void mxt_set_virtual_resolution(double a, double b) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  r->leave_3d_mode();
  VirtualScreen& virtual_screen = r->virtual_screen;
  if (a > 0 && b > 0) {
    virtual_screen.scale = 0;
    virtual_screen.command_surface = -1;
    // Drawing into a surface would end here.
    r->set_viewport(0, 0, 0, 0, 1.0f);
    const bool turned = r->orientation == 1 || r->orientation == 3;
    const int ref_w = turned ? r->virtual_height : r->virtual_width;
    const int ref_h = turned ? r->virtual_width : r->virtual_height;
    virtual_screen = fit_virtual_screen(a, b, ref_w, ref_h);
    r->virtual_width = virtual_screen.width;
    r->virtual_height = virtual_screen.height;
  } else {
    virtual_screen.scale = 0;
    r->virtual_width = 0;
    r->virtual_height = 0;
  }
  apply_virtual_viewport();
}

void mxt_set_orientation(int n) {
  if (!rt.renderer) return;
  rt.renderer->leave_3d_mode();
  rt.renderer->orientation = std::clamp(n, 0, 3);
  apply_virtual_viewport();
}

int mxt_get_orientation() { return rt.renderer ? rt.renderer->orientation : 0; }

void mxt_screen_size(int& width, int& height) {
  width = height = 0;
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  if (r->current_surface >= 0) {
    if (const SpriteRecord* surface = sprite_record(r->surfaces[r->current_surface].sprite)) {
      width = surface->image_width;
      height = surface->image_height;
      return;
    }
  }
  const bool turned = r->orientation == 1 || r->orientation == 3;
  width = turned ? r->virtual_height : r->virtual_width;
  height = turned ? r->virtual_width : r->virtual_height;
}

void mxt_screen_size(double& width, double& height) {
  int w, h;
  mxt_screen_size(w, h);
  width = w;
  height = h;
}

void mxt_desktop_size(int& width, int& height) {
  width = rt.renderer ? rt.renderer->desktop_width : 0;
  height = rt.renderer ? rt.renderer->desktop_height : 0;
}

void mxt_desktop_size(double& width, double& height) {
  int w, h;
  mxt_desktop_size(w, h);
  width = w;
  height = h;
}

// Sprite drawing, blending state and primitives.
//
// [SECTION] Quad collection
// [SECTION] Blending state and filtering
// [SECTION] Sprites and frames
// [SECTION] Lines and rectangles
// [SECTION] Polygon batches
#include "runtime/gfx2d/draw.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/base/singletons.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Quad collection

void QuadBatch::flush() {
  if (vertices_.empty()) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(QuadVertex), &vertices_[0].x);
  if (textured) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(QuadVertex), &vertices_[0].u);
  }
  if (gl) gl->prepare_draw();
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(vertices_.size()));
  if (gl) gl->count_draw();
  if (textured) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  vertices_.clear();
}

void flush_drawing() {
  if (rt.renderer) rt.renderer->flush();
}

void draw_quad(const QuadVertex (&v)[4], bool clamp) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  QuadBatch& quads = r->quads;
  const bool textured = r->bound_sprite >= 0;
  const GLint filter = r->smoothing ? GL_LINEAR : GL_NEAREST;
  const GLint wrap = clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
  if (!quads.empty() && (textured != quads.textured || (textured && (filter != quads.filter || wrap != quads.wrap))))
    quads.flush();
  quads.textured = textured;
  quads.filter = filter;
  quads.wrap = wrap;
  if (textured) {
    r->gl.set_texture_filter(0, filter);
    r->gl.set_texture_wrap(0, wrap);
  }
  quads.add(v);
}

}  // namespace mxt

using namespace mxt;

// ---------------------------------------------------------------------------
// [SECTION] Blending state and filtering

void mxt_set_alpha_mode(double value) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  float v = static_cast<float>(value);
  if (v == 0) {
    r->gl.disable(GlCap::blend);
    v = 1;
  } else {
    r->gl.enable(GlCap::blend);
    r->gl.set_blend_func(GL_SRC_ALPHA, v > 0 ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
  }
  r->alpha_value = std::fabs(v) > 1 ? 1.0f : std::fabs(v);
  r->gl.set_colour(1, 1, 1, r->alpha_value);
}

void mxt_set_alpha_test(double threshold) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  const float t = static_cast<float>(threshold);
  if (!(t < 1)) {
    r->gl.disable(GlCap::alpha_test);
    r->alpha_test_ref = 1;
  } else {
    r->gl.enable(GlCap::alpha_test);
    r->gl.set_alpha_func(t);
    r->alpha_test_ref = t;
  }
}

void mxt_set_smoothing(int on) {
  if (rt.renderer) rt.renderer->smoothing = on != 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Sprites and frames

namespace {

// The record of a sprite to draw, bound; null when the number is outside the
// table (an empty number inside it still draws its empty quad).
const SpriteRecord* bind_for_drawing(int n) {
  const SpriteRecord* rec = sprite_record(n);
  if (!rec || !rt.renderer) return nullptr;
  rt.renderer->bind_sprite(n);
  return rec;
}

void rotated_quad(float cx, float cy, float a, float b, float angle_degrees, float uL, float uR, float vB, float vT) {
  const float r = angle_degrees * 0.017453292f;
  const float s = std::sin(r), c = std::cos(r);
  auto at = [&](float dx, float dy, float u, float v) {
    return QuadVertex{cx + c * dx + s * dy, cy - s * dx + c * dy, u, v};
  };
  const QuadVertex q[4] = {at(-a, -b, uL, vT), at(-a, b, uL, vB), at(a, b, uR, vB), at(a, -b, uR, vT)};
  draw_quad(q);
}

struct Frame {
  float ul, vb, du, dv;
  int fw, fh;
};

bool frame_of(const SpriteRecord& rec, int frame, Frame& out) {
  if (rec.frame_width <= 0 || rec.frame_height <= 0 || frame < 0 || rec.texture_width <= 0 ||
      rec.texture_height <= 0)
    return false;
  const int per_row = rec.image_width / rec.frame_width;
  const int row = per_row == 0 ? 0 : frame / per_row;
  const int column = per_row == 0 ? frame : frame % per_row;
  out.fw = rec.frame_width;
  out.fh = rec.frame_height;
  out.du = static_cast<float>(rec.frame_width) / static_cast<float>(rec.texture_width);
  out.dv = static_cast<float>(rec.frame_height) / static_cast<float>(rec.texture_height);
  out.ul = static_cast<float>(column) * out.du;
  out.vb = static_cast<float>(rec.image_height - rec.frame_height * (row + 1)) / static_cast<float>(rec.texture_height);
  return true;
}

}  // namespace

void mxt_draw_sprite(int n, int x, int y) {
  const SpriteRecord* rec = bind_for_drawing(n);
  if (!rec) return;
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  const float w = static_cast<float>(rec->image_width), h = static_cast<float>(rec->image_height);
  const float um = rec->u_max, vm = rec->v_max;
  const QuadVertex q[4] = {{fx + w, fy, um, vm}, {fx, fy, 0, vm}, {fx, fy + h, 0, 0}, {fx + w, fy + h, um, 0}};
  draw_quad(q);
}

void mxt_stretch_sprite(int n, int x, int y, int width, int height) {
  const SpriteRecord* rec = bind_for_drawing(n);
  if (!rec) return;
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  const float W = static_cast<float>(width), H = static_cast<float>(height), um = rec->u_max, vm = rec->v_max;
  const QuadVertex q[4] = {{fx, fy + H, 0, 0}, {fx + W, fy + H, um, 0}, {fx + W, fy, um, vm}, {fx, fy, 0, vm}};
  draw_quad(q);
}

void mxt_zoom_sprite(int n, int x, int y, double factor_x, double factor_y) {
  const SpriteRecord* rec = sprite_record(n);
  if (!rec) return;
  const float fx = static_cast<float>(factor_x), fy = static_cast<float>(factor_y);
  const int w = rec->image_width, h = rec->image_height;
  const int W = static_cast<int>(std::trunc(fx * static_cast<float>(w)));
  const int H = static_cast<int>(std::trunc(fy * static_cast<float>(h)));
  const int dx = static_cast<int>(std::trunc(fx * static_cast<float>(w) - static_cast<float>(w))) / 2;
  const int dy = static_cast<int>(std::trunc(fy * static_cast<float>(h) - static_cast<float>(h))) / 2;
  mxt_stretch_sprite(n, x - dx, y - dy, W, H);
}

void mxt_rotate_sprite(int n, int x, int y, double angle) { mxt_rotozoom_sprite(n, x, y, angle, 1.0); }

void mxt_rotozoom_sprite(int n, int x, int y, double angle, double zoom) {
  const SpriteRecord* rec = bind_for_drawing(n);
  if (!rec) return;
  const float z = static_cast<float>(zoom);
  const int w = rec->image_width, h = rec->image_height;
  const float a = z * static_cast<float>(w) * 0.5f, b = z * static_cast<float>(h) * 0.5f;
  const float tw = static_cast<float>(rec->texture_width > 0 ? rec->texture_width : 1);
  const float th = static_cast<float>(rec->texture_height > 0 ? rec->texture_height : 1);
  // Half a texel in from each edge, so that filtering never reaches the
  // transparent border of the texture.
  const float uL = 0.5f / tw, uR = (static_cast<float>(w) - 0.5f) / tw;
  const float vB = 0.5f / th, vT = (static_cast<float>(h) - 0.5f) / th;
  const float cx = static_cast<float>(x + w / 2), cy = static_cast<float>(y + h / 2);
  rotated_quad(cx, cy, a, b, static_cast<float>(angle), uL, uR, vB, vT);
}

void mxt_draw_anim(int n, int frame, int x, int y) {
  const SpriteRecord* rec = sprite_record(n);
  Frame f;
  if (!rec || !frame_of(*rec, frame, f)) return;
  rt.renderer->bind_sprite(n);
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  const float fw = static_cast<float>(f.fw), fh = static_cast<float>(f.fh);
  const QuadVertex q[4] = {{fx + fw, fy, f.ul + f.du, f.vb + f.dv},
                           {fx, fy, f.ul, f.vb + f.dv},
                           {fx, fy + fh, f.ul, f.vb},
                           {fx + fw, fy + fh, f.ul + f.du, f.vb}};
  draw_quad(q, false);  // frames keep the repeat wrapping of the bind
}

void mxt_stretch_anim(int n, int frame, int x, int y, int width, int height) {
  const SpriteRecord* rec = sprite_record(n);
  Frame f;
  if (!rec || !frame_of(*rec, frame, f)) return;
  rt.renderer->bind_sprite(n);
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  const float W = static_cast<float>(width), H = static_cast<float>(height);
  // The far edges go out by a tenth of a pixel so that abutting frames meet.
  const QuadVertex q[4] = {{fx, fy, f.ul, f.vb + f.dv},
                           {fx, fy + H + 0.1f, f.ul, f.vb},
                           {fx + W + 0.1f, fy + H + 0.1f, f.ul + f.du, f.vb},
                           {fx + W + 0.1f, fy, f.ul + f.du, f.vb + f.dv}};
  draw_quad(q);
}

void mxt_rotozoom_anim(int n, int frame, int x, int y, double angle, double zoom) {
  const SpriteRecord* rec = sprite_record(n);
  Frame f;
  if (!rec || !frame_of(*rec, frame, f)) return;
  rt.renderer->bind_sprite(n);
  const float tw = static_cast<float>(rec->texture_width), th = static_cast<float>(rec->texture_height);
  const float uL = f.ul + 0.5f / tw, uR = uL + f.du - 1.0f / tw;
  const float vB = f.vb + 0.5f / th, vT = vB + f.dv - 1.0f / th;
  const float z = static_cast<float>(zoom);
  const float a = static_cast<float>(f.fw) * z * 0.5f, b = static_cast<float>(f.fh) * z * 0.5f;
  const float cx = static_cast<float>(x + f.fw / 2), cy = static_cast<float>(y + f.fh / 2);
  rotated_quad(cx, cy, a, b, static_cast<float>(angle), uL, uR, vB, vT);
}

// ---------------------------------------------------------------------------
// [SECTION] Lines and rectangles

namespace {

// Colour for untextured primitives; the colour key draws with alpha 0.
// Whether the last primitive_colour switched blending off to punch a hole.
bool punching = false;

void primitive_colour(int colour) {
  VuduRODoverore* r = rt.renderer;
  const bool key = colour == r->colour_key;
  // In a surface the key colour clears to transparent, as it does in loaded
  // images: blended, an alpha of 0 would leave the pixels as they were.
  punching = key && r->current_surface >= 0 && r->gl.is_enabled(GlCap::blend);
  if (punching) r->gl.disable(GlCap::blend);
  const float a = key ? 0.0f : r->alpha_value;
  r->gl.set_colour(static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                   static_cast<float>((colour >> 16) & 0xFF) / 255.0f, a);
  r->bind_sprite(-1);
}

void restore_colour() {
  if (punching) {
    rt.renderer->gl.enable(GlCap::blend);  // draws the hole first, unblended
    punching = false;
  }
  rt.renderer->gl.set_colour(1, 1, 1, rt.renderer->alpha_value);
}

}  // namespace

void mxt_draw_line(int x1, int y1, int x2, int y2, int colour) {
  if (!rt.renderer) return;
  primitive_colour(colour);
  rt.renderer->flush();
  // A shift of 3/8 pixel puts the line on pixel centres.
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glTranslatef(0.375f, 0.375f, 0);
  glMatrixMode(GL_MODELVIEW);
  rt.renderer->gl.prepare_draw();
  glBegin(GL_LINES);
  glVertex2i(x1, y1);
  glVertex2i(x2, y2);
  glEnd();
  glBegin(GL_POINTS);  // the end pixel is always set
  glVertex2i(x2, y2);
  glEnd();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  restore_colour();
}

void mxt_draw_rect(int x, int y, int width, int height, int colour) {
  if (!rt.renderer) return;
  primitive_colour(colour);
  const int left = width < 0 ? x + width + 1 : x;
  const int right = left + std::abs(width);
  const int top = height < 0 ? y + height + 1 : y;
  const int bottom = height < 0 ? y + 1 : y + height;
  const float l = static_cast<float>(left), rr = static_cast<float>(right);
  const float t = static_cast<float>(top), b = static_cast<float>(bottom);
  const QuadVertex q[4] = {{l, b, 0, 0}, {rr, b, 0, 0}, {rr, t, 0, 0}, {l, t, 0, 0}};
  draw_quad(q);
  restore_colour();
}

void mxt_draw_dot(int x, int y, int colour) { mxt_draw_rect(x, y, 1, 1, colour); }

// ---------------------------------------------------------------------------
// [SECTION] Polygon batches

namespace mxt {

bool PolyBatch::grow(int64_t n) {
  if (capacity > n) return true;
  const int64_t fresh = batch_capacity_for(n);
  if (fresh < 0) {
    release();
    return false;
  }
  auto* block = static_cast<PolyVertex*>(std::malloc(static_cast<size_t>(fresh) * sizeof(PolyVertex)));
  if (!block) {
    release();
    return false;
  }
  if (count) std::memcpy(block, vertices, static_cast<size_t>(count) * sizeof(PolyVertex));
  std::free(vertices);
  vertices = block;
  capacity = static_cast<int32_t>(fresh);
  return true;
}

void PolyBatch::release() {
  std::free(vertices);
  *this = PolyBatch{};
}

}  // namespace mxt

void mxt_start_poly(int sprite, int mode) {
  if (!rt.renderer) return;
  PolyBatch& poly = rt.renderer->poly;
  rt.renderer->bind_sprite(sprite, -1, 0);
  poly.count = 0;
  if (poly.capacity <= 2) poly.grow(1);
  poly.uses_colour = 0;
  poly.mode = mode;
  poly.join_pending = 0;
  if (const SpriteRecord* rec = sprite >= 0 ? sprite_record(sprite) : nullptr) {
    poly.inverse_width = rec->texture_width > 0 ? 1.0f / static_cast<float>(rec->texture_width) : 0;
    poly.inverse_height = rec->texture_height > 0 ? 1.0f / static_cast<float>(rec->texture_height) : 0;
    poly.image_height = rec->image_height;
  }
}

void mxt_poly_vector(double x, double y, double texture_x, double texture_y, int colour) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  PolyBatch& poly = r->poly;
  const int64_t needed = static_cast<int64_t>(poly.count) + 1 + (poly.join_pending ? 1 : 0);
  if (!poly.grow(needed)) return;
  PolyVertex& v = poly.vertices[poly.count];
  v.x = static_cast<float>(x);
  v.y = static_cast<float>(y);
  v.u = v.v = 0;
  if (r->bound_sprite >= 0) {
    v.u = static_cast<float>(texture_x) * poly.inverse_width;
    v.v = (static_cast<float>(poly.image_height) - static_cast<float>(texture_y)) * poly.inverse_height;
  }
  if (colour == 0xFFFFFF) {
    v.r = v.g = v.b = 255;
  } else {
    v.r = static_cast<uint8_t>(colour & 0xFF);
    v.g = static_cast<uint8_t>((colour >> 8) & 0xFF);
    v.b = static_cast<uint8_t>((colour >> 16) & 0xFF);
    poly.uses_colour = 1;
  }
  v.a = colour == r->colour_key ? 0 : r->alpha_value == 1.0f ? 255 : static_cast<uint8_t>(r->alpha_value * 255.0f);
  if (poly.join_pending) {
    poly.vertices[poly.count + 1] = v;
    poly.join_pending = 0;
  }
  poly.count = static_cast<int32_t>(needed);
}

void mxt_poly_new_group() {
  if (!rt.renderer) return;
  PolyBatch& poly = rt.renderer->poly;
  if (poly.count == 0 || poly.join_pending) return;
  if (!poly.grow(static_cast<int64_t>(poly.count) + 1)) return;
  poly.join_pending = 1;
  poly.vertices[poly.count] = poly.vertices[poly.count - 1];
  ++poly.count;
}

void mxt_end_poly() {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->poly.vertices) return;
  PolyBatch& poly = r->poly;
  GlState& gl = r->gl;
  r->flush();
  const bool textured = r->bound_sprite >= 0;
  if (textured) {
    gl.set_texture_filter(0, r->smoothing ? GL_LINEAR : GL_NEAREST);
    gl.set_texture_wrap(0, GL_REPEAT);  // coordinates beyond the image repeat the whole texture
  }
  if (poly.uses_colour || r->alpha_value != 1.0f) {
    poly.uses_colour = 1;
    gl.enable(GlCap::dither);
    gl.set_shade_model(GL_SMOOTH);
    gl.set_colour_array(true);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(PolyVertex), &poly.vertices[0].r);
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(PolyVertex), &poly.vertices[0].x);
  if (textured) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(PolyVertex), &poly.vertices[0].u);
  }
  const GLenum modes[3] = {GL_TRIANGLE_FAN, GL_TRIANGLES, GL_TRIANGLE_STRIP};
  if (poly.mode >= 0 && poly.mode <= 2) gl.draw_arrays(modes[poly.mode], 0, poly.count);
  glDisableClientState(GL_VERTEX_ARRAY);
  if (textured) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  if (poly.uses_colour) {
    gl.set_colour_array(false);
    gl.set_colour(1, 1, 1, r->alpha_value);
    gl.set_shade_model(GL_FLAT);
    gl.disable(GlCap::dither);
  }
}

// Drawing: sprites and animation frames, the blending state they share
// (alpha mode, alpha test, smoothing), lines, rectangles and polygon batches.
//
// Each command draws at once as far as the picture is concerned. Underneath,
// consecutive quads that share texture, filter and GL state are collected and
// handed to GL in one call: anything that changes state, reads pixels back
// or presents the frame hands over what is collected first, so the order of
// drawing and every pixel are exactly as if each quad had been drawn alone.
#pragma once

#include <cstdint>

namespace mxt {

struct QuadVertex {
  float x, y, u, v;
};

// Draws a quad (a fan of four vertices) with the bound sprite, or untextured
// when none is bound; `clamp` selects clamp-to-edge wrapping instead of repeat.
void draw_quad(const QuadVertex (&v)[4], bool clamp = true);

// Hands every collected quad to GL. Called before any GL state changes, pixel
// read-back and presenting; a game that calls GL itself calls this first.
void flush_drawing();

// Blending and alpha test through the renderer's state, flushing on change.
void set_blend_func(unsigned src, unsigned dst);
void set_alpha_func(float reference);

// Forget which texture parameters were applied (after an upload or a bind).
void forget_texture_parameters();

}  // namespace mxt

// ---------------------------------------------------------------------------
// Commands: sprites and frames (positions in logical pixels, angles in degrees)

void mxt_draw_sprite(int n, int x, int y);
void mxt_stretch_sprite(int n, int x, int y, int width, int height);      // negative sizes mirror
void mxt_zoom_sprite(int n, int x, int y, double factor_x, double factor_y);  // about the centre
void mxt_rotate_sprite(int n, int x, int y, double angle);                // counter-clockwise
void mxt_rotozoom_sprite(int n, int x, int y, double angle, double zoom);
void mxt_draw_anim(int n, int frame, int x, int y);
void mxt_stretch_anim(int n, int frame, int x, int y, int width, int height);
void mxt_rotozoom_anim(int n, int frame, int x, int y, double angle, double zoom);
void mxt_set_alpha_mode(double value);      // 0 opaque; > 0 additive; < 0 translucent; strength |value|
void mxt_set_alpha_test(double threshold);  // hide texels with alpha <= threshold; >= 1 switches off
void mxt_set_smoothing(int on);             // linear (default) or nearest filtering

// ---------------------------------------------------------------------------
// Commands: primitives (colours 0xBBGGRR; the colour key draws with alpha 0)

void mxt_draw_line(int x1, int y1, int x2, int y2, int colour);  // both end pixels set
void mxt_draw_dot(int x, int y, int colour);
void mxt_draw_rect(int x, int y, int width, int height, int colour);  // filled; negative sizes extend left/up
void mxt_start_poly(int sprite, int mode);   // sprite -1: untextured; mode 0 fan, 1 triangles, 2 strip
void mxt_poly_vector(double x, double y, double texture_x, double texture_y, int colour);
void mxt_poly_new_group();                   // join strips with degenerate triangles
void mxt_end_poly();                         // draws the batch with one GL call

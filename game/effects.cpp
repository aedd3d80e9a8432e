// The rotating star burst behind the board, and the ticker tape that falls
// once the puzzle is solved.
#include "game/quiltex.h"

int32_t ray_angle = 0;
int32_t ray_toggle = 0;
int32_t ray_colour_a = 0, ray_colour_b = 0;

namespace {

// One ray: a triangle from the centre (white) to two rim points 30 degrees
// apart, 600 pixels out, in the ray's colour.
void ray(double start, double colour) {
  const int c = static_cast<int>(colour);
  const double s = ray_angle + start, u = ray_angle + 30 + start;
  const double sx = 600 * mxt_cos(s) + 400, sy = 600 * mxt_sin(s) + 240;
  const double ux = 600 * mxt_cos(u) + 400, uy = 600 * mxt_sin(u) + 240;
  mxt_poly_vector(400, 240, sx, sy, 0xFFFFFF);
  mxt_poly_vector(sx, sy, ux, uy, c);
  mxt_poly_vector(ux, uy, 400, 240, c);
}

}  // namespace

void draw_sunburst() {
  ray_colour_a = 0xFF8000;
  ray_colour_b = 0xFF6000;
  // Sprite 0 is never loaded: the rays show their vertex colours alone.
  mxt_start_poly(0, 0);
  for (int t = 0; t <= 360; t += 60) ray(t, ray_colour_a);
  for (int t = 90; t <= 390; t += 60) ray(t, ray_colour_b);
  mxt_end_poly();
  ray_angle += ray_toggle;
  ray_toggle = 1 - ray_toggle;
}

void spawn_tape() {
  const int x = mxt_rnd(790);
  const int y = mxt_rnd(470);
  const int frame = mxt_rnd(5);
  const int fall = mxt_rnd(3);
  const int spin = mxt_rnd(20);
  const int row = mxt_rnd(6);
  Ttape t;
  t.x = x + 5;
  t.y = y - 5;
  t.spin = spin - 10;
  t.fall = fall + 2;
  t.frame = frame;
  t.strip_row = row;
  mxt_array_push(tape_list, t);
}

void update_tapes() {
  for (int i = 0; i < tape_list.count; ++i) {
    Ttape& t = tape_list(i);
    mxt_set_smoothing(0);
    t.x += mxt_rnd(6) - 3;
    t.y += t.fall;
    if (t.y > 480) {
      t.x = mxt_rnd(790) + 5;
      t.y = -10;
      t.frame = mxt_rnd(5);
    }
    t.angle += t.spin;
    // The phase steps every third frame and bounces between 0 and 4.
    if (t.phase_counter + 1 > 2) {
      if (t.direction == 0) t.frame += 1;
      if (t.direction == 1) t.frame -= 1;
      t.phase_counter = 0;
    } else {
      t.phase_counter += 1;
    }
    if (t.frame > 4) {
      t.frame = 4;
      t.direction = 1;
    }
    if (t.frame < 0) {
      t.frame = 0;
      t.direction = 0;
    }
    const int n = static_cast<int>(t.strip_row * 5 + t.frame);
    mxt_rotozoom_anim(sprites::kTicker, n, mxt_to_int(t.x), mxt_to_int(t.y), t.angle, 1.0);
  }
}

// Lines, rectangles and polygons.
//
// Primitives draw straight to the screen in 0xBBGGRR colours, in logical
// pixels with the origin top-left and y down. Polygons are batches: start
// one, add vertices, end it, and the whole batch goes to the GPU in one call,
// which is how to draw many triangles cheaply.
//
// What this shows: lines, dots, filled rectangles (with negative sizes), a
// triangle fan with a colour per vertex, separate triangles, strips joined
// into one batch, and a polygon textured with a sprite.
//
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=3 MXT_SCREENSHOT=shot.png ./example_shapes
#include <moxtril.h>

namespace {

constexpr int kWhite = 0xFFFFFF;
constexpr int kRed = 0x0000FF;
constexpr int kGreen = 0x00FF00;
constexpr int kBlue = 0xFF0000;
constexpr int kYellow = 0x00FFFF;
constexpr int kChecker = 1;  // the sprite the textured polygon uses

// Polygon modes, as mxt_start_poly takes them.
constexpr int kFan = 0;
constexpr int kTriangles = 1;
constexpr int kStrip = 2;

// A 16 x 16 black-and-white checker board, 4 pixels a square.
void make_checker() {
  RtArray<int32_t> pixels;
  mxt_dim(pixels, 16 * 16);
  for (int i = 0; i < 16 * 16; ++i) {
    const bool light = ((i % 16) / 4 + (i / 16) / 4) % 2 == 0;
    pixels(i) = light ? -1 : static_cast<int>(0xFF000000);  // 0xAABBGGRR: opaque white or black
  }
  mxt_sprite_from_array(pixels, kChecker, 16, 16);
}

// A hexagon as a fan: the first vertex is the hub, every later one a rim
// point, and each rim point makes a triangle with the hub and the one before.
void draw_hexagon(double cx, double cy, double radius) {
  const int rim[6] = {kRed, kYellow, kGreen, kBlue, kRed, kYellow};
  mxt_start_poly(-1, kFan);                         // -1: no texture
  mxt_poly_vector(cx, cy, 0, 0, kWhite);            // texture position unused without a sprite
  for (int i = 0; i <= 6; ++i) {                    // back to the first rim point to close it
    const double angle = 60.0 * i;                  // degrees, as every angle in the runtime
    mxt_poly_vector(cx + radius * mxt_cos(angle), cy - radius * mxt_sin(angle), 0, 0, rim[i % 6]);
  }
  mxt_end_poly();                                   // colours blend smoothly between vertices
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: shapes";
}

int mxt_main() {
  mxt_set_clear_colour(0x000000);
  make_checker();

  for (int frame = 0; frame < 600; ++frame) {
    // Lines set both end pixels; dots are single pixels.
    mxt_draw_line(10, 10, 150, 10, kGreen);
    mxt_draw_line(10, 20, 150, 60, kYellow);
    for (int x = 160; x < 310; x += 4) mxt_draw_dot(x, 10, kWhite);

    // Rectangles are filled; (x, y) is a corner, the size runs right and
    // down. Negative sizes run left and up from (x, y), which is included.
    mxt_draw_rect(170, 20, 60, 40, kRed);
    mxt_draw_rect(300, 60, -60, -40, kBlue);        // covers x 241..300, y 21..60

    draw_hexagon(60, 120, 40);

    // Separate triangles: every three vertices make one.
    mxt_start_poly(-1, kTriangles);
    mxt_poly_vector(120, 90, 0, 0, kGreen);
    mxt_poly_vector(160, 90, 0, 0, kGreen);
    mxt_poly_vector(140, 130, 0, 0, kGreen);
    mxt_poly_vector(120, 150, 0, 0, kBlue);
    mxt_poly_vector(160, 150, 0, 0, kBlue);
    mxt_poly_vector(140, 110, 0, 0, kBlue);
    mxt_end_poly();

    // Strips: each vertex after the second makes a triangle with the two
    // before it. mxt_poly_new_group starts a new strip in the same batch,
    // so the two bars below stay apart yet cost one draw call.
    mxt_start_poly(-1, kStrip);
    mxt_poly_vector(180, 90, 0, 0, kYellow);
    mxt_poly_vector(180, 110, 0, 0, kYellow);
    mxt_poly_vector(300, 90, 0, 0, kYellow);
    mxt_poly_vector(300, 110, 0, 0, kYellow);
    mxt_poly_new_group();
    mxt_poly_vector(180, 130, 0, 0, kRed);
    mxt_poly_vector(180, 150, 0, 0, kRed);
    mxt_poly_vector(300, 130, 0, 0, kRed);
    mxt_poly_vector(300, 150, 0, 0, kRed);
    mxt_end_poly();

    // Textured: texture positions are the sprite's pixels, and beyond the
    // image the texture repeats, so 32 x 32 texture pixels show the 16 x 16
    // checker twice each way. (Textures are stored in power-of-two sizes of
    // at least 16: another image size repeats with its transparent padding.)
    // White vertices show the texture unchanged.
    mxt_start_poly(kChecker, kFan);
    mxt_poly_vector(200, 170, 0, 0, kWhite);
    mxt_poly_vector(264, 170, 32, 0, kWhite);
    mxt_poly_vector(264, 234, 32, 32, kWhite);
    mxt_poly_vector(200, 234, 0, 32, kWhite);
    mxt_end_poly();

    mxt_show_screen();
  }
  return 0;
}

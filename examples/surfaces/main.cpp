// Offscreen surfaces, grabs, pixel collision and fades.
//
// A surface (0..31) turns a sprite into a drawing target: between
// mxt_use_screen(s) and mxt_use_screen(-1) every drawing command draws into
// that sprite, in its own pixels. Here a mini-map is drawn that way once and
// then shown in a corner every frame. mxt_grab_sprite copies part of the
// screen into a sprite; mxt_sprite_collision tells whether two sprites really
// touch, pixel by pixel, not just by their boxes; mxt_fade_to_image ends the
// show by cross-fading to a picture (made here by saving a surface's sprite
// with mxt_save_sprite) that then stays as the background.
//
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=120 ./example_surfaces
#include <moxtril.h>

namespace {

constexpr int kMiniMap = 10, kRing = 11, kBall = 12, kSnapshot = 13, kSunset = 14;
constexpr int kMapSurface = 0, kSunsetSurface = 1;
constexpr int kTile = 20, kColumns = 16, kRows = 12;

int tile_colour(int column, int row) {
  const bool water = (column * 7 + row * 3) % 11 < 3;
  return water ? 0xB06020 : ((column + row) % 2 ? 0x308040 : 0x40A050);
}

void draw_world(int x0, int y0, int tile) {
  for (int row = 0; row < kRows; ++row)
    for (int column = 0; column < kColumns; ++column)
      mxt_draw_rect(x0 + column * tile, y0 + row * tile, tile, tile, tile_colour(column, row));
}

// A sprite from a rule: opaque colour where inside(x, y), else transparent.
// Pixel arrays hold 0xAABBGGRR: alpha in the top byte.
template <typename Inside>
void make_sprite(int n, int size, int colour, Inside inside) {
  constexpr int kOpaque = -0x1000000;  // 0xFF000000 as an int
  RtArray<int32_t> pixels;
  mxt_dim(pixels, size * size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) pixels(y * size + x) = inside(x - size / 2, y - size / 2) ? (colour | kOpaque) : 0;
  mxt_sprite_from_array(pixels, n, size, size);
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 480;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Surfaces";
}

int mxt_main() {
  // The mini-map: the whole world, a twentieth of the size, drawn once.
  mxt_create_screen(kMapSurface, kMiniMap, kColumns * 4, kRows * 4);
  mxt_use_screen(kMapSurface);
  draw_world(0, 0, 4);
  mxt_use_screen(-1);

  // A sunset drawn into another surface and saved as a picture file.
  mxt_create_screen(kSunsetSurface, kSunset, 480, 240);
  mxt_use_screen(kSunsetSurface);
  for (int y = 0; y < 240; y += 8) mxt_draw_rect(0, y, 480, 8, 0x2040C0 + (y / 8) * 0x000400);
  mxt_draw_rect(200, 150, 80, 40, 0x40E0FF);
  mxt_use_screen(-1);
  if (mxt_save_sprite("sunset.png", kSunset)) mxt_stdout("saved sunset.png\n");

  // A ring and a ball: their boxes overlap long before their pixels do.
  make_sprite(kRing, 40, 0xFFFFFF, [](int x, int y) { return x * x + y * y <= 400 && x * x + y * y >= 300; });
  make_sprite(kBall, 12, 0x00FFFF, [](int x, int y) { return x * x + y * y <= 30; });

  int box_frame = -1, pixel_frame = -1;
  for (int frame = 0; frame < 60; ++frame) {
    draw_world(0, 0, kTile);
    const int ball_x = 100 + frame, ball_y = 92;
    mxt_draw_sprite(kRing, 140, 90);
    mxt_draw_sprite(kBall, ball_x, ball_y);
    if (box_frame < 0 && ball_x + 12 > 140) box_frame = frame;
    if (pixel_frame < 0 && mxt_sprite_collision(kRing, 140, 90, kBall, ball_x, ball_y)) pixel_frame = frame;

    if (frame == 30) mxt_grab_sprite(kSnapshot, 120, 80, 80, 60);  // part of the screen, kept
    if (frame >= 30) mxt_stretch_sprite(kSnapshot, 340, 170, 80, 60);
    mxt_draw_sprite(kMiniMap, 400, 8);
    mxt_show_screen();
  }
  mxt_stdout(RtString("boxes overlap at frame ") + box_frame + ", pixels touch at frame " + pixel_frame + "\n");

  mxt_fade_to_image("sunset.png", 500);
  mxt_stdout("faded\n");
  for (;;) mxt_show_screen();  // the sunset stays as the background
}

// Sprites and animation strips.
//
// A sprite is an image under a number the game chooses (0..65503). Games
// usually load them from files (mxt_load_sprite("ship.png", 1)); this one
// paints its pictures into pixel arrays, so it needs no files at all. An
// animation strip is one sprite cut into frames of one size.
//
// What this shows: making sprites, drawing them plain, stretched, zoomed and
// rotated, drawing one frame of a strip, and the three alpha modes.
//
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=3 MXT_SCREENSHOT=shot.png ./example_sprites
#include <moxtril.h>

namespace {

constexpr int kBall = 1;    // sprite numbers are the game's own choice
constexpr int kStrip = 2;
constexpr int kSize = 32;   // the ball is 32 x 32, each strip frame 16 x 16

// Array pixels are 0xAABBGGRR: alpha in the top byte. Screen colours (the
// clear colour, rectangles) are 0xBBGGRR and have no alpha.
constexpr uint32_t kRed = 0xFF0000FF;
constexpr uint32_t kClear = 0x00000000;  // alpha 0: not drawn when blending
constexpr uint32_t kFrameColours[4] = {0xFF00FFFF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};  // yellow, green, blue, white

int pixel(uint32_t aabbggrr) { return static_cast<int>(aabbggrr); }

// A red disc on transparent corners.
void make_ball() {
  RtArray<int32_t> pixels;
  mxt_dim(pixels, kSize * kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const int dx = 2 * x + 1 - kSize, dy = 2 * y + 1 - kSize;  // twice the distance from the centre
      pixels(y * kSize + x) = pixel(dx * dx + dy * dy <= kSize * kSize ? kRed : kClear);
    }
  // Rows run top to bottom; the width times the height must be the count.
  mxt_sprite_from_array(pixels, kBall, kSize, kSize);
}

// Four 16 x 16 frames side by side, one colour each.
void make_strip() {
  RtArray<int32_t> pixels;
  mxt_dim(pixels, 64 * 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) pixels(y * 64 + x) = pixel(kFrameColours[x / 16]);
  mxt_sprite_from_array(pixels, kStrip, 64, 16);
  // Frames are numbered left to right, then row by row.
  mxt_set_anim_size(kStrip, 16, 16);
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: sprites";
}

int mxt_main() {
  mxt_set_clear_colour(0x303030);  // dark grey
  make_ball();
  make_strip();

  int w = 0, h = 0;
  mxt_sprite_size(kBall, w, h);
  mxt_stdout(RtString("ball ") + w + " x " + h + "\n");

  // A sprite's pixels can be read back: the centre is the red of the disc.
  RtArray<int32_t> back;
  if (mxt_sprite_to_array(back, kBall))
    mxt_stdout("ball centre " + mxt_hex_text(back(16 * kSize + 16)) + "\n");

  // A file that is missing records error 3 (and prints "error: 3"); the
  // number stays free, and drawing it draws nothing. Nothing ends the game.
  mxt_load_sprite("no-such-picture.png", 3);
  mxt_stdout(RtString("missing picture, error ") + mxt_last_error() + "\n");

  for (int frame = 0; frame < 600; ++frame) {
    // Every frame starts translucent (alpha mode -1), so set the mode you
    // want before the draws that need it, every frame.

    // Plain: the top-left corner at (x, y), at the image's own size.
    mxt_draw_sprite(kBall, 16, 16);
    // Stretched to any size; a negative width or height mirrors it.
    mxt_stretch_sprite(kBall, 64, 16, 64, 32);
    // Zoom and rotation act about the sprite's centre, so (x, y) stays the
    // top-left corner the unscaled, unturned sprite would have.
    mxt_zoom_sprite(kBall, 176, 16, 1.5, 1.5);
    mxt_rotate_sprite(kBall, 240, 16, frame * 3.0);         // degrees, counter-clockwise
    mxt_rotozoom_sprite(kBall, 280, 16, -frame * 3.0, 0.5);

    // Animation: pick the frame from the time, not from the loop count.
    mxt_draw_anim(kStrip, mxt_to_int(mxt_elapsed_ms() / 250) % 4, 16, 80);
    mxt_draw_anim(kStrip, 2, 48, 80);                       // always the blue one
    mxt_stretch_anim(kStrip, 1, 80, 80, 48, 16);            // the green one, wider

    // Alpha modes, each drawn over a white bar.
    mxt_draw_rect(0, 140, 320, 40, 0xFFFFFF);
    mxt_draw_rect(0, 190, 320, 40, 0xFF0000);               // a blue bar for the additive ball
    // 0: opaque. Blending is off, so even the transparent corners are drawn,
    // in the colour their pixels hold: black here.
    mxt_set_alpha_mode(0);
    mxt_draw_sprite(kBall, 16, 144);
    // Negative: translucent, at strength |value|. -1 is the default mode.
    mxt_set_alpha_mode(-0.5);
    mxt_draw_sprite(kBall, 64, 144);
    // Positive: additive, for light, fire and glows: red over blue turns magenta.
    mxt_set_alpha_mode(1);
    mxt_draw_sprite(kBall, 64, 194);
    mxt_set_alpha_mode(-1);

    mxt_show_screen();
  }
  return 0;
}

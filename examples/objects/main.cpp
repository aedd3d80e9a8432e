// 3D objects inside a 2D game, and a sprite drawn through a shader.
//
// gem.ddd is made at build time by tools/mkddd from gem.obj (a model with
// coloured faces from gem.mtl). mxt_load_object puts it in object slot 0;
// mxt_set_camera and mxt_set_light set up the view; each mxt_draw_object
// draws it with depth testing against the other objects of the frame and
// returns to 2D drawing, so the score printed afterwards lands on top.
//
// mxt_load_shader reads a GLSL fragment shader into slot 0; between
// mxt_use_shader(0) and mxt_use_shader(-1) every sprite is drawn through it,
// with the uniforms set by mxt_set_shader_float.
//
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=120 ./example_objects
#include <moxtril.h>

namespace {

constexpr int kGem = 0, kCoin = 1, kGlow = 0;

// A gold coin with a darker rim, transparent outside. Pixels are 0xAABBGGRR.
void make_coin(int n, int size) {
  RtArray<int32_t> pixels;
  mxt_dim(pixels, size * size);
  const int r = size / 2;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int dx = x - r, dy = y - r, d2 = dx * dx + dy * dy;
      int32_t colour = 0;
      if (d2 <= (r - 3) * (r - 3)) colour = static_cast<int32_t>(0xFF20C0F0u);
      else if (d2 <= r * r) colour = static_cast<int32_t>(0xFF1080B0u);
      pixels(y * size + x) = colour;
    }
  mxt_sprite_from_array(pixels, n, size, size);
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 480;
  mxt_settings().screen_height = 320;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Objects";
}

int mxt_main() {
  mxt_set_clear_colour(0x302010);
  if (!mxt_load_object(kGem, "gem.ddd")) {
    mxt_stdout("gem.ddd did not load: see the debug log\n");
    mxt_end();
  }
  mxt_stdout(RtString("gem: ") + mxt_object_frames(kGem) + " frame, " + mxt_object_vertices(kGem, 0) +
             " vertices\n");

  make_coin(kCoin, 48);
  const bool shimmer = mxt_load_shader(kGlow, "", "glow.frag");
  mxt_stdout(shimmer ? "shader ready\n" : "no shader: the coin is drawn plainly\n");

  // The camera a little above the gem, looking at its middle; the light from
  // the upper left, in front.
  mxt_set_camera(0, 1.2, 4.5, 0, -0.1, 0, 40);
  mxt_set_light(0.6, -1, -0.8, 0.3);

  int score = 0;
  for (int frame = 0;; ++frame) {
    // The floor, in 2D, under everything.
    mxt_draw_rect(0, 250, 480, 70, 0x403828);

    // Three gems: the middle one turning, two smaller ones behind it.
    const double turn = frame * 2.0;
    mxt_draw_object(kGem, 0, 0, 0, 0, 0, turn, 0, 1.0, -1);
    mxt_draw_object(kGem, 0, -2.2, -0.3, -2, 0, -turn, 0, 0.6, -1);
    mxt_draw_object(kGem, 0, 2.2, -0.3, -2, 0, -turn, 0, 0.6, -1);

    // The coin, through the shader, and the score over everything.
    if (shimmer) {
      mxt_use_shader(kGlow);
      mxt_set_shader_float("time", frame / 60.0);
    }
    mxt_draw_sprite(kCoin, 20, 20);
    mxt_use_shader(-1);
    if (frame % 10 == 0) score += 10;
    mxt_set_font(0, 3);
    mxt_print(RtString("SCORE ") + score, 80, 32, 0);
    mxt_show_screen();
  }
}

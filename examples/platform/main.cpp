// Platform answers and joysticks.
//
// mxt_platform_info answers questions about the machine as texts: pass a key
// (it comes back upper-cased) and print what it says. "ID" keeps a device id
// in the runtime's folder under ~/.local/share, so the same machine answers
// the same id on every run. The build texts ("COMPILED", "HOSTID",
// "VERSION") are the game's own: define mxt_build_stamp, mxt_build_host_id
// and mxt_build_version, as this program does below.
//
// Joysticks are read afresh by every query; here the first one moves a
// square with its left stick (or its hat), and button 0 makes it rumble and
// frames the square in green. Without a joystick the square rests in the
// middle.
//
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=3 MXT_SCREENSHOT=shot.png ./example_platform
#include <moxtril.h>

#include <algorithm>
#include <cmath>

RtString mxt_build_stamp() { return RtString("Sep 13 2016-14:17:33"); }
RtString mxt_build_host_id() { return RtString("0badc0de"); }
RtString mxt_build_version() { return RtString("000.001"); }

namespace {

constexpr int kSquare = 1;
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kSide = 16;

void make_square() {
  RtArray<int32_t> pixels;
  mxt_dim(pixels, kSide * kSide);
  for (int i = 0; i < kSide * kSide; ++i) pixels(i) = -1;  // opaque white
  mxt_sprite_from_array(pixels, kSquare, kSide, kSide);
}

void print_answers() {
  const char* keys[] = {"", "device", "time", "utctime", "battery", "locale", "dpi", "documents", "appdata",
                        "temp", "compiled", "hostid", "version", "id", "GLEXT:glGenBuffers", "nonsense"};
  for (const char* k : keys) {
    RtString key(k);
    const RtString answer = mxt_platform_info(key);  // key now reads upper-case
    mxt_stdout(RtString("info ") + key + " = " + answer + "\n");
  }
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = kWidth;
  mxt_settings().screen_height = kHeight;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: platform";
}

int mxt_main() {
  print_answers();
  mxt_stdout(RtString("joysticks ") + mxt_joy_count() + "\n");
  for (int j = 0; j < mxt_joy_count(); ++j) mxt_stdout(RtString("joystick ") + j + ": " + mxt_joy_name(j) + "\n");

  make_square();
  mxt_set_clear_colour(0x402000);
  double x = (kWidth - kSide) / 2.0, y = (kHeight - kSide) / 2.0;
  bool was_down = false;
  for (;;) {
    // The stick first, the hat when the stick rests. No dead zone is
    // applied, so a worn stick drifts a little: ignore small values.
    double dx = mxt_joy_x(0), dy = mxt_joy_y(0);
    if (std::fabs(dx) < 0.1 && std::fabs(dy) < 0.1) {
      dx = mxt_joy_hat_x(0);
      dy = mxt_joy_hat_y(0);
    }
    x = std::clamp(x + dx * 4, 0.0, double{kWidth - kSide});
    y = std::clamp(y + dy * 4, 0.0, double{kHeight - kSide});
    const bool down = mxt_joy_button(0, 0) != 0;
    if (down && !was_down) mxt_joy_rumble(0, 200, 1, 0);  // a short shake at half strength
    was_down = down;
    const int sx = static_cast<int>(x), sy = static_cast<int>(y);
    if (down) mxt_draw_rect(sx - 2, sy - 2, kSide + 4, kSide + 4, 0x00FF00);
    mxt_draw_sprite(kSquare, sx, sy);
    mxt_show_screen();
  }
}

// Quiltex's start: the project settings the runtime starts with, and the main
// routine that sets the screen up, loads the media and starts the puzzle.
#include "game/quiltex.h"

// The build's texts ("COMPILED", "HOSTID", "VERSION"); CMake passes the
// last two.
RtString mxt_build_stamp() { return RtString(__DATE__ "-" __TIME__); }
RtString mxt_build_host_id() { return RtString(QUILTEX_HOST_ID); }
RtString mxt_build_version() { return RtString(QUILTEX_VERSION); }

void project_settings() {
  ProjectSettings& s = mxt_settings();
  s.screen_width = 640;
  s.screen_height = 480;
  s.fullscreen = 0;
  s.debug_mode = 0;
  s.hide_pointer = 1;
  s.multisample = 0;
  s.frame_rate = 60;
  mxt_app_title() = "Quiltex";
}

int mxt_main() {
  mxt_set_screen(800, 480, 0);
  mxt_show_pointer(1.0);
  RtString media("Media");
  mxt_set_current_dir(media);
  mxt_set_archive("media.sbx", "");

  mxt_load_sprite("board.png", sprites::kBoard);
  mxt_load_sprite("gfx/button.PNG", sprites::kMarker);
  mxt_load_anim("cell.PNG", sprites::kCell, 45, 45);
  mxt_load_anim("pencil.PNG", sprites::kPencil, 72, 72);
  mxt_load_anim("cross.PNG", sprites::kCross, 72, 72);
  mxt_load_anim("home.PNG", sprites::kHome, 72, 72);
  mxt_load_anim("font01a.PNG", sprites::kDigitFont + digit_fonts::kGiven, 16, 25);
  mxt_load_anim("font02.PNG", sprites::kDigitFont + digit_fonts::kSelected, 16, 25);
  mxt_load_anim("font03.PNG", sprites::kDigitFont + digit_fonts::kEntered, 16, 25);
  mxt_load_anim("font04.PNG", sprites::kDigitFont + digit_fonts::kClash, 16, 25);
  mxt_load_anim("ticker.PNG", sprites::kTicker, 12, 12);
  mxt_load_anim("small.PNG", sprites::kSmallFont, 6, 8);

  size_board();

  generate_solution();
  play_loop();
}

// Quiltex's start: the project settings the runtime starts with, and the main
// routine that sets the screen up, loads the media and starts the puzzle.
#include "game/quiltex.h"

void project_settings() {
  mxt_settings.screen_width = 640;
  mxt_settings.screen_height = 480;
  mxt_settings.fullscreen = 0;
  mxt_settings.debug_mode = 0;
  mxt_settings.hide_pointer = 1;
  mxt_settings.multisample = 0;
  mxt_settings.frame_rate = 60;
  mxt_app_title() = "Quiltex";
}

int mxt_main() {
  mxt_set_screen(800, 480, 0);
  mxt_show_pointer(1.0);
  RtString media("Media");
  mxt_set_current_dir(media);
  mxt_set_archive("media.sbx", "");

  mxt_load_sprite("board.png", 1);
  mxt_load_sprite("gfx/button.PNG", 5);
  mxt_load_anim("cell.PNG", 10, 45, 45);
  mxt_load_anim("pencil.PNG", 50, 72, 72);
  mxt_load_anim("cross.PNG", 60, 72, 72);
  mxt_load_anim("home.PNG", 70, 72, 72);
  mxt_load_anim("font01a.PNG", 1000, 16, 25);
  mxt_load_anim("font02.PNG", 1001, 16, 25);
  mxt_load_anim("font03.PNG", 1002, 16, 25);
  mxt_load_anim("font04.PNG", 1003, 16, 25);
  mxt_load_anim("ticker.PNG", 17, 12, 12);
  mxt_load_anim("small.PNG", 1005, 6, 8);

  size_board();

  generate_solution();
  play_loop();
}

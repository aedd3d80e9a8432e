// Quiltex: a 9 x 9 number-placement puzzle on the Moxtril runtime.
#include "runtime/moxtril.h"

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
  // The board comes later; for now the window shows for a moment.
  mxt_set_clear_colour(0x402010);
  for (int i = 0; i < 60; ++i) mxt_show_screen();
  mxt_end();
  return 0;
}

// An empty game: the same window and frame rate as Quiltex, nothing drawn.
#include <moxtril.h>

void project_settings() {
  mxt_settings().screen_width = 800;
  mxt_settings().screen_height = 480;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "empty";
}

int mxt_main() {
  for (;;) mxt_show_screen();
}

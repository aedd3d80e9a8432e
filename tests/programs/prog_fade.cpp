// A small game for the fade test: a red screen fades to the picture named by
// MXT_FADE_FILE over MXT_FADE_MS milliseconds; it reports the frames the fade
// took and what the screen shows after it, one frame later, with nothing drawn.
#include <cstdio>
#include <cstdlib>

#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include <moxtril.h>

void project_settings() {
  mxt_settings().screen_width = 160;
  mxt_settings().screen_height = 120;
  mxt_settings().frame_rate = 60;
}

int mxt_main() {
  const char* file = std::getenv("MXT_FADE_FILE");
  const char* ms = std::getenv("MXT_FADE_MS");
  mxt_draw_rect(0, 0, 160, 120, 0x0000FF);
  const int64_t before = mxt::rt.core->frame.frames_presented;
  mxt_fade_to_image(file ? file : "", ms ? std::atoi(ms) : 300);
  const int64_t frames = mxt::rt.core->frame.frames_presented - before;
  mxt_show_screen();  // nothing drawn: the background picture stands in for the clear
  std::printf("fade frames %d, after %06x\n", static_cast<int>(frames), static_cast<unsigned>(mxt_get_pixel(5, 5)));
  return 0;
}

// An empty game: it presents one frame, says so, and ends.
#include <cstdio>
#include <cstdlib>

#include <moxtril.h>

void project_settings() {
  mxt_settings().screen_width = 640;
  mxt_settings().screen_height = 480;
  const char* rate = std::getenv("BENCH_FRAME_RATE");
  mxt_settings().frame_rate = rate ? std::atoi(rate) : 60;
  mxt_app_title() = "empty";
}

int mxt_main() {
  mxt_show_screen();
  std::puts("frame");
  std::fflush(stdout);
  mxt_end();
  return 0;
}

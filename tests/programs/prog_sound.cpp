// A small game for the sound tests: loads the WAV named by MXT_TEST_SOUND
// into sound 10 with two channels, plays it fully left, shows frames for
// 300 ms and ends while it may still play, so that shutdown releases a
// sound in the middle of its play.
#include <cstdio>
#include <cstdlib>

#include <moxtril.h>

void project_settings() {
  mxt_settings().screen_width = 160;
  mxt_settings().screen_height = 120;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Sound";
}

int mxt_main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const char* path = std::getenv("MXT_TEST_SOUND");
  mxt_load_sound(path ? path : "", 10, 2);
  std::printf("load: error %d\n", mxt_last_error());
  const int id = mxt_play_sound(10, -1, 1);
  std::printf("play: %d\n", id);
  std::printf("free: %d\n", mxt_find_free_sound());
  const double t0 = mxt_elapsed_ms();
  while (mxt_elapsed_ms() - t0 < 300) mxt_show_screen();
  std::printf("playing: %d\n", id >= 0 ? mxt_sound_playing(id) : 0);
  return 0;
}

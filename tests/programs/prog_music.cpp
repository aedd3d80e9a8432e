// A small game for the music tests: plays the track named by MXT_TEST_MUSIC
// looping, shows frames for 1.3 s, then asks for a missing track.
#include <cstdio>
#include <cstdlib>

#include <moxtril.h>

void project_settings() {
  mxt_settings().screen_width = 160;
  mxt_settings().screen_height = 120;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Music";
}

int mxt_main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const char* track = std::getenv("MXT_TEST_MUSIC");
  mxt_play_music(track ? track : "", 1);
  const double t0 = mxt_elapsed_ms();
  while (mxt_elapsed_ms() - t0 < 1300) mxt_show_screen();
  std::printf("playing %d\n", mxt_music_playing());
  std::printf("missing: ");
  mxt_play_music("no-such-track.ogg", 1);
  std::printf("after missing playing %d\n", mxt_music_playing());
  return 0;
}

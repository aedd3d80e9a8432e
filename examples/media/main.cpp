// Music and video.
//
// One music track plays at a time, looped by the runtime if asked, under
// whatever the game draws. A video plays blocking: the call returns when the
// clip ends or the player presses a key or a button, and the game goes on.
//
// What this shows: starting, pausing, resuming and stopping music, its
// volume, asking whether it plays, playing a video, and what each does with
// a file that is missing. The build makes tune.ogg and clip.mp4 beside the
// program with the ffmpeg tool; they could as well come from the archive.
//
//   SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy MXT_FRAMES=20 ./example_media
#include <moxtril.h>

namespace {

void say(const RtString& text) { mxt_stdout(text + "\n"); }

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: media";
}

int mxt_main() {
  mxt_set_clear_colour(0x101010);

  // 1 loops the track: the runtime restarts it once its length has passed,
  // checking at every mxt_show_screen. MP3, OGG Vorbis and WAV all play, from
  // disk or from the media archive alike.
  mxt_play_music("tune.ogg", 1);
  say(RtString("music playing ") + mxt_music_playing());

  // 1.0 is full volume and the most; each new track starts at full again.
  mxt_music_volume(0.5);

  // Pausing keeps the place, and a paused track still counts as playing.
  mxt_pause_music(1);
  mxt_show_screen();
  say(RtString("paused, playing ") + mxt_music_playing());
  mxt_pause_music(0);

  // Videos are scaled to fit the window and centred, their sound mixed over
  // the music. The call blocks until the clip ends (or a key or button is
  // pressed), so the game's frames stop meanwhile. It returns 0 when played
  // or skipped and 3 when it cannot open or decode the file: worth checking,
  // since the game waits on it.
  const double before = mxt_elapsed_ms();
  const int played = mxt_play_video("clip.mp4", 0);
  const double took = mxt_elapsed_ms() - before;
  say(RtString("video returned ") + played + " after " + mxt_to_int(took / 100) * 100 + " ms or more");
  say(RtString("missing video returned ") + mxt_play_video("no-such-clip.mp4", 0));

  mxt_stop_music();  // stops and forgets the track
  say(RtString("after stop, playing ") + mxt_music_playing());

  // A missing track records error 3 (and prints "error: 3"), and nothing
  // plays. A file that exists but does not decode plays nothing either,
  // silently: the debug log in the temporary folder names it.
  mxt_play_music("no-such-tune.ogg", 1);
  say(RtString("missing music: error ") + mxt_last_error() + ", playing " + mxt_music_playing());

  // The game goes on: two seconds of the tune fading out, with a bar.
  mxt_play_music("tune.ogg", 1);
  const double start = mxt_elapsed_ms();
  while (mxt_elapsed_ms() - start < 2000) {
    const double left = 1 - (mxt_elapsed_ms() - start) / 2000;  // 1 down to 0
    mxt_music_volume(left);
    mxt_draw_rect(20, 110, mxt_to_int(280 * left), 20, 0x00C000);
    mxt_show_screen();
  }
  return 0;
}

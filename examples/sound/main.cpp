// Sound effects.
//
// A sound is a WAV file loaded into a number from 0 to 4095, which the game
// chooses or asks for with mxt_find_free_sound. Loading gives it 1 to 4
// channels: that many plays of it can sound at once. Every play returns a
// channel id, sound x 256 + channel, with which the game asks whether that
// play still runs or stops it; a play that could not start returns -1.
//
// What this shows: loading two sounds (an 8-bit one at 11025 Hz and a 16-bit
// one at 22050 Hz: any rate plays), playing one on the left and one on the
// right at different volumes, what a second play of a one-channel sound and
// a third play of a two-channel sound do, stopping one play, and a missing
// file. Boxes show which channels are playing. The build makes low.wav and
// high.wav beside the program with the ffmpeg tool; sounds in the media
// archive load the same way.
//
//   SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy MXT_FRAMES=90 ./example_sound
#include <moxtril.h>

namespace {

void say(const RtString& text) { mxt_stdout(text + "\n"); }

RtString id_text(int id) {
  if (id < 0) return RtString("-1 (no play)");
  return RtString(id) + " (sound " + id / 256 + ", channel " + id % 256 + ")";
}

// One box per channel of a sound: lit while that channel plays.
void draw_channels(const RtString& name, int sound, int channels, int y, int colour) {
  mxt_print(name, 20, y + 4, 1);
  for (int c = 0; c < channels; ++c) {
    const bool on = mxt_sound_playing(sound * 256 + c) == 1;
    mxt_draw_rect(100 + c * 50, y, 40, 20, on ? colour : 0x303030);
  }
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: sound";
}

int mxt_main() {
  mxt_set_clear_colour(0x101010);

  // The highest free number, 4095 in an empty table; or one of the game's own.
  const int low = mxt_find_free_sound();
  mxt_load_sound("low.wav", low, 1);   // one channel: one play at a time
  const int high = 7;
  mxt_load_sound("high.wav", high, 2);  // two plays of it may overlap
  say(RtString("low is sound ") + low + ", high is sound " + high + ", error " + mxt_last_error());

  // Pan -1 is fully left and 1 fully right (the far side falls silent, the
  // near side stays whole); volume 1 is the sound as recorded, 0.5 is 6 dB
  // down, and below 0.01 nothing is heard.
  const int left = mxt_play_sound(low, -1, 1.0);
  const int right = mxt_play_sound(high, 1, 0.5);
  say("low plays on " + id_text(left));
  say("high plays on " + id_text(right));

  // A one-channel sound that still plays has no channel for a second play.
  say("low again: " + id_text(mxt_play_sound(low, -1, 1.0)));

  // A second play of high takes its other channel; a third cuts the oldest
  // play off and starts that channel over.
  const int second = mxt_play_sound(high, 1, 0.5);
  const int third = mxt_play_sound(high, 1, 0.5);
  say("high again: " + id_text(second) + ", and again: " + id_text(third));
  say(RtString("playing: low ") + mxt_sound_playing(left) + ", high " + mxt_sound_playing(right) + " and " +
      mxt_sound_playing(second));

  // Stopping names one play by its id; a channel the sound does not have
  // (like high * 256 + 255) stops all of its channels.
  mxt_stop_sound(second);
  say(RtString("after stopping ") + second + ": " + mxt_sound_playing(second));
  mxt_stop_sound(high * 256 + 255);
  say(RtString("after stopping every channel of high: ") + mxt_sound_playing(third));

  // A file that is missing (or is no WAV the runtime plays) records error 3
  // and leaves the sound empty, so its plays return -1.
  mxt_load_sound("no-such-sound.wav", 100, 1);
  say(RtString("missing: error ") + mxt_last_error() + ", play gives " + mxt_play_sound(100, 0, 1));

  // The game goes on: twice a second both sounds play again, low on the
  // left and loud, high on the right and quieter, two plays of it overlapping.
  double next = mxt_elapsed_ms();
  int round = 0;
  for (;;) {
    if (mxt_elapsed_ms() >= next) {
      if (round % 2 == 0) mxt_play_sound(low, -1, 1.0);
      mxt_play_sound(high, 1, 0.5);
      next += 250;
      ++round;
    }
    draw_channels("low", low, 1, 80, 0x00C000);
    draw_channels("high", high, 2, 120, 0xC0C000);
    mxt_show_screen();
  }
}

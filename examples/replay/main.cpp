// Recording and replaying input.
//
// Any game on the runtime can record a session and play it back exactly,
// without a line of code for it: two environment variables do it.
//
//   MXT_RECORD=session.txt ./example_replay        # click around, then Escape
//   MXT_REPLAY=session.txt ./example_replay        # the same clicks, again
//
// The recording is plain text, one event a line, stamped with the frame it
// arrived in, plus the random seed start-up chose (session.replay beside
// this file is one written by hand). With MXT_FRAMES and MXT_SCREENSHOT a
// replay becomes a test: the same input, the same frames, the same picture.
//
//   SDL_VIDEODRIVER=offscreen MXT_REPLAY=session.replay MXT_FRAMES=40 MXT_SCREENSHOT=shot.png ./example_replay
//
// For a replay to come out the same, the game must depend only on what the
// replay brings back: the input, the frames, and the random numbers of
// mxt_rnd (the file's seed restarts them). Wall-clock time differs on every
// run, so motion here goes by frames. (A game that moves by time, as the
// window example does, replays the same input but not the same positions.)
#include <moxtril.h>

namespace {

struct Star {
  int x, y, size, colour;
};

RtArray<Star> stars;
int frame = 0;         // frames shown so far: the replay file's clock
int comet_x = 0;

// Three draws in a fixed order (one statement each: the order of the operands
// of | in a single expression is not fixed in C++, and a replay needs it).
int random_colour() {
  const int red = 64 + mxt_rnd(191);
  const int green = 64 + mxt_rnd(191);
  const int blue = 64 + mxt_rnd(191);
  return red | green << 8 | blue << 16;  // 0xBBGGRR
}

void add_star(int x, int y) {
  const int size = 6 + mxt_rnd(10);
  const int colour = random_colour();
  mxt_array_push(stars, Star{x, y, size, colour});
  mxt_stdout(RtString("frame ") + frame + ": star at " + x + " " + y + ", size " + size + ", colour " +
             mxt_hex_text(colour) + "\n");
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: replay";
}

int mxt_main() {
  mxt_set_clear_colour(0x200808);
  bool was_down = false;
  for (frame = 0; frame < 3600; ++frame) {
    // A click places a star of random size and colour.
    int x = 0, y = 0, left = 0, right = 0;
    mxt_mouse_state(x, y, left, right);
    if (left && !was_down) add_star(x, y);
    was_down = left != 0;

    // One step per frame: in a replay, frame f always comes with the same
    // input, so the comet is always in the same place at the same star.
    comet_x = (comet_x + 3) % 320;
    mxt_draw_rect(comet_x, 220, 12, 6, 0xFFFFFF);

    for (int i = 0; i < mxt_array_bounds(stars, 0); ++i) {
      const Star& s = stars(i);
      mxt_draw_rect(s.x - s.size / 2, s.y - s.size / 2, s.size, s.size, s.colour);
    }
    mxt_show_screen();
  }
  return 0;
}

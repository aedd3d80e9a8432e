// Window and frame loop: the smallest complete Moxtril game.
//
// A game supplies two functions and the runtime does the rest: it owns
// main(), opens the window, calls the game, and ends everything in one
// orderly shutdown however the program ends (the close button, Escape,
// Alt+F4, a fatal error, or the game's main routine returning).
//
// What this shows: the settings, the frame loop around mxt_show_screen, the
// clear colour, moving things by time rather than by frame, and a quit
// callback that runs once at the very end.
//
// Headless, for tests and CI (see README.md "Headless runs"):
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=10 MXT_SCREENSHOT=shot.png ./example_window
#include <moxtril.h>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Colours are 0xBBGGRR: blue in the high byte, red in the low one.
constexpr int kSky = 0x402010;     // dark blue
constexpr int kGround = 0x208040;  // green
constexpr int kBox = 0x00C0FF;     // orange

int frames_shown = 0;      // frames handed to mxt_show_screen
double frame_time_sum = 0; // milliseconds, added up from mxt_frame_time

// The quit callback runs first thing when the program ends, whichever way it
// ends. With MXT_FRAMES=N the runtime ends the program inside the N-th
// mxt_show_screen, so this is the place for last words, not after the loop.
void on_quit() {
  int w = 0, h = 0;
  mxt_screen_size(w, h);
  mxt_stdout(RtString("screen ") + w + " x " + h + "\n");
  mxt_stdout(RtString("frames shown ") + frames_shown + "\n");
  // The first frame's time is the gap to start-up, so average the others.
  if (frames_shown > 1) {
    const double average = frame_time_sum / (frames_shown - 1);
    mxt_stdout("average frame ms " + mxt_format_number(0, 1, average) + "\n");
  }
}

}  // namespace

// The runtime looks this table up by name. It must end with {nullptr, nullptr};
// a game without callbacks simply leaves it out.
const CallbackEntry mxt_callbacks[] = {{on_quit, MXT_ON_QUIT}, {nullptr, nullptr}};

// Runs before anything starts: no window, no sound, no drawing yet. Only fill
// in the settings here.
void project_settings() {
  mxt_settings().screen_width = kWidth;
  mxt_settings().screen_height = kHeight;
  // The runtime paces mxt_show_screen to this rate. mxt_limit_fps changes it
  // later; 0 means "as fast as possible" (a 2 ms minimum frame).
  mxt_settings().frame_rate = 30;
  mxt_app_title() = "Moxtril example: window";
}

// The game. Each pass of the loop draws one whole frame, then hands it to
// mxt_show_screen, which presents it, takes the window's messages and input,
// waits for the next frame's turn, and clears the new frame.
int mxt_main() {
  // The colour every frame starts with. -1 switches clearing off, for games
  // that repaint every pixel themselves anyway.
  mxt_set_clear_colour(kSky);

  double box_x = 0;                       // a double: motion per frame is fractional
  const double speed = 80;                // pixels per second
  const double started = mxt_elapsed_ms();

  // Run for five seconds, then return: returning from mxt_main ends the
  // program through the same orderly shutdown as the close button.
  while (mxt_elapsed_ms() - started < 5000) {
    // Move by the time the last frame took, never by a fixed step per frame:
    // the box then crosses the screen at the same speed on a slow machine,
    // at another frame rate, or when a frame is late.
    const double ms = mxt_frame_time();   // never below 1
    if (frames_shown > 0) frame_time_sum += ms;
    // A long frame (the first one, which includes start-up, or one after the
    // window was dragged) would make things jump: move by at most 100 ms.
    box_x += speed * (ms > 100 ? 100 : ms) / 1000.0;
    if (box_x > kWidth) box_x -= kWidth + 40;

    // Draw back to front; there is no depth, the last drawn is on top.
    mxt_draw_rect(0, 180, kWidth, 60, kGround);
    mxt_draw_rect(mxt_to_int(box_x), 140, 40, 40, kBox);

    ++frames_shown;
    mxt_show_screen();
  }
  return 0;
}

// Mouse, keyboard and touch.
//
// Input is read, not delivered: once a frame the game asks where the mouse
// is and which keys are down, and compares with the frame before to see a
// press. A button or key that went down and up between two readings (a
// quick tap) still reads as down once, so no click is lost that way.
//
// What this shows: mouse position and buttons, the wheel, keys by scan code,
// typed text, and touch contacts in the pointer slots. (mxt_wait_mouse and
// mxt_wait_key block until a click or a typed key, for "press any key"
// screens; a game loop like this one never stops to wait.)
//
// It runs on its own from a hand-written replay file of input (input.replay
// beside this file; README.md "Recording and replaying input"):
//   SDL_VIDEODRIVER=offscreen MXT_REPLAY=input.replay MXT_FRAMES=70 ./example_input
#include <moxtril.h>

namespace {

// Keys are DirectInput scan codes, the same whatever the keyboard layout.
constexpr int kSpace = 0x39;
constexpr int kLeft = 0xCB;
constexpr int kRight = 0xCD;
constexpr int kUp = 0xC8;
constexpr int kDown = 0xD0;

struct Mark {
  int x, y, colour;
};

RtArray<Mark> marks;        // a square where each press landed
int box_x = 140, box_y = 180;
int pointer_x = 0, pointer_y = 0;  // where the mouse is
bool was_down[32] = {};     // the left button of every pointer slot, last frame
bool right_was_down = false;
bool space_was_down = false;
RtString line;              // typed text, until Enter

void add_mark(int x, int y, int colour) { mxt_array_push(marks, Mark{x, y, colour}); }

void on_quit() { mxt_stdout(RtString("box at ") + box_x + " " + box_y + "\n"); }

// The mouse and every finger on a touch screen each hold one of 32 pointer
// slots while they are down; the first free slot goes to whoever comes
// first. With the mouse up, the first finger lands in slot 0 and reads just
// like the left button, so a game written for the mouse works by touch.
void read_pointers() {
  // The wheel is a reading of its own; take it before the position reading
  // below, which starts the next count.
  const int wheel = mxt_mouse_axis(2);
  if (wheel != 0) mxt_stdout(RtString("wheel ") + wheel + "\n");

  for (int slot = 0; slot < mxt_mouse_count(); ++slot) {
    mxt_select_mouse(slot);
    int x = 0, y = 0, left = 0, right = 0;
    mxt_mouse_state(x, y, left, right);  // logical pixels; buttons 0 or 1
    if (left && !was_down[slot]) {
      mxt_stdout(RtString("press at ") + x + " " + y + " in slot " + slot + "\n");
      add_mark(x, y, 0x0000FF);
    }
    was_down[slot] = left != 0;
    if (slot == 0) {
      pointer_x = x;
      pointer_y = y;
      if (right && !right_was_down) {
        mxt_stdout(RtString("right press at ") + x + " " + y + "\n");
        add_mark(x, y, 0x00FF00);
      }
      right_was_down = right != 0;
    }
  }
  mxt_select_mouse(0);  // the mouse commands read slot 0 again
}

void read_keys() {
  // mxt_key is 1 while a key is down: right for movement...
  if (mxt_key(kLeft)) box_x -= 2;
  if (mxt_key(kRight)) box_x += 2;
  if (mxt_key(kUp)) box_y -= 2;
  if (mxt_key(kDown)) box_y += 2;
  // ...and compared with the last frame for a single action per press.
  const bool space = mxt_key(kSpace) != 0;
  if (space && !space_was_down) mxt_stdout("key Space\n");
  space_was_down = space;

  // Text comes as characters, already through the keyboard layout: use it
  // for names and chat, never scan codes. Enter types a line end (10),
  // Backspace an 8. Up to 16 characters wait between frames.
  for (RtString c = mxt_typed_char(); !c.empty(); c = mxt_typed_char()) {
    if (mxt_char_code(c) == 10) {
      mxt_stdout("typed " + line + "\n");
      line = "";
    } else if (mxt_char_code(c) != 8) {
      line += c;
    }
  }
}

}  // namespace

const CallbackEntry mxt_callbacks[] = {{on_quit, MXT_ON_QUIT}, {nullptr, nullptr}};

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: input";
}

int mxt_main() {
  mxt_set_clear_colour(0x302010);
  // Escape ends the program by default (and Alt+F4 always does); a game with
  // its own menu switches that off with mxt_set_escape_ends(0).
  for (int frame = 0; frame < 1200; ++frame) {
    read_pointers();
    read_keys();

    for (int i = 0; i < mxt_array_bounds(marks, 0); ++i) {
      const Mark& m = marks(i);
      mxt_draw_rect(m.x - 4, m.y - 4, 9, 9, m.colour);
    }
    mxt_draw_rect(box_x, box_y, 40, 20, 0x00C0FF);
    mxt_draw_line(pointer_x - 5, pointer_y, pointer_x + 5, pointer_y, 0xFFFFFF);  // the pointer: a small cross
    mxt_draw_line(pointer_x, pointer_y - 5, pointer_x, pointer_y + 5, 0xFFFFFF);

    mxt_show_screen();
  }
  return 0;
}

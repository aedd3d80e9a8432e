// A small game for the font tests. By default it reports the font start-up
// left current; MXT_TEST_SCENARIO=shot prints a line in each of three fonts
// (the built-in one at scale 2, then the font images named by
// MXT_SHOT_MONO and MXT_SHOT_SANS) for a screenshot; MXT_TEST_SCENARIO=entry
// takes a line of text, an integer and a number from the keyboard over a
// green square and prints them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <moxtril.h>
#include "tests/programs/scenario.h"

namespace {

using scenario_support::scenario;

void report() {
  int w = 0, h = 0;
  mxt_font_size(w, h);
  char line[160];
  std::snprintf(line, sizeof line, "font slot=%d size=%dx%d mono=%d prop=%d\n", mxt_get_font(), w, h,
                mxt_text_width("Hello", 0), mxt_text_width("Hello", 1));
  mxt_stdout(line);
}

void shot() {
  mxt_draw_rect(0, 0, 640, 200, 0x3A2A20);  // RGB (32, 42, 58): the frame under way is already cleared
  mxt_set_font(0, 2);
  mxt_print("Built-in font, 8 x 8 at scale 2", 20, 20, 0);
  mxt_print("Hello, World! 0123456789", 20, 44, 1);
  const char* mono = std::getenv("MXT_SHOT_MONO");
  const char* sans = std::getenv("MXT_SHOT_SANS");
  if (mono) {
    mxt_load_font(mono, 1);
    mxt_print("DejaVu Sans Mono 20: Hello, World!", 20, 92, 0);
  }
  if (sans) {
    mxt_load_font(sans, 2);
    mxt_print("DejaVu Sans 20, shadowed: Hello, World! 0123456789", 20, 142, 1);
  }
  mxt_show_screen();
}

void entry() {
  mxt_set_clear_colour(0x402010);
  mxt_draw_rect(100, 100, 40, 40, 0x00FF00);  // the screen text entry must keep under the text
  RtString text = "ab";
  mxt_input_text(text, 10, 20, 0);
  mxt_stdout(RtString("text=[") + text + "]\n");
  int i = -1;
  mxt_input_int(i, 10, 20, 1);
  double d = -1;
  mxt_input_double(d, 10, 20, 0);
  char line[80];
  std::snprintf(line, sizeof line, "int=%d double=%g\n", i, d);
  mxt_stdout(line);
}

}  // namespace

void project_settings() {
  if (scenario() == "shot") {
    mxt_settings().screen_width = 640;
    mxt_settings().screen_height = 200;
  } else {
    mxt_settings().screen_width = 320;
    mxt_settings().screen_height = 200;
  }
  mxt_app_title() = "fonts";
}

int mxt_main() {
  if (scenario() == "shot")
    shot();
  else if (scenario() == "entry")
    entry();
  else
    report();
  mxt_end();
  return 0;
}

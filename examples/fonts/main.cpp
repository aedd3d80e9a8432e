// Fonts, text and text entry.
//
// A font is a picture of 16 character cells a row (tools/mkfont makes one
// from any TrueType or OpenType font). Load it into one of 32 slots, pick a
// slot and a scale with mxt_set_font, and mxt_print draws a whole line in one
// go: monospaced (every character a cell wide) or proportional (each as wide
// as its ink). Slot 0 starts with a small built-in font, so text works before
// any font is loaded.
//
// mxt_input_text takes a line from the keyboard, showing it as it is typed
// over the screen as it was; this example asks for a name that way.
//
// The build makes mono.png and sans.png beside the program with mkfont. Run
// it headless with the typing of fonts.replay (beside this file):
//   SDL_VIDEODRIVER=offscreen MXT_REPLAY=fonts.replay MXT_FRAMES=40 ./example_fonts
#include <moxtril.h>

namespace {

constexpr int kBuiltIn = 0, kMono = 1, kSans = 2;
RtString name;

void draw_page() {
  mxt_set_font(kBuiltIn, 2);  // the built-in 8 x 8 font, twice as large
  mxt_print("Built-in font at scale 2", 20, 16, 0);

  mxt_set_font(kMono, 1);
  mxt_print("Monospaced: iiii WWWW", 20, 50, 0);   // every cell as wide
  mxt_print("Proportional: iiii WWWW", 20, 74, 1);  // each letter as wide as its ink

  mxt_set_font(kSans, 1.5);  // any scale; text lands on whole pixels
  mxt_print("Sans at 1.5: Hello!", 20, 104, 1);

  // Widths let a game centre or right-align a line.
  mxt_set_font(kSans, 1);
  const RtString right = "right-aligned";
  mxt_print(right, 460 - mxt_text_width(right, 1), 150, 1);
  mxt_set_font(kBuiltIn, 1);
  if (!name.empty()) mxt_print(RtString("Hello, ") + name + "!", 20, 200, 0);
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 480;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 30;
  mxt_app_title() = "Fonts";
}

int mxt_main() {
  mxt_set_clear_colour(0x402818);
  mxt_load_font("mono.png", kMono);  // a missing file leaves the built-in font, at scale 4
  mxt_load_font("sans.png", kSans);
  int w = 0, h = 0;
  mxt_set_font(kMono, 1);
  mxt_font_size(w, h);
  mxt_stdout(RtString("mono cell ") + w + " x " + h + "\n");
  mxt_stdout(RtString("\"iiii\" monospaced ") + mxt_text_width("iiii", 0) + ", proportional " +
             mxt_text_width("iiii", 1) + "\n");

  // Ask for a name over the page: the entry shows each frame until Enter.
  draw_page();
  mxt_set_font(kBuiltIn, 1);
  mxt_print("Your name: ", 20, 200, 0);
  mxt_input_text(name, 20 + mxt_text_width("Your name: ", 0), 200, 0);
  mxt_stdout(RtString("name ") + name + "\n");

  for (;;) {  // MXT_FRAMES or Escape ends it
    draw_page();
    mxt_show_screen();
  }
}

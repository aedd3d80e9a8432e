// Strings, arrays and numbers.
//
// RtString is the runtime's text: bytes in code page 1252 (Western European
// Windows), joined with +, which also turns numbers into text. RtArray is
// its array of up to four dimensions, checked on every access: a bad index
// stops the program with a report instead of reading stray memory. Game
// numbers are doubles and angles are degrees.
//
// What this shows: the text commands, arrays (sizing, appending, sorting,
// two dimensions), data lists, the number commands and number formatting.
// It prints every result, and draws nothing.
//
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=1 ./example_types
#include <moxtril.h>

namespace {

void say(const RtString& text) { mxt_stdout(text + "\n"); }

void strings() {
  // + joins texts and numbers; 3.0 becomes "3", 0.25 "0.25".
  const RtString score = RtString("score ") + 3.0 + " of " + 4 + ", " + 0.25 + " left";
  say(score);

  // Positions count bytes from 0. Out-of-range positions are never errors:
  // they give "", 0 or -1.
  say("mid: " + mxt_mid_text(score, 6, 1) + ", length " + RtString(mxt_text_length(score)));
  say(RtString("find 'of': ") + mxt_find_text(score, "of", 0) + ", find 'xyz': " + mxt_find_text(score, "xyz", 0));
  // Case changes know the code page's letters too: e-acute (233) becomes E-acute (201).
  say("upper: " + mxt_upper_text("level") + ", " + RtString(mxt_char_code("\xE9")) + " becomes " +
      RtString(mxt_char_code(mxt_upper_text("\xE9"))));
  say("replace: " + mxt_replace_text("a-b-c", "-", " + "));
  say("trim: [" + mxt_trim_right_text(mxt_trim_left_text("  padded\t ", " \t"), " \t") + "]");

  // Splitting fills an array; with skip_empty 1, ",," gives no empty part.
  RtArray<RtString> parts;
  const int n = mxt_split_text("red,green,,blue", parts, ",", 1);
  RtString joined;
  for (int i = 0; i < n; ++i) joined += (i ? "|" : "") + parts(i);
  say(RtString("split: ") + n + " parts " + joined);

  // Comparing a text with a number reads the text as a number first; two
  // texts compare byte by byte, so "10" sorts before "9".
  say(RtString("\"10\" == 10: ") + (RtString("10") == 10 ? 1 : 0) + ", \"10\" < \"9\": " +
      (RtString("10") < RtString("9") ? 1 : 0));

  say("hex: " + mxt_hex_text(255) + ", url: " + mxt_url_encode("a b&c"));
  // Blowfish for save files a player should not edit by hand; the same key decrypts.
  const RtString secret = mxt_encrypt_text("key", "level 7");
  say("encrypted " + RtString(mxt_text_length(secret)) + " hex digits, decrypted: " + mxt_decrypt_text("key", secret));
}

void arrays() {
  // mxt_dim sizes an array and zeroes it; mxt_redim keeps what fits.
  RtArray<int> scores;
  mxt_dim(scores, 3);
  scores(0) = 30;
  scores(1) = 10;
  scores(2) = 20;
  mxt_array_push(scores, 40);  // one-dimensional arrays grow by appending
  mxt_redim(scores, 5);        // a fifth, zero element; the first four kept
  RtString text;
  for (int i = 0; i < mxt_array_bounds(scores, 0); ++i) text += RtString(" ") + scores(i);
  say(RtString("scores") + text + ", last " + scores(-1));  // -1 counts from the end

  // Two dimensions: the first index is the fastest, (column, row) reads well.
  RtArray<int> grid;
  mxt_dim(grid, 4, 3);
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 4; ++column) grid(column, row) = row * 10 + column;
  say(RtString("grid ") + mxt_array_bounds(grid, 0) + " x " + mxt_array_bounds(grid, 1) + ", (3, 2) = " + grid(3, 2));

  // Sorting takes the first and the LAST element (inclusive).
  RtArray<RtString> names;
  mxt_split_text("pear apple fig", names, " ", 1);
  mxt_sort_array(&names(0), &names(-1));
  say("sorted: " + names(0) + " " + names(1) + " " + names(2));
  // grid(4, 0) would report the bounds, raise error 9 and end the program.
}

// Constant tables compiled into the game, read in order, numbers and texts.
const DataItem kLevelItems[] = {{1, nullptr}, {0, "Meadow"}, {2, nullptr}, {0, "Cave"}};
DataList level_list{kLevelItems, 4, 0};

void data_lists() {
  mxt_restore_data(level_list);  // make it the current list, from its start
  RtString text = "levels:";
  for (int i = 0; i < 2; ++i) {
    int number = 0;
    RtString name;
    mxt_read_int(number);
    mxt_read_text(name);
    text += RtString(" ") + number + "=" + name;
  }
  say(text);  // one more read would raise error 20 and end the program
}

void numbers() {
  say("sin 30 = " + mxt_format_number(0, 3, mxt_sin(30)) +
      ", atan2(1, 1) = " + mxt_format_number(0, 1, mxt_atan2(1, 1)));
  // Conversions truncate toward zero; mod keeps the sign of the first number.
  say(RtString("to_int(-2.7) = ") + mxt_to_int(-2.7) + ", mod(-7, 3) = " + mxt_mod(-7, 3) +
      ", floor(-2.5) = " + mxt_floor(-2.5));
  // Formatting: width and decimals; a negative width aligns left.
  say("[" + mxt_format_number(8, 2, 3.14159) + "] [" + mxt_format_int(-5, 0, 42) + "]");
  // The same seed gives the same numbers: rnd(n) is 0..n inclusive.
  mxt_seed_rnd(1234);
  const int first = mxt_rnd(100), second = mxt_rnd(100);  // a declaration's order is fixed
  mxt_seed_rnd(1234);
  const int again_first = mxt_rnd(100), again_second = mxt_rnd(100);
  say(RtString("random ") + first + " " + second + ", again " + again_first + " " + again_second);
  say(RtString("boxes touch: ") + mxt_box_collision(0, 0, 10, 10, 9, 9, 5, 5) + ", apart: " +
      mxt_box_collision(0, 0, 10, 10, 10, 0, 5, 5));
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 160;
  mxt_settings().screen_height = 120;
  mxt_app_title() = "Moxtril example: types";
}

int mxt_main() {
  strings();
  arrays();
  data_lists();
  numbers();
  mxt_show_screen();
  return 0;
}

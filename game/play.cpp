// The play loop: the board as the player sees it. Pick a digit in the palette
// (or with the keys 1 to 9), click cells to write it or take it back; each
// entry marks the cells of its row and column that hold the same digit; every
// digit nine times on the board wins and releases the ticker tape.
//
// [SECTION] Geometry and digits
// [SECTION] Start
// [SECTION] One frame
#include "game/quiltex.h"

// ---------------------------------------------------------------------------
// [SECTION] Geometry and digits

int block_gap(int i) { return i < 3 ? 0 : i < 6 ? 2 : 4; }

void draw_digits(double x, double y, const RtString& text, int font) {
  for (uint32_t i = 0; i < text.length; ++i)
    if (font < 5)
      mxt_draw_anim(sprites::kDigitFont + font, text.char_at(static_cast<int>(i)) - 48, mxt_to_int(x + 16.0 * i),
                    mxt_to_int(y));
}

namespace {

// A click hits a 50 x 50 box when the 1 x 1 box at the mouse shares a pixel with it.
bool hits(const FrameInput& in, int x0, int y0) {
  return mxt_box_collision(in.mouse_x, in.mouse_y, 1, 1, x0, y0, kCellBox, kCellBox) != 0;
}

void clear_marks() {
  for (int r = 0; r <= 8; ++r)
    for (int c = 0; c <= 8; ++c) conflict_mark(c, r) = 0;
}

}  // namespace

FrameInput read_frame_input() {
  FrameInput in;
  mxt_mouse_state(in.mouse_x, in.mouse_y, in.left, in.right);
  for (int d = 1; d <= 9; ++d) in.digit_key[d] = mxt_key(d + 1) != 0;
  return in;
}

// ---------------------------------------------------------------------------
// [SECTION] Start

void reveal_givens() {
  for (int revealed = 0; revealed < 40;) {
    const int c = mxt_rnd(8);
    const int r = mxt_rnd(8);
    if (cell_state(c, r) != 0) continue;
    cell_state(c, r) = 1;
    cell_value(c, r) = solution_grid(c, r);
    ++revealed;
  }
}

void play_start(PlayState& s) {
  s = PlayState{};
  mxt_play_music("theme.mp3", 1);
  reveal_givens();
}

// ---------------------------------------------------------------------------
// [SECTION] One frame

void play_frame(PlayState& s, const FrameInput& in) {
  mouse_x = in.mouse_x;
  mouse_y = in.mouse_y;
  mouse_left = in.left;
  mouse_right = in.right;

  draw_sunburst();
  mxt_draw_sprite(sprites::kBoard, kBoardPictureAt, kBoardPictureAt);

  // Count, then take the click; the first cell hit (lower row, then lower
  // column) takes it, and the cool-down lets one cell change per frame.
  for (int r = 0; r <= 8; ++r) {
    for (int c = 0; c <= 8; ++c) {
      if (cell_value(c, r) > 0 || cell_state(c, r) > 0) digit_count(cell_value(c, r)) += 1;
      const bool click = mouse_left != 0 && s.cooldown == 0 && hits(in, cell_box_x(c), cell_box_y(r)) && s.selected_digit > 0;
      if (click && cell_value(c, r) == s.selected_digit) {
        cell_value(c, r) = 0;
        cell_state(c, r) = 0;
        s.cooldown = 10;
        clear_marks();
      }
      if (click && s.cooldown == 0 && cell_value(c, r) != s.selected_digit && cell_state(c, r) != 1) {
        clear_marks();
        for (int k = 0; k <= 8; ++k) {
          if (cell_value(k, r) == s.selected_digit) {
            conflict_mark(k, r) = 1;
            conflict_mark(c, r) = 1;
          }
          if (cell_value(c, k) == s.selected_digit) {
            conflict_mark(c, k) = 1;
            conflict_mark(c, r) = 1;
          }
        }
        cell_state(c, r) = 2;
        cell_value(c, r) = mxt_to_int(s.selected_digit);
        s.cooldown = 10;
      }
    }
  }

  const int selected = mxt_to_int(s.selected_digit);
  for (int r = 0; r <= 8; ++r) {
    for (int c = 0; c <= 8; ++c) {
      const int fx = cell_frame_x(c), fy = cell_frame_y(r);
      const double dx = cell_digit_x(c), dy = cell_digit_y(r);
      const bool shows_selected = cell_value(c, r) == s.selected_digit && cell_state(c, r) > 0;
      if (shows_selected && s.selected_digit > 0) mxt_draw_anim(sprites::kCell, cell_frames::kSelected, fx, fy);
      if (selected >= 0 && selected <= 9 && digit_count(selected) == 9 && shows_selected)
        mxt_draw_anim(sprites::kCell, cell_frames::kComplete, fx, fy);
      if (conflict_mark(c, r) > 0) mxt_draw_anim(sprites::kCell, cell_frames::kClash, fx, fy);
      if (cell_state(c, r) > 1) draw_digits(dx, dy, RtString(cell_value(c, r)), digit_fonts::kEntered);
      if (cell_state(c, r) == 1) draw_digits(dx, dy, RtString(solution_grid(c, r)), digit_fonts::kGiven);
      if (conflict_mark(c, r) == 1) draw_digits(dx, dy, RtString(cell_value(c, r)), digit_fonts::kClash);
    }
  }

  mxt_draw_sprite(sprites::kMarker, s.marker_x, s.marker_y);

  for (int d = 1; d <= 9; ++d) {
    const int pc = (d - 1) % 3, pr = (d - 1) / 3;
    const int font = d == s.selected_digit ? digit_fonts::kSelected : digit_fonts::kGiven;
    if (digit_count(d) < 9) draw_digits(palette_digit_x(pc), palette_digit_y(pr), RtString(d), font);
    mxt_set_alpha_mode(-0.25);
    if (digit_count(d) == 9) draw_digits(palette_digit_x(pc), palette_digit_y(pr), RtString(d), font);
    mxt_set_alpha_mode(-1.0);
    const bool pick_by_key = in.digit_key[d];
    const bool pick_by_click = mouse_left != 0 && hits(in, palette_box_x(pc), palette_box_y(pr));
    if (pick_by_key || pick_by_click) {
      s.selected_digit = d;
      s.marker_x = marker_x(pc);
      s.marker_y = marker_y(pr);
    }
  }

  mxt_draw_anim(sprites::kPencil, 0, kButtonsLeft, kButtonsTop);
  mxt_draw_anim(sprites::kCross, 0, kButtonsLeft + 80, kButtonsTop);
  mxt_draw_anim(sprites::kHome, 0, kButtonsLeft + 160, kButtonsTop);

  // Held, the button acts again every 10 frames; released, the wait ends twice as fast.
  if (s.cooldown > 0) s.cooldown -= 1;
  if (mouse_left == 0 && s.cooldown > 0) s.cooldown -= 1;

  if (s.won == 1) update_tapes();

  int total = 0;
  for (int d = 1; d <= 9; ++d) {
    if (digit_count(d) == 9) total += 9;
    digit_count(d) = 0;
  }
  if (total == 81 && s.won == 0) {
    for (int i = 0; i < 51; ++i) spawn_tape();
    s.won = 1;
  }
}

void play_loop() {
  PlayState s;
  play_start(s);
  for (;;) {
    play_frame(s, read_frame_input());
    mxt_show_screen();
  }
}

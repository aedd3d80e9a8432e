// The board's rules, one frame at a time, with input made up by the test.
#include <gtest/gtest.h>

#include "game/quiltex.h"
#include "runtime/gfx2d/sprites.h"
#include "support/gl.h"

using namespace mxt_test;

namespace {

class Play : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    size_board();
    mxt_dim(tape_list, 0);
    mxt_seed_rnd(7);
    generate_solution();
    state = PlayState{};
  }

  // A frame with the mouse at (x, y), the left button as given, and keys.
  void frame(int x, int y, int left, std::initializer_list<int> keys = {}) {
    FrameInput in;
    in.mouse_x = x;
    in.mouse_y = y;
    in.left = left;
    for (int d : keys) in.digit_key[d] = true;
    play_frame(state, in);
  }
  void idle(int frames = 1) {
    for (int i = 0; i < frames; ++i) frame(-50, -50, 0);
  }
  // A click in the middle of a cell, then released long enough for the next.
  void click_cell(int c, int r) {
    frame(cell_box_x(c) + kCellBox / 2, cell_box_y(r) + kCellBox / 2, 1);
    idle(6);
  }
  void select(int d) {
    frame(-50, -50, 0, {d});
    idle(1);
  }
  void put(int c, int r, int state_value, int value) {
    cell_state(c, r) = state_value;
    cell_value(c, r) = value;
  }
  PlayState state;
};

}  // namespace

TEST_F(Play, ClickingWithNoDigitSelectedDoesNothing) {
  click_cell(4, 4);
  EXPECT_EQ(cell_state(4, 4), 0);
  EXPECT_EQ(cell_value(4, 4), 0);
  EXPECT_EQ(state.cooldown, 0);
}

TEST_F(Play, AGivenIsEmptiedOnlyByItsOwnDigit) {
  put(2, 3, 1, 6);
  select(4);
  click_cell(2, 3);
  EXPECT_EQ(cell_state(2, 3), 1) << "another digit leaves a given alone";
  select(6);
  click_cell(2, 3);
  EXPECT_EQ(cell_state(2, 3), 0);
  EXPECT_EQ(cell_value(2, 3), 0);
}

TEST_F(Play, APlayersFourIsReplacedByASeven) {
  put(5, 5, 2, 4);
  select(7);
  click_cell(5, 5);
  EXPECT_EQ(cell_state(5, 5), 2);
  EXPECT_EQ(cell_value(5, 5), 7);
}

TEST_F(Play, AnEntryMarksItsRowAndColumnClashesAndIsStillWritten) {
  put(0, 2, 2, 5);  // another 5 in row 2
  put(6, 7, 1, 5);  // and one in column 6
  put(3, 2, 1, 3);  // another digit in the row is no clash
  select(5);
  click_cell(6, 2);
  EXPECT_EQ(cell_value(6, 2), 5);
  EXPECT_EQ(cell_state(6, 2), 2);
  EXPECT_EQ(conflict_mark(6, 2), 1);
  EXPECT_EQ(conflict_mark(0, 2), 1);
  EXPECT_EQ(conflict_mark(6, 7), 1);
  EXPECT_EQ(conflict_mark(3, 2), 0);
  int marked = 0;
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c) marked += conflict_mark(c, r);
  EXPECT_EQ(marked, 3);
  click_cell(6, 2);  // taking it back clears every mark
  EXPECT_EQ(cell_value(6, 2), 0);
  EXPECT_EQ(conflict_mark(0, 2), 0);
}

TEST_F(Play, KeyOneAndPaletteNineInOneFrameLeaveNineSelected) {
  const int pc = 2, pr = 2;  // digit 9
  frame(535 + 80 * pc + 10, 95 + 80 * pr + 10, 1, {1});
  EXPECT_EQ(state.selected_digit, 9);
  EXPECT_EQ(state.marker_x, 523 + 80 * pc);
  EXPECT_EQ(state.marker_y, 85 + 80 * pr);
  frame(-50, -50, 0, {1});
  EXPECT_EQ(state.selected_digit, 1);
}

TEST_F(Play, InTheOverlapOfTwoBoxesTheLowerRowAndColumnTakeTheClick) {
  select(3);
  // x 27 + 47*1 .. + 49 overlaps cell 2 starting at 27 + 47*2: x = 121..123
  frame(122, cell_box_y(4) + kCellBox / 2, 1);
  EXPECT_EQ(cell_value(1, 4), 3);
  EXPECT_EQ(cell_value(2, 4), 0);
  idle(6);
  frame(cell_box_x(6) + kCellBox / 2, cell_box_y(5) + 48, 1);  // rows 5 and 6 overlap
  EXPECT_EQ(cell_value(6, 5), 3);
  EXPECT_EQ(cell_value(6, 6), 0);
}

TEST_F(Play, AHeldButtonTogglesTheCellEveryTenFrames) {
  select(8);
  std::vector<int> values;
  for (int f = 0; f < 31; ++f) {
    frame(cell_box_x(7) + kCellBox / 2, cell_box_y(7) + kCellBox / 2, 1);
    values.push_back(cell_value(7, 7));
  }
  EXPECT_EQ(values[0], 8);
  EXPECT_EQ(values[9], 8);
  EXPECT_EQ(values[10], 0) << "taken back ten frames later";
  EXPECT_EQ(values[19], 0);
  EXPECT_EQ(values[20], 8);
  EXPECT_EQ(values[30], 0);
  // Released, the wait ends twice as fast.
  idle(1);
  EXPECT_EQ(state.cooldown, 7);
}

TEST_F(Play, TheWinComesTheFrameAfterTheLastDigitAndTheTapeMovesOneLater) {
  // Everything but one cell from the solution.
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c) put(c, r, 1, solution_grid(c, r));
  const int last = solution_grid(8, 8);
  put(8, 8, 0, 0);
  select(last);
  frame(cell_box_x(8) + kCellBox / 2, cell_box_y(8) + kCellBox / 2, 1);
  EXPECT_EQ(cell_value(8, 8), last);
  EXPECT_EQ(state.won, 0) << "the counts of that frame came before the click";
  frame(-50, -50, 0);
  EXPECT_EQ(state.won, 1);
  ASSERT_EQ(tape_list.count, 51);
  const double y0 = tape_list(0).y;
  frame(-50, -50, 0);
  EXPECT_NE(tape_list(0).y, y0) << "the particles move from the next frame on";
  frame(-50, -50, 0);
  EXPECT_EQ(tape_list.count, 51) << "released once";
}

TEST_F(Play, FortyGivensAreRevealedFromTheSolution) {
  reveal_givens();
  int givens = 0;
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c)
      if (cell_state(c, r) == 1) {
        ++givens;
        EXPECT_EQ(cell_value(c, r), solution_grid(c, r));
      }
  EXPECT_EQ(givens, 40);
}

TEST(Effects, TheStarBurstTurnsOneDegreeEverySecondFrame) {
  ray_angle = 0;
  ray_toggle = 0;
  mxt::VuduRODoverore* r = make_renderer(64, 64);
  ASSERT_NE(r, nullptr);
  draw_sunburst();
  EXPECT_EQ(ray_angle, 0);
  EXPECT_EQ(ray_colour_a, 0xFF8000);
  EXPECT_EQ(ray_colour_b, 0xFF6000);
  draw_sunburst();
  EXPECT_EQ(ray_angle, 1);
  draw_sunburst();
  draw_sunburst();
  EXPECT_EQ(ray_angle, 2);
  destroy_renderer(r);
}

TEST(Effects, TapeFramesBounceWrapAndStayInTheStrip) {
  mxt_dim(tape_list, 0);
  mxt_seed_rnd(3);
  Ttape t;
  t.frame = 5;  // mxt_rnd(5) can give 5
  t.y = 479;
  t.fall = 4;
  t.spin = 7;
  t.strip_row = 6;
  t.direction = 0;
  mxt_array_push(tape_list, t);
  update_tapes();  // no renderer: nothing drawn, the record still moves
  const Ttape& u = tape_list(0);
  EXPECT_EQ(u.y, -10) << "past the bottom it starts again at the top";
  EXPECT_GE(u.x, 5);
  EXPECT_LE(u.x, 795);
  EXPECT_EQ(u.fall, 4);
  EXPECT_EQ(u.angle, 7);
  EXPECT_LE(u.frame, 4);
  for (int i = 0; i < 200; ++i) {
    update_tapes();
    const Ttape& v = tape_list(0);
    ASSERT_GE(v.frame, 0);
    ASSERT_LE(v.frame, 4);
    ASSERT_LE(v.strip_row * 5 + v.frame, 34);
  }
  // A fresh particle with phase 5 is clamped to 4 and turns round at once.
  Ttape w;
  w.frame = 5;
  w.phase_counter = 0;
  mxt_dim(tape_list, 0);
  mxt_array_push(tape_list, w);
  update_tapes();
  EXPECT_EQ(tape_list(0).frame, 4);
  EXPECT_EQ(tape_list(0).direction, 1);
}

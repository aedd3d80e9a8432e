// The mouse and touch through real SDL events: positions in screen
// coordinates under every orientation and a scaled virtual screen, buttons,
// wheel and speeds, the pointer slots, the hidden pointer, the wait for a click.
#include "runtime/base/singletons.h"
#include <moxtril.h>
#include "input/input_fixture.h"

using namespace input_test;

namespace {

struct Reading {
  int x, y, b1, b2;
};

Reading read_mouse() {
  Reading r{};
  mxt_mouse_state(r.x, r.y, r.b1, r.b2);
  return r;
}

// The window pixel of a logical point under the renderer's orientation and
// virtual screen, worked out the long way round.
void window_point(int lx, int ly, int* wx, int* wy) {
  const mxt::VirtualScreen& vs = mxt::rt.renderer->virtual_screen;
  if (vs.scale != 0) {
    lx = vs.offset_x + static_cast<int>(static_cast<float>(lx) * vs.scale);
    ly = vs.offset_y + static_cast<int>(static_cast<float>(ly) * vs.scale);
  }
  mxt::logical_to_window(mxt::rt.renderer->orientation, lx, ly, kWidth, kHeight, wx, wy);
}

}  // namespace

TEST_F(InputTest, AClickAtALogicalPointReportsThatPointUnderEveryOrientation) {
  for (int o = 0; o < 4; ++o) {
    mxt_set_orientation(o);
    for (const auto& [lx, ly] : {std::pair{37, 101}, std::pair{0, 0}, std::pair{kHeight - 1, 5}}) {
      int wx, wy;
      window_point(lx, ly, &wx, &wy);
      move(wx, wy);
      button(1, true, wx, wy);
      pump();
      const Reading r = read_mouse();
      EXPECT_EQ(r.x, lx) << "orientation " << o;
      EXPECT_EQ(r.y, ly) << "orientation " << o;
      EXPECT_EQ(r.b1, 1);
      EXPECT_EQ(r.b2, 0);
      button(1, false, wx, wy);
      pump();
      EXPECT_EQ(read_mouse().b1, 0);
    }
  }
}

TEST_F(InputTest, AScaledVirtualScreenReportsItsOwnPixelsTruncatedTowardZero) {
  mxt_set_virtual_resolution(320, 240);  // 800 x 480: scale 2, offsets (80, 0)
  ASSERT_EQ(mxt::rt.renderer->virtual_screen.scale, 2.0f);
  ASSERT_EQ(mxt::rt.renderer->virtual_screen.offset_x, 80);
  for (const auto& [lx, ly] : {std::pair{10, 20}, std::pair{0, 0}, std::pair{319, 239}}) {
    int wx, wy;
    window_point(lx, ly, &wx, &wy);
    move(wx, wy);
    button(2, true, wx, wy);
    pump();
    const Reading r = read_mouse();
    EXPECT_EQ(r.x, lx);
    EXPECT_EQ(r.y, ly);
    EXPECT_EQ(r.b2, 1) << "the right button";
    button(2, false, wx, wy);
    pump();
  }
  // Over the margin: window x 81 and 79 both give 0, x 60 gives -10.
  for (const auto& [wx, lx] : {std::pair{81, 0}, std::pair{79, 0}, std::pair{60, -10}}) {
    move(wx, 100);
    pump();
    EXPECT_EQ(read_mouse().x, lx) << "window x " << wx;
  }
  // The virtual screen and a quarter turn together
  mxt_set_orientation(3);
  int wx, wy;
  window_point(50, 60, &wx, &wy);
  move(wx, wy);
  pump();
  const Reading r = read_mouse();
  EXPECT_EQ(r.x, 50);
  EXPECT_EQ(r.y, 60);
}

TEST_F(InputTest, ButtonsWheelAndSpeedsReadWithoutCommitting) {
  move(100, 100);
  pump();
  read_mouse();  // commit at (100, 100)
  move(110, 95);
  button(3, true, 110, 95);
  button(2, true, 110, 95);
  wheel(3);
  pump();
  EXPECT_EQ(mxt_mouse_axis(0), 10);
  EXPECT_EQ(mxt_mouse_axis(1), -5);
  EXPECT_EQ(mxt_mouse_axis(3), 0);
  EXPECT_EQ(mxt_mouse_axis(4), 1);
  EXPECT_EQ(mxt_mouse_axis(5), 1);
  EXPECT_EQ(mxt_mouse_axis(6), 0);
  EXPECT_EQ(mxt_mouse_axis(-1), 0);
  // A reading takes one step whatever the size of the movement; steps add
  // up until a commit, with the pointer shown too.
  wheel(1);
  pump();
  EXPECT_EQ(mxt_mouse_axis(2), 2);
  wheel(-4);
  pump();
  EXPECT_EQ(mxt_mouse_axis(2), 1);
  EXPECT_EQ(mxt_mouse_axis(0), 10) << "speeds stay measured from the last commit";
  read_mouse();
  EXPECT_EQ(mxt_mouse_axis(2), 0);
  EXPECT_EQ(mxt_mouse_axis(0), 0);
  // Speeds turn with the screen
  mxt_set_orientation(1);
  move(113, 99);
  pump();
  EXPECT_EQ(mxt_mouse_axis(0), 4);   // down the window is right on the turned screen
  EXPECT_EQ(mxt_mouse_axis(1), -3);
}

TEST_F(InputTest, TwoFingersHoldTwoSlotsUntilTheyLiftAndTheMouseHoversInTheNextFree) {
  EXPECT_EQ(mxt_mouse_count(), 32);
  finger(EventType::finger_down, 7, 0.25f, 0.5f);
  finger(EventType::finger_down, 9, 0.75f, 0.125f);
  move(400, 300);
  pump();
  mxt_select_mouse(0);
  Reading r = read_mouse();
  EXPECT_EQ(r.x, 200);
  EXPECT_EQ(r.y, 240);
  EXPECT_EQ(r.b1, 1) << "a touching finger is the first button";
  mxt_select_mouse(1);
  r = read_mouse();
  EXPECT_EQ(r.x, 600);
  EXPECT_EQ(r.y, 60);
  EXPECT_EQ(r.b1, 1);
  mxt_select_mouse(2);
  r = read_mouse();
  EXPECT_EQ(r.x, 400) << "the hovering mouse";
  EXPECT_EQ(r.b1, 0);

  finger(EventType::finger_move, 7, 0.5f, 0.5f);
  finger(EventType::finger_up, 7, 0.5f, 0.5f);
  pump();
  mxt_select_mouse(0);
  r = read_mouse();
  EXPECT_EQ(r.x, 400) << "a lifted finger leaves its last position";
  EXPECT_EQ(r.b1, 0);
  EXPECT_EQ(in().pointers[0].owner, 0);
  EXPECT_EQ(in().pointers[1].owner, mxt::kTouchPointer) << "the other finger keeps its slot";

  finger(EventType::finger_down, 11, 0.0f, 1.0f);
  pump();
  r = read_mouse();
  EXPECT_EQ(r.x, 0) << "a new finger takes the first free slot";
  EXPECT_EQ(r.y, kHeight - 1);
  EXPECT_EQ(in().pointers[0].finger, 11);
}

TEST_F(InputTest, SelectingAMouseOutsideTheSlotsSelectsTheFirst) {
  mxt_select_mouse(5);
  EXPECT_EQ(in().current_mouse, 5);
  EXPECT_EQ(in().mice.size(), 32u) << "the records grow to one per slot";
  mxt_select_mouse(40);
  EXPECT_EQ(in().current_mouse, 0);
  mxt_select_mouse(-3);
  EXPECT_EQ(in().current_mouse, 0);
}

TEST_F(InputTest, AHiddenPointerMovesByRelativeMotionInsideTheWindowAndReappearsWhereItWas) {
  mxt_show_pointer(0);
  EXPECT_FALSE(in().pointer_visible);
  mxt_set_mouse(50, 50);
  move(700, 10, 30, -70);  // the position does not count, only the motion
  pump();
  Reading r = read_mouse();
  EXPECT_EQ(r.x, 80);
  EXPECT_EQ(r.y, 0) << "held inside the window";
  move(0, 0, 5000, 5000);
  button(1, true, 0, 0);
  pump();
  r = read_mouse();
  EXPECT_EQ(r.x, kWidth);
  EXPECT_EQ(r.y, kHeight);
  EXPECT_EQ(r.b1, 1);
  button(1, false, 0, 0);
  move(0, 0, -300, -200);
  pump();
  r = read_mouse();
  ASSERT_EQ(r.x, 500);
  ASSERT_EQ(r.y, 280);

  mxt_show_pointer(std::numeric_limits<double>::quiet_NaN());  // anything but 0 shows it
  EXPECT_TRUE(in().pointer_visible);
  pump();  // the system pointer was moved to the runtime's position
  r = read_mouse();
  EXPECT_EQ(r.x, 500);
  EXPECT_EQ(r.y, 280);
}

TEST_F(InputTest, SetMouseMovesTheRuntimesPointerInScreenCoordinates) {
  mxt_show_pointer(0);
  mxt_set_virtual_resolution(400, 300);  // scale 1.5
  mxt_set_orientation(2);
  for (const auto& [x, y] : {std::pair{1, 1}, std::pair{7, 11}, std::pair{200, 150}}) {
    mxt_set_mouse(x, y);
    const Reading r = read_mouse();
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
  }
}

TEST_F(InputTest, WaitMouseReturnsAfterPressAndRelease) {
  move(30, 40);
  pump();
  script_person({{10, [] { button(1, true, 30, 40); }}, {20, [] { button(1, false, 30, 40); }}});
  mxt_wait_mouse();
  EXPECT_GE(WaitScript::waits, 20) << "not before the release";
  EXPECT_LE(WaitScript::waits, 22) << "at the first look after it";
  EXPECT_EQ(mxt::rt.core->frame.wait_mode, mxt::WaitMode::none);
  EXPECT_EQ(read_mouse().b1, 0);
}

TEST_F(InputTest, AClickWhosePressAndReleaseArriveTogetherIsReadOnce) {
  for (const double pointer : {1.0, 0.0}) {  // the system pointer shown, and hidden (exclusive)
    SCOPED_TRACE(pointer);
    mxt_show_pointer(pointer);
    pump();
    read_mouse();
    move(50, 60);
    button(1, true, 50, 60);
    button(1, false, 50, 60);
    pump();  // both in one pump: the button is up again before any reading
    EXPECT_EQ(mxt_mouse_axis(3), 1) << "a reading that commits nothing sees it too";
    EXPECT_EQ(read_mouse().b1, 1) << "the press is latched until read";
    EXPECT_EQ(read_mouse().b1, 0) << "and read once";
    button(2, true, 50, 60);
    button(2, false, 50, 60);
    pump();
    const Reading r = read_mouse();
    EXPECT_EQ(r.b2, 1);
    EXPECT_EQ(r.b1, 0) << "only the button that went down";
  }
}

TEST_F(InputTest, WaitMouseTakesAClickWhosePressAndReleaseComeInOnePass) {
  move(30, 40);
  pump();
  script_person({{10, [] {
    button(1, true, 30, 40);
    button(1, false, 30, 40);
  }}});
  mxt_wait_mouse();
  EXPECT_GE(WaitScript::waits, 10);
  EXPECT_LE(WaitScript::waits, 12) << "taken at once, not waited past";
  EXPECT_EQ(read_mouse().b1, 0) << "the wait took the click";
}

// Path finding.
//
// A map is a two-dimensional array of costs, one per tile: 0 is a wall, a
// higher number a slower tile. mxt_find_path finds the way from one tile to
// another with four-way steps and writes it into an array of n x 2
// integers, the x and y of each tile from the start to the goal. The weight
// chooses between the cheapest way (0) and the most direct (1).
//
// What this shows: a cost map drawn as tiles, a sprite walking the path it
// was given, and the path planned again from where the sprite stands when a
// click puts a wall in (or takes one out). The path is the same for the same
// map every time, so a recorded game replays.
//
// It runs on its own from a hand-written replay file of clicks
// (pathfind.replay beside this file):
//   SDL_VIDEODRIVER=offscreen MXT_REPLAY=pathfind.replay MXT_FRAMES=120 ./example_pathfind
#include <moxtril.h>

namespace {

constexpr int kTile = 16;                  // pixels
constexpr int kColumns = 20, kRows = 15;   // the 320 x 240 screen
constexpr int kWalker = 1;                 // the sprite
constexpr int kFramesPerStep = 4;          // frames the walker takes per tile
constexpr double kWeight = 0.3;            // mostly the cheapest way, a little pull toward the goal

constexpr double kGrass = 1, kMud = 4, kWall = 0;

RtArray<double> map;   // map(x, y): the cost of tile (x, y)
RtArray<int> path;     // path(k, 0), path(k, 1): the k-th tile
int steps = 0;         // tiles on the path
int at = 0;            // the walker's tile on the path
int walker_x = 1, walker_y = 7;
int goal_x = 18, goal_y = 7;
bool was_down = false;

// A yellow disc with a dark rim on transparent corners (0xAABBGGRR).
void make_walker() {
  RtArray<int32_t> pixels;
  mxt_dim(pixels, kTile * kTile);
  for (int y = 0; y < kTile; ++y)
    for (int x = 0; x < kTile; ++x) {
      const int dx = 2 * x + 1 - kTile, dy = 2 * y + 1 - kTile, d = dx * dx + dy * dy;
      uint32_t c = 0;
      if (d <= 14 * 14) c = 0xFF00E0FF;
      else if (d <= 16 * 16) c = 0xFF004060;
      pixels(y * kTile + x) = static_cast<int>(c);
    }
  mxt_sprite_from_array(pixels, kWalker, kTile, kTile);
}

// Grass everywhere, a mud field in the middle, and a wall with two gaps.
void make_map() {
  mxt_dim(map, kColumns, kRows);
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kColumns; ++x) map(x, y) = kGrass;
  for (int y = 4; y <= 10; ++y)
    for (int x = 11; x <= 15; ++x) map(x, y) = kMud;
  for (int y = 1; y < kRows - 1; ++y)
    if (y != 3 && y != 11) map(6, y) = kWall;
}

// A new path from the walker's tile (or the first start) to the goal.
void plan(int from_x, int from_y) {
  steps = mxt_find_path(map, path, kWeight, from_x, from_y, goal_x, goal_y);
  at = 0;
  if (steps > 0)
    mxt_stdout(RtString("path of ") + steps + " tiles from " + from_x + " " + from_y + "\n");
  else
    mxt_stdout(RtString("no way from ") + from_x + " " + from_y + "\n");
}

// A click puts a wall on a tile, or takes one away, and the walker plans
// again from where it stands. Its own tile and the goal are left alone.
void read_clicks() {
  int x = 0, y = 0, left = 0, right = 0;
  mxt_mouse_state(x, y, left, right);
  const bool pressed = left && !was_down;
  was_down = left != 0;
  if (!pressed) return;
  const int tx = x / kTile, ty = y / kTile;
  if (x < 0 || y < 0 || tx >= kColumns || ty >= kRows) return;
  if ((tx == walker_x && ty == walker_y) || (tx == goal_x && ty == goal_y)) return;
  map(tx, ty) = map(tx, ty) == kWall ? kGrass : kWall;
  mxt_stdout(RtString(map(tx, ty) == kWall ? "wall at " : "no wall at ") + tx + " " + ty + "\n");
  plan(walker_x, walker_y);
}

void draw(int frame) {
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kColumns; ++x) {
      const double c = map(x, y);
      const int colour = c == kWall ? 0x505050 : c == kMud ? 0x204070 : 0x40A040;
      mxt_draw_rect(x * kTile, y * kTile, kTile - 1, kTile - 1, colour);
    }
  mxt_draw_rect(goal_x * kTile + 3, goal_y * kTile + 3, kTile - 7, kTile - 7, 0x0000FF);  // the goal: red
  for (int k = at + 1; k < steps; ++k)                                                   // the way ahead: white dots
    mxt_draw_rect(path(k, 0) * kTile + 6, path(k, 1) * kTile + 6, 3, 3, 0xFFFFFF);
  // Between two tiles the walker slides, a quarter tile a frame.
  int px = walker_x * kTile, py = walker_y * kTile;
  if (at + 1 < steps) {
    const int part = frame % kFramesPerStep;
    px += (path(at + 1, 0) - walker_x) * kTile * part / kFramesPerStep;
    py += (path(at + 1, 1) - walker_y) * kTile * part / kFramesPerStep;
  }
  mxt_draw_sprite(kWalker, px, py);
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = kColumns * kTile;
  mxt_settings().screen_height = kRows * kTile;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: path finding";
}

int mxt_main() {
  mxt_set_clear_colour(0x000000);
  make_walker();
  make_map();
  plan(walker_x, walker_y);
  for (int frame = 1;; ++frame) {
    read_clicks();
    if (frame % kFramesPerStep == 0 && at + 1 < steps) {
      ++at;
      walker_x = path(at, 0);
      walker_y = path(at, 1);
      if (at + 1 == steps) mxt_stdout(RtString("arrived at ") + goal_x + " " + goal_y + "\n");
    }
    draw(frame);
    mxt_show_screen();
  }
}

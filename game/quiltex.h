// Quiltex: a 9 x 9 number-placement puzzle on the Moxtril runtime.
//
// The game's data are process-wide, as the runtime's games keep them: the
// board arrays (indices are column, row), the frame variables and the ticker
// tape. mxt_main sets the window up, loads the media, sizes the arrays, has
// the generator build a solution grid and enters the play loop, which never
// returns. The per-frame work is a function of its own so that tests can
// drive frames with input they make up.
#pragma once

#include <cstdint>

#include "runtime/moxtril.h"

// ---------------------------------------------------------------------------
// Board and frame data

extern RtArray<int32_t> solution_grid;  // 20 x 20; the complete grid, digits 1..9
extern RtArray<int32_t> cell_state;     // 20 x 20; 0 empty, 1 given, 2 entered by the player
extern RtArray<int32_t> cell_value;     // 20 x 20; the digit the cell shows, 0 none
extern RtArray<int32_t> conflict_mark;  // 20 x 20; 1 = marked by the last entry's check
extern RtArray<int32_t> digit_count;    // 10; per frame, how many cells show each digit

extern int32_t mouse_x, mouse_y, mouse_left, mouse_right;

// A falling paper strip of the ticker tape.
class Ttape {
 public:
  virtual ~Ttape() = default;
  virtual void touch() {}  // the record's one operation; it does nothing
  double x = 0, y = 0;
  double spin = 0;            // degrees added to the angle per frame
  double fall = 0;            // pixels added to y per frame
  double frame = 0;           // animation phase, 0..4
  double angle = 0;
  double unused_a = 0, unused_b = 0;
  double strip_row = 0;       // which group of five frames (the paper colour)
  double phase_counter = 0;
  double direction = 0;       // 0: the phase rises, 1: it falls
};
extern RtArray<Ttape> tape_list;

// ---------------------------------------------------------------------------
// The game's parts

void size_board();  // the board arrays sized, all zero

// Builds a complete, valid grid in solution_grid by random trial placement;
// starts over whenever 50 attempts in a row fail after a success. Reports
// what it did, for tests and curious players.
struct GeneratorReport {
  int attempts = 0;             // every attempt, over all grids
  int restarts = 0;             // grids abandoned
  bool candidates_in_block = true;
};
GeneratorReport generate_solution();

// The input one frame reads.
struct FrameInput {
  int mouse_x = 0, mouse_y = 0, left = 0, right = 0;
  bool digit_key[10] = {};  // digit_key[d]: the main-keyboard key of digit d is down
};
FrameInput read_frame_input();

struct PlayState {
  double selected_digit = 0;  // 1..9; 0 = none
  int marker_x = -100, marker_y = -100;
  int cooldown = 0;           // frames until the next board click is taken
  int won = 0;
};

void reveal_givens();                                    // 40 random cells of the solution
void play_start(PlayState& s);                           // music and the 40 givens
void play_frame(PlayState& s, const FrameInput& input);  // one frame, everything but presenting it
[[noreturn]] void play_loop();

// The background and the ticker tape.
extern int32_t ray_angle;   // whole degrees; 1 more every second frame
extern int32_t ray_toggle;  // 0 or 1, flips every frame
extern int32_t ray_colour_a, ray_colour_b;
void draw_sunburst();
void spawn_tape();
void update_tapes();

// Where things are on the 800 x 480 screen.
int block_gap(int i);  // 0, 2 or 4 pixels for board index i
void draw_digits(double x, double y, const RtString& text, int font);

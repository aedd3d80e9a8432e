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

#include <moxtril.h>

// ---------------------------------------------------------------------------
// Board and frame data

extern RtArray<int32_t> solution_grid;  // 20 x 20; the complete grid, digits 1..9
extern RtArray<int32_t> cell_state;     // 20 x 20; 0 empty, 1 given, 2 entered by the player
extern RtArray<int32_t> cell_value;     // 20 x 20; the digit the cell shows, 0 none
extern RtArray<int32_t> conflict_mark;  // 20 x 20; 1 = marked by the last entry's check
extern RtArray<int32_t> digit_count;    // 10; per frame, how many cells show each digit

extern int32_t mouse_x, mouse_y, mouse_left, mouse_right;

// A falling paper strip of the ticker tape. The record keeps the layout the
// game has always had: a class with one virtual operation that does nothing,
// and two numbers nothing uses.
class Ttape {
 public:
  virtual ~Ttape() = default;
  virtual void touch() {}  // the record's one operation; it does nothing
  double x = 0, y = 0;
  double spin = 0;            // degrees added to the angle per frame
  double fall = 0;            // pixels added to y per frame
  double frame = 0;           // animation phase, 0..4
  double angle = 0;
  double unused_a = 0, unused_b = 0;  // kept in the record, never read
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
  bool candidates_in_block = true;  // every candidate stayed in its 3 x 3 block (a check for tests)
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

// ---------------------------------------------------------------------------
// The game's pictures: sprite numbers and frames

namespace sprites {
constexpr int kBoard = 1;           // the board picture
constexpr int kMarker = 5;          // behind the selected digit of the palette
constexpr int kCell = 10;           // cell highlights, 45 x 45 frames
constexpr int kTicker = 17;         // ticker-tape strips, 12 x 12 frames, five per paper colour
constexpr int kPencil = 50;         // the three buttons, 72 x 72 frames
constexpr int kCross = 60;
constexpr int kHome = 70;
constexpr int kDigitFont = 1000;    // + 0..3: the four digit fonts, 16 x 25 frames; frame n shows "0" + n
constexpr int kSmallFont = 1005;    // 6 x 8 frames; loaded, not drawn
}  // namespace sprites

namespace cell_frames {
constexpr int kSelected = 0;        // the cell shows the selected digit
constexpr int kClash = 1;           // marked by the last entry's check
constexpr int kComplete = 2;        // the selected digit stands nine times
}  // namespace cell_frames

namespace digit_fonts {
constexpr int kGiven = 0;           // given digits and the palette
constexpr int kSelected = 1;        // the selected digit in the palette
constexpr int kEntered = 2;         // digits the player wrote
constexpr int kClash = 3;           // digits of marked cells
}  // namespace digit_fonts

// ---------------------------------------------------------------------------
// Where things are on the 800 x 480 screen

constexpr int kBoardLeft = 27;      // cell (0, 0)'s click box, left and top
constexpr int kCellPitch = 47;      // from one cell to the next
constexpr int kCellBox = 50;        // the click box of a cell (and of a palette digit)
int block_gap(int i);               // 0, 2 or 4 pixels for board index i, between the 3 x 3 blocks
inline int cell_box_x(int c) { return kBoardLeft + kCellPitch * c; }  // click boxes take no gaps
inline int cell_box_y(int r) { return kBoardLeft + kCellPitch * r; }
inline int cell_frame_x(int c) { return cell_box_x(c) + block_gap(c); }  // highlights do
inline int cell_frame_y(int r) { return cell_box_y(r) + block_gap(r); }
inline int cell_digit_x(int c) { return 44 + kCellPitch * c; }           // digits: gaps down, not across
inline int cell_digit_y(int r) { return 37 + kCellPitch * r + block_gap(r); }
inline int palette_digit_x(int column) { return 550 + 80 * column; }     // digit d at column (d-1) % 3, row (d-1) / 3
inline int palette_digit_y(int row) { return 110 + 80 * row; }
inline int palette_box_x(int column) { return 535 + 80 * column; }
inline int palette_box_y(int row) { return 95 + 80 * row; }
inline int marker_x(int column) { return 523 + 80 * column; }
inline int marker_y(int row) { return 85 + 80 * row; }
constexpr int kButtonsLeft = 523;   // the three buttons, 80 pixels apart
constexpr int kButtonsTop = 325;
constexpr int kBoardPictureAt = 23; // the board picture's left and top

void draw_digits(double x, double y, const RtString& text, int font);

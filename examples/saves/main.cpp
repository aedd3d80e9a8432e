// Saving: a high-score table in an INI file and a save game in a file
// channel.
//
// Players must never lose a save. The runtime writes an INI file (and a
// line file) back whole, to a new file beside the old one that is flushed to
// disk and renamed over it, so a crash, a kill or a full disk leaves the old
// file or the new one, never half of each. It does so when the game opens
// another INI file and when the program ends, on every way out: the end of
// mxt_main, Escape, the close button, even a fatal error.
//
// A file written through a channel is the game's own, written as it goes.
// To keep a save game just as safe, this one takes turns between two files,
// each with a save counter first and an end mark last: a save overwrites
// only the older of the two, and loading takes the newer one that is whole.
// A save cut short by a crash leaves the previous one to load.
//
// Each run plays one "level": it loads the save game if there is one, adds
// its score to the table, shows the table as bars and saves again. Run it a
// few times and watch the table fill.
//
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=3 ./example_saves   # writes scores.ini, save1.dat, save2.dat beside itself
#include <moxtril.h>

namespace {

constexpr int kPlaces = 5;
constexpr int kMagic = 0x56415351;  // "QSAV", the first 4 bytes of a save game
constexpr int kEndMark = 0x444E45;  // "END", the last 4
constexpr int kVersion = 1;
const char* const kSlots[2] = {"save1.dat", "save2.dat"};

struct SaveGame {
  int counter = 0;  // which save is newer
  int level = 0;
  int score = 0;
  double x = 0, y = 0;
  RtString player = "Ann";
};

// A save game is typed values, little-endian, in a fixed order. Reading past
// the end of a file on disk ends the program, so a save that may be cut
// short is checked for its size first: magic, counter, version, level,
// score, x, y take 4 + 4 + 1 + 2 + 4 + 4 + 8 bytes, then the name's line
// and the end mark.
bool load_slot(const char* name, SaveGame& game) {
  const int ch = mxt_free_channel();
  if (ch < 0 || !mxt_open_file(ch, name, 1)) return false;  // none yet: false (and error 3), nothing more
  mxt_file_seek(ch, 0, -1);
  const int64_t size = mxt_file_position(ch);  // at the end: the size
  mxt_file_seek(ch, 0, 0);
  int magic = 0, version = 0, end = 0;
  bool ok = size >= 27 + 2 + 4;
  if (ok) {
    mxt_read_int32(ch, magic);
    mxt_read_int32(ch, game.counter);
    mxt_read_uint8(ch, version);
    mxt_read_int16(ch, game.level);
    mxt_read_int32(ch, game.score);
    mxt_read_float(ch, game.x);
    mxt_read_double(ch, game.y);
    mxt_read_line(ch, game.player);  // text as a line: CR LF written, read back without it
    ok = magic == kMagic && version == kVersion && mxt_file_position(ch) + 4 <= size;
  }
  if (ok) {
    mxt_read_int32(ch, end);
    ok = end == kEndMark;
  }
  mxt_close_file(ch);
  return ok;
}

bool load_game(SaveGame& game) {
  SaveGame a, b;
  const bool have_a = load_slot(kSlots[0], a);
  const bool have_b = load_slot(kSlots[1], b);
  if (!have_a && !have_b) return false;
  game = (have_a && (!have_b || a.counter > b.counter)) ? a : b;
  return true;
}

void save_game(SaveGame& game) {
  game.counter += 1;
  const int ch = mxt_free_channel();
  if (ch < 0 || !mxt_open_file(ch, kSlots[game.counter % 2], 0)) return;  // 0: written anew
  mxt_write_int32(ch, kMagic);
  mxt_write_int32(ch, game.counter);
  mxt_write_uint8(ch, kVersion);
  mxt_write_int16(ch, game.level);
  mxt_write_int32(ch, game.score);
  mxt_write_float(ch, game.x);
  mxt_write_double(ch, game.y);
  mxt_write_line(ch, game.player);
  mxt_write_int32(ch, kEndMark);
  mxt_close_file(ch);
}

// The table lives in section [Scores] as name1/score1 ... name5/score5.
// mxt_ini_get gives the default for a key that is not there.
int score_at(int place) { return mxt_ini_get("Scores", "score" + RtString(place), "0").to_int(); }

void add_score(const RtString& player, int score) {
  int place = kPlaces + 1;
  while (place > 1 && score > score_at(place - 1)) --place;
  if (place > kPlaces) return;
  for (int p = kPlaces; p > place; --p) {  // move the lower places down one
    mxt_ini_put("Scores", "name" + RtString(p), mxt_ini_get("Scores", "name" + RtString(p - 1), ""));
    mxt_ini_put("Scores", "score" + RtString(p), mxt_ini_get("Scores", "score" + RtString(p - 1), ""));
  }
  mxt_ini_put("Scores", "name" + RtString(place), player);
  mxt_ini_put("Scores", "score" + RtString(place), RtString(score));
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 240;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: saves";
}

int mxt_main() {
  mxt_set_clear_colour(0x202020);

  // Reading a missing INI file gives an empty one; it is made at the first
  // write-back. Names are relative to the program's folder, which start-up
  // made current; the write-back goes to this file even if the game moves
  // to another folder before the end.
  mxt_ini_open("scores.ini");
  const int runs = mxt_ini_get("Stats", "runs", "0").to_int() + 1;  // atoi
  mxt_ini_put("Stats", "runs", RtString(runs));

  SaveGame game;
  if (load_game(game))
    mxt_stdout("loaded level " + RtString(game.level) + ", score " + RtString(game.score) + ", " + game.player + " at " +
               RtString(game.x) + ", " + RtString(game.y) + "\n");
  else
    mxt_stdout("new game\n");

  // One level played: points depend on the level, so each run scores higher.
  game.level += 1;
  game.score = 100 * game.level + 25 * (runs % 3);
  game.x = 10.5 * game.level;
  game.y = -0.25;
  save_game(game);
  add_score(game.player, game.score);

  for (int place = 1; place <= kPlaces; ++place) {
    const RtString name = mxt_ini_get("Scores", "name" + RtString(place), "-");
    mxt_stdout(RtString(place) + ". " + name + " " + RtString(score_at(place)) + "\n");
  }

  // No explicit save of the table: the end writes the changed INI file back.
  for (int frame = 0; frame < 300; ++frame) {
    for (int place = 1; place <= kPlaces; ++place)
      mxt_draw_rect(20, 20 + place * 30, score_at(place) / 4, 20, 0x40C0FF);
    mxt_show_screen();
  }
  return 0;
}

// Quiltex from outside, as a player would play it: a replay file fills the
// board (with one deliberate clash on the way), the real program runs it
// headless, and the screenshots before and after the win are checked.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "runtime/gfx2d/image.h"
#include "game/quiltex.h"
#include "support/child.h"

using namespace mxt_test;

namespace {

constexpr int kSeed = 2024;

struct Cell {
  int c, r;
};

int cell_centre_x(int c) { return cell_box_x(c) + kCellBox / 2; }
int cell_centre_y(int r) { return cell_box_y(r) + kCellBox / 2; }

// The puzzle the program will show for the seed: the same generator and the
// same draws, made here.
void make_puzzle() {
  size_board();
  mxt_seed_rnd(kSeed);
  generate_solution();
  reveal_givens();
}

class Script {
 public:
  Script() { out_ << "moxtril-replay 1\nseed " << kSeed << "\n"; }
  int frame = 30;  // past the five settle frames and the loading
  void key(int digit) {
    out_ << frame << " key-down " << digit + 1 << "\n" << frame + 1 << " key-up " << digit + 1 << "\n";
    frame += 3;
  }
  // A click released at once; the next click waits out the cool-down.
  void click(int c, int r) {
    out_ << frame << " mouse-move " << cell_centre_x(c) << " " << cell_centre_y(r) << "\n";
    out_ << frame << " mouse-down 1\n" << frame + 1 << " mouse-up 1\n";
    frame += 7;
  }
  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
};

struct Picture {
  mxt::ImageBuffer image;
  std::array<int, 3> at(int x, int y) const {
    const uint8_t* p = image.pixel(x, y);
    return {p[0], p[1], p[2]};
  }
  // The darkest pixel (by its sum) of a box.
  int darkest(int x0, int y0, int w, int h) const {
    int best = 3 * 255;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) {
        const auto p = at(x, y);
        best = std::min(best, p[0] + p[1] + p[2]);
      }
    return best;
  }
  template <class F>
  int count(F&& match) const {
    int n = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) n += match(at(x, y)) ? 1 : 0;
    return n;
  }
};

Picture load(const std::string& path) {
  Picture p;
  const std::string bytes = read_file(path);
  EXPECT_TRUE(mxt::decode_png(p.image, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), -1))
      << path;
  return p;
}

std::string quiltex() { return std::string(MXT_BINARY_DIR) + "/game/quiltex"; }

bool magenta(const std::array<int, 3>& p) { return p[0] > 170 && p[2] > 170 && p[1] < 120; }

}  // namespace

TEST(Quiltex, ARecordedGameIsWonAndLooksRightBeforeAndAfter) {
  make_puzzle();
  // Digits 1 to 8 everywhere they belong; then a clash: 8 into an empty cell
  // whose row holds an 8 already; then that 8 taken back and the nines.
  Script script;
  std::vector<Cell> nines;
  for (int d = 1; d <= 8; ++d) {
    script.key(d);
    for (int r = 0; r < 9; ++r)
      for (int c = 0; c < 9; ++c)
        if (cell_state(c, r) == 0 && solution_grid(c, r) == d) script.click(c, r);
  }
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 9; ++c)
      if (cell_state(c, r) == 0 && solution_grid(c, r) == 9) nines.push_back({c, r});
  ASSERT_FALSE(nines.empty());
  const Cell clash = nines.front();
  const int before_frame = script.frame + 4;  // between the clash and its take-back
  script.click(clash.c, clash.r);            // 8 is still selected
  script.click(clash.c, clash.r);  // the same digit again takes it back
  script.key(9);
  for (const Cell& n : nines) script.click(n.c, n.r);
  const int after_frame = script.frame + 10;

  TempDir tmp;
  write_file(tmp.file("game.replay"), script.text());
  auto run = [&](int frames, const std::string& shot) {
    ChildOptions options;
    options.env = {{"MXT_REPLAY", tmp.file("game.replay")}, {"MXT_FRAMES", std::to_string(frames)},
                   {"MXT_SCREENSHOT", tmp.file(shot)}, {"TMPDIR", tmp.path()}};
    options.cwd = tmp.path();
    options.timeout_ms = 120000;
    const ChildResult r = run_child(quiltex(), {}, options);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(r.timed_out);
    // MXT_KEEP_SHOTS=folder keeps the pictures (the README's come from here).
    if (const char* keep = std::getenv("MXT_KEEP_SHOTS"))
      std::filesystem::copy_file(tmp.file(shot), std::string(keep) + "/" + shot,
                                 std::filesystem::copy_options::overwrite_existing);
    const std::vector<std::string> lines = split_lines(r.out);
    EXPECT_FALSE(lines.empty());
    if (!lines.empty()) {
      EXPECT_EQ(lines.back(), "exit") << r.out;
    }
    return load(tmp.file(shot));
  };

  const Picture before = run(before_frame, "before.png");
  ASSERT_EQ(before.image.width, 800);
  ASSERT_EQ(before.image.height, 480);
  // The board's slate frame.
  const auto frame_px = before.at(24, 240);
  EXPECT_LT(frame_px[0], 80);
  EXPECT_GT(frame_px[2], frame_px[0]);
  // A given digit in navy ink on its cell.
  for (int r = 0, found = 0; r < 9 && !found; ++r)
    for (int c = 0; c < 9 && !found; ++c)
      if (cell_state(c, r) == 1) {
        found = 1;
        EXPECT_LT(before.darkest(44 + 47 * c, 37 + 47 * r + block_gap(r), 16, 25), 200) << c << "," << r;
      }
  // The clash: its cell carries the red frame and a red digit.
  const int fx = cell_frame_x(clash.c), fy = cell_frame_y(clash.r);
  const auto mark = before.at(fx + 5, fy + 5);
  EXPECT_GT(mark[0], mark[1] + 40) << "red highlight " << mark[0] << "," << mark[1] << "," << mark[2];
  // Completed digits are drawn faded in the palette; nine is not complete yet.
  const int faded = before.darkest(550, 110, 16, 25);
  const int plain = before.darkest(550 + 160, 110 + 160, 16, 25);
  EXPECT_LT(plain, 250) << "digit 9 in full ink";
  EXPECT_GT(faded, plain + 150) << "digit 1 faded";
  EXPECT_EQ(before.count(magenta), 0) << "no ticker tape before the win";

  const Picture after = run(after_frame, "after.png");
  EXPECT_GT(after.count(magenta), 10) << "ticker tape falls after the win";
  EXPECT_GT(after.darkest(550 + 160, 110 + 160, 16, 25), plain + 150) << "nine is complete and faded too";
}

TEST(Quiltex, LooseMediaWithoutTheArchiveYieldEverySprite) {
  // A copy of the program beside a Media folder of loose files only.
  TempDir tmp;
  namespace fs = std::filesystem;
  fs::copy_file(quiltex(), tmp.file("quiltex"));
  fs::permissions(tmp.file("quiltex"), fs::perms::owner_all);
  fs::copy(std::string(MXT_BINARY_DIR) + "/game/media-src", tmp.file("Media"), fs::copy_options::recursive);
  ASSERT_FALSE(fs::exists(tmp.file("Media/media.sbx")));
  ChildOptions options;
  options.env = {{"MXT_FRAMES", "12"}, {"MXT_SCREENSHOT", tmp.file("shot.png")}, {"TMPDIR", tmp.path()}};
  const ChildResult r = run_child(tmp.file("quiltex"), {}, options);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.find("error: 3"), std::string::npos) << "every picture was found: " << r.out;
  const Picture shot = load(tmp.file("shot.png"));
  const auto frame_px = shot.at(24, 240);
  EXPECT_LT(frame_px[0], 80) << "the board is drawn";
}

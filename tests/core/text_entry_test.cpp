// Text entry driven by a replay, as a player's typing reaches it: characters,
// backspace (also on empty text), Enter, the blinking cursor, and the integer
// and number forms. The screen the entry began on stays under the text.
#include <gtest/gtest.h>

#include <string>

#include "runtime/gfx2d/image.h"
#include "support/child.h"

using namespace mxt_test;

namespace {

struct Entry {
  ChildResult result;
  mxt::ImageBuffer shot;
};

// Runs the font program's entry scenario on a replay; frames > 0 ends it
// after that many frames with a screenshot of the last.
Entry run_entry(const TempDir& dir, const std::string& replay, int frames = 0) {
  const std::string path = dir.file("typing.txt");
  EXPECT_TRUE(write_file(path, replay));
  ChildOptions options;
  options.env = {{"MXT_TEST_SCENARIO", "entry"}, {"TMPDIR", dir.path()}, {"MXT_REPLAY", path}};
  const std::string shot = dir.file("shot" + std::to_string(frames) + ".png");
  if (frames > 0) {
    options.env.emplace_back("MXT_FRAMES", std::to_string(frames));
    options.env.emplace_back("MXT_SCREENSHOT", shot);
  }
  Entry e;
  e.result = run_child(test_program("prog_fonts"), {}, options);
  if (frames > 0) {
    EXPECT_TRUE(mxt::read_png(e.shot, RtString(shot.c_str()), -1)) << e.result.err;
  }
  return e;
}

// Characters typed at frames: "text <hex>" lines, one a frame from `first`.
std::string typing(int first, const std::string& hex_codes) {
  std::string out;
  int frame = first;
  for (size_t i = 0; i + 1 < hex_codes.size(); i += 3) out += std::to_string(frame++) + " text " + hex_codes.substr(i, 2) + "\n";
  return out;
}

bool differs_in(const mxt::ImageBuffer& a, const mxt::ImageBuffer& b, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      for (int c = 0; c < 4; ++c)
        if (a.pixel(x, y)[c] != b.pixel(x, y)[c]) return true;
  return false;
}

}  // namespace

TEST(TextEntry, TypingBackspaceAndEnterGiveTheLineAndItsNumbers) {
  TempDir dir;
  // "ab" shown first; c, three backspaces (the third on empty text does
  // nothing more), x, Enter; then "-42" Enter; then "2.5e1" Enter.
  const std::string replay = "moxtril-replay 1\n" + typing(2, "63 08 08 08 08 78 0d") + typing(12, "2d 34 32 0a") +
                             typing(20, "32 2e 35 65 31 0d") + "30 close\n";
  const Entry e = run_entry(dir, replay);
  EXPECT_EQ(e.result.exit_code, 0) << e.result.err;
  EXPECT_EQ(e.result.out, "text=[x]\nint=-42 double=25\nexit\n");
}

TEST(TextEntry, TheCursorBlinksAfterTwentyIdleFramesOverTheScreenItBeganOn) {
  TempDir dir;
  const std::string replay = "moxtril-replay 1\n";
  // Frame 1 shows "ab"; each later frame takes one look at the queue.
  const Entry plain = run_entry(dir, replay, 21);
  const Entry cursor = run_entry(dir, replay, 22);
  const Entry again = run_entry(dir, replay, 43);
  ASSERT_EQ(plain.shot.width, 320);
  ASSERT_EQ(cursor.shot.width, 320);
  // The built-in font is 8 x 8: "ab" covers x 10..25, the cursor 26..33.
  EXPECT_FALSE(differs_in(plain.shot, cursor.shot, 0, 0, 26, 200)) << "the text and the screen stay";
  EXPECT_FALSE(differs_in(plain.shot, cursor.shot, 34, 0, 320, 200));
  EXPECT_TRUE(differs_in(plain.shot, cursor.shot, 26, 20, 34, 28)) << "the cursor shows after 20 frames";
  EXPECT_FALSE(differs_in(plain.shot, again.shot, 0, 0, 320, 200)) << "and hides after 20 more";
  const uint8_t* square = plain.shot.pixel(120, 120);
  EXPECT_EQ(square[1], 255) << "the green square drawn before the entry is kept under it";
  const uint8_t* back = plain.shot.pixel(200, 20);
  EXPECT_EQ(back[0], 0x10);
  EXPECT_EQ(back[2], 0x40);
}

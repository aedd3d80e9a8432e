// mxt_fade_to_image in a real program: the fade shows frames for its
// duration and leaves the picture as the background; a missing file does
// nothing at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/child.h"
#include "support/images.h"

using namespace mxt_test;

namespace {

ChildResult run_fade(const TempDir& dir, const std::string& file, int ms) {
  ChildOptions options;
  options.env = {{"TMPDIR", dir.path()}, {"MXT_FADE_FILE", file}, {"MXT_FADE_MS", std::to_string(ms)}};
  return run_child(test_program("prog_fade"), {}, options);
}

}  // namespace

TEST(Fade, TheScreenFadesToThePictureWhichStaysAsTheBackground) {
  TempDir dir;
  BmpSpec spec;
  spec.width = 160;
  spec.height = 120;
  spec.bits = 24;
  spec.pixel_data = bmp_rows(160, 120, 24, [](int, int) -> uint32_t { return 0x0000FF; });  // blue
  ASSERT_TRUE(write_file(dir.file("blue.bmp"), build_bmp(spec)));
  const ChildResult r = run_fade(dir, dir.file("blue.bmp"), 300);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  int frames = 0;
  unsigned after = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "fade frames %d, after %x", &frames, &after), 2) << r.out;
  EXPECT_GE(frames, 5) << "300 ms at 60 frames a second, and one frame more at the end";
  EXPECT_LE(frames, 40);
  EXPECT_EQ(after, 0xFF0000u) << "blue (0xBBGGRR) stays after the fade";
}

TEST(Fade, AMissingPictureDoesNothing) {
  TempDir dir;
  const ChildResult r = run_fade(dir, dir.file("missing.png"), 300);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "fade frames 0, after 000000\nexit\n") << "no frame shown; the next frame is cleared as before";
}

// Quiltex replayed against a picture kept from an earlier build: the same
// input must end on exactly the same screen, pixel for pixel. A change to the
// runtime that moves one pixel of a finished game shows up here.
//
// The replay plays a whole game to the win (ticker tape falling); the picture
// is its last frame. Both were made by this program on Mesa's llvmpipe and
// are rebuilt only on purpose: MXT_KEEP_GOLDEN=1 writes the new picture over
// the kept one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <span>

#include "runtime/gfx2d/image.h"
#include "support/child.h"

using namespace mxt_test;

namespace {

constexpr int kLastFrame = 368;

std::string data(const std::string& name) { return std::string(MXT_SOURCE_DIR) + "/tests/data/quiltex/" + name; }

bool decode(const std::string& path, mxt::ImageBuffer& image) {
  const std::string bytes = read_file(path);
  return mxt::decode_png(image, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), -1);
}

}  // namespace

TEST(QuiltexGolden, AReplayedGameEndsOnTheKeptPicture) {
  TempDir tmp;
  ChildOptions options;
  options.env = {{"MXT_REPLAY", data("won.replay")},
                 {"MXT_FRAMES", std::to_string(kLastFrame)},
                 {"MXT_SCREENSHOT", tmp.file("last.png")},
                 {"TMPDIR", tmp.path()}};
  options.cwd = tmp.path();
  options.timeout_ms = 120000;
  const ChildResult r = run_child(std::string(MXT_BINARY_DIR) + "/game/quiltex", {}, options);
  ASSERT_EQ(r.exit_code, 0) << r.err;

  if (std::getenv("MXT_KEEP_GOLDEN")) {
    ASSERT_TRUE(write_file(data("won-frame-368.png"), read_file(tmp.file("last.png"))));
  }

  mxt::ImageBuffer expected, actual;
  ASSERT_TRUE(decode(data("won-frame-368.png"), expected));
  ASSERT_TRUE(decode(tmp.file("last.png"), actual));
  ASSERT_EQ(actual.width, expected.width);
  ASSERT_EQ(actual.height, expected.height);
  int differing = 0, first_x = -1, first_y = -1;
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x)
      if (std::memcmp(actual.pixel(x, y), expected.pixel(x, y), 4) != 0 && differing++ == 0) {
        first_x = x;
        first_y = y;
      }
  EXPECT_EQ(differing, 0) << "pixels differ from the kept picture; the first at (" << first_x << ", " << first_y
                          << ")";
}

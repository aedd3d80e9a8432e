// The runtime as a game developer outside this repository meets it: installed
// into a prefix of its own, then (i) a project made by scripts/new-game found
// through find_package(Moxtril) and (ii) a one-file game built with nothing
// but `pkg-config --cflags --libs moxtril`. Both are built in temporary
// folders, run headless, and judged by their screenshots.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "runtime/gfx2d/image.h"
#include "support/child.h"

using mxt_test::ChildOptions;
using mxt_test::ChildResult;
using mxt_test::run_child;
using mxt_test::TempDir;

namespace {

const std::string kSource = MXT_SOURCE_DIR;
const std::string kBuild = MXT_BINARY_DIR;
const std::string kCmake = MXT_TEST_CMAKE;

// The sanitizers the runtime was built with, which whatever links it needs too.
const std::string kSanitize = MXT_TEST_SANITIZE;

ChildOptions long_step(const std::string& cwd = "") {
  ChildOptions o;
  o.cwd = cwd;
  o.timeout_ms = 240000;
  return o;
}

std::string describe(const ChildResult& r) { return "exit " + std::to_string(r.exit_code) + "\n" + r.out + r.err; }

// A run of the game that ends by itself after a few frames with a screenshot.
ChildResult run_headless(const std::string& program, const std::string& shot) {
  ChildOptions o;
  o.env = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}, {"MXT_FRAMES", "3"}, {"MXT_SCREENSHOT", shot}};
  o.timeout_ms = 60000;
  return run_child(program, {}, o);
}

struct Rgb {
  int r, g, b;
};

bool read_shot(const std::string& path, mxt::ImageBuffer& image) {
  const std::string bytes = mxt_test::read_file(path);
  return mxt::decode_png(image, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), -1);
}

void expect_pixel(const mxt::ImageBuffer& image, int x, int y, Rgb want, const char* what) {
  const uint8_t* p = image.pixel(x, y);
  EXPECT_NEAR(p[0], want.r, 2) << what;
  EXPECT_NEAR(p[1], want.g, 2) << what;
  EXPECT_NEAR(p[2], want.b, 2) << what;
}

class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    const ChildResult r = run_child(kCmake, {"--install", kBuild, "--prefix", prefix()}, long_step());
    installed_ = r.exit_code == 0;
    install_log_ = describe(r);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(installed_) << "cmake --install failed:\n" << install_log_; }

  static std::string prefix() { return dir_->file("prefix"); }
  static std::string work(const std::string& name) { return dir_->file(name); }

 private:
  static inline TempDir* dir_ = nullptr;
  static inline bool installed_ = false;
  static inline std::string install_log_;
};

TEST_F(Installed, HoldsThePackageTheHeadersAndNoInsides) {
  for (const char* f : {"include/moxtril/moxtril.h", "include/moxtril/runtime/core/core.h",
                        "include/moxtril/runtime/types/rtstring.h", "lib/libmoxtril_core.a", "lib/libmoxtril_main.a",
                        "lib/libmoxtril_platform.a", "lib/cmake/Moxtril/MoxtrilConfig.cmake",
                        "lib/cmake/Moxtril/MoxtrilDependencies.cmake", "lib/pkgconfig/moxtril.pc"})
    EXPECT_TRUE(mxt_test::file_exists(prefix() + "/" + f)) << f;
  // Only what <moxtril.h> reaches: the renderer and the platform stay inside.
  EXPECT_FALSE(mxt_test::file_exists(prefix() + "/include/moxtril/runtime/gfx2d/renderer.h"));
  EXPECT_FALSE(mxt_test::file_exists(prefix() + "/include/moxtril/runtime/platform/platform.h"));
}

TEST_F(Installed, ANewGameBuildsThroughFindPackageAndRuns) {
  if (!mxt_test::file_exists(prefix() + "/bin/sbx")) GTEST_SKIP() << "built without the tools: no sbx to pack media";
  const std::string game = work("spinner");
  ChildResult r = run_child(kSource + "/scripts/new-game", {game, "Spinner"}, long_step());
  ASSERT_EQ(r.exit_code, 0) << describe(r);
  for (const char* f : {"CMakeLists.txt", "main.cpp", "Media/hello.bmp", "README.md"})
    EXPECT_TRUE(mxt_test::file_exists(game + "/" + f)) << f;

  // A second run into the same folder writes nothing; a name that cannot be
  // a program is refused.
  const std::string main_before = mxt_test::read_file(game + "/main.cpp");
  EXPECT_EQ(run_child(kSource + "/scripts/new-game", {game, "Other"}, long_step()).exit_code, 1);
  EXPECT_EQ(mxt_test::read_file(game + "/main.cpp"), main_before);
  EXPECT_EQ(run_child(kSource + "/scripts/new-game", {work("bad"), "9 lives"}, long_step()).exit_code, 2);
  EXPECT_FALSE(mxt_test::file_exists(work("bad")));

  std::vector<std::string> configure = {"-S", game, "-B", game + "/build", "-DCMAKE_PREFIX_PATH=" + prefix(),
                                        "-DCMAKE_CXX_COMPILER=" MXT_TEST_CXX, "-DCMAKE_C_COMPILER=" MXT_TEST_CC};
  if (!kSanitize.empty()) {
    configure.push_back("-DCMAKE_CXX_FLAGS=" + kSanitize);
    configure.push_back("-DCMAKE_EXE_LINKER_FLAGS=" + kSanitize);
  }
  r = run_child(kCmake, configure, long_step());
  ASSERT_EQ(r.exit_code, 0) << describe(r);
  r = run_child(kCmake, {"--build", game + "/build"}, long_step());
  ASSERT_EQ(r.exit_code, 0) << describe(r);
  ASSERT_TRUE(mxt_test::file_exists(game + "/build/media.sbx"));

  const std::string shot = work("spinner.png");
  r = run_headless(game + "/build/Spinner", shot);
  ASSERT_EQ(r.exit_code, 0) << describe(r);
  mxt::ImageBuffer image;
  ASSERT_TRUE(read_shot(shot, image));
  ASSERT_EQ(image.width, 640);
  ASSERT_EQ(image.height, 480);
  expect_pixel(image, 5, 5, {0x10, 0x20, 0x40}, "the clear colour");
  // hello.bmp came out of media.sbx: orange inside a brown border, centred.
  expect_pixel(image, 320, 240, {0xF0, 0x90, 0x20}, "the sprite's middle");
  expect_pixel(image, 304, 224, {0x50, 0x30, 0x10}, "the sprite's border");
}

TEST_F(Installed, AOneFileGameBuildsWithPkgConfigAndRuns) {
  const std::string source = work("boxes.cpp");
  ASSERT_TRUE(mxt_test::write_file(source, R"(#include <moxtril.h>

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 200;
}

int mxt_main() {
  // Eight pixels a letter: 40 wide, and a text command linked in on the way.
  const int width = 8 * static_cast<int>(mxt_upper_text("boxes").length);
  for (;;) {
    mxt_set_clear_colour(0x00FF00);
    mxt_draw_rect(100, 50, width, 30, 0xFF0000);
    mxt_show_screen();
  }
}
)"));
  const std::string program = work("boxes");
  const std::string command = "PKG_CONFIG_PATH='" + prefix() + "/lib/pkgconfig' && export PKG_CONFIG_PATH && " +
                              MXT_TEST_CXX " -std=c++20 " + kSanitize + " '" + source + "' -o '" + program +
                              "' $(pkg-config --cflags --libs moxtril)";
  ChildResult r = run_child("/bin/sh", {"-c", command}, long_step());
  ASSERT_EQ(r.exit_code, 0) << command << "\n" << describe(r);

  const std::string shot = work("boxes.png");
  r = run_headless(program, shot);
  ASSERT_EQ(r.exit_code, 0) << describe(r);
  mxt::ImageBuffer image;
  ASSERT_TRUE(read_shot(shot, image));
  ASSERT_EQ(image.width, 320);
  expect_pixel(image, 2, 2, {0x00, 0xFF, 0x00}, "the clear colour");
  expect_pixel(image, 120, 65, {0x00, 0x00, 0xFF}, "the rectangle");
  expect_pixel(image, 99, 65, {0x00, 0xFF, 0x00}, "left of the rectangle");
  expect_pixel(image, 139, 65, {0x00, 0x00, 0xFF}, "the rectangle's last column");
  expect_pixel(image, 140, 65, {0x00, 0xFF, 0x00}, "right of the rectangle");
}

}  // namespace

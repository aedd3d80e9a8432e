// Quiltex under a real X server (Xvfb), played with xdotool as a person with
// a touchpad would: instant clicks and key taps, whose press and release
// reach the game between two of its frames. Every one must be taken: after
// each, the palette's marker must stand behind the digit picked.
//
// Needs Xvfb, xdotool and xwd (scripts/deps installs them); without them the
// test says so and skips.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "game/quiltex.h"
#include "support/child.h"

using namespace mxt_test;

namespace {

bool installed(const char* path) { return access(path, X_OK) == 0; }

// A program running in the background until the object goes.
class Background {
 public:
  Background(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::pair<std::string, std::string>>& env) {
    pid_ = fork();
    if (pid_ == 0) {
      for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
      std::vector<std::string> all = {program};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      if (std::freopen("/dev/null", "r", stdin) == nullptr) _exit(126);
      if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }
  ~Background() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  pid_t pid_ = -1;
};

// A window's picture from xwd: 24-bit TrueColor, as Xvfb gives it.
struct Shot {
  int width = 0, height = 0;
  std::vector<std::array<int, 3>> rgb;
  std::array<int, 3> at(int x, int y) const { return rgb[static_cast<size_t>(y * width + x)]; }
};

uint32_t be32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 8 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3]));
}

bool read_xwd(const std::string& bytes, Shot& shot) {
  if (bytes.size() < 100) return false;
  auto field = [&](int i) { return be32(bytes, static_cast<size_t>(i) * 4); };
  const uint32_t header = field(0), width = field(4), height = field(5), byte_order = field(7);
  const uint32_t bits = field(11), stride = field(12), colours = field(19);
  const uint32_t masks[3] = {field(14), field(15), field(16)};
  if (bits != 32 || width == 0 || height == 0 || width > 4096 || height > 4096) return false;
  const size_t pixels = header + static_cast<size_t>(colours) * 12;
  if (bytes.size() < pixels + static_cast<size_t>(stride) * height) return false;
  shot.width = static_cast<int>(width);
  shot.height = static_cast<int>(height);
  shot.rgb.assign(static_cast<size_t>(width) * height, {0, 0, 0});
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = pixels + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4;
      uint32_t v = 0;
      for (int i = 0; i < 4; ++i) {
        const uint32_t byte = static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
        v |= byte_order == 0 ? byte << (8 * i) : byte << (8 * (3 - i));  // 0: least significant first
      }
      std::array<int, 3>& p = shot.rgb[static_cast<size_t>(y) * width + x];
      for (int c = 0; c < 3; ++c) {
        uint32_t m = masks[c];
        int shift = 0;
        while (m && !(m & 1)) {
          m >>= 1;
          ++shift;
        }
        p[static_cast<size_t>(c)] = static_cast<int>((v >> shift) & m);
      }
    }
  return true;
}

// The digit whose palette place shows the most of the marker's orange.
int marked_digit(const Shot& s) {
  int best = 0, best_count = 0;
  for (int d = 1; d <= 9; ++d) {
    const int pc = (d - 1) % 3, pr = (d - 1) / 3;
    int count = 0;
    for (int y = marker_y(pr); y < marker_y(pr) + 64 && y < s.height; ++y)
      for (int x = marker_x(pc); x < marker_x(pc) + 64 && x < s.width; ++x) {
        const auto p = s.at(x, y);
        count += p[0] > 200 && p[1] > 60 && p[1] < 190 && p[2] < 90;
      }
    if (count > best_count) {
      best = d;
      best_count = count;
    }
  }
  return best_count > 200 ? best : 0;
}

}  // namespace

TEST(QuiltexUnderX, EveryInstantClickAndKeyTapOnThePaletteIsTaken) {
  for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool", "/usr/bin/xwd"})
    if (!installed(tool)) GTEST_SKIP() << tool << " is not installed (scripts/deps installs it)";
  // A display of our own: the first free number from 71 on.
  int number = 71;
  while (number < 99 && access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) ++number;
  const std::string display = ":" + std::to_string(number);
  Background x("/usr/bin/Xvfb", {display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {});
  for (int i = 0; i < 100 && access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

  TempDir tmp;
  const std::vector<std::pair<std::string, std::string>> env = {
      {"DISPLAY", display}, {"SDL_VIDEODRIVER", "x11"}, {"SDL_AUDIODRIVER", "dummy"}, {"TMPDIR", tmp.path()}};
  Background game(std::string(MXT_BINARY_DIR) + "/game/quiltex", {}, env);
  ChildOptions tool;
  tool.env = {{"DISPLAY", display}};
  tool.timeout_ms = 20000;
  const ChildResult found = run_child("/usr/bin/xdotool", {"search", "--sync", "--name", "Quiltex"}, tool);
  ASSERT_EQ(found.exit_code, 0) << found.err;
  const std::string window = split_lines(found.out).front();
  const std::vector<std::string> geometry =
      split_lines(run_child("/usr/bin/xdotool", {"getwindowgeometry", "--shell", window}, tool).out);
  int left = 0, top = 0;
  for (const std::string& line : geometry) {
    if (line.rfind("X=", 0) == 0) left = std::stoi(line.substr(2));
    if (line.rfind("Y=", 0) == 0) top = std::stoi(line.substr(2));
  }
  run_child("/usr/bin/xdotool", {"windowfocus", "--sync", window}, tool);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));  // the game's own start: screen size, media

  auto marked = [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // a dozen frames
    Shot shot;
    const ChildResult r = run_child("/usr/bin/xwd", {"-id", window, "-silent"}, tool);
    return read_xwd(r.out, shot) ? marked_digit(shot) : -1;
  };
  int clicks_taken = 0, taps_taken = 0;
  for (int i = 0; i < 12; ++i) {
    const int d = 1 + (i * 4) % 9;  // every digit, never the same twice running
    const int pc = (d - 1) % 3, pr = (d - 1) / 3;
    run_child("/usr/bin/xdotool",
              {"mousemove", std::to_string(left + palette_box_x(pc) + 25), std::to_string(top + palette_box_y(pr) + 25),
               "click", "1"},
              tool);
    const int m = marked();
    EXPECT_EQ(m, d) << "click " << i;
    clicks_taken += m == d;
  }
  for (int i = 0; i < 12; ++i) {
    const int d = 1 + (i * 5 + 2) % 9;
    run_child("/usr/bin/xdotool", {"key", "--window", window, std::to_string(d)}, tool);
    const int m = marked();
    EXPECT_EQ(m, d) << "key tap " << i;
    taps_taken += m == d;
  }
  EXPECT_TRUE(game.running()) << "the game is still there";
  EXPECT_EQ(clicks_taken, 12);
  EXPECT_EQ(taps_taken, 12);
}

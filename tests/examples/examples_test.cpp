// The example programs in examples/, run as a developer would run them:
// headless, ended by MXT_FRAMES, the input and replay ones driven by their
// committed replay files. Each test checks what its example computed or
// drew: lines it printed, pixels of its last frame, files it wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "runtime/gfx2d/image.h"
#include "net/net_support.h"
#include "support/audio.h"
#include "support/child.h"

using namespace mxt_test;

namespace {

std::string example(const std::string& family) {
  return std::string(MXT_BINARY_DIR) + "/examples/" + family + "/example_" + family;
}

std::string source(const std::string& path) { return std::string(MXT_SOURCE_DIR) + "/examples/" + path; }

struct Outcome {
  ChildResult result;
  std::vector<std::string> lines;  // standard output, "exit" included
  mxt::ImageBuffer shot;           // empty without a screenshot

  using Rgb = std::array<int, 3>;
  Rgb at(int x, int y) const {
    const uint8_t* p = shot.pixel(x, y);
    return {p[0], p[1], p[2]};
  }
  bool printed(const std::string& line) const {
    for (const std::string& l : lines)
      if (l == line) return true;
    return false;
  }
};

// Runs an example for `frames` frames with the extra environment, keeping a
// screenshot of its last frame, and checks that it ended in order.
Outcome run(const std::string& program, int frames, std::vector<std::pair<std::string, std::string>> env = {}) {
  TempDir tmp;
  ChildOptions options;
  options.env = std::move(env);
  options.env.push_back({"MXT_FRAMES", std::to_string(frames)});
  options.env.push_back({"MXT_SCREENSHOT", tmp.file("shot.png")});
  Outcome r;
  r.result = run_child(program, {}, options);
  EXPECT_FALSE(r.result.timed_out) << program;
  EXPECT_EQ(r.result.exit_code, 0) << program << "\n" << r.result.err;
  r.lines = split_lines(r.result.out);
  EXPECT_FALSE(r.lines.empty());
  if (!r.lines.empty()) {
    EXPECT_EQ(r.lines.back(), "exit") << r.result.out;
  }
  const std::string png = read_file(tmp.file("shot.png"));
  EXPECT_TRUE(mxt::decode_png(r.shot, std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()), -1))
      << program << " left no screenshot";
  return r;
}

// Within a few levels per channel: blends round on the GPU.
::testing::AssertionResult near(const Outcome::Rgb& got, const Outcome::Rgb& want, int tolerance = 3) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(got[static_cast<size_t>(c)] - want[static_cast<size_t>(c)]) > tolerance)
      return ::testing::AssertionFailure() << "got " << got[0] << "," << got[1] << "," << got[2] << " want " << want[0]
                                           << "," << want[1] << "," << want[2];
  return ::testing::AssertionSuccess();
}

constexpr Outcome::Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255},
    kYellow{255, 255, 0}, kOrange{255, 192, 0};

}  // namespace

// The line of `lines` that sscanf reads whole with `format`, its values
// stored as sscanf stores them; false when no line matches all of it.
// The formats are this file's own literals, passed through.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename... Values>
bool scan_line(const std::vector<std::string>& lines, const char* format, Values*... values) {
  const std::string whole = std::string(format) + "%n";
  for (const std::string& l : lines) {
    int used = -1;
    if (std::sscanf(l.c_str(), whole.c_str(), values..., &used) == static_cast<int>(sizeof...(Values)) &&
        used == static_cast<int>(l.size()))
      return true;
  }
  return false;
}
#pragma GCC diagnostic pop

TEST(Examples, WindowPacesItsFramesAndMovesByTime) {
  const Outcome r = run(example("window"), 10);
  EXPECT_TRUE(r.printed("screen 320 x 240")) << r.result.out;
  EXPECT_TRUE(r.printed("frames shown 10")) << r.result.out;  // the quit callback ran inside the tenth frame
  double average = 0;
  ASSERT_TRUE(scan_line(r.lines, "average frame ms %lf", &average)) << r.result.out;
  EXPECT_GT(average, 20.0) << "paced to 30 frames a second";  // a loaded machine is only slower
  ASSERT_EQ(r.shot.width, 320);
  EXPECT_TRUE(near(r.at(10, 10), {0x10, 0x20, 0x40}));  // the clear colour
  EXPECT_TRUE(near(r.at(10, 220), {0x40, 0x80, 0x20}));  // the ground
  int first = -1, count = 0;
  for (int x = 0; x < 320; ++x)
    if (near(r.at(x, 160), kOrange)) {
      if (first < 0) first = x;
      ++count;
    }
  EXPECT_EQ(count, 40) << "the whole box";
  EXPECT_GT(first, 0) << "the box moved with the time the frames took";
}

TEST(Examples, SpritesDrawPlainScaledFramedAndBlended) {
  const Outcome r = run(example("sprites"), 3);
  EXPECT_TRUE(r.printed("ball 32 x 32")) << r.result.out;
  EXPECT_TRUE(r.printed("ball centre ff0000ff")) << r.result.out;
  EXPECT_TRUE(r.printed("error: 3")) << r.result.out;
  EXPECT_TRUE(r.printed("missing picture, error 3")) << r.result.out;
  ASSERT_EQ(r.shot.width, 320);
  EXPECT_TRUE(near(r.at(32, 32), kRed)) << "plain";
  EXPECT_TRUE(near(r.at(17, 17), {0x30, 0x30, 0x30})) << "a transparent corner, blended";
  EXPECT_TRUE(near(r.at(122, 32), kRed)) << "stretched to 64 wide";
  EXPECT_TRUE(near(r.at(212, 32), kRed)) << "zoomed 1.5 about its centre, past the plain size";
  EXPECT_TRUE(near(r.at(56, 88), kBlue)) << "frame 2 of the strip";
  EXPECT_TRUE(near(r.at(124, 88), kGreen)) << "frame 1, stretched";
  EXPECT_TRUE(near(r.at(17, 145), kBlack)) << "opaque mode draws the transparent corner";
  EXPECT_TRUE(near(r.at(32, 160), kRed));
  EXPECT_TRUE(near(r.at(80, 160), {255, 128, 128})) << "half translucent over white";
  EXPECT_TRUE(near(r.at(80, 210), {255, 0, 255})) << "additive over blue";
  EXPECT_TRUE(near(r.at(200, 160), kWhite));
}

TEST(Examples, ShapesFillLinesRectanglesAndPolygonBatches) {
  const Outcome r = run(example("shapes"), 3);
  ASSERT_EQ(r.shot.width, 320);
  EXPECT_TRUE(near(r.at(80, 10), kGreen)) << "line";
  EXPECT_TRUE(near(r.at(160, 10), kWhite)) << "dot";
  EXPECT_TRUE(near(r.at(162, 10), kBlack)) << "between dots";
  EXPECT_TRUE(near(r.at(200, 40), kRed)) << "rectangle";
  // A negative size runs left and up and includes its corner.
  EXPECT_TRUE(near(r.at(300, 60), kBlue));
  EXPECT_TRUE(near(r.at(241, 21), kBlue));
  EXPECT_TRUE(near(r.at(240, 40), kBlack));
  const auto hub = r.at(60, 120);
  EXPECT_TRUE(hub[0] > 200 && hub[1] > 200 && hub[2] > 200) << "the fan's white hub";
  EXPECT_TRUE(near(r.at(140, 95), kGreen)) << "first triangle";
  EXPECT_TRUE(near(r.at(140, 145), kBlue)) << "second triangle";
  EXPECT_TRUE(near(r.at(240, 100), kYellow)) << "first strip";
  EXPECT_TRUE(near(r.at(240, 140), kRed)) << "second strip";
  EXPECT_TRUE(near(r.at(240, 120), kBlack)) << "the join between the strips draws nothing";
  EXPECT_TRUE(near(r.at(203, 173), kWhite)) << "checker";
  EXPECT_TRUE(near(r.at(211, 173), kBlack));
  EXPECT_TRUE(near(r.at(211, 181), kWhite));
  EXPECT_TRUE(near(r.at(235, 173), kWhite)) << "the texture repeats past its size";
}

TEST(Examples, InputSeesEveryPressKeyTextAndTouchOfItsReplay) {
  const Outcome r = run(example("input"), 70, {{"MXT_REPLAY", source("input/input.replay")}});
  const std::vector<std::string> expected = {
      "press at 40 50 in slot 0", "right press at 100 60", "press at 200 30 in slot 0", "wheel 1",
      "key Space",                "typed hello",           "press at 160 120 in slot 0", "press at 240 60 in slot 1",
      "box at 160 180",           "exit"};
  EXPECT_EQ(r.lines, expected) << r.result.out;
  ASSERT_EQ(r.shot.width, 320);
  EXPECT_TRUE(near(r.at(42, 52), kRed)) << "a mark where the left press landed";
  EXPECT_TRUE(near(r.at(100, 60), kGreen)) << "the right press";
  EXPECT_TRUE(near(r.at(200, 30), kRed)) << "the tap";
  EXPECT_TRUE(near(r.at(165, 185), kOrange)) << "the box moved right";
  EXPECT_TRUE(near(r.at(145, 185), {0x10, 0x20, 0x30})) << "and left its start";
}

namespace {

// The files example writes beside itself: a copy of it and its archive in a
// folder of the test's own.
Outcome run_files(const TempDir& dir) {
  namespace fs = std::filesystem;
  fs::copy_file(example("files"), dir.file("example_files"));
  fs::permissions(dir.file("example_files"), fs::perms::owner_all);
  fs::copy_file(std::string(MXT_BINARY_DIR) + "/examples/files/media.sbx", dir.file("media.sbx"));
  return run(dir.file("example_files"), 3);
}

// Runs an example with arguments, headless, for at most `frames` frames.
ChildResult run_with(const std::string& program, const std::vector<std::string>& args, int frames,
                     const std::string& shot = "") {
  ChildOptions options;
  options.env.push_back({"MXT_FRAMES", std::to_string(frames)});
  if (!shot.empty()) options.env.push_back({"MXT_SCREENSHOT", shot});
  return run_child(program, args, options);
}

TEST(Examples, HttpFetchesATextFromALocalServerAndShowsIt) {
  TempDir www, tmp;
  ASSERT_TRUE(write_file(www.file("hello.txt"), "Hello from the server.\r\nSecond line.\n"));
  net_test::PythonHttpServer server(www.path());
  ASSERT_GT(server.port(), 0);
  const ChildResult r =
      run_with(example("http"), {std::to_string(server.port()), "/hello.txt"}, 5, tmp.file("shot.png"));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> lines = split_lines(r.out);
  ASSERT_GE(lines.size(), 5u) << r.out;
  EXPECT_EQ(lines[0], "fetched 37 bytes");
  EXPECT_EQ(lines[1], "saved download.txt, 37 bytes");
  EXPECT_EQ(lines[2], "| Hello from the server.");
  EXPECT_EQ(lines[3], "| Second line.");
  // The text is drawn in the top left corner, white on black.
  const std::string png = read_file(tmp.file("shot.png"));
  mxt::ImageBuffer shot;
  ASSERT_TRUE(mxt::decode_png(shot, std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()), -1));
  int lit = 0;
  for (int y = 8; y < 28; ++y)
    for (int x = 8; x < 200; ++x) lit += shot.pixel(x, y)[0] > 128;
  EXPECT_GT(lit, 100) << "two lines of text";

  // Without a server the example says why.
  const ChildResult refused = run_with(example("http"), {std::to_string(net_test::closed_port()), "/"}, 2);
  EXPECT_NE(refused.out.find("nothing came: 10061 Connection refused"), std::string::npos) << refused.out;
}

TEST(Examples, SocketsServeAndTalkOverTcpAndUdp) {
  const int port = net_test::closed_port();
  ChildResult served;
  std::thread server([&] { served = run_with(example("sockets"), {"serve", std::to_string(port)}, 100000); });
  const ChildResult talked = run_with(example("sockets"), {"talk", std::to_string(port)}, 100000);
  server.join();
  EXPECT_EQ(split_lines(talked.out),
            (std::vector<std::string>{"connected to 127.0.0.1 port " + std::to_string(port), "tcp got: hello from serve",
                                      "udp got: pong from serve", "done", "exit"}));
  EXPECT_EQ(split_lines(served.out),
            (std::vector<std::string>{"listening on " + std::to_string(port) + ", datagrams on " +
                                          std::to_string(port + 1),
                                      "connection from 127.0.0.1", "tcp got: hello from talk",
                                      "udp got: ping from talk, from 127.0.0.1", "done", "exit"}));
}

TEST(Examples, ChatHostsJoinsListsPlayersAndExchangesTexts) {
  const std::string port = std::to_string(net_test::closed_port());
  ChildResult hosted;
  std::thread host([&] { hosted = run_with(example("chat"), {"host", port, "Ann"}, 100000); });
  net_test::sleep_ms(300);
  const ChildResult joined = run_with(example("chat"), {"join", "127.0.0.1", port, "Bob"}, 100000);
  host.join();
  EXPECT_EQ(split_lines(joined.out), (std::vector<std::string>{"joined as Bob, id 103", "players: Ann, Bob",
                                                               "Ann: welcome, Bob", "done", "exit"}))
      << "102 is Bob's copy's hidden query player";
  EXPECT_EQ(split_lines(hosted.out), (std::vector<std::string>{"hosting as Ann, id 101", "Bob: hello from Bob",
                                                               "Bob left", "players: Ann", "done", "exit"}));
}

}  // namespace

TEST(Examples, FilesLoadFromTheArchiveAndWriteCopiesBesideTheProgram) {
  if (!file_exists(example("files"))) GTEST_SKIP() << "example_files is built only where the ffmpeg tool is";
  TempDir dir;
  const Outcome r = run_files(dir);
  const std::string welcome = read_file(source("files/media/welcome.txt"));
  ASSERT_FALSE(welcome.empty());
  const std::string size = std::to_string(welcome.size());
  EXPECT_EQ(read_file(dir.file("saves/welcome.txt")), welcome) << "copied out of the archive";
  EXPECT_EQ(read_file(dir.file("saves/notes.txt")), "These notes never were a file on disk.\n") << "from memory";
  EXPECT_TRUE(r.printed("badge 24 x 24")) << r.result.out;
  EXPECT_TRUE(r.printed("welcome.txt is in the archive, " + size + " bytes")) << r.result.out;
  EXPECT_TRUE(r.printed("notes still open after unregistering: 0")) << r.result.out;
  EXPECT_TRUE(r.printed("saves/notes.txt 39 bytes")) << r.result.out;
  EXPECT_TRUE(r.printed("saves/welcome.txt " + size + " bytes")) << r.result.out;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;  // local time
  EXPECT_TRUE(scan_line(r.lines, "notes.txt written %4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day, &hour, &minute,
                        &second))
      << r.result.out;
  EXPECT_GE(year, 2000);
  EXPECT_TRUE(month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60 && second < 61);
  EXPECT_TRUE(r.printed("deleting a missing file gives -1")) << r.result.out;
  EXPECT_TRUE(r.printed("size of a missing file 0, error 3")) << r.result.out;
  ASSERT_EQ(r.shot.width, 320);
  EXPECT_TRUE(near(r.at(60, 60), {0x20, 0x80, 0xE0})) << "the badge from the archive, stretched";
}

TEST(Examples, FilesTakeALooseFileOverTheArchiveEntry) {
  if (!file_exists(example("files"))) GTEST_SKIP() << "example_files is built only where the ffmpeg tool is";
  TempDir dir;
  const std::string loose = "A loose file beside the program.\n";
  ASSERT_TRUE(write_file(dir.file("welcome.txt"), loose));
  const Outcome r = run_files(dir);
  EXPECT_TRUE(r.printed("welcome.txt is on disk, " + std::to_string(loose.size()) + " bytes")) << r.result.out;
  EXPECT_EQ(read_file(dir.file("saves/welcome.txt")), loose);
}

TEST(Examples, MediaPlaysMusicAndAVideoAndReportsMissingFiles) {
  if (!file_exists(example("media"))) GTEST_SKIP() << "example_media is built only where the ffmpeg tool is";
  const Outcome r = run(example("media"), 20);
  EXPECT_TRUE(r.printed("music playing 1")) << r.result.out;
  EXPECT_TRUE(r.printed("paused, playing 1")) << r.result.out;
  int took = 0;
  ASSERT_TRUE(scan_line(r.lines, "video returned 0 after %d ms or more", &took)) << r.result.out;
  EXPECT_GE(took, 500) << "the call blocks while the 0.6 s clip plays";
  EXPECT_TRUE(r.printed("missing video returned 3")) << r.result.out;
  EXPECT_TRUE(r.printed("after stop, playing 0")) << r.result.out;
  EXPECT_TRUE(r.printed("missing music: error 3, playing 0")) << r.result.out;
  ASSERT_EQ(r.shot.width, 320);
  EXPECT_TRUE(near(r.at(21, 120), {0, 0xC0, 0})) << "the game draws again after the video";
}

// Run on SDL's disk driver, so that what the example played can be heard
// back: the low tone on the left, the high one on the right at half its
// volume.
TEST(Examples, SoundPlaysTwoSoundsPannedApartAndReportsItsChannels) {
  if (!file_exists(example("sound"))) GTEST_SKIP() << "example_sound is built only where the ffmpeg tool is";
  TempDir tmp;
  const Outcome r = run(example("sound"), 40, {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", tmp.file("out.raw")}});
  for (const char* line : {"low is sound 4095, high is sound 7, error 0",
                           "low plays on 1048320 (sound 4095, channel 0)", "high plays on 1792 (sound 7, channel 0)",
                           "low again: -1 (no play)",
                           "high again: 1793 (sound 7, channel 1), and again: 1792 (sound 7, channel 0)",
                           "playing: low 1, high 1 and 1", "after stopping 1793: 0",
                           "after stopping every channel of high: 0", "missing: error 3, play gives -1"})
    EXPECT_TRUE(r.printed(line)) << line << "\n" << r.result.out;

  const std::string bytes = read_file(tmp.file("out.raw"));
  std::vector<int16_t> left(bytes.size() / 4), right(bytes.size() / 4);
  for (size_t i = 0; i < left.size(); ++i) {
    std::memcpy(&left[i], bytes.data() + i * 4, 2);
    std::memcpy(&right[i], bytes.data() + i * 4 + 2, 2);
  }
  const auto n = static_cast<int64_t>(left.size());
  ASSERT_GT(n, 44100 / 4) << "a quarter of a second at least";
  EXPECT_NEAR(frequency(left, 0, n), 330, 5);
  EXPECT_NEAR(frequency(right, 0, n), 880, 5);
  int peak_left = 0, peak_right = 0;
  for (int64_t i = 0; i < n; ++i) {
    peak_left = std::max(peak_left, std::abs(int{left[static_cast<size_t>(i)]}));
    peak_right = std::max(peak_right, std::abs(int{right[static_cast<size_t>(i)]}));
  }
  // ffmpeg's tones peak at an eighth of full scale; two plays of the high
  // one may overlap, each at half.
  EXPECT_NEAR(peak_left, 32767 / 8, 300);
  EXPECT_GE(peak_right, 32767 / 16 - 200);
  EXPECT_LE(peak_right, 32767 / 8 + 200);

  ASSERT_EQ(r.shot.width, 320);
  for (const auto& [x, y, lit] : {std::tuple{120, 90, Outcome::Rgb{0, 0xC0, 0}}, {120, 130, {0, 0xC0, 0xC0}},
                                  {170, 130, {0, 0xC0, 0xC0}}})
    EXPECT_TRUE(near(r.at(x, y), lit) || near(r.at(x, y), {0x30, 0x30, 0x30})) << "a channel's box at " << x << "," << y;
}

TEST(Examples, TypesPrintWhatTheCommandsCompute) {
  const Outcome r = run(example("types"), 1);
  const std::vector<std::string> expected = {
      "score 3 of 4, 0.25 left",
      "mid: 3, length 23",
      "find 'of': 8, find 'xyz': -1",
      "upper: LEVEL, 233 becomes 201",
      "replace: a + b + c",
      "trim: [padded]",
      "split: 3 parts red|green|blue",
      "\"10\" == 10: 1, \"10\" < \"9\": 1",
      "hex: ff, url: a%20b%26c",
      "encrypted 16 hex digits, decrypted: level 7",
      "scores 30 10 20 40 0, last 0",
      "grid 4 x 3, (3, 2) = 23",
      "sorted: apple fig pear",
      "levels: 1=Meadow 2=Cave",
      "sin 30 = 0.500, atan2(1, 1) = 45.0",
      "to_int(-2.7) = -2, mod(-7, 3) = -1, floor(-2.5) = -3",
      "[    3.14] [42   ]",
  };
  ASSERT_GE(r.lines.size(), expected.size() + 3) << r.result.out;
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(r.lines[i], expected[i]);
  // The generator's numbers are its own; the same seed must give them again.
  long a = -1, b = -1, again_a = -2, again_b = -2;
  ASSERT_TRUE(scan_line({r.lines[expected.size()]}, "random %ld %ld, again %ld %ld", &a, &b, &again_a, &again_b))
      << r.lines[expected.size()];
  EXPECT_EQ(a, again_a);
  EXPECT_EQ(b, again_b);
  EXPECT_EQ(r.lines[expected.size() + 1], "boxes touch: 1, apart: 0");
}

TEST(Examples, ReplayOfARecordingOfTheReplayComesOutTheSame) {
  TempDir tmp;
  const std::string session = source("replay/session.replay");
  const Outcome first = run(example("replay"), 34, {{"MXT_REPLAY", session}, {"MXT_RECORD", tmp.file("again.txt")}});
  ASSERT_EQ(first.lines.size(), 4u) << first.result.out;  // three stars and "exit"
  const int where[3][3] = {{10, 60, 80}, {20, 160, 60}, {30, 250, 150}};
  for (int i = 0; i < 3; ++i) {
    const std::string& line = first.lines[static_cast<size_t>(i)];
    int frame = 0, x = 0, y = 0, size = 0;
    unsigned colour = 0;
    ASSERT_TRUE(scan_line({line}, "frame %d: star at %d %d, size %d, colour %x", &frame, &x, &y, &size, &colour))
        << line;
    EXPECT_EQ(frame, where[i][0]) << "seen in the frame the file stamps";
    EXPECT_EQ(x, where[i][1]);
    EXPECT_EQ(y, where[i][2]);
  }
  EXPECT_NE(read_file(tmp.file("again.txt")).find("\nseed 4242\n"), std::string::npos) << "the recording keeps the seed";

  // The recording replays to the same stars and the same last frame...
  const Outcome second = run(example("replay"), 34, {{"MXT_REPLAY", tmp.file("again.txt")}});
  EXPECT_EQ(second.lines, first.lines);
  ASSERT_EQ(first.shot.width, second.shot.width);
  ASSERT_EQ(first.shot.height, second.shot.height);
  EXPECT_EQ(0, std::memcmp(first.shot.pixels, second.shot.pixels,
                           static_cast<size_t>(first.shot.width) * static_cast<size_t>(first.shot.height) * 4));
  const int colour = std::stoi(first.lines[0].substr(first.lines[0].rfind(' ') + 1), nullptr, 16);  // 0xBBGGRR
  EXPECT_TRUE(near(first.at(60, 80), {colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF}))
      << "the first star, in the colour it printed";

  // ...while another seed gives the same clicks other stars.
  std::string other = read_file(session);
  const size_t at = other.find("seed 4242");
  ASSERT_NE(at, std::string::npos);
  other.replace(at, 9, "seed 17");
  ASSERT_TRUE(write_file(tmp.file("other.txt"), other));
  const Outcome third = run(example("replay"), 34, {{"MXT_REPLAY", tmp.file("other.txt")}});
  ASSERT_EQ(third.lines.size(), first.lines.size());
  EXPECT_NE(third.lines, first.lines);
}

TEST(Examples, FontsPrintInThreeFontsAndTakeANameFromTheReplay) {
  const Outcome r = run(example("fonts"), 40, {{"MXT_REPLAY", source("fonts/fonts.replay")}});
  EXPECT_TRUE(r.printed("name Ada")) << "typed Adax, backspace, Enter: " << r.result.out;
  ASSERT_EQ(r.shot.width, 480);
  EXPECT_TRUE(near(r.at(470, 230), {0x18, 0x28, 0x40})) << "the clear colour where nothing is printed";
  auto ink_in = [&](int x0, int y0, int x1, int y1) {
    int ink = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (r.at(x, y)[0] > 200 && r.at(x, y)[1] > 200) ++ink;
    return ink;
  };
  EXPECT_GT(ink_in(20, 200, 140, 208), 20) << "the greeting in the built-in font";
  EXPECT_GT(ink_in(20, 16, 400, 32), 100) << "the built-in font at scale 2";
  if (!file_exists(std::string(MXT_BINARY_DIR) + "/examples/fonts/mono.png")) {
    GTEST_SKIP() << "the font images are made where mkfont and the DejaVu fonts are";
  }
  int mono = 0, proportional = 0;
  ASSERT_TRUE(scan_line(r.lines, "\"iiii\" monospaced %d, proportional %d", &mono, &proportional)) << r.result.out;
  EXPECT_LT(proportional, mono) << "narrow letters take less room when proportional";
  EXPECT_GT(ink_in(20, 104, 300, 130), 100) << "the sans font at scale 1.5";
}

TEST(Examples, SurfacesDrawAMiniMapGrabCollideAndFade) {
  const Outcome mid = run(example("surfaces"), 45);
  EXPECT_TRUE(mid.printed("saved sunset.png")) << mid.result.out;
  ASSERT_EQ(mid.shot.width, 480);
  // The mini-map (a twentieth of the world) in the top-right corner: its
  // first tile is the world's first tile.
  EXPECT_TRUE(near(mid.at(401, 9), mid.at(2, 2))) << "the mini-map shows the world";
  EXPECT_TRUE(near(mid.at(350, 230), kBlack)) << "outside the snapshot";
  EXPECT_FALSE(near(mid.at(345, 175), kBlack)) << "the grabbed snapshot, stretched";

  const Outcome end = run(example("surfaces"), 120);
  int box = 0, pixels = 0;
  ASSERT_TRUE(scan_line(end.lines, "boxes overlap at frame %d, pixels touch at frame %d", &box, &pixels))
      << end.result.out;
  EXPECT_LT(box, pixels) << "the boxes meet before the round shapes do";
  EXPECT_TRUE(end.printed("faded"));
  EXPECT_TRUE(near(end.at(240, 170), {0xFF, 0xE0, 0x40})) << "the sunset stays as the background after the fade";
}

TEST(Examples, PlatformPrintsItsAnswersAndKeepsItsDeviceId) {
  TempDir home;
  const std::vector<std::pair<std::string, std::string>> env = {{"HOME", home.path()},
                                                                 {"XDG_DATA_HOME", home.file("data")}};
  const Outcome r = run(example("platform"), 3, env);
  EXPECT_TRUE(r.printed("info  = LINUX")) << r.result.out;
  EXPECT_TRUE(r.printed("info DEVICE = DESKTOP"));
  EXPECT_TRUE(r.printed("info NONSENSE = NO_DATA"));
  EXPECT_TRUE(r.printed("info COMPILED = Sep 13 2016-14:17:33"));
  EXPECT_TRUE(r.printed("info VERSION = 000.001"));
  EXPECT_TRUE(r.printed("info GLEXT:GLGENBUFFERS = 1"));
  EXPECT_TRUE(r.printed("info APPDATA = " + home.file("data") + "/Moxtril"));
  EXPECT_TRUE(r.printed("joysticks 0"));
  const std::string id = read_file(home.file("data") + "/Moxtril/moxtril.deviceid");
  EXPECT_EQ(id.size(), 32u);
  EXPECT_TRUE(r.printed("info ID = " + id));
  const Outcome again = run(example("platform"), 3, env);
  EXPECT_TRUE(again.printed("info ID = " + id)) << "the same machine answers the same id";
  // No joystick: the square rests in the middle of the clear colour.
  ASSERT_EQ(r.shot.width, 320);
  EXPECT_TRUE(near(r.at(160, 120), {0xFF, 0xFF, 0xFF})) << "the square";
  EXPECT_TRUE(near(r.at(10, 10), {0x00, 0x20, 0x40})) << "the clear colour";
}

TEST(Examples, SavesKeepsAHighScoreTableAndASaveGameAcrossRuns) {
  namespace fs = std::filesystem;
  TempDir dir;
  fs::copy_file(example("saves"), dir.file("example_saves"));
  fs::permissions(dir.file("example_saves"), fs::perms::owner_all);
  const Outcome first = run(dir.file("example_saves"), 3);
  EXPECT_TRUE(first.printed("new game")) << first.result.out;
  EXPECT_TRUE(first.printed("1. Ann 125")) << first.result.out;
  EXPECT_TRUE(first.printed("2. - 0"));
  run(dir.file("example_saves"), 3);
  const Outcome third = run(dir.file("example_saves"), 3);
  EXPECT_TRUE(third.printed("loaded level 2, score 250, Ann at 21, -0.25")) << third.result.out;
  EXPECT_TRUE(third.printed("1. Ann 300") && third.printed("2. Ann 250") && third.printed("3. Ann 125"))
      << third.result.out;
  EXPECT_EQ(read_file(dir.file("scores.ini")),
            "[Stats]\r\nruns=3\r\n[Scores]\r\nname1=Ann\r\nscore1=300\r\nname2=Ann\r\nscore2=250\r\nname3=Ann\r\n"
            "score3=125\r\n")
      << "written back at the end, with no save command";
  ASSERT_EQ(third.shot.width, 320);
  EXPECT_TRUE(near(third.at(30, 60), {0xFF, 0xC0, 0x40})) << "the first place's bar";
  EXPECT_TRUE(near(third.at(30 + 300 / 4, 60), {0x20, 0x20, 0x20})) << "and where it ends";

  // A save cut short (a crash while saving) leaves the one before it to load.
  const std::string newest = read_file(dir.file("save2.dat"));
  ASSERT_EQ(newest.size(), 36u);
  ASSERT_TRUE(write_file(dir.file("save2.dat"), newest.substr(0, 20)));
  const Outcome fourth = run(dir.file("example_saves"), 3);
  EXPECT_TRUE(fourth.printed("loaded level 2, score 250, Ann at 21, -0.25")) << fourth.result.out;
}

TEST(Examples, PathfindWalksThePathAndPlansAgainWhenAWallIsClickedIn) {
  const Outcome r = run(example("pathfind"), 200, {{"MXT_REPLAY", source("pathfind/pathfind.replay")}});
  const std::vector<std::string> expected = {
      "path of 26 tiles from 1 7", "wall at 6 3",     "path of 24 tiles from 3 7", "wall at 6 11",
      "path of 27 tiles from 5 8", "no wall at 6 3",  "path of 25 tiles from 5 10", "arrived at 18 7",
      "exit"};
  EXPECT_EQ(r.lines, expected) << r.result.out;
  ASSERT_EQ(r.shot.width, 320);
  EXPECT_TRUE(near(r.at(104, 184), {0x50, 0x50, 0x50})) << "the clicked-in wall";
  EXPECT_TRUE(near(r.at(104, 56), {0x40, 0xA0, 0x40})) << "the gap clicked open again";
  EXPECT_TRUE(near(r.at(296, 120), {0xFF, 0xE0, 0x00})) << "the walker on the goal";
}

TEST(Examples, ObjectsDrawATurningLitGemUnderTheScoreAndAShadedCoin) {
  const Outcome r = run(example("objects"), 60);
  int vertices = 0;
  ASSERT_TRUE(scan_line(r.lines, "gem: 1 frame, %d vertices", &vertices)) << r.result.out;
  EXPECT_GT(vertices, 0);
  EXPECT_TRUE(r.printed("shader ready")) << r.result.out;
  ASSERT_EQ(r.shot.width, 480);
  const Outcome::Rgb background{0x10, 0x20, 0x30};
  EXPECT_FALSE(near(r.at(240, 160), background)) << "the middle gem covers the centre";
  EXPECT_TRUE(near(r.at(240, 20), background)) << "sky above it";
  EXPECT_TRUE(near(r.at(240, 300), {0x28, 0x38, 0x40})) << "the floor, drawn in 2D before the gems";
  // The two small gems stand left and right, behind.
  EXPECT_FALSE(near(r.at(92, 130), background)) << "the left one";
  EXPECT_FALSE(near(r.at(388, 130), background)) << "the right one";
  EXPECT_TRUE(near(r.at(20, 130), background));
  // Lit: the gem's faces are not all one shade.
  int shades = 0;
  Outcome::Rgb last{-1, -1, -1};
  for (int x = 200; x < 280; x += 4)
    if (const Outcome::Rgb c = r.at(x, 165); !near(c, last, 6) && !near(c, background)) ++shades, last = c;
  EXPECT_GE(shades, 2);
  // The coin in the corner: gold, through the shader.
  const Outcome::Rgb coin = r.at(44, 44);
  EXPECT_GT(coin[0], coin[2] + 80) << "gold: far more red than blue";
  // The score, printed over everything in white.
  int white = 0;
  for (int y = 32; y < 52; ++y)
    for (int x = 80; x < 300; ++x)
      if (near(r.at(x, y), {255, 255, 255}, 10)) ++white;
  EXPECT_GT(white, 50) << "the score's letters";
}

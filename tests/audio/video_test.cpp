// Video playback into a real window: clips made by the ffmpeg tool (red for
// half a second, then blue), pixels read back after each drawn frame, input
// pushed as the platform would deliver it. The playback loop runs on a clock
// the test keeps: time passes only when the loop sleeps, so every frame of a
// clip is drawn however busy the machine is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "support/audio.h"
#include <moxtril.h>
#include "runtime/audio/video.h"
#include "runtime/base/clock.h"
#include "runtime/base/singletons.h"
#include "runtime/files/archive.h"
#include "runtime/gfx2d/picture.h"
#include "runtime/files/rtfile.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keymap.h"
#include "runtime/platform/platform.h"
#include "support/child.h"
#include "support/events.h"
#include "support/gl.h"

using namespace mxt;
using namespace mxt_test;

namespace {

std::vector<std::string> red_then_blue(const std::string& video_codec, const std::string& audio_codec) {
  return {"-f", "lavfi", "-i", "color=c=red:s=160x90:r=25:d=0.5",
          "-f", "lavfi", "-i", "color=c=blue:s=160x90:r=25:d=0.5",
          "-f", "lavfi", "-i", "sine=frequency=440:duration=1:sample_rate=44100",
          "-filter_complex", "[0:v][1:v]concat=n=2:v=1:a=0[v]", "-map", "[v]", "-map", "2:a",
          "-c:v", video_codec, "-c:a", audio_codec, "-ac", "2", "-g", "10"};
}

std::string mp4_clip() { return made_media("red-blue.mp4", red_then_blue("mpeg4", "aac")); }
std::string webm_clip() { return made_media("red-blue.webm", red_then_blue("libvpx", "libvorbis")); }

enum class Seen { red, blue, other };
Seen colour_of(Rgba c) {
  if (c.r > 180 && c.g < 80 && c.b < 80) return Seen::red;
  if (c.b > 180 && c.r < 80 && c.g < 80) return Seen::blue;
  return Seen::other;
}

// A key by its DirectInput code, as the platform would deliver it.
void push_key(platform::EventType type, int dik) { mxt_test::push_key(hid_from_dik(dik), type == platform::EventType::key_down); }

// An after-draw hook that types text once frame n has been drawn.
std::function<void(int64_t)> type_at(int64_t frame, const char* text) {
  return [=](int64_t n) {
    if (n == frame) push_text(text);
  };
}

class VideoTest : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    platform::flush_events();
    input = std::make_unique<InputState>();
    input_setup(*input, renderer->window, false);
    rt.input = input.get();
    clock = 0;
    inputs_taken = 0;
  }
  void TearDown() override { rt.input = nullptr; }

  // The runtime's seams, on the test's clock: sleeping is what moves it.
  VideoSeams seams(const std::function<void(int64_t)>& also) {
    VideoSeams s = runtime_video_seams();
    s.clock = [this] { return clock; };
    s.sleep = [this](int ms) { clock += ms; };
    const auto take = s.take_input;
    s.take_input = [this, take] {
      ++inputs_taken;
      if (on_input) on_input(inputs_taken);
      take();
    };
    s.after_draw = [this, also](int64_t n) {
      seen.push_back(colour_of(read_pixel(kWidth / 2, kHeight / 2)));
      if (also) also(n);
    };
    return s;
  }
  // Plays and records the colour in the middle of the window after each frame.
  int play(const std::string& file, int loop, const std::function<void(int64_t)>& also = {}) {
    seen.clear();
    return play_video(file.c_str(), loop, seams(also));
  }
  std::unique_ptr<InputState> input;
  std::vector<Seen> seen;
  double clock = 0;
  int inputs_taken = 0;
  std::function<void(int)> on_input;  // before the loop takes input for the n-th time
};

TEST(VideoPlacement, ScaledByTheSmallerRatioAndCentred) {
  EXPECT_EQ(picture_dest_rect(160, 90, 200, 200), (PictureRect{0, 44, 200, 112}));
  EXPECT_EQ(picture_dest_rect(100, 100, 640, 480), (PictureRect{80, 0, 480, 480}));
  EXPECT_EQ(picture_dest_rect(640, 360, 320, 240), (PictureRect{0, 30, 320, 180}));
  EXPECT_EQ(picture_dest_rect(0, 90, 200, 200), PictureRect{});
  EXPECT_EQ(picture_dest_rect(160, 90, 0, 200), PictureRect{});
}

TEST_F(VideoTest, EveryFrameShowsAtItsTimeAndTheBarsStayBlack) {
  MXT_SKIP_WITHOUT_ENCODERS("mpeg4", "aac");
  const std::string clip = mp4_clip();
  ASSERT_FALSE(clip.empty());
  Rgba bar;
  std::vector<double> shown_at;
  EXPECT_EQ(play(clip, 0, [&](int64_t) {
              bar = read_pixel(kWidth / 2, 10);
              shown_at.push_back(clock);
            }), 0);
  ASSERT_EQ(seen.size(), 26u) << "two half-second parts of 13 frames each, 40 ms apart";

  EXPECT_EQ(std::count(seen.begin(), seen.begin() + 13, Seen::red), 13);
  EXPECT_EQ(std::count(seen.begin() + 13, seen.end(), Seen::blue), 13);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), Seen::other), 0);
  EXPECT_EQ((Rgba{0, 0, 0, 255}), bar) << "letterbox above the picture";
  // Frame n is due at 40 n ms and shown within the loop's 1 ms naps of it.
  for (size_t n = 0; n < shown_at.size(); ++n) {
    EXPECT_GE(shown_at[n] - shown_at[0], 40.0 * static_cast<double>(n)) << n;
    EXPECT_LE(shown_at[n] - shown_at[0], 40.0 * static_cast<double>(n) + 2) << n;
  }
  EXPECT_GE(clock, 1040) << "the last frame's time runs out before the end";
  EXPECT_LT(clock, 1100);
}

TEST_F(VideoTest, TypedKeyOrButtonEndsItEarly) {
  MXT_SKIP_WITHOUT_ENCODERS("mpeg4", "aac");
  const std::string clip = mp4_clip();
  ASSERT_FALSE(clip.empty());
  EXPECT_EQ(play(clip, 0, type_at(3, "x")), 0);
  EXPECT_LE(seen.size(), 5u);
  EXPECT_EQ(input->pop_typed_char(), 0) << "the key that ended it was taken";

  EXPECT_EQ(play(clip, 1, [](int64_t n) {
              if (n != 3) return;
              platform::Event e;
              e.type = platform::EventType::mouse_down;
              e.button = 1;
              platform::push_event(e);
            }), 0);
  EXPECT_LE(seen.size(), 5u);
  platform::Event up;
  up.type = platform::EventType::mouse_up;
  up.button = 1;
  input->take_event(up);

  EXPECT_EQ(play(clip, 0, [](int64_t n) {
              if (n == 3) push_key(platform::EventType::key_down, 0x1C);  // Enter types no text here
            }), 0);
  EXPECT_LE(seen.size(), 5u);
}

TEST_F(VideoTest, LoopingStartsTheClipOverUntilAKeyEndsIt) {
  MXT_SKIP_WITHOUT_ENCODERS("mpeg4", "aac");
  const std::string clip = mp4_clip();
  ASSERT_FALSE(clip.empty());
  EXPECT_EQ(play(clip, 1, type_at(40, " ")), 0);
  ASSERT_GE(seen.size(), 40u);
  const auto first_blue = std::find(seen.begin(), seen.end(), Seen::blue);
  ASSERT_NE(first_blue, seen.end());
  EXPECT_NE(std::find(first_blue, seen.end(), Seen::red), seen.end()) << "red again after blue: it restarted";
}

TEST_F(VideoTest, KeyHeldWhenItStartsIsWaitedOutNotTakenAsTheEnd) {
  MXT_SKIP_WITHOUT_ENCODERS("mpeg4", "aac");
  const std::string clip = mp4_clip();
  ASSERT_FALSE(clip.empty());
  push_key(platform::EventType::key_down, 0x39);  // Space, held
  push_text(" ");
  int released_at = 0, first_frame_at = 0;
  on_input = [&](int n) {
    if (n == 20) {
      push_key(platform::EventType::key_up, 0x39);
      released_at = n;
    }
  };
  EXPECT_EQ(play(clip, 0, [&](int64_t n) {
              if (n == 1) first_frame_at = inputs_taken;
            }), 0);
  EXPECT_EQ(released_at, 20) << "the loop kept waiting while the key was held";
  EXPECT_GT(first_frame_at, released_at) << "no picture before the key was let go";
  EXPECT_EQ(seen.size(), 26u) << "played to its end: the held key did not end it";
}

TEST_F(VideoTest, MissingDamagedAndEmptyFilesReturn3) {
  MXT_SKIP_WITHOUT_ENCODERS("mpeg4", "aac");
  const std::string clip = mp4_clip();
  ASSERT_FALSE(clip.empty());
  TempDir tmp;
  std::string noise(20000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  const std::string whole = read_file(clip);
  std::string scrambled = whole;  // the container is intact, the pictures are not
  for (size_t i = scrambled.size() / 4; i < scrambled.size() * 3 / 4; ++i) scrambled[i] ^= 0x5A;
  ASSERT_TRUE(write_file(tmp.file("noise.mp4"), noise));
  ASSERT_TRUE(write_file(tmp.file("empty.webm"), ""));
  ASSERT_TRUE(write_file(tmp.file("text.avi"), "this is not a video\n"));
  ASSERT_TRUE(write_file(tmp.file("head.mp4"), whole.substr(0, whole.size() / 2)));  // index at the end is gone
  ASSERT_TRUE(write_file(tmp.file("scrambled.mp4"), scrambled));
  EXPECT_EQ(play(tmp.file("nowhere.mp4"), 0), 3);
  for (const char* name : {"noise.mp4", "empty.webm", "text.avi", "head.mp4"}) {
    SCOPED_TRACE(name);
    clock = 0;
    EXPECT_EQ(play(tmp.file(name), 1), 3);
    EXPECT_EQ(clock, 0) << "refused before playing";
    EXPECT_TRUE(seen.empty());
  }
  // Damaged pictures: whatever decodes is shown, and the clip still ends in
  // about its own time.
  clock = 0;
  const int r = play(tmp.file("scrambled.mp4"), 0);
  EXPECT_TRUE(r == 0 || r == 3) << r;
  EXPECT_LT(clock, 1100);
}

TEST_F(VideoTest, CutShortStreamPlaysWhatItHas) {
  // A busy picture, so that the bytes spread over every frame.
  MXT_SKIP_WITHOUT_ENCODERS("libvpx");
  const std::string clip =
      made_media("pattern.webm", {"-f", "lavfi", "-i", "testsrc=s=160x90:r=25:d=1", "-c:v", "libvpx", "-g", "10"});
  ASSERT_FALSE(clip.empty());
  TempDir tmp;
  const std::string whole = read_file(clip);
  ASSERT_TRUE(write_file(tmp.file("cut.webm"), whole.substr(0, whole.size() * 6 / 10)));
  EXPECT_EQ(play(tmp.file("cut.webm"), 0), 0);
  EXPECT_GE(seen.size(), 5u);
  EXPECT_LT(seen.size(), 25u);
}

TEST_F(VideoTest, OpensFromTheArchiveAndFromMemory) {
  MXT_SKIP_WITHOUT_ENCODERS("libvpx", "libvorbis");
  const std::string clip = webm_clip();
  ASSERT_FALSE(clip.empty());
  const std::string bytes = read_file(clip);
  TempDir tmp;
  ArchiveBuilder builder(ArchiveBuilder::Level::fast);
  ASSERT_TRUE(builder.add("intro.webm", bytes.data(), static_cast<int64_t>(bytes.size())));
  ASSERT_TRUE(write_file(tmp.file("media.sbx"), builder.finish()));
  create_archive_slots();
  mxt_set_archive(tmp.file("media.sbx").c_str(), tmp.file("media.sbx").c_str());
  EXPECT_EQ(play("intro.webm", 0, type_at(5, "x")), 0);
  EXPECT_EQ(seen.size(), 5u);
  release_archive_slots();

  const RtString name = mxt_register_memory_file(bytes.data(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(play(name.c_str(), 0, type_at(5, "x")), 0);
  EXPECT_EQ(seen.size(), 5u);
  mxt_unregister_memory_file(bytes.data());
}

}  // namespace

// Sound effects through the real audio device, recorded by SDL's disk
// driver: what the device played is read back, both sides, and measured.
#include <gtest/gtest.h>

#include <moxtril.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <thread>

#include "runtime/audio/mixer.h"
#include "runtime/audio/music.h"
#include "runtime/audio/sound.h"
#include "runtime/base/clock.h"
#include "runtime/base/singletons.h"
#include "runtime/platform/platform.h"
#include "support/audio.h"
#include "support/child.h"
#include "support/wav.h"

using namespace mxt;
using namespace mxt_test;

namespace {

void wait_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

constexpr int kBlock = 1024;     // frames the device plays per call of its mixer
constexpr int64_t kEdge = 4096;  // recording marks lag the mixer by up to a buffer or two

double mean(const std::vector<int16_t>& s, int64_t from, int64_t to) {
  double sum = 0;
  for (int64_t i = from; i < to; ++i) sum += s[static_cast<size_t>(i)];
  return to > from ? sum / double(to - from) : 0;
}

// The level of what is left once the mean is taken away.
double ac_rms(const std::vector<int16_t>& s, int64_t from, int64_t to) {
  const double m = mean(s, from, to);
  double sum = 0;
  for (int64_t i = from; i < to; ++i) sum += (s[static_cast<size_t>(i)] - m) * (s[static_cast<size_t>(i)] - m);
  return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

class SoundDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recording = std::make_unique<Recording>(tmp.file("out.raw"));
    ASSERT_TRUE(recording->ok()) << platform::last_error();
    const platform::AudioFormat f = platform::audio_format(rt.audio);
    ASSERT_EQ(f.rate, 44100);  // the recording is read as 16-bit stereo at this rate
    ASSERT_EQ(f.channels, 2);
    sound_device_create(device, rt.audio);
    ASSERT_NE(device.mixer, nullptr);
  }
  void TearDown() override {
    for (SoundSlot& s : slots) release_sound(s);
    sound_device_release(device);
    recording.reset();
  }
  SoundSlot& load(int n, const std::string& name, const std::string& bytes, int channels) {
    EXPECT_TRUE(write_file(tmp.file(name), bytes));
    EXPECT_TRUE(load_sound(slots[n], device, tmp.file(name).c_str(), channels));
    return slots[n];
  }

  TempDir tmp;
  std::unique_ptr<Recording> recording;
  SoundDevice device;
  SoundSlot slots[8];
};

TEST_F(SoundDeviceTest, SineKeepsItsLevelHalvesAtHalfVolumeAndStopsWithinOneBlock) {
  load(0, "tone.wav", wav_file({}, pcm16(sine16(1000, 3 * 44100, 0.5))), 1);
  const int64_t m0 = recording->frames();
  ASSERT_EQ(play_sound(slots[0], 0, 0, 1), 0);
  wait_ms(300);
  const int64_t m1 = recording->frames();
  stop_sound(slots[0], 0);
  ASSERT_EQ(play_sound(slots[0], 0, 0, 0.5), 0);
  wait_ms(300);
  const int64_t m2 = recording->frames();
  stop_sound(slots[0], 0);
  const int64_t stopped = recording->frames();
  wait_ms(200);
  const int64_t m3 = recording->frames();
  const std::vector<int16_t> l = recording->left(), r = recording->right();

  const double full = rms(l, m0 + kEdge, m1 - kEdge / 2);
  EXPECT_NEAR(full, 0.5 * 32767 / std::sqrt(2.0), 150) << "as loud as the file";
  EXPECT_NEAR(rms(r, m0 + kEdge, m1 - kEdge / 2), full, 1) << "the centre gives both sides the same";
  EXPECT_NEAR(frequency(l, m0 + kEdge, m1 - kEdge / 2), 1000, 5);
  EXPECT_NEAR(rms(l, m1 + kEdge, m2 - kEdge / 2) / full, 0.5, 0.01) << "0.5 is -602, half the amplitude";
  // The device may have mixed one block that it has not written yet when
  // the stop came; after that block, nothing.
  EXPECT_GT(rms(l, stopped - kBlock, stopped), 1000) << "it played up to the stop";
  EXPECT_EQ(rms(l, stopped + kBlock, m3), 0) << "silent within one block of the stop";
  EXPECT_EQ(rms(r, stopped + kBlock, m3), 0);
}

TEST_F(SoundDeviceTest, PanFullyLeftLeavesTheRightSilent) {
  load(0, "tone.wav", wav_file({}, pcm16(sine16(500, 44100, 0.5))), 1);
  const int64_t m0 = recording->frames();
  ASSERT_EQ(play_sound(slots[0], 0, -1, 1), 0);
  wait_ms(300);
  const int64_t m1 = recording->frames();
  const std::vector<int16_t> l = recording->left(), r = recording->right();
  EXPECT_NEAR(rms(l, m0 + kEdge, m1 - kEdge / 2), 0.5 * 32767 / std::sqrt(2.0), 150);
  EXPECT_EQ(rms(r, m0, m1 + kBlock), 0);
}

TEST_F(SoundDeviceTest, EightBitMonoPlaysAsEightBitMono) {
  load(0, "eight.wav", wav_file({.bits = 8}, pcm8(sine8(700, 44100, 0.6))), 1);
  const int64_t m0 = recording->frames();
  ASSERT_EQ(play_sound(slots[0], 0, 0, 1), 0);
  wait_ms(300);
  const int64_t m1 = recording->frames();
  const std::vector<int16_t> l = recording->left(), r = recording->right();
  EXPECT_NEAR(frequency(l, m0 + kEdge, m1 - kEdge / 2), 700, 5);
  EXPECT_NEAR(rms(l, m0 + kEdge, m1 - kEdge / 2), 0.6 * 127 * 256 / std::sqrt(2.0), 150);
  int64_t off_step = 0, sides_differ = 0;
  for (int64_t i = m0; i < m1; ++i) {
    off_step += l[static_cast<size_t>(i)] % 256 != 0;
    sides_differ += l[static_cast<size_t>(i)] != r[static_cast<size_t>(i)];
  }
  EXPECT_EQ(off_step, 0) << "every sample on a step of the 8-bit scale";
  EXPECT_EQ(sides_differ, 0) << "mono: the same on both sides";
}

// A constant level makes every moment's sum known, whatever the moments the
// plays began: 10,000 a play, clipped at 32,767, never wrapping round to a
// negative number.
TEST_F(SoundDeviceTest, FourOverlappingPlaysAddUpAndClipWithoutWrappingRound) {
  load(0, "level.wav", wav_file({}, pcm16(constant16(10000, 44100))), 4);
  const int64_t m0 = recording->frames();
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(play_sound(slots[0], 0, 0, 1), i);
    wait_ms(60);
  }
  wait_ms(1200);
  const int64_t m1 = recording->frames();
  const std::vector<int16_t> l = recording->left();
  std::set<int> seen;
  int64_t clipped = 0;
  for (int64_t i = m0; i < m1; ++i) {
    seen.insert(l[static_cast<size_t>(i)]);
    clipped += l[static_cast<size_t>(i)] == 32767;
  }
  EXPECT_EQ(seen, (std::set<int>{0, 10000, 20000, 30000, 32767}));
  EXPECT_GT(clipped, 44100 / 4) << "all four at once for a good while";
}

// Music and the sound of a video go on under the sound effects: a constant
// effect moves the mean, the two tones stay in what is left around it.
TEST_F(SoundDeviceTest, MusicAndTheSoundOfAVideoKeepPlayingUnderneath) {
  MusicPlayer music(make_mixer_output(rt.audio), accurate_ms);
  ASSERT_TRUE(write_file(tmp.file("music.wav"), wav_file({}, pcm16(sine16(440, 3 * 44100, 0.25)))));
  ASSERT_TRUE(music.play(tmp.file("music.wav").c_str(), 0));
  std::vector<int16_t> video;  // two seconds of a 1000 Hz tone, stereo, as a video queues it
  for (int16_t v : sine16(1000, 2 * 44100, 0.2)) video.insert(video.end(), {v, v});
  ASSERT_EQ(platform::audio_stream_push(rt.audio, video.data(), 2 * 44100), 2 * 44100);
  load(0, "level.wav", wav_file({}, pcm16(constant16(6000, 44100))), 1);
  wait_ms(300);
  const int64_t m0 = recording->frames();
  ASSERT_EQ(play_sound(slots[0], 0, 0, 1), 0);
  wait_ms(400);
  const int64_t m1 = recording->frames();
  stop_sound(slots[0], 0);
  wait_ms(400);
  const int64_t m2 = recording->frames();
  music.stop();
  platform::audio_stream_clear(rt.audio);
  const std::vector<int16_t> l = recording->left();

  const double tones = 32767 * std::sqrt(0.25 * 0.25 + 0.2 * 0.2) / std::sqrt(2.0);
  EXPECT_NEAR(mean(l, m0 + kEdge, m1 - kEdge / 2), 6000, 150) << "the effect";
  EXPECT_NEAR(ac_rms(l, m0 + kEdge, m1 - kEdge / 2), tones, 200) << "music and video under it";
  EXPECT_NEAR(mean(l, m1 + kEdge, m2 - kEdge / 2), 0, 150) << "the effect stopped";
  EXPECT_NEAR(ac_rms(l, m1 + kEdge, m2 - kEdge / 2), tones, 200) << "music and video go on";
}

// A game on the whole runtime: start-up opens the device with its sound
// table, the game plays a tone fully left and ends while it plays, and
// shutdown releases the sound and the device under it.
TEST(SoundProgram, StartUpMakesTheSoundsAndShutdownReleasesThemWhilePlaying) {
  TempDir tmp;
  ASSERT_TRUE(write_file(tmp.file("tone.wav"), wav_file({.rate = 22050}, pcm16(sine16(600, 22050, 0.5, 22050)))));
  ChildOptions options;
  options.cwd = tmp.path();
  options.env = {{"SDL_AUDIODRIVER", "disk"},
                 {"SDL_DISKAUDIOFILE", tmp.file("out.raw")},
                 {"MXT_TEST_SOUND", tmp.file("tone.wav")},
                 {"TMPDIR", tmp.path()}};
  const ChildResult r = run_child(test_program("prog_sound"), {}, options);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("load: error 0\nplay: 2560\nfree: 4095\nplaying: 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("exit"), std::string::npos) << r.out;
  const std::string bytes = read_file(tmp.file("out.raw"));
  std::vector<int16_t> left(bytes.size() / 4), right(bytes.size() / 4);
  for (size_t i = 0; i < left.size(); ++i) {
    std::memcpy(&left[i], bytes.data() + i * 4, 2);
    std::memcpy(&right[i], bytes.data() + i * 4 + 2, 2);
  }
  EXPECT_GT(count_bursts(left, 3000), 0) << "the tone, on the left";
  EXPECT_NEAR(frequency(left, 0, static_cast<int64_t>(left.size())), 600, 10);
  EXPECT_EQ(rms(right, 0, static_cast<int64_t>(right.size())), 0);
}

}  // namespace

// The music player's looping, pause, volume and failure rules over a clock
// the test sets and an output that plays nothing. Its "files" are texts:
// "len=300" is a 300 ms track, "len=-1" one whose length is unknown, "bad"
// one that cannot be decoded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/audio/music.h"
#include <moxtril.h>
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "support/child.h"
#include "support/gl.h"

using namespace mxt;
using mxt_test::TempDir;
using mxt_test::write_file;

namespace {

struct FakeOutput final : MusicOutput {
  explicit FakeOutput(const double& clock) : now(clock) {}
  const double& now;
  double length = 0;
  bool loaded = false, endless = false, paused = false;
  double started = 0, paused_at = 0, paused_for = 0;
  int plays = 0, unloads = 0;
  std::vector<int> volumes;

  bool load(const uint8_t* data, int64_t size) override {
    const std::string text(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    if (text.rfind("len=", 0) != 0) return false;
    length = std::stod(text.substr(4));
    return loaded = true;
  }
  void unload() override {
    loaded = false;
    ++unloads;
  }
  double length_ms() override { return length; }
  void play_from_start(bool e) override {
    endless = e;
    started = now;
    paused = false;
    paused_for = 0;
    ++plays;
  }
  void pause() override {
    paused = true;
    paused_at = now;
  }
  void resume() override {
    if (paused) paused_for += now - paused_at;
    paused = false;
  }
  bool before_end() override {
    const double position = (paused ? paused_at : now) - started - paused_for;
    return loaded && (endless || position < length);
  }
  void set_volume(int level) override { volumes.push_back(level); }
};

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto out = std::make_unique<FakeOutput>(now);
    fake = out.get();
    player = std::make_unique<MusicPlayer>(std::move(out), [this] { return now; });
    clear_last_error();
  }
  std::string track(const std::string& name, const std::string& text) {
    write_file(tmp.file(name), text);
    return tmp.file(name);
  }
  TempDir tmp;
  double now = 1000;
  FakeOutput* fake = nullptr;
  std::unique_ptr<MusicPlayer> player;
};

TEST_F(MusicTest, ShortLoopingTrackRestartsEvery500msAndDriftsWithLateChecks) {
  ASSERT_TRUE(player->play(track("short.mp3", "len=300").c_str(), 1));
  EXPECT_EQ(fake->plays, 1);
  EXPECT_EQ(player->restart_time(), 1500);
  now = 1499;
  player->upkeep();
  EXPECT_EQ(fake->plays, 1);
  now = 1500;
  player->upkeep();
  EXPECT_EQ(fake->plays, 2);
  EXPECT_EQ(player->restart_time(), 2000);
  now = 2120;  // a late check: the next restart counts from here
  player->upkeep();
  EXPECT_EQ(fake->plays, 3);
  EXPECT_EQ(player->restart_time(), 2620);
  EXPECT_EQ(player->playing(), 1);  // between its end and the restart, a looping track counts as on

  ASSERT_TRUE(player->play(track("long.ogg", "len=2345").c_str(), 1));
  EXPECT_EQ(player->restart_time(), 2120 + 2345);
}

TEST_F(MusicTest, PauseMovesTheNextRestartByThePausedTime) {
  ASSERT_TRUE(player->play(track("theme.mp3", "len=2000").c_str(), 1));  // at 1000: restart at 3000
  now = 1500;
  player->pause(1);
  EXPECT_EQ(player->restart_time(), -3000);
  EXPECT_EQ(player->playing(), 1) << "paused short of its end";
  now = 5000;
  player->upkeep();
  EXPECT_EQ(fake->plays, 1) << "no restart while paused";
  now = 11500;  // 10 s later
  player->pause(0);
  EXPECT_EQ(player->restart_time(), 13000);
  now = 12999;
  player->upkeep();
  EXPECT_EQ(fake->plays, 1);
  now = 13000;
  player->upkeep();
  EXPECT_EQ(fake->plays, 2);

  // Paused after its end but before its restart, a looping track is judged by
  // its position: not playing.
  ASSERT_TRUE(player->play(track("short.mp3", "len=300").c_str(), 1));
  now += 400;
  player->pause(1);
  EXPECT_EQ(player->playing(), 0);
}

TEST_F(MusicTest, MissingFileStopsTheOldTrackAndReportsError3) {
  ASSERT_TRUE(player->play(track("theme.mp3", "len=2000").c_str(), 1));
  EXPECT_FALSE(player->play(tmp.file("nowhere.mp3").c_str(), 1));
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_EQ(fake->unloads, 1);
  EXPECT_FALSE(fake->loaded);
  EXPECT_EQ(player->playing(), 0);
  now = 1e6;
  player->upkeep();
  EXPECT_EQ(fake->plays, 1);
}

TEST_F(MusicTest, NonLoopingTrackStopsReportingPlayingAtItsEnd) {
  ASSERT_TRUE(player->play(track("jingle.wav", "len=300").c_str(), 0));
  EXPECT_EQ(player->restart_time(), 0);
  now = 1299;
  EXPECT_EQ(player->playing(), 1);
  now = 1300;
  EXPECT_EQ(player->playing(), 0);
  player->upkeep();
  EXPECT_EQ(fake->plays, 1);
}

TEST_F(MusicTest, VolumeIsSentOnceAPerValueAndEveryTrackStartsAtFull) {
  player->set_volume(0.5);
  EXPECT_TRUE(fake->volumes.empty()) << "no track, nothing sent";
  ASSERT_TRUE(player->play(track("theme.mp3", "len=2000").c_str(), 1));
  EXPECT_EQ(fake->volumes, std::vector<int>{1000});
  player->set_volume(0.5);
  player->set_volume(0.5);
  EXPECT_EQ(fake->volumes, (std::vector<int>{1000, 500}));
  ASSERT_TRUE(player->play(track("theme.mp3", "len=2000").c_str(), 1));
  EXPECT_EQ(fake->volumes.back(), 1000);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  player->set_volume(nan);
  player->set_volume(nan);  // a NaN never equals the last value
  player->set_volume(2.5);
  player->set_volume(-3);
  EXPECT_EQ(fake->volumes, (std::vector<int>{1000, 500, 1000, 0, 0, 1000, 0}));
  EXPECT_EQ(volume_level(0.0999), 99);
}

TEST_F(MusicTest, UndecodableFileLeavesNoTrackNoErrorAndHarmlessCommands) {
  ASSERT_TRUE(player->play(track("broken.mp3", "bad").c_str(), 1));
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_FALSE(player->has_track());
  player->pause(1);
  player->pause(0);
  player->restart();
  player->set_volume(0.3);
  now = 1e7;
  player->upkeep();
  EXPECT_EQ(player->playing(), 0);
  EXPECT_EQ(fake->plays, 0);
  EXPECT_TRUE(fake->volumes.empty());
}

TEST_F(MusicTest, TrackOfUnknownLengthLoopsInTheOutputAndSurvivesAPause) {
  ASSERT_TRUE(player->play(track("stream.ogg", "len=-1").c_str(), 1));
  EXPECT_TRUE(fake->endless);
  now = 1e9;
  player->upkeep();
  player->pause(1);
  now = 2e9;
  player->pause(0);
  player->upkeep();
  EXPECT_EQ(fake->plays, 1);
  EXPECT_EQ(player->playing(), 1);
  player->restart();
  EXPECT_TRUE(fake->endless);
}

TEST_F(MusicTest, StopForgetsTrackAndVolume) {
  ASSERT_TRUE(player->play(track("theme.mp3", "len=2000").c_str(), 1));
  player->stop();
  EXPECT_EQ(player->playing(), 0);
  EXPECT_EQ(player->volume(), -1.0);
  EXPECT_EQ(player->restart_time(), 0);
  EXPECT_EQ(fake->unloads, 1);
  player->stop();
  EXPECT_EQ(fake->unloads, 1) << "a second stop finds nothing";
}

// The frame loop and the idle pump keep the process-wide player going, and
// starting music brings a paused program back.
class MusicWiringTest : public mxt_test::RendererTest {};

TEST_F(MusicWiringTest, FrameUpkeepAndIdlePumpRestartDueMusicAndPlayResumes) {
  TempDir tmp;
  ASSERT_TRUE(write_file(tmp.file("loop.mp3"), "len=300"));
  double now = 0;
  auto out = std::make_unique<FakeOutput>(now);
  FakeOutput* fake = out.get();
  MusicPlayer player(std::move(out), [&] { return now; });
  rt.music = &player;

  rt.core->pause.paused = 1;
  mxt_play_music(tmp.file("loop.mp3").c_str(), 1);
  EXPECT_EQ(rt.core->pause.paused, 0);
  EXPECT_EQ(mxt_music_playing(), 1);
  now = 500;
  frame_upkeep();
  EXPECT_EQ(fake->plays, 2);
  now = 1000;
  idle_pump();
  EXPECT_EQ(fake->plays, 3);
  mxt_stop_music();
  EXPECT_EQ(mxt_music_playing(), 0);
  rt.music = nullptr;
}

}  // namespace

// Music through the real audio device, recorded by SDL's disk driver: what
// the device played is read back as samples and measured.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "support/audio.h"
#include "runtime/audio/music.h"
#include <moxtril.h>
#include "runtime/base/clock.h"
#include "runtime/base/singletons.h"
#include "runtime/files/archive.h"
#include "runtime/platform/platform.h"
#include "support/child.h"

using namespace mxt;
using namespace mxt_test;

namespace {

void wait_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class MusicDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recording = std::make_unique<Recording>(tmp.file("out.raw"));
    ASSERT_TRUE(recording->ok()) << platform::last_error();
    const platform::AudioFormat f = platform::audio_format(rt.audio);
    ASSERT_EQ(f.rate, 44100);  // the recording is read as 16-bit stereo at this rate
    ASSERT_EQ(f.channels, 2);
    player = std::make_unique<MusicPlayer>(make_mixer_output(rt.audio), accurate_ms);
  }
  void TearDown() override {
    player.reset();
    recording.reset();
  }
  TempDir tmp;
  std::unique_ptr<Recording> recording;
  std::unique_ptr<MusicPlayer> player;
};

// Recording marks lag the mixer by up to a buffer or two; measure inside each
// phase, away from its edges.
constexpr int64_t kEdge = 4096;

TEST_F(MusicDeviceTest, ToneHasItsFrequencyHalvesWithVolumeGoesQuietOnPauseAndStop) {
  ASSERT_TRUE(write_file(tmp.file("tone.wav"), tone_wav(1000, 3.0, 0.5)));
  ASSERT_TRUE(player->play(tmp.file("tone.wav").c_str(), 0));
  ASSERT_TRUE(player->has_track());
  const int64_t m0 = recording->frames();
  wait_ms(300);
  const int64_t m1 = recording->frames();
  player->set_volume(0.5);
  wait_ms(300);
  const int64_t m2 = recording->frames();
  player->pause(1);
  EXPECT_EQ(player->playing(), 1) << "paused short of its end";
  wait_ms(250);
  const int64_t m3 = recording->frames();
  player->pause(0);
  wait_ms(250);
  const int64_t m4 = recording->frames();
  player->stop();
  wait_ms(250);
  const int64_t m5 = recording->frames();
  const std::vector<int16_t> s = recording->left();

  const double full = rms(s, m0 + kEdge, m1 - kEdge / 2);
  EXPECT_NEAR(full, 0.5 * 32767 / std::sqrt(2.0), 600);
  EXPECT_NEAR(frequency(s, m0 + kEdge, m1 - kEdge / 2), 1000, 5);
  EXPECT_NEAR(rms(s, m1 + kEdge, m2 - kEdge / 2) / full, 0.5, 0.02);
  EXPECT_LT(rms(s, m2 + kEdge, m3 - kEdge / 2), 1.0) << "paused";
  EXPECT_NEAR(rms(s, m3 + kEdge, m4 - kEdge / 2) / full, 0.5, 0.02) << "resumed at the volume it had";
  EXPECT_NEAR(frequency(s, m3 + kEdge, m4 - kEdge / 2), 1000, 5);
  EXPECT_LT(rms(s, m4 + kEdge, m5), 1.0) << "stopped";
}

TEST_F(MusicDeviceTest, Mp3AndOggDecodeWithTheirLength) {
  for (const char* ext : {"mp3", "ogg"}) {
    SCOPED_TRACE(ext);
    const std::string codec = std::string(ext) == "mp3" ? "libmp3lame" : "libvorbis";
    if (!ffmpeg_has_encoders({codec})) GTEST_SKIP() << "the ffmpeg tool or its encoder " << codec << " is missing";
    const std::string path = made_media(std::string("tone1k.") + ext,
                                        {"-f", "lavfi", "-i", "sine=frequency=1000:duration=1:sample_rate=44100",
                                         "-ac", "2", "-c:a", codec});
    ASSERT_FALSE(path.empty()) << "the ffmpeg tool could not make the file";
    ASSERT_TRUE(player->play(path.c_str(), 1));
    ASSERT_TRUE(player->has_track());
    EXPECT_NEAR(player->restart_time() - accurate_ms(), 1000, 80) << "the track's length sets the restart";
    const int64_t m0 = recording->frames();
    wait_ms(350);
    const int64_t m1 = recording->frames();
    player->stop();
    const std::vector<int16_t> s = recording->left();
    EXPECT_GT(rms(s, m0 + kEdge, m1 - kEdge / 2), 1000);
    EXPECT_NEAR(frequency(s, m0 + kEdge, m1 - kEdge / 2), 1000, 10);
  }
}

TEST_F(MusicDeviceTest, TrackThatIsOnlyInTheArchivePlaysFromMemory) {
  ArchiveBuilder builder(ArchiveBuilder::Level::fast);
  const std::string wav = tone_wav(500, 1.0, 0.5);
  ASSERT_TRUE(builder.add("inside.wav", wav.data(), static_cast<int64_t>(wav.size())));
  ASSERT_TRUE(write_file(tmp.file("media.sbx"), builder.finish()));
  create_archive_slots();
  mxt_set_archive(tmp.file("media.sbx").c_str(), tmp.file("media.sbx").c_str());

  // Started over a paused track: the pause does not carry over to the new one.
  ASSERT_TRUE(write_file(tmp.file("other.wav"), tone_wav(1000, 1.0, 0.5)));
  ASSERT_TRUE(player->play(tmp.file("other.wav").c_str(), 0));
  player->pause(1);
  ASSERT_TRUE(player->play("inside.wav", 0));
  EXPECT_TRUE(player->has_track());
  EXPECT_EQ(std::string(player->file_name().c_str()).rfind("mem://", 0), 0u);
  const int64_t m0 = recording->frames();
  wait_ms(300);
  const int64_t m1 = recording->frames();
  player->stop();
  release_archive_slots();
  const std::vector<int16_t> s = recording->left();
  EXPECT_NEAR(frequency(s, m0 + kEdge, m1 - kEdge / 2), 500, 5);
}

TEST_F(MusicDeviceTest, ShortTrackWithoutLoopEndsAndReportsIt) {
  ASSERT_TRUE(write_file(tmp.file("blip.wav"), tone_wav(800, 0.3, 0.5)));
  const double t0 = accurate_ms();
  ASSERT_TRUE(player->play(tmp.file("blip.wav").c_str(), 0));
  EXPECT_EQ(player->playing(), 1);
  while (player->playing() && accurate_ms() - t0 < 3000) wait_ms(5);
  const double took = accurate_ms() - t0;
  EXPECT_EQ(player->playing(), 0);
  EXPECT_GT(took, 250);
  EXPECT_LT(took, 1000);
}

TEST_F(MusicDeviceTest, DamagedFilesLoadNothingAndReportNoError) {
  std::string truncated = tone_wav(1000, 1.0, 0.5).substr(0, 30);
  std::string garbage(5000, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919u) >> 3);
  std::string lying = tone_wav(1000, 0.1, 0.5);
  lying[40] = lying[41] = lying[42] = static_cast<char>(0xFF);  // data chunk claims 16 MB more than there is
  for (const auto& [name, bytes] : {std::pair{"cut.wav", truncated}, {"noise.mp3", garbage}, {"lying.wav", lying},
                                    {"empty.ogg", std::string()}}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(write_file(tmp.file(name), bytes));
    clear_last_error();
    ASSERT_TRUE(player->play(tmp.file(name).c_str(), 1));
    EXPECT_EQ(mxt_last_error(), 0);
    player->upkeep();
    player->pause(1);
    player->pause(0);
    player->stop();
  }
}

// A game on the whole runtime: start-up opens the device, the game starts a
// 300 ms looping track and shows frames for 1.3 s; the frame upkeep restarts
// it every 500 ms, which the recording shows as three bursts of tone.
TEST(MusicProgram, FrameLoopRestartsALoopingTrackEvery500ms) {
  TempDir tmp;
  ASSERT_TRUE(write_file(tmp.file("loop.wav"), tone_wav(700, 0.3, 0.5)));
  ChildOptions options;
  options.cwd = tmp.path();
  options.env = {{"SDL_AUDIODRIVER", "disk"},
                 {"SDL_DISKAUDIOFILE", tmp.file("out.raw")},
                 {"MXT_TEST_MUSIC", tmp.file("loop.wav")},
                 {"TMPDIR", tmp.path()}};
  const ChildResult r = run_child(test_program("prog_music"), {}, options);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("playing 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("missing: error: 3"), std::string::npos) << r.out;
  const std::string bytes = read_file(tmp.file("out.raw"));
  std::vector<int16_t> left(bytes.size() / 4);
  for (size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], bytes.data() + i * 4, 2);
  EXPECT_EQ(count_bursts(left, 3000), 3);
}

}  // namespace

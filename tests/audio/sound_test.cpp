// Sound effects on a mixer that the tests pull by hand: no device plays, so
// a play runs exactly as long as the tests mix, and every sample the mixer
// makes is known. The commands are checked on the process-wide table, set
// to the test's own device and slots.
#include <gtest/gtest.h>

#include <moxtril.h>

#include <chrono>
#include <memory>
#include <vector>

#include "runtime/audio/mixer.h"
#include "runtime/audio/sound.h"
#include "runtime/base/singletons.h"
#include "runtime/files/archive.h"
#include "support/child.h"
#include "support/wav.h"

using namespace mxt;
using namespace mxt_test;

namespace {

constexpr int kRate = 44100;

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device.mixer = new SoundMixer({kRate, 2});
    slots = std::make_unique<SoundSlot[]>(kSoundSlots);
    rt.sound_device = &device;
    rt.sounds = slots.get();
  }
  void TearDown() override {
    for (int n = 0; n < kSoundSlots; ++n) release_sound(slots[static_cast<size_t>(n)]);
    rt.sounds = nullptr;
    rt.sound_device = nullptr;
    sound_device_release(device);
  }

  // A file in the test's folder, by its full name.
  RtString file(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(write_file(tmp.file(name), bytes));
    return RtString(tmp.file(name).c_str());
  }

  // The next `frames` frames the mixer makes over silence, interleaved.
  std::vector<int16_t> pull(int frames, int16_t under = 0) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2, under);
    device.mixer->mix(out.data(), frames);
    return out;
  }

  SoundSlot& slot(int n) { return slots[static_cast<size_t>(n)]; }

  TempDir tmp;
  SoundDevice device;
  std::unique_ptr<SoundSlot[]> slots;
};

std::string constant_wav(int16_t value, int frames) { return wav_file({}, pcm16(constant16(value, frames))); }

TEST_F(SoundTest, OneChannelSoundHasNoChannelForASecondPlayWhileTheFirstRuns) {
  mxt_load_sound(file("beep.wav", constant_wav(1000, 1000)), 5, 1);
  ASSERT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(mxt_play_sound(5, 0, 1), 5 * 256);
  EXPECT_EQ(mxt_play_sound(5, 0, 1), -1) << "the first play still runs";
  pull(600);
  EXPECT_EQ(mxt_sound_playing(5 * 256), 1);
  EXPECT_EQ(mxt_play_sound(5, 0, 1), -1);
  pull(400);
  EXPECT_EQ(mxt_sound_playing(5 * 256), 0) << "played to its end";
  EXPECT_EQ(mxt_play_sound(5, 0, 1), 5 * 256);
  EXPECT_EQ(device.mixer->position(slot(5).channels[0]), 0) << "a finished play starts again from the start";
}

TEST_F(SoundTest, ThreeChannelsPlayInTurnAndTheFourthPlayCutsOffTheFirst) {
  mxt_load_sound(file("shot.wav", constant_wav(1000, 5000)), 7, 3);
  EXPECT_EQ(mxt_play_sound(7, 0, 1), 7 * 256 + 0);
  pull(100);
  EXPECT_EQ(mxt_play_sound(7, 0, 1), 7 * 256 + 1);
  pull(100);
  EXPECT_EQ(mxt_play_sound(7, 0, 1), 7 * 256 + 2);
  pull(100);
  EXPECT_EQ(device.mixer->position(slot(7).channels[0]), 300);
  EXPECT_EQ(mxt_play_sound(7, 0, 1), 7 * 256 + 0);
  EXPECT_EQ(device.mixer->position(slot(7).channels[0]), 0) << "the oldest play was cut off and starts over";
  EXPECT_EQ(device.mixer->voice_count(), 3);
  // Three plays at 1000 each, summed.
  EXPECT_EQ(pull(1)[0], 3000);

  // Once a channel is free again it is taken without moving on.
  mxt_stop_sound(7 * 256 + 0);
  EXPECT_EQ(mxt_play_sound(7, 0, 1), 7 * 256 + 0);
}

TEST_F(SoundTest, ChannelCountsAreClampedToOneAndFour) {
  const RtString beep = file("beep.wav", constant_wav(1000, 100));
  for (const auto& [asked, got] : {std::pair{0, 1}, {9, 4}, {-5, 1}, {2, 2}}) {
    SCOPED_TRACE(asked);
    mxt_load_sound(beep, 1, asked);
    EXPECT_EQ(slot(1).channel_count, got);
    EXPECT_EQ(device.mixer->buffer_count(), got) << "loading into a used number releases the old buffers first";
    for (int c = 0; c < kSoundChannels; ++c) EXPECT_EQ(slot(1).channels[c] != nullptr, c < got);
  }
}

TEST_F(SoundTest, VolumeAndPanInHundredthsOfADecibel) {
  EXPECT_EQ(sound_volume(1.0), 0);
  EXPECT_EQ(sound_volume(0.5), -602);
  EXPECT_EQ(sound_volume(0.1), -2000);
  EXPECT_EQ(sound_volume(0.01), -4000);
  EXPECT_EQ(sound_volume(0.004), -10000) << "below 1 % after scaling";
  EXPECT_EQ(sound_volume(0.0), -10000);
  EXPECT_EQ(sound_volume(-3.0), -10000);
  EXPECT_EQ(sound_volume(7.0), 0);
  EXPECT_EQ(sound_volume(0.999), -8) << "99 %: whole percents first";
  EXPECT_EQ(sound_volume(std::nan("")), -10000);
  EXPECT_EQ(sound_pan(3.0), 10000);
  EXPECT_EQ(sound_pan(-3.0), -10000);
  EXPECT_EQ(sound_pan(0.33333), 3333);
  EXPECT_EQ(sound_pan(-0.33333), -3333) << "toward zero";
  EXPECT_EQ(sound_pan(std::nan("")), 0);
  EXPECT_EQ(level_factor(0), 65536);
  EXPECT_NEAR(level_factor(-602), 32768, 3);
  EXPECT_EQ(level_factor(-10000), 0);
  EXPECT_EQ(level_factor(-9999), 1);
}

TEST_F(SoundTest, VolumeAndPanScaleWhatIsMixed) {
  mxt_load_sound(file("dc.wav", constant_wav(16000, 1000)), 2, 1);
  struct Case {
    double pan, volume;
    int16_t left, right;
  };
  const Case cases[] = {
      {0, 1, 16000, 16000},     // the centre: both sides whole
      {0, 0.5, 8000, 8000},     // -602: half
      {-1, 1, 16000, 0},        // fully left: the right side silent
      {1, 1, 0, 16000},
      {-0.3, 1, 16000, 506},    // -3000 on the right: 10^-1.5
      {0.5, 0.5, 25, 8000},     // -5000 and -602 on the left
      {0, 0.004, 0, 0},         // below 1 %: silent
      {3, 1, 0, 16000},         // pan clamped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "pan " << c.pan << " volume " << c.volume);
    ASSERT_EQ(mxt_play_sound(2, c.pan, c.volume), 2 * 256);
    const std::vector<int16_t> s = pull(1);
    EXPECT_NEAR(s[0], c.left, 1);
    EXPECT_NEAR(s[1], c.right, 1);
    mxt_stop_sound(2 * 256);
  }

  // A stereo sound keeps its sides; pan only lowers the far one.
  std::vector<int16_t> lr;
  for (int i = 0; i < 100; ++i) lr.insert(lr.end(), {1000, -3000});
  mxt_load_sound(file("lr.wav", wav_file({.channels = 2}, pcm16(lr))), 3, 1);
  mxt_play_sound(3, 1, 1);
  const std::vector<int16_t> s = pull(1);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[1], -3000);
}

TEST_F(SoundTest, OverlappingPlaysAreSummedOverWhatIsThereAndClippedOnce) {
  mxt_load_sound(file("dc.wav", constant_wav(10000, 1000)), 9, 4);
  for (int i = 0; i < 4; ++i) mxt_play_sound(9, 0, 1);
  EXPECT_EQ(pull(1)[0], 32767) << "40,000 clips, and does not wrap round";
  const std::vector<int16_t> under = pull(1, -20000);
  EXPECT_EQ(under[0], 20000) << "the sum is clipped once, after adding it to the music";
  mxt_stop_sound(9 * 256 + 3);
  EXPECT_EQ(pull(1)[0], 30000);
  const std::vector<int16_t> negative = [&] {
    mxt_load_sound(file("neg.wav", constant_wav(-12000, 1000)), 10, 4);
    for (int i = 0; i < 4; ++i) mxt_play_sound(10, 0, 1);
    return pull(1);
  }();
  EXPECT_EQ(negative[0], 30000 - 48000) << "three plays of sound 9 and four of sound 10";
  mxt_stop_sound(9 * 256 + 200);
  EXPECT_EQ(pull(1)[0], -32768);
}

TEST_F(SoundTest, StopEndsOnePlayAChannelPartBeyondTheCountEndsThemAll) {
  mxt_load_sound(file("dc.wav", constant_wav(1000, 1000)), 4, 4);
  mxt_load_sound(file("dc.wav", constant_wav(1000, 1000)), 6, 2);
  for (int i = 0; i < 3; ++i) mxt_play_sound(4, 0, 1);
  mxt_play_sound(6, 0, 1);
  mxt_stop_sound(4 * 256 + 1);
  EXPECT_EQ(mxt_sound_playing(4 * 256 + 0), 1);
  EXPECT_EQ(mxt_sound_playing(4 * 256 + 1), 0);
  EXPECT_EQ(mxt_sound_playing(4 * 256 + 2), 1);
  mxt_stop_sound(4 * 256 + 200);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(mxt_sound_playing(4 * 256 + c), 0);
  EXPECT_EQ(mxt_sound_playing(6 * 256), 1) << "another sound goes on";
  mxt_stop_sound(-1);  // a failed play's id: ignored
  mxt_stop_sound(kChannelIds);
  EXPECT_EQ(mxt_sound_playing(6 * 256), 1);
  mxt_play_sound(4, 0, 1);
  mxt_stop_all_sounds();
  EXPECT_EQ(device.mixer->voice_count(), 0);
  EXPECT_EQ(pull(1)[0], 0);
}

TEST_F(SoundTest, FindFreeSoundGivesTheHighestFreeNumber) {
  EXPECT_EQ(mxt_find_free_sound(), 4095);
  mxt_load_sound(file("beep.wav", constant_wav(1000, 10)), 4095, 1);
  EXPECT_EQ(mxt_find_free_sound(), 4094);
  for (int n = 0; n < kSoundSlots; ++n) slot(n).channel_count = n == 17 ? 0 : 1;
  EXPECT_EQ(mxt_find_free_sound(), 17);
  EXPECT_EQ(mxt_last_error(), 0);
  slot(17).channel_count = -2;  // counts as free
  EXPECT_EQ(mxt_find_free_sound(), 17);
  slot(17).channel_count = 1;
  EXPECT_EQ(mxt_find_free_sound(), -1);
  EXPECT_EQ(mxt_last_error(), 7);
  for (int n = 0; n < kSoundSlots; ++n) slot(n).channel_count = 0;
  slot(4095).channel_count = 1;  // put back what it really holds, for the release
}

TEST_F(SoundTest, NumbersAndIdsOutOfRangeGiveErrorSeven) {
  const RtString beep = file("beep.wav", constant_wav(1000, 10));
  for (const int n : {4096, -1, 1 << 30}) {
    SCOPED_TRACE(n);
    mxt_load_sound(beep, n, 1);
    EXPECT_EQ(mxt_last_error(), 7);
    clear_last_error();
    EXPECT_EQ(mxt_play_sound(n, 0, 1), -1) << "not 0, which names channel 0 of sound 0";
    EXPECT_EQ(mxt_last_error(), 7);
    clear_last_error();
  }
  for (const int id : {-1, kChannelIds, -256}) {
    EXPECT_EQ(mxt_sound_playing(id), 0);
    EXPECT_EQ(mxt_last_error(), 7);
    clear_last_error();
  }
  EXPECT_EQ(mxt_sound_playing(kChannelIds - 1), 0) << "sound 4095, channel 255: in range, nothing loaded";
  EXPECT_EQ(mxt_last_error(), 0);

  // Loading and finding clear the code first; playing does not.
  mxt_play_sound(4096, 0, 1);
  mxt_load_sound(beep, 1, 1);
  EXPECT_EQ(mxt_last_error(), 0);
  mxt_play_sound(4096, 0, 1);
  EXPECT_EQ(mxt_find_free_sound(), 4095);
  EXPECT_EQ(mxt_last_error(), 0);
  report_error(RuntimeError::file_not_found);
  mxt_play_sound(1, 0, 1);
  EXPECT_EQ(mxt_last_error(), 3);
}

TEST_F(SoundTest, AFailedLoadLeavesTheSoundEmptyAMissingNameLeavesItBe) {
  const RtString beep = file("beep.wav", constant_wav(1000, 100));
  mxt_load_sound(beep, 3, 4);
  mxt_play_sound(3, 0, 1);
  mxt_load_sound("no-such-sound.wav", 3, 1);
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_EQ(slot(3).channel_count, 4) << "a name that does not resolve touches nothing";
  EXPECT_EQ(mxt_sound_playing(3 * 256), 1);

  mxt_load_sound(file("bad.wav", std::string("RIFF\x04\x00\x00\x00WAVE", 12)), 3, 4);
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_EQ(slot(3).channel_count, 0);
  for (SoundBuffer* b : slot(3).channels) EXPECT_EQ(b, nullptr);
  EXPECT_EQ(device.mixer->buffer_count(), 0);
  EXPECT_EQ(mxt_play_sound(3, 0, 1), -1);
  EXPECT_EQ(mxt_find_free_sound(), 4095);
}

TEST_F(SoundTest, HostileFilesGiveErrorThreeAndAnEmptySoundWithinASecond) {
  const RtString good = file("good.wav", constant_wav(1000, 100));
  for (const auto& [name, bytes] : hostile_wavs()) {
    SCOPED_TRACE(name);
    mxt_load_sound(good, 12, 2);
    ASSERT_EQ(slot(12).channel_count, 2);
    const auto t0 = std::chrono::steady_clock::now();
    mxt_load_sound(file(name + ".wav", bytes), 12, 2);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    EXPECT_EQ(mxt_last_error(), 3);
    EXPECT_EQ(slot(12).channel_count, 0);
    EXPECT_EQ(device.mixer->buffer_count(), 0);
    EXPECT_EQ(mxt_play_sound(12, 0, 1), -1);
  }
}

TEST_F(SoundTest, EightBitMonoAndSixChannelFilesPlayAsTheirFirstTwoChannels) {
  mxt_load_sound(file("eight.wav", wav_file({.bits = 8}, pcm8({200, 56}))), 1, 1);
  mxt_play_sound(1, 0, 1);
  EXPECT_EQ(pull(2), (std::vector<int16_t>{18432, 18432, -18432, -18432})) << "(200 - 128) x 256 on both sides";

  std::vector<int16_t> six;
  for (int16_t c = 0; c < 6; ++c) six.push_back(static_cast<int16_t>(c == 0 ? 1111 : c == 1 ? -2222 : 30000));
  mxt_load_sound(file("six.wav", wav_file({.channels = 6}, pcm16(six))), 2, 1);
  mxt_play_sound(2, 0, 1);
  EXPECT_EQ(pull(1), (std::vector<int16_t>{1111, -2222}));
}

TEST_F(SoundTest, ASoundInTheMediaArchivePlaysLikeALooseFile) {
  const std::string wav = wav_file({.rate = 22050}, pcm16({0, 2000, 4000, 6000}));
  ArchiveBuilder builder(ArchiveBuilder::Level::fast);
  ASSERT_TRUE(builder.add("inside.wav", wav.data(), static_cast<int64_t>(wav.size())));
  ASSERT_TRUE(write_file(tmp.file("media.sbx"), builder.finish()));
  create_archive_slots();
  mxt_set_archive(tmp.file("media.sbx").c_str(), tmp.file("media.sbx").c_str());
  mxt_load_sound("INSIDE.wav", 40, 2);
  EXPECT_EQ(mxt_last_error(), 0);
  mxt_load_sound(file("loose.wav", wav), 41, 2);
  release_archive_slots();  // the sound keeps its own samples
  mxt_play_sound(40, -1, 1);
  mxt_play_sound(41, 1, 1);
  const std::vector<int16_t> s = pull(8);
  for (int i = 0; i < 8; ++i) {
    const int16_t expected = static_cast<int16_t>(i < 6 ? i * 1000 : 6000);
    EXPECT_EQ(s[static_cast<size_t>(2 * i)], expected) << "the archive's, on the left, frame " << i;
    EXPECT_EQ(s[static_cast<size_t>(2 * i + 1)], expected) << "the loose one, on the right, frame " << i;
  }
}

TEST_F(SoundTest, WithoutAMixerEveryLoadFailsWithThreeAndEveryPlayGivesMinusOne) {
  sound_device_release(device);  // as start-up leaves it without an audio device
  mxt_load_sound(file("beep.wav", constant_wav(1000, 100)), 8, 2);
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_EQ(slot(8).channel_count, 0);
  EXPECT_EQ(mxt_play_sound(8, 0, 1), -1);
  EXPECT_EQ(mxt_sound_playing(8 * 256), 0);
  mxt_stop_sound(8 * 256);
  mxt_stop_all_sounds();
}

TEST_F(SoundTest, ReleasingTheDeviceTakesTheMixerBackFromTheAudioDevice) {
  // A real device on the dummy driver: once released, the device no longer
  // calls the mixer, which is gone.
  platform::AudioDevice* audio = platform::audio_open();
  ASSERT_NE(audio, nullptr) << platform::last_error();
  SoundDevice real;
  sound_device_create(real, audio);
  ASSERT_NE(real.mixer, nullptr);
  EXPECT_EQ(real.mixer->format().rate, platform::audio_format(audio).rate);
  SoundSlot s;
  ASSERT_TRUE(load_sound(s, real, file("beep.wav", constant_wav(1000, 44100)), 1));
  EXPECT_EQ(play_sound(s, 0, 0, 1), 0);
  release_sound(s);
  sound_device_release(real);
  EXPECT_EQ(real.mixer, nullptr);
  platform::sleep_ms(60);  // a few blocks of the device with no mixer in it
  platform::audio_close(audio);
}

// The whole runtime without an audio device: start-up makes the sound
// device empty, and the game's loads and plays fail as they should.
TEST(SoundProgram, WithoutAnAudioDeviceLoadsFailWithThreeAndPlaysGiveMinusOne) {
  TempDir tmp;
  ASSERT_TRUE(write_file(tmp.file("beep.wav"), constant_wav(1000, 4410)));
  ChildOptions options;
  options.cwd = tmp.path();
  options.env = {{"SDL_AUDIODRIVER", "no-such-driver"}, {"MXT_TEST_SOUND", tmp.file("beep.wav")},
                 {"TMPDIR", tmp.path()}};
  const ChildResult r = run_child(test_program("prog_sound"), {}, options);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("load: error 3\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("play: -1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("free: 4095\n"), std::string::npos) << r.out;
}

}  // namespace

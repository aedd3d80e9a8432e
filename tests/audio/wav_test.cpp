// The WAV reader and the conversion to the device's samples, on files built
// in code: what plays, what is skipped, and every hostile file refused.
#include <gtest/gtest.h>

#include <chrono>
#include <span>

#include "runtime/audio/wav.h"
#include "runtime/files/limits.h"
#include "support/audio.h"
#include "support/wav.h"

using namespace mxt;
using namespace mxt_test;

namespace {

std::span<const uint8_t> bytes_of(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

bool parse(const std::string& file, WavFile& wav) {
  const char* why = "";
  return parse_wav(bytes_of(file), wav, why);
}

SoundSamples converted(const std::string& file, int rate) {
  WavFile wav;
  SoundSamples out;
  const char* why = "";
  EXPECT_TRUE(parse_wav(bytes_of(file), wav, why)) << why;
  EXPECT_TRUE(convert_wav(wav, rate, out, why)) << why;
  return out;
}

TEST(Wav, EightAndSixteenBitMonoAndStereoBecomeSixteenBitSamples) {
  // 8-bit samples are unsigned around 128 and take the high byte.
  const SoundSamples eight = converted(wav_file({.bits = 8}, pcm8({128, 255, 0, 129})), 44100);
  EXPECT_EQ(eight.channels, 1);
  EXPECT_EQ(eight.samples, (std::vector<int16_t>{0, 32512, -32768, 256}));

  const SoundSamples sixteen = converted(wav_file({.channels = 2}, pcm16({1, -1, 32767, -32768})), 44100);
  EXPECT_EQ(sixteen.channels, 2);
  EXPECT_EQ(sixteen.frames(), 2);
  EXPECT_EQ(sixteen.samples, (std::vector<int16_t>{1, -1, 32767, -32768}));

  const SoundSamples eight_stereo = converted(wav_file({.channels = 2, .bits = 8}, pcm8({0, 255, 128, 64})), 44100);
  EXPECT_EQ(eight_stereo.samples, (std::vector<int16_t>{-32768, 32512, 0, -16384}));

  WavFile wav;
  ASSERT_TRUE(parse(wav_file({.channels = 2, .rate = 8000, .bits = 8}, pcm8({1, 2, 3, 4, 5})), wav));
  EXPECT_EQ(wav.format.rate, 8000);
  EXPECT_EQ(wav.format.block_align, 2);
  EXPECT_EQ(wav.data.size(), 4u) << "the half frame at the end is left out";
}

TEST(Wav, SixChannelsPlayAsStereoOfTheFirstTwoWithTheFilesBlockAlign) {
  std::vector<int16_t> frames;
  for (int16_t i = 0; i < 3; ++i)
    for (int16_t c = 0; c < 6; ++c) frames.push_back(static_cast<int16_t>(1000 * c + i));
  WavFile wav;
  const std::string file = wav_file({.tag = 0xFFFE, .channels = 6}, pcm16(frames));
  ASSERT_TRUE(parse(file, wav));
  EXPECT_EQ(wav.format.file_channels, 6);
  EXPECT_EQ(wav.format.channels, 2);
  EXPECT_EQ(wav.format.block_align, 12);
  EXPECT_EQ(converted(file, 44100).samples, (std::vector<int16_t>{0, 1000, 1, 1001, 2, 1002}));
}

// The RIFF size is not trusted (writers that stream leave 0 or all ones in
// it); other chunks are skipped, with or without the pad byte after an odd
// size; a format chunk longer than 16 bytes has its extra skipped.
TEST(Wav, OtherChunksAreSkippedAndTheRiffSizeIsNotTrusted) {
  const std::string samples = pcm16({5, 6, 7});
  std::string fmt18 = fmt_body({});
  fmt18 += std::string(2, '\0');  // cbSize 0
  const std::string fmt_odd_long = wav_chunk("fmt ", fmt_body({}) + "x");
  const std::vector<std::pair<std::string, std::string>> files = {
      {"list before fmt, padded", riff_wave(wav_chunk("LIST", "odd") + wav_chunk("fmt ", fmt_body({})) +
                                            wav_chunk("data", samples))},
      {"list before fmt, pad left out", riff_wave(wav_chunk("LIST", "odd", false) +
                                                  wav_chunk("fmt ", fmt_body({})) + wav_chunk("data", samples))},
      {"fact between fmt and data, odd and unpadded",
       riff_wave(wav_chunk("fmt ", fmt18) + wav_chunk("fact", "abc", false) + wav_chunk("data", samples))},
      {"fmt of odd length, padded", riff_wave(fmt_odd_long + wav_chunk("data", samples))},
      {"riff size 0", riff_wave(wav_chunk("fmt ", fmt_body({})) + wav_chunk("data", samples), 0)},
      {"riff size all ones", riff_wave(wav_chunk("fmt ", fmt_body({})) + wav_chunk("data", samples), 0xFFFFFFFF)},
      {"a second fmt after the first", riff_wave(wav_chunk("fmt ", fmt_body({})) +
                                                  wav_chunk("fmt ", fmt_body({.bits = 8})) + wav_chunk("data", samples))},
  };
  for (const auto& [what, file] : files) {
    SCOPED_TRACE(what);
    EXPECT_EQ(converted(file, 44100).samples, (std::vector<int16_t>{5, 6, 7}));
  }
}

TEST(Wav, OtherRatesAreConvertedToTheDevicesRate) {
  // Twice the rate: every second sample lies halfway between two of the file's.
  const SoundSamples doubled = converted(wav_file({.rate = 22050}, pcm16({0, 1000, -1000, 3000})), 44100);
  EXPECT_EQ(doubled.samples, (std::vector<int16_t>{0, 500, 1000, 0, -1000, 1000, 3000, 3000}));

  // A tone keeps its pitch and its length, whatever the file's rate.
  for (const int rate : {8000, 11025, 22050, 48000, 96000}) {
    SCOPED_TRACE(rate);
    const SoundSamples s = converted(wav_file({.rate = static_cast<uint32_t>(rate)}, pcm16(sine16(1000, rate, 0.5, rate))),
                                     44100);
    EXPECT_EQ(s.frames(), 44100) << "one second";
    EXPECT_NEAR(frequency(s.samples, 0, s.frames()), 1000, 2);
    EXPECT_NEAR(rms(s.samples, 0, s.frames()), 0.5 * 32767 / std::sqrt(2.0), 0.5 * 32767 * 0.06) << "linear interpolation loses a little of the top";
  }

  // A stereo file at another rate keeps its sides apart.
  const SoundSamples stereo = converted(wav_file({.channels = 2, .rate = 22050}, pcm16({100, -100, 300, -300})), 44100);
  EXPECT_EQ(stereo.samples, (std::vector<int16_t>{100, -100, 200, -200, 300, -300, 300, -300}));
}

TEST(Wav, ASoundThatWouldPassTheLimitAtTheDevicesRateIsRefusedBeforeItIsMade) {
  // 8-bit mono at 100 frames a second grows 1764 times on the way to 16-bit
  // stereo at 44100; 700,000 frames of it would pass the limit.
  const std::string file = wav_file({.rate = 100, .bits = 8}, std::string(700000, '\x80'));
  WavFile wav;
  SoundSamples out;
  const char* why = "";
  ASSERT_TRUE(parse_wav(bytes_of(file), wav, why));
  EXPECT_FALSE(convert_wav(wav, 44100, out, why));
  EXPECT_TRUE(out.samples.empty());
  EXPECT_GT(700000 * 441 * 2, limits::kMaxSoundBytes);
}

TEST(Wav, HostileFilesAreRefusedWithAReasonWithinASecond) {
  for (const auto& [name, file] : hostile_wavs()) {
    SCOPED_TRACE(name);
    const auto t0 = std::chrono::steady_clock::now();
    WavFile wav;
    const char* why = nullptr;
    EXPECT_FALSE(parse_wav(bytes_of(file), wav, why));
    ASSERT_NE(why, nullptr);
    EXPECT_GT(std::string(why).size(), 5u);
    EXPECT_TRUE(wav.data.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  }
}

// A valid file cut at any length is refused: a short read is caught
// wherever it falls.
TEST(Wav, EveryCutOfAValidFileIsRefused) {
  const std::string file = riff_wave(wav_chunk("LIST", "odd") + wav_chunk("fmt ", fmt_body({.channels = 2})) +
                                     wav_chunk("data", pcm16({1, 2, 3, 4, 5, 6})));
  for (size_t n = 0; n < file.size(); ++n) {
    WavFile wav;
    const char* why = "";
    const std::string cut = file.substr(0, n);
    if (parse_wav(bytes_of(cut), wav, why)) {
      ADD_FAILURE() << "a file cut to " << n << " bytes of " << file.size() << " was read";
    }
  }
  WavFile whole;
  EXPECT_TRUE(parse(file, whole));
}

}  // namespace

// The test helpers that judge results, each checked once against a value it
// must reject: a helper that cannot fail would let every test that uses it
// pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/audio.h"
#include "support/gl.h"
#include "support/images.h"

using namespace mxt_test;

namespace {

std::vector<int16_t> sine(double frequency, int frames, double amplitude, int rate = 44100) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i)
    s[static_cast<size_t>(i)] =
        static_cast<int16_t>(amplitude * 32767.0 * std::sin(2.0 * 3.14159265358979 * frequency * i / rate));
  return s;
}

std::string png_of(int w, int h, const std::vector<uint8_t>& rgba) {
  PngSpec spec;
  spec.width = w;
  spec.height = h;
  spec.colour_type = 6;
  spec.samples = rgba;
  return build_png(spec);
}

}  // namespace

TEST(Helpers, NearComparesEveryChannelAlphaIncluded) {
  EXPECT_TRUE(near(Rgba{10, 20, 30, 40}, Rgba{11, 19, 30, 41}, 1));
  EXPECT_FALSE(near(Rgba{10, 20, 30, 40}, Rgba{12, 20, 30, 40}, 1)) << "red off by 2";
  EXPECT_FALSE(near(Rgba{10, 20, 30, 40}, Rgba{10, 20, 30, 0}, 1)) << "alpha differs";
  EXPECT_FALSE(near(Rgba{10, 20, 30, 40}, Rgba{10, 20, 32, 40}, 1)) << "blue off by 2";
  EXPECT_FALSE((Rgba{1, 2, 3, 4} == Rgba{1, 2, 3, 5}));
}

TEST(Helpers, CountColoursCountsDistinctPixelsAndNothingForAnUndecodableFile) {
  const std::vector<uint8_t> two = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0, 254};
  EXPECT_EQ(count_colours(png_of(2, 2, two)), 3u) << "alpha counts as part of a colour";
  EXPECT_EQ(count_colours(png_of(2, 2, std::vector<uint8_t>(16, 7))), 1u);
  EXPECT_EQ(count_colours("not a png"), 0u);
}

TEST(Helpers, RmsFrequencyAndBurstsMeasureWhatIsThereAndNotMore) {
  const std::vector<int16_t> tone = sine(1000, 44100, 0.5);
  EXPECT_NEAR(rms(tone, 0, 44100), 0.5 * 32767 / std::sqrt(2.0), 50);
  EXPECT_GT(std::abs(rms(tone, 0, 44100) - 0.25 * 32767 / std::sqrt(2.0)), 1000) << "half the level is told apart";
  EXPECT_EQ(rms(tone, 100, 100), 0) << "an empty range";
  EXPECT_NEAR(frequency(tone, 0, 44100), 1000, 2);
  EXPECT_GT(std::abs(frequency(sine(500, 44100, 0.5), 0, 44100) - 1000), 400) << "an octave down is not 1000 Hz";

  // Three loud stretches of 0.1 s in silence.
  std::vector<int16_t> bursts(44100, 0);
  for (int b = 0; b < 3; ++b)
    for (int i = 0; i < 4410; ++i) bursts[static_cast<size_t>(b * 13000 + 2000 + i)] = (i % 2 ? 8000 : -8000);
  EXPECT_EQ(count_bursts(bursts, 1000), 3);
  EXPECT_EQ(count_bursts(bursts, 9000), 0) << "quieter than the threshold";
  EXPECT_EQ(count_bursts(std::vector<int16_t>(44100, 0), 1000), 0);
}

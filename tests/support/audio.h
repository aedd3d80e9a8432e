// Test support for music and video: tones written as WAV in code, clips made
// once with the ffmpeg tool and kept in the build folder, and recordings of
// what the audio device played, through SDL's disk driver.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mxt_test {

// A 16-bit mono WAV file of a sine tone (amplitude as a share of full scale).
std::string tone_wav(double frequency, double seconds, double amplitude, int rate = 44100);

// Whether the ffmpeg tool is there and can encode with each of these
// encoders ("libvpx", "aac", ...). Tests that need a missing one skip with a
// message rather than fail.
bool ffmpeg_has_encoders(const std::vector<std::string>& encoders);
#define MXT_SKIP_WITHOUT_ENCODERS(...)                                                        \
  do {                                                                                        \
    if (!::mxt_test::ffmpeg_has_encoders({__VA_ARGS__}))                                      \
      GTEST_SKIP() << "the ffmpeg tool or one of its encoders (" #__VA_ARGS__ ") is missing"; \
  } while (0)

// A media file made by the ffmpeg tool with these arguments (the output name
// is appended), kept under the build folder; the path, or "" when it failed.
std::string made_media(const std::string& name, const std::vector<std::string>& ffmpeg_args);

// The runtime's audio device (rt.audio) opened on SDL's disk driver writing
// to a file; closes it and returns to the dummy driver when it goes.
class Recording {
 public:
  explicit Recording(const std::string& path);
  ~Recording();
  bool ok() const { return ok_; }
  int64_t frames() const;                   // stereo frames written so far
  std::vector<int16_t> left() const;        // the left channel of everything written
  std::vector<int16_t> right() const;       // and the right

 private:
  std::vector<int16_t> channel(int c) const;
  std::string path_;
  bool ok_ = false;
};

// Over samples [from, to) of one channel.
double rms(const std::vector<int16_t>& s, int64_t from, int64_t to);
double frequency(const std::vector<int16_t>& s, int64_t from, int64_t to, int rate = 44100);  // zero crossings
int count_bursts(const std::vector<int16_t>& s, double threshold, int window = 441);             // runs of loud windows

}  // namespace mxt_test

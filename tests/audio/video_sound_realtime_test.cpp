// The sound of a video through the real audio device, recorded by SDL's disk
// driver as it plays: real time by nature, so these run one at a time.
#include <gtest/gtest.h>

#include "support/audio.h"
#include "runtime/audio/video.h"
#include "runtime/base/singletons.h"
#include "support/child.h"
#include "support/gl.h"

using namespace mxt;
using namespace mxt_test;

namespace {

class VideoSound : public RendererTest {};

TEST_F(VideoSound, SoundOfTheClipReachesTheDevice) {
  MXT_SKIP_WITHOUT_ENCODERS("libvpx", "libvorbis");
  const std::string clip =
      made_media("red-blue.webm", {"-f", "lavfi", "-i", "color=c=red:s=160x90:r=25:d=1", "-f", "lavfi", "-i",
                                   "sine=frequency=440:duration=1:sample_rate=44100", "-map", "0:v", "-map", "1:a",
                                   "-c:v", "libvpx", "-c:a", "libvorbis", "-ac", "2", "-g", "10"});
  ASSERT_FALSE(clip.empty());
  TempDir tmp;
  Recording recording(tmp.file("out.raw"));
  ASSERT_TRUE(recording.ok());
  const int64_t m0 = recording.frames();
  EXPECT_EQ(play_video(clip.c_str(), 0, runtime_video_seams()), 0);
  const int64_t m1 = recording.frames();
  const std::vector<int16_t> s = recording.left();
  EXPECT_NEAR(frequency(s, m0 + 4096, m1), 440, 5);
  EXPECT_GT(rms(s, m0 + 4096, m1), 1000);
}

}  // namespace

// Video: a clip decoded with FFmpeg, drawn scaled and centred over the game
// window (gfx2d/picture.h), its sound mixed over the music on the shared
// audio device. Playing blocks until the clip ends or the player types a key
// or presses a mouse button; a key or button already held when the call
// comes is waited out first, so the press that started the video does not
// end it.
//
// `VideoClip` decodes (any name the file layer opens, real or in memory);
// `play_video` is the blocking loop over it, its clock, its waits, the
// window's messages and the showing of each frame given as seams, so tests
// run it on a clock they set. The command is in audio.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct AudioDevice;
}

class VideoClip {
 public:
  VideoClip();
  ~VideoClip();
  VideoClip(const VideoClip&) = delete;
  VideoClip& operator=(const VideoClip&) = delete;

  bool open(const RtString& name, platform::AudioDevice* sound_device);  // false unless a first picture decodes;
                                                                         // no device: no sound
  void close();
  void start_sound();              // sound decoded so far starts playing; before this it is held back
  void stop_sound();               // what is queued is dropped
  bool advance(double ms);         // shows the last frame due by ms from the start; true when the picture changed
  bool next_frame();               // the next frame whatever its time; false at the end
  bool finished(double ms) const;  // every frame shown and the last one's time over
  bool rewind();                   // back to the first frame; false when that fails
  const uint8_t* picture();        // RGBA, top row first, width() x height(); null before a frame
  int width() const;
  int height() const;
  int display_width() const;       // width with the pixel aspect applied
  int64_t frames_since_rewind() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// What the playback loop needs besides the clip. The runtime's own are
// `runtime_video_seams`; any left empty does nothing (an empty clock stands
// still).
struct VideoSeams {
  std::function<double()> clock;                // milliseconds
  std::function<void(int ms)> sleep;
  std::function<void()> take_input;             // the window's messages, a fresh key snapshot
  std::function<void()> show;                   // the drawn frame to the screen
  std::function<void(int64_t)> after_draw;      // after each drawn frame, before it is shown: frames so far
};
VideoSeams runtime_video_seams();

// The blocking loop: 0 played (or interrupted), 3 the file is missing or no
// picture decodes.
int play_video(const RtString& file, int loop, const VideoSeams& seams);

}  // namespace mxt

// Video: a clip decoded with FFmpeg into a texture drawn scaled and centred
// over the game window, its sound mixed over the music on the shared audio
// device. Playing blocks until the clip ends or the player types a key or
// presses a mouse button; a key or button already held when the call comes
// is waited out first, so the press that started the video does not end it.
//
// `VideoClip` decodes (any name the file layer opens, real or in memory);
// `VideoScreen` draws; `play_video` is the blocking loop over both, with a
// hook after each drawn frame for tests and tools.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "runtime/types/rtstring.h"

namespace mxt {

struct VideoRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const VideoRect&) const = default;
};

// Where a picture of source size lands in a client area: scaled by the
// smaller of the two ratios, sizes truncated, centred with truncated halves.
VideoRect video_dest_rect(int source_w, int source_h, int client_w, int client_h);

class VideoClip {
 public:
  VideoClip();
  ~VideoClip();
  VideoClip(const VideoClip&) = delete;
  VideoClip& operator=(const VideoClip&) = delete;

  bool open(const RtString& name, bool with_sound);  // false unless a first picture decodes
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

// The texture a clip is drawn from. Needs the GL context of the window.
class VideoScreen {
 public:
  VideoScreen() = default;
  ~VideoScreen();
  VideoScreen(const VideoScreen&) = delete;
  VideoScreen& operator=(const VideoScreen&) = delete;
  // Clears the window to black and draws the picture into video_dest_rect;
  // upload false draws the picture already in the texture.
  void draw(const uint8_t* rgba, int w, int h, int display_w, bool upload, int window_w, int window_h);

 private:
  uint32_t texture_ = 0;
  int texture_w_ = 0, texture_h_ = 0;
};

// The blocking loop: 0 played (or interrupted), 3 the file is missing or no
// picture decodes. `after_draw` runs after each frame is drawn, before it is
// shown, with the count of frames drawn so far.
int play_video(const RtString& file, int loop, const std::function<void(int64_t)>& after_draw = {});

}  // namespace mxt

// ---------------------------------------------------------------------------
// Commands

int mxt_play_video(const RtString& file, int loop);  // blocks until the end or a key/button; 0, or 3 when it cannot open

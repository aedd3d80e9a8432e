// A picture that changes every frame, such as a video's, drawn scaled and
// centred over the whole window with black bars where it does not reach.
// It keeps a texture of its own; drawing leaves the game's 2D state (its
// viewport, projection and blending) as it was.
#pragma once

#include <cstdint>

namespace mxt {

class VuduRODoverore;

struct PictureRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const PictureRect&) const = default;
};

// Where a picture of source size lands in a client area: scaled by the
// smaller of the two ratios, sizes truncated, centred with truncated halves.
PictureRect picture_dest_rect(int source_w, int source_h, int client_w, int client_h);

class StreamedPicture {
 public:
  explicit StreamedPicture(VuduRODoverore& renderer) : r_(renderer) {}
  ~StreamedPicture();
  StreamedPicture(const StreamedPicture&) = delete;
  StreamedPicture& operator=(const StreamedPicture&) = delete;

  // Clears the window to black where the picture does not reach and draws
  // the picture (RGBA, top row first, w x h, shown display_w wide) into
  // picture_dest_rect; upload false draws the picture already in the texture.
  void draw(const uint8_t* rgba, int w, int h, int display_w, bool upload);

 private:
  VuduRODoverore& r_;
  uint32_t texture_ = 0;
  int texture_w_ = 0, texture_h_ = 0;
};

}  // namespace mxt

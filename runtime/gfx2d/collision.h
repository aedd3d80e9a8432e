// Pixel-exact collision: two sprites (or two animation frames) drawn at
// given positions overlap where both have a pixel that is not fully
// transparent. The test reads each sprite's alpha from its texture once and
// keeps it; drawing into the sprite (a grab, a surface) or deleting it drops
// the copy, so the next test reads the texture again. The commands are in
// gfx2d.h.
#pragma once

#include <cstdint>
#include <memory>

namespace mxt {

// The alpha bytes of a sprite texture's level 0, rows bottom-up as in the
// texture, at the texture's size.
struct AlphaMask {
  std::unique_ptr<uint8_t[]> bytes;
  int32_t width = 0;
  int32_t height = 0;
};

// One mask a sprite number, made on the first test.
class AlphaMaskCache {
 public:
  const AlphaMask* mask_of(int n);   // read back now when not held; null outside the table
  void free(int n);                  // the sprite's pixels changed or it went
  void free_all();

 private:
  std::unique_ptr<AlphaMask[]> masks_;
};

// Sprites a and b with their image origins at (ax, ay) and (bx, by) share a
// non-transparent pixel inside [left, right) x [top, bottom): the centre
// first, then four interleaved passes over the rectangle.
bool pixel_test(int a, int ax, int ay, int b, int bx, int by, int left, int top, int right, int bottom);

// The same over two masks given directly (image heights ih place the rows).
bool masks_overlap(const AlphaMask& a, int a_height, int ax, int ay, const AlphaMask& b, int b_height, int bx,
                   int by, int left, int top, int right, int bottom);

}  // namespace mxt

// The contract every image decoder keeps, checked after each decode: a
// success is an image within the runtime's limits whose every byte was
// allocated, a failure leaves the image empty (image.h).
#pragma once

#include "fuzz_support.h"
#include "runtime/gfx2d/image.h"

namespace mxt_fuzz {

inline void check_decoded(const mxt::ImageBuffer& image, bool ok) {
  if (!ok) {
    MXT_FUZZ_CHECK(image.width == 0 && image.height == 0 && image.pixels == nullptr);
    return;
  }
  MXT_FUZZ_CHECK(image.width > 0 && image.height > 0);
  MXT_FUZZ_CHECK(image.width <= mxt::kMaxImageSide && image.height <= mxt::kMaxImageSide);
  MXT_FUZZ_CHECK(int64_t{image.width} * image.height <= mxt::kMaxImagePixels);
  MXT_FUZZ_CHECK(image.pixels != nullptr);
  MXT_FUZZ_CHECK(int64_t{image.capacity} >= int64_t{image.width} * image.height * 4);
  // Touch both ends: a buffer smaller than the picture it holds is an
  // overflow AddressSanitizer reports here, not in some later draw.
  volatile uint8_t first = image.pixel(0, 0)[0];
  volatile uint8_t last = image.pixel(image.width - 1, image.height - 1)[3];
  (void)first;
  (void)last;
}

// Magenta, the usual sprite key (0xBBGGRR), so the keying path runs too.
constexpr int32_t kColourKey = 0xFF00FF;

}  // namespace mxt_fuzz

// JPEG from bytes: the runtime reads JPEG from real files only, so the
// in-memory path ends before the decoder; the decoder itself takes bytes.
#include <span>

#include "fuzz_support.h"
#include "image_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  mxt::ImageBuffer image;
  const bool ok = mxt::decode_jpeg(image, std::span<const uint8_t>(data, size));
  mxt_fuzz::check_decoded(image, ok);
  return 0;
}

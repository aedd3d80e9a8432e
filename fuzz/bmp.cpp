// BMP files as a game loads them from the archive: the bytes are a
// registered in-memory file, read through the file layer by its name.
#include "fuzz_support.h"
#include "image_checks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mxt_fuzz::make_memory_images();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  const mxt_fuzz::MemoryFile file(data, size);
  mxt::ImageBuffer image;
  const bool ok = mxt::read_bmp(image, file.name(), mxt_fuzz::kColourKey);
  mxt_fuzz::check_decoded(image, ok);
  return 0;
}

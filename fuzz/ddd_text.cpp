// The text .ddd form through load_ddd over an in-memory file: the tokenizer
// (comments, long tokens, the end of the file), the number conversion, the
// face list with its markers and the palette in order of first use. Binary
// .ddd inputs belong to ddd_binary.
#include <cstring>

#include "ddd_checks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mxt_fuzz::make_memory_images();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const uint8_t kMagic[4] = {0x17, 0xB3, 0xC6, 0x00};
  if (size >= 4 && std::memcmp(data, kMagic, 4) == 0) return 0;  // the other target's
  const mxt_fuzz::MemoryBudget budget;
  mxt_fuzz::load_and_check(data, size, true);
  return 0;
}

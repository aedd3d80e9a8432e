// PNG files as a game loads them from the archive: the bytes are a
// registered in-memory file, read through the file layer by its name.
//
// libpng refuses a chunk whose CRC is wrong before looking inside it, and
// libFuzzer cannot see libpng's branches (the system library carries no
// coverage hooks) to learn the checksum. So every chunk's CRC is made right
// first: a mutation then reaches the chunk parsers and the runtime's pixel
// code instead of dying at the checksum. Inputs that were right stay as
// they are; a saved crash input reproduces through this target.
#include <zlib.h>

#include <vector>

#include "fuzz_support.h"
#include "image_checks.h"

namespace {

void fix_chunk_crcs(std::vector<uint8_t>& png) {
  size_t at = 8;  // after the signature
  while (png.size() >= 12 && at <= png.size() - 12) {
    const uint32_t length = (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) |
                            (uint32_t{png[at + 2]} << 8) | png[at + 3];
    if (length > png.size() - at - 12) return;  // cut short: left for libpng to refuse
    const uLong crc = crc32(crc32(0, nullptr, 0), png.data() + at + 4, length + 4);
    uint8_t* field = png.data() + at + 8 + length;
    field[0] = static_cast<uint8_t>(crc >> 24);
    field[1] = static_cast<uint8_t>(crc >> 16);
    field[2] = static_cast<uint8_t>(crc >> 8);
    field[3] = static_cast<uint8_t>(crc);
    at += size_t{length} + 12;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mxt_fuzz::make_memory_images();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  std::vector<uint8_t> bytes(data, data + size);
  fix_chunk_crcs(bytes);
  const mxt_fuzz::MemoryFile file(bytes.data(), bytes.size());
  mxt::ImageBuffer image;
  const bool ok = mxt::read_png(image, file.name(), mxt_fuzz::kColourKey);
  mxt_fuzz::check_decoded(image, ok);
  return 0;
}

// The media archive reader over an in-memory archive, as the memory mount
// and the sbx tool use it: the trailer, the directory walk, every entry's
// sizes and its LZO stream. sbx has no parser of its own (it lists and
// extracts through ArchiveReader and checks names with is_safe_entry_name),
// so this target covers it as well.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "runtime/files/archive.h"

namespace {

// Above this much unpacked data the rebuild check is skipped: it packs
// every byte again and would slow the campaign for nothing new.
constexpr int64_t kRebuildLimit = int64_t{1} << 20;

struct Unpacked {
  std::string name;
  std::unique_ptr<uint8_t[]> bytes;
  int64_t size;
};

// What the reader gave out, packed again by the builder and read back, must
// be the same entries and bytes: the reader and the writer agree on the
// format whatever the archive they started from.
void check_rebuild(const std::vector<Unpacked>& entries) {
  mxt::ArchiveBuilder builder(mxt::ArchiveBuilder::Level::fast);
  std::vector<const Unpacked*> packed;
  for (const Unpacked& u : entries) {
    const bool taken = std::any_of(packed.begin(), packed.end(), [&](const Unpacked* p) {
      return mxt::same_name_ignoring_case(p->name, u.name);
    });
    if (taken || !mxt::is_safe_entry_name(u.name)) continue;
    MXT_FUZZ_CHECK(builder.add(u.name, u.bytes.get(), u.size));
    packed.push_back(&u);
  }
  const std::string archive = builder.finish();
  const mxt_fuzz::MemoryFile file(reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
  mxt::ArchiveReader reader;
  MXT_FUZZ_CHECK(reader.open(file.name()) == mxt::ArchiveReader::Status::ok);
  const std::vector<mxt::ArchiveEntry> again = reader.entries();
  MXT_FUZZ_CHECK(again.size() == packed.size());
  for (size_t i = 0; i < again.size(); ++i) {
    MXT_FUZZ_CHECK(again[i].name == packed[i]->name);
    std::unique_ptr<uint8_t[]> bytes;
    int64_t size = -1;
    MXT_FUZZ_CHECK(reader.unpack(again[i], bytes, size) == mxt::ArchiveReader::Unpack::ok);
    MXT_FUZZ_CHECK(size == packed[i]->size);
    MXT_FUZZ_CHECK(size == 0 || std::memcmp(bytes.get(), packed[i]->bytes.get(), static_cast<size_t>(size)) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mxt_fuzz::make_memory_images();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  const mxt_fuzz::MemoryFile file(data, size);
  mxt::ArchiveReader reader;
  if (reader.open(file.name()) != mxt::ArchiveReader::Status::ok) return 0;
  MXT_FUZZ_CHECK(reader.file_size() == static_cast<int64_t>(size));

  std::vector<Unpacked> good;
  int64_t total = 0;
  for (const mxt::ArchiveEntry& e : reader.entries()) {
    (void)mxt::is_safe_entry_name(e.name);  // what sbx extract asks of every name

    // Lookup by name finds this entry or an earlier one of the same name.
    mxt::ArchiveEntry found;
    MXT_FUZZ_CHECK(reader.find(e.name, found));
    MXT_FUZZ_CHECK(mxt::same_name_ignoring_case(found.name, e.name));

    int64_t packed = 0, unpacked = 0;
    const mxt::ArchiveReader::Unpack sizes = reader.stored_sizes(e, packed, unpacked);
    std::unique_ptr<uint8_t[]> bytes;
    int64_t length = -1;
    const mxt::ArchiveReader::Unpack result = reader.unpack(e, bytes, length);
    if (sizes == mxt::ArchiveReader::Unpack::outside) {
      MXT_FUZZ_CHECK(result == mxt::ArchiveReader::Unpack::outside);
      continue;
    }
    // Any entry inside the file gives an image with an address, empty when corrupt.
    MXT_FUZZ_CHECK(bytes != nullptr);
    if (result != mxt::ArchiveReader::Unpack::ok) {
      MXT_FUZZ_CHECK(length == 0);
      continue;
    }
    MXT_FUZZ_CHECK(sizes == mxt::ArchiveReader::Unpack::ok && length == unpacked);
    if (length > 0) {
      // Every byte the reader says it unpacked was allocated.
      volatile uint8_t last = bytes[static_cast<size_t>(length - 1)];
      (void)last;
    }
    total += length;
    good.push_back({e.name, std::move(bytes), length});
  }
  if (total <= kRebuildLimit) check_rebuild(good);
  return 0;
}

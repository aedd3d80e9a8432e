// The media archive: one file of LZO1X-packed entries, found by file name.
//
// Layout (all integers 32-bit little-endian, signed): the file ends with the
// 7-byte trailer "sbX" + directory offset; the directory holds entries of
// name length (1 byte, 0 ends it), name, data offset and stored size; an
// entry's data is its unpacked size (4 bytes) and the LZO1X stream. Negative
// offsets count back from the end of the file, so an archive stays valid
// when it is appended to another file (a program, for one).
//
// Two mounts: the memory mount hands out in-memory names of its extractions
// (ordinary media loading); the file mount writes them to a temporary file,
// "sbx" + two letters + the entry's name, for callers that need a real file.
// An extraction lives until the next lookup on its mount; the archive is
// opened and closed again for every lookup. The commands are in files.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files/rtfile.h"
#include "runtime/types/rtstring.h"

namespace mxt {

struct ArchiveEntry {
  std::string name;             // as stored, no folder part expected
  int32_t data_offset = 0;      // as stored; negative counts back from the end
  int32_t stored_size = 0;      // as stored, the 4-byte unpacked size included
  int64_t data_start = 0;       // data_offset made absolute
};

// Reads one archive file (a real file or an in-memory image). Tests and the
// sbx tool open any file with it; the mounts open one per lookup.
class ArchiveReader {
 public:
  enum class Status { ok, cannot_open, bad_trailer };
  enum class Unpack { ok, corrupt, outside };   // corrupt: an empty image; outside: not found

  ArchiveReader() = default;
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;
  ~ArchiveReader() { close(); }

  Status open(const RtString& name);           // reads and checks the trailer
  void close();
  bool find(std::string_view file_name, ArchiveEntry& entry);  // first entry equal ignoring case
  std::vector<ArchiveEntry> entries();         // the directory up to its end or its first fault
  Unpack unpack(const ArchiveEntry& entry, std::unique_ptr<uint8_t[]>& image, int64_t& size);
  Unpack stored_sizes(const ArchiveEntry& entry, int64_t& packed, int64_t& unpacked);
  int64_t file_size() const { return file_.size; }
  int32_t directory_offset() const { return directory_offset_; }  // as stored in the trailer

 private:
  template <typename Visit>
  void walk(Visit&& visit);
  bool read_at(int64_t offset, void* dst, int64_t n);

  RtFile file_;
  int64_t directory_ = -1;                     // absolute; -1 when outside the file
  int32_t directory_offset_ = 0;
  std::vector<uint8_t> window_;                // directory reads go through this
  int64_t window_start_ = 0;
};

// Builds an archive in memory; every offset it writes counts from the end.
class ArchiveBuilder {
 public:
  enum class Level { fast, best };             // lzo1x_1 or lzo1x_999
  explicit ArchiveBuilder(Level level = Level::best) : level_(level) {}
  bool add(std::string_view name, const void* data, int64_t size);  // false: bad name or too large
  std::string finish() const;                  // the whole archive file
  size_t count() const { return directory_.size(); }

 private:
  Level level_;
  std::string data_;
  struct Item {
    std::string name;
    int64_t start;
    int64_t stored;
  };
  std::vector<Item> directory_;
};

bool is_safe_entry_name(std::string_view name);  // 1..255 bytes, no folder, "..", ":" or control
bool lzo_compress(const void* src, int64_t size, std::string& out, bool best);
bool lzo_decompress(const uint8_t* src, int64_t size, uint8_t* dst, int64_t expected);

// One mount of the archive.
struct ArchiveSlot {
  uint8_t enabled = 1;                         // 0: the archive was found unusable
  RtString archive_path;                       // archive file or in-memory name; empty: none
  RtString temp_path;                          // the last extraction written to disk
  std::unique_ptr<uint8_t[]> extracted;        // the last extraction to memory
  int64_t extracted_size = 0;
};

constexpr int kMemoryMount = 0;                // rt.archive[0]
constexpr int kFileMount = 1;                  // rt.archive[1]

void reset_mount(ArchiveSlot& mount);          // enabled, extraction dropped, paths emptied
int mount_lookup(ArchiveSlot& mount, const RtString& name, RtString& out, bool to_memory);
void create_archive_slots();                   // start-up
void release_archive_slots();                  // shutdown
bool resolve_real_file(RtString& name);        // like mxt_resolve_file, through the file mount

}  // namespace mxt

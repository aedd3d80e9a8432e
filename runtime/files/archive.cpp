// The media archive: reading it (trailer, directory, LZO1X entries), writing
// it, and the two mounts that resolve media names through it.
//
// Every offset and size read from an archive is checked in 64 bits against
// the bytes actually there before anything is read or allocated: a bad
// trailer disables the mount, a bad directory or data offset gives "not
// found", a lying size gives an empty image.
//
// [SECTION] LZO1X
// [SECTION] Reading an archive
// [SECTION] Writing an archive
// [SECTION] Mounts
// [SECTION] Commands
#include "runtime/files/archive.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/files/limits.h"
#include "runtime/platform/platform.h"
#include "runtime/types/bytes.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] LZO1X

namespace {

bool lzo_ready() {
  static bool ready = lzo_init() == LZO_E_OK;
  return ready;
}

// Archive fields are signed 32-bit.
int32_t le32(const uint8_t* p) { return static_cast<int32_t>(read_le32(p)); }

void put_le32(std::string& out, int64_t v) { append_le32(out, static_cast<uint32_t>(static_cast<int32_t>(v))); }

// The most an LZO1X compressor can emit for n bytes of input.
int64_t lzo_worst_case(int64_t n) { return n + n / 16 + 64 + 3; }

// An offset as stored made absolute; -1 when it falls outside the file.
int64_t absolute(int32_t stored, int64_t file_size) {
  const int64_t at = stored >= 0 ? int64_t{stored} : file_size + stored;
  return (at < 0 || at > file_size) ? -1 : at;
}

}  // namespace

bool lzo_compress(const void* src, int64_t size, std::string& out, bool best) {
  if (!lzo_ready() || size < 0 || size > limits::kMaxEntryBytes) return false;
  std::vector<uint8_t> work(best ? LZO1X_999_MEM_COMPRESS : LZO1X_1_MEM_COMPRESS);
  out.resize(static_cast<size_t>(lzo_worst_case(size)));
  lzo_uint out_len = out.size();
  const auto* in = static_cast<const unsigned char*>(src);
  auto* dst = reinterpret_cast<unsigned char*>(out.data());
  const int rc = best ? lzo1x_999_compress(in, static_cast<lzo_uint>(size), dst, &out_len, work.data())
                      : lzo1x_1_compress(in, static_cast<lzo_uint>(size), dst, &out_len, work.data());
  if (rc != LZO_E_OK) return false;
  out.resize(out_len);
  return true;
}

bool lzo_decompress(const uint8_t* src, int64_t size, uint8_t* dst, int64_t expected) {
  if (!lzo_ready() || size < 0 || expected < 0) return false;
  lzo_uint out_len = static_cast<lzo_uint>(expected);
  const int rc = lzo1x_decompress_safe(src, static_cast<lzo_uint>(size), dst, &out_len, nullptr);
  return rc == LZO_E_OK && static_cast<int64_t>(out_len) == expected;
}

bool is_safe_entry_name(std::string_view name) {
  if (name.empty() || name.size() > 255 || name.find("..") != std::string_view::npos) return false;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Reading an archive

namespace {
constexpr int64_t kWindowBytes = 64 * 1024;
constexpr int64_t kTrailerBytes = 7;
}  // namespace

ArchiveReader::Status ArchiveReader::open(const RtString& name) {
  close();
  if (!open_read(file_, name)) return Status::cannot_open;
  uint8_t trailer[kTrailerBytes];
  if (file_.size < kTrailerBytes || !read_at(file_.size - kTrailerBytes, trailer, kTrailerBytes) ||
      std::memcmp(trailer, "sbX", 3) != 0) {
    close();
    return Status::bad_trailer;
  }
  directory_offset_ = le32(trailer + 3);
  directory_ = absolute(directory_offset_, file_.size);
  return Status::ok;
}

void ArchiveReader::close() {
  mxt::close(file_);
  directory_ = -1;
  directory_offset_ = 0;
  window_.clear();
  window_start_ = 0;
}

// Small reads (the directory) come from a window of the file, so a lookup
// costs a few platform reads whatever the number of entries; large reads
// (entry data) go straight to the destination.
bool ArchiveReader::read_at(int64_t offset, void* dst, int64_t n) {
  if (offset < 0 || n < 0 || n > file_.size - offset) return false;
  if (file_.memory) {
    std::memcpy(dst, file_.memory + offset, static_cast<size_t>(n));
    return true;
  }
  const int64_t window_end = window_start_ + static_cast<int64_t>(window_.size());
  if (offset >= window_start_ && offset + n <= window_end) {
    std::memcpy(dst, window_.data() + (offset - window_start_), static_cast<size_t>(n));
    return true;
  }
  if (n > kWindowBytes / 2) return seek_to(file_, offset) && read_bytes(file_, dst, n);
  const int64_t len = std::min(kWindowBytes, file_.size - offset);
  window_.resize(static_cast<size_t>(len));
  if (!seek_to(file_, offset) || !read_bytes(file_, window_.data(), len)) {
    window_.clear();
    return false;
  }
  window_start_ = offset;
  std::memcpy(dst, window_.data(), static_cast<size_t>(n));
  return true;
}

// Calls visit(entry) for each entry until it returns true. The walk stops at
// a zero length byte, at the end of the file, at a cut entry and after the
// entry limit.
template <typename Visit>
void ArchiveReader::walk(Visit&& visit) {
  if (directory_ < 0) return;
  int64_t at = directory_;
  for (int64_t count = 0; count < limits::kMaxArchiveEntries; ++count) {
    uint8_t len = 0;
    if (!read_at(at, &len, 1) || len == 0) return;
    ArchiveEntry e;
    e.name.resize(len);
    uint8_t fields[8];
    if (!read_at(at + 1, e.name.data(), len) || !read_at(at + 1 + len, fields, 8)) return;
    e.data_offset = le32(fields);
    e.stored_size = le32(fields + 4);
    e.data_start = absolute(e.data_offset, file_.size);
    at += 1 + len + 8;
    if (visit(e)) return;
  }
}

bool ArchiveReader::find(std::string_view file_name, ArchiveEntry& entry) {
  bool found = false;
  walk([&](ArchiveEntry& e) {
    if (!same_name_ignoring_case(e.name, file_name)) return false;
    entry = std::move(e);
    found = true;
    return true;
  });
  return found;
}

std::vector<ArchiveEntry> ArchiveReader::entries() {
  std::vector<ArchiveEntry> all;
  walk([&](ArchiveEntry& e) {
    all.push_back(std::move(e));
    return false;
  });
  return all;
}

ArchiveReader::Unpack ArchiveReader::stored_sizes(const ArchiveEntry& e, int64_t& packed, int64_t& unpacked) {
  const int64_t stored = e.stored_size;
  if (e.data_start < 0 || stored < 4 || stored > file_.size - e.data_start) return Unpack::outside;
  uint8_t field[4];
  if (!read_at(e.data_start, field, 4)) return Unpack::outside;
  packed = stored - 4;
  unpacked = le32(field);
  // A size that the stored bytes cannot make, or that the stored bytes are
  // far too many for, is a lie: refuse it before allocating anything.
  if (unpacked < 0 || unpacked > limits::kMaxEntryBytes || unpacked > packed * limits::kLzoExpansion ||
      packed > lzo_worst_case(unpacked))
    return Unpack::corrupt;
  return Unpack::ok;
}

ArchiveReader::Unpack ArchiveReader::unpack(const ArchiveEntry& e, std::unique_ptr<uint8_t[]>& image,
                                            int64_t& size) {
  int64_t packed = 0, unpacked = 0;
  const Unpack sizes = stored_sizes(e, packed, unpacked);
  if (sizes == Unpack::outside) return sizes;
  size = 0;
  if (sizes == Unpack::ok) {
    image.reset(new (std::nothrow) uint8_t[static_cast<size_t>(std::max<int64_t>(unpacked, 1))]);
    if (!image) return Unpack::outside;
    const uint8_t* src = file_.memory ? file_.memory + e.data_start + 4 : nullptr;
    std::unique_ptr<uint8_t[]> buffer;
    if (!src) {
      buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(std::max<int64_t>(packed, 1))]);
      if (!buffer || !read_at(e.data_start + 4, buffer.get(), packed)) return Unpack::outside;
      src = buffer.get();
    }
    if (lzo_decompress(src, packed, image.get(), unpacked)) {
      size = unpacked;
      return Unpack::ok;
    }
  }
  image.reset(new uint8_t[1]);  // the empty image still needs an address of its own
  return Unpack::corrupt;
}

// ---------------------------------------------------------------------------
// [SECTION] Writing an archive

bool ArchiveBuilder::add(std::string_view name, const void* data, int64_t size) {
  if (!is_safe_entry_name(name) || size < 0 || size > limits::kMaxEntryBytes) return false;
  std::string packed;
  if (!lzo_compress(data, size, packed, level_ == Level::best)) return false;
  const int64_t stored = static_cast<int64_t>(packed.size()) + 4;
  const int64_t dir_bytes = static_cast<int64_t>(directory_.size() + 1) * (1 + 255 + 8) + 1 + kTrailerBytes;
  if (static_cast<int64_t>(data_.size()) + stored + dir_bytes > limits::kMaxArchiveBytes) return false;
  directory_.push_back({std::string(name), static_cast<int64_t>(data_.size()), stored});
  put_le32(data_, size);
  data_ += packed;
  return true;
}

std::string ArchiveBuilder::finish() const {
  int64_t dir_bytes = 1;
  for (const Item& item : directory_) dir_bytes += 1 + static_cast<int64_t>(item.name.size()) + 8;
  const int64_t total = static_cast<int64_t>(data_.size()) + dir_bytes + kTrailerBytes;
  std::string out = data_;
  out.reserve(static_cast<size_t>(total));
  const int64_t dir_start = static_cast<int64_t>(out.size());
  for (const Item& item : directory_) {
    out.push_back(static_cast<char>(item.name.size()));
    out += item.name;
    put_le32(out, item.start - total);
    put_le32(out, item.stored);
  }
  out.push_back('\0');
  out += "sbX";
  put_le32(out, dir_start - total);
  return out;
}

// ---------------------------------------------------------------------------
// [SECTION] Mounts

namespace {

void drop_extraction(ArchiveSlot& m) {
  if (m.extracted) {
    unregister_memory_image(m.extracted.get());
    m.extracted.reset();
    m.extracted_size = 0;
  }
  if (!m.temp_path.empty()) {
    remove_path(m.temp_path.str());
    m.temp_path = "";
  }
}

// "sbx" + two letters from the low bytes of the entry's stored offset and
// size + the entry's name, in the temporary folder. Only a name that cannot
// leave the folder is used.
bool temp_name_for(const ArchiveEntry& e, RtString& out) {
  if (!is_safe_entry_name(e.name)) return false;
  RtString path(platform::temp_folder().c_str());
  to_forward_slashes(path);
  if (path.empty() || path.data[path.length - 1] != '/') path.append_char('/');
  path.append("sbx");
  path.append_char(static_cast<char>('A' + static_cast<uint8_t>(e.data_offset) % 26));
  path.append_char(static_cast<char>('A' + static_cast<uint8_t>(e.stored_size) % 26));
  path.append_bytes(e.name.data(), e.name.size());
  if (path.length >= limits::kPathBytes) return false;
  out = path;
  return true;
}

// Writes the image to a file that did not exist a moment ago, so a link
// planted under the name cannot redirect it.
bool write_new_file(const std::string& path, const uint8_t* data, int64_t size) {
  remove_path(path);
  platform::File* f = platform::open_file(path, platform::FileMode::create_new);
  if (!f) return false;
  const bool written = platform::write_file(f, data, size) == size;
  if (!platform::close_file(f) || !written) {
    platform::remove_file(path);
    return false;
  }
  return true;
}

std::string_view file_part(const RtString& name) {
  const std::string_view v = name.view();
  const size_t cut = v.find_last_of("/\\");
  return cut == std::string_view::npos ? v : v.substr(cut + 1);
}

}  // namespace

void reset_mount(ArchiveSlot& m) {
  m.enabled = 1;
  drop_extraction(m);
  m.archive_path = "";
  m.temp_path = "";
}

int mount_lookup(ArchiveSlot& m, const RtString& name, RtString& out, bool to_memory) {
  // A live in-memory name (this mount's own extraction, say) is already
  // openable; cleaning up first would free the very image it names.
  if (is_memory_name(name.c_str())) {
    const uint8_t* data = nullptr;
    int64_t size = 0;
    const bool live = find_memory_image(name.c_str(), data, size);
    out = live ? name : RtString();
    return live ? 1 : 0;
  }
  drop_extraction(m);
  out = "";
  if (name.empty() || name.length >= limits::kPathBytes) return 0;
  if (platform::path_kind(platform_name(name)) == platform::PathKind::file) {
    out = name;  // the disk always wins over the archive
    return 1;
  }
  if (!m.enabled || m.archive_path.empty()) return 0;

  ArchiveReader reader;
  if (reader.open(m.archive_path) != ArchiveReader::Status::ok) {
    m.enabled = 0;
    return 0;
  }
  ArchiveEntry entry;
  RtString temp;
  if (!reader.find(file_part(name), entry) || (!to_memory && !temp_name_for(entry, temp))) return 0;
  std::unique_ptr<uint8_t[]> image;
  int64_t size = 0;
  if (reader.unpack(entry, image, size) == ArchiveReader::Unpack::outside) return 0;
  reader.close();

  if (to_memory) {
    m.extracted = std::move(image);
    m.extracted_size = size;
    register_memory_image(m.extracted.get(), size);
    out = memory_name(m.extracted.get(), size);
    return 1;
  }
  if (!write_new_file(temp.str(), image.get(), size)) return 0;
  m.temp_path = temp;
  out = temp;
  return 1;
}

void create_archive_slots() {
  for (ArchiveSlot*& slot : rt.archive)
    if (!slot) slot = new ArchiveSlot();
}

void release_archive_slots() {
  for (ArchiveSlot*& slot : rt.archive) {
    if (!slot) continue;
    reset_mount(*slot);
    delete slot;
    slot = nullptr;
  }
}

namespace {

// Without mounts (before start-up, or in a tool) lookups see the disk only.
bool resolve_through(ArchiveSlot* slot, RtString& name, bool to_memory) {
  if (name.empty()) return false;
  ArchiveSlot disk_only;
  disk_only.enabled = 0;
  RtString out;
  if (!mount_lookup(slot ? *slot : disk_only, name, out, to_memory)) return false;
  name = out;
  return true;
}

}  // namespace

bool resolve_real_file(RtString& name) { return resolve_through(rt.archive[kFileMount], name, false); }

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

void mxt_set_archive(const RtString& memory_archive, const RtString& file_archive) {
  if (!rt.archive[kMemoryMount] || !rt.archive[kFileMount]) return;  // only between start-up and shutdown
  reset_mount(*rt.archive[kMemoryMount]);
  reset_mount(*rt.archive[kFileMount]);
  rt.archive[kMemoryMount]->archive_path = memory_archive;
  rt.archive[kFileMount]->archive_path = file_archive;
}

bool mxt_resolve_file(RtString& name) { return resolve_through(rt.archive[kMemoryMount], name, true); }

// The file layer underneath every loader: name policy (separators, letter
// case), in-memory names and the images they may name, and RtFile.
//
// [SECTION] Names: separators and letter case
// [SECTION] In-memory names and the images behind them
// [SECTION] RtFile
// [SECTION] Commands
#include "runtime/files/rtfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/files/limits.h"
#include "runtime/platform/platform.h"
#include "runtime/types/bytes.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Names: separators and letter case

char fold_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

namespace {

// The entry of `dir` whose name equals `component` ignoring letter case; the
// smallest such name when several do, so the choice does not depend on the
// order the directory lists them in.
bool find_ignoring_case(const std::string& dir, const std::string& component, std::string& found) {
  std::vector<platform::DirEntry> entries;
  if (!platform::list_directory(dir, entries)) return false;
  bool any = false;
  for (const auto& e : entries) {
    if (same_name_ignoring_case(e.name, component) && (!any || e.name < found)) {
      found = e.name;
      any = true;
    }
  }
  return any;
}

}  // namespace

bool same_name_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fold_ascii(a[i]) != fold_ascii(b[i])) return false;
  return true;
}

void to_forward_slashes(RtString& s) {
  for (uint32_t i = 0; i < s.length; ++i)
    if (s.data[i] == '\\') s.data[i] = '/';
}

// A name that exists as written costs one look at the disk; only a miss walks
// the components. Components that exist nowhere are kept as written, so a
// file about to be created gets the spelling the game gave it.
std::string platform_name(const RtString& name) {
  std::string p(name.view());
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty() || platform::path_kind(p) != platform::PathKind::missing) return p;
  std::string resolved;
  size_t i = 0;
  if (p[0] == '/') {
    resolved = "/";
    i = 1;
  }
  while (i <= p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    std::string component = p.substr(i, j - i);
    if (!component.empty() && component != "." && component != ".." &&
        platform::path_kind(resolved + component) == platform::PathKind::missing) {
      std::string found;
      if (!find_ignoring_case(resolved.empty() ? "." : resolved, component, found))
        return resolved + p.substr(i);
      component = found;
    }
    resolved += component;
    if (j < p.size()) resolved += '/';
    i = j + 1;
  }
  return resolved;
}

int remove_path(const std::string& path) {
  switch (platform::path_kind(path)) {
    case platform::PathKind::missing:
      return -1;
    case platform::PathKind::directory: {
      // A folder cannot go while it is the current directory: step out first.
      const std::string full = platform::absolute_path(path);
      if (!full.empty() && full == platform::absolute_path(platform::current_dir()))
        platform::set_current_dir(full + "/..");
      // Only an empty folder can go; one that stays is a refusal, not a
      // success, so a game that deletes a save folder learns it is still there.
      return platform::remove_directory(path) ? 1 : 0;
    }
    default:
      return platform::remove_file(path) ? 1 : 0;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] In-memory names and the images behind them
//
// The name format shows a size and an address in the process. Taken at its
// word it would let any text read any memory, so a name only opens when it
// names, exactly, an image the runtime itself handed out (archive
// extractions) or one a game registered.

void MemoryImages::add(const void* data, int64_t size) {
  remove(data);
  images_.push_back({reinterpret_cast<uintptr_t>(data), size});
}

void MemoryImages::remove(const void* data) {
  const uintptr_t a = reinterpret_cast<uintptr_t>(data);
  std::erase_if(images_, [a](const Image& image) { return image.address == a; });
}

bool MemoryImages::find(uintptr_t address, int64_t size) const {
  for (const Image& image : images_)
    if (image.address == address && image.size == size) return true;
  return false;
}

namespace {

// Hexadecimal digits after optional blanks, as strtol in base 16 reads the
// padded fields; `end` is where the digits stop.
bool parse_hex(const char* s, size_t from, size_t to, uint64_t& value, size_t& end) {
  size_t i = from;
  while (i < to && s[i] == ' ') ++i;
  const size_t digits = i;
  value = 0;
  for (; i < to; ++i) {
    const int d = hex_digit_value(s[i]);
    if (d < 0) break;
    if (i - digits >= 16) return false;  // more digits than an address has
    value = value * 16 + static_cast<uint64_t>(d);
  }
  end = i;
  return i > digits;
}

}  // namespace

bool is_memory_name(const char* name) { return name && std::strncmp(name, "mem://", 6) == 0; }

RtString memory_name(const void* address, int64_t size) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "mem://%8x.%8lx", static_cast<unsigned>(size),
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address)));
  return RtString(buf);
}

// The size field is the 8 characters after "mem://", the address follows the
// "." at character 14; nothing else may follow.
bool parse_memory_name(const char* name, uintptr_t& address, int64_t& size) {
  if (!is_memory_name(name)) return false;
  const size_t len = std::strlen(name);
  if (len < 16 || name[14] != '.') return false;
  uint64_t v = 0;
  size_t end = 0;
  if (!parse_hex(name, 6, 14, v, end) || end != 14) return false;
  size = static_cast<int64_t>(v);
  if (!parse_hex(name, 15, len, v, end) || end != len) return false;
  address = static_cast<uintptr_t>(v);
  return true;
}

bool find_memory_image(const char* name, const uint8_t*& data, int64_t& size) {
  uintptr_t address = 0;
  int64_t n = 0;
  if (!parse_memory_name(name, address, n) || !rt.memory_images || !rt.memory_images->find(address, n)) return false;
  data = reinterpret_cast<const uint8_t*>(address);
  size = n;
  return true;
}

void register_memory_image(const void* data, int64_t size) {
  if (!data || size < 0 || size > limits::kMaxMemoryName || !rt.memory_images) return;
  rt.memory_images->add(data, size);
}

void unregister_memory_image(const void* data) {
  if (rt.memory_images) rt.memory_images->remove(data);
}

// ---------------------------------------------------------------------------
// [SECTION] RtFile

bool open_read(RtFile& f, const RtString& name) {
  close(f);
  if (name.empty()) return false;
  if (is_memory_name(name.c_str())) {
    const uint8_t* data = nullptr;
    int64_t size = 0;
    if (!find_memory_image(name.c_str(), data, size)) return false;
    f.memory = data;
    f.size = size;
    return true;
  }
  platform::File* h = platform::open_file(platform_name(name), platform::FileMode::read);
  if (!h) return false;
  const int64_t size = platform::file_size(h);
  if (size < 0) {
    platform::close_file(h);
    return false;
  }
  f.handle = h;
  f.size = size;
  return true;
}

bool open_write(RtFile& f, const RtString& name) {
  close(f);
  if (name.empty() || is_memory_name(name.c_str())) return false;
  const std::string p = platform_name(name);
  remove_path(p);
  f.handle = platform::open_file(p, platform::FileMode::create);
  return f.handle != nullptr;
}

bool open_append(RtFile& f, const RtString& name) {
  close(f);
  if (name.empty() || is_memory_name(name.c_str())) return false;
  f.handle = platform::open_file(platform_name(name), platform::FileMode::open_or_create);
  if (!f.handle) return false;
  const int64_t end = platform::seek_file_end(f.handle);
  if (end < 0) {
    close(f);
    return false;
  }
  f.pointer = f.os_offset = end;
  return true;
}

namespace {

// The descriptor's own offset to the file pointer, when it is elsewhere.
bool sync_offset(RtFile& f) {
  if (f.os_offset == f.pointer) return true;
  if (!platform::seek_file(f.handle, f.pointer)) return false;
  f.os_offset = f.pointer;
  return true;
}

// Reads ahead from the pointer: as much as the buffer holds, or up to the end.
bool fill_buffer(RtFile& f) {
  if (!f.buffer) f.buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(kReadAheadBytes));
  f.buffered = 0;
  f.buffer_start = f.pointer;
  f.buffer_reaches_end = false;
  if (!sync_offset(f)) return false;
  const int64_t got = platform::read_file(f.handle, f.buffer.get(), kReadAheadBytes);
  if (got < 0) return false;
  f.os_offset += got;
  f.buffered = got;
  f.buffer_reaches_end = got < kReadAheadBytes;
  return true;
}

}  // namespace

int64_t peek_bytes(RtFile& f, const uint8_t*& data, int64_t want) {
  if (want < 0) return -1;
  if (f.memory) {
    if (f.position < 0 || f.position >= f.size) return 0;
    data = f.memory + f.position;
    return std::min(want, f.size - f.position);
  }
  if (!f.handle) return -1;
  want = std::min(want, kReadAheadBytes);
  int64_t offset = f.pointer - f.buffer_start;
  const bool inside = f.buffer && offset >= 0 && offset <= f.buffered;
  if (!inside || (offset + want > f.buffered && !f.buffer_reaches_end)) {
    if (!fill_buffer(f)) return -1;
    offset = 0;
  }
  data = f.buffer.get() + offset;
  return std::min(want, f.buffered - offset);
}

void skip_bytes(RtFile& f, int64_t n) {
  f.position += n;
  if (f.handle) f.pointer += n;
}

bool own_memory_image(RtFile& f) {
  if (!f.memory || f.memory == f.buffer.get()) return f.memory != nullptr;
  auto copy = std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<size_t>(std::max<int64_t>(f.size, 1))]);
  if (!copy) return false;
  if (f.size > 0) std::memcpy(copy.get(), f.memory, static_cast<size_t>(f.size));
  f.buffer = std::move(copy);
  f.memory = f.buffer.get();
  return true;
}

bool read_bytes(RtFile& f, void* dst, int64_t n) {
  if (n < 0) return false;
  if (f.handle) {
    auto* out = static_cast<uint8_t*>(dst);
    // What the read-ahead already holds.
    const int64_t offset = f.pointer - f.buffer_start;
    int64_t from_buffer = 0;
    if (f.buffer && offset >= 0 && offset < f.buffered) {
      from_buffer = std::min(n, f.buffered - offset);
      std::memcpy(out, f.buffer.get() + offset, static_cast<size_t>(from_buffer));
      if (from_buffer == n) {
        f.pointer += n;
        f.position += n;
        return true;
      }
    }
    // The rest: small reads refill the buffer, large ones go straight through.
    // A read that fails leaves the file where it was, pointer and position.
    const int64_t start = f.pointer;
    const int64_t rest = n - from_buffer;
    f.pointer = start + from_buffer;
    if (rest < kReadAheadBytes) {
      if (!fill_buffer(f) || f.buffered < rest) {
        f.pointer = start;
        return false;
      }
      std::memcpy(out + from_buffer, f.buffer.get(), static_cast<size_t>(rest));
    } else {
      f.buffered = 0;
      if (!sync_offset(f)) {
        f.pointer = start;
        return false;
      }
      const int64_t got = platform::read_file(f.handle, out + from_buffer, rest);
      if (got > 0) f.os_offset += got;
      if (got != rest) {
        f.pointer = start;
        return false;
      }
    }
    f.pointer = start + n;
    f.position += n;
    return true;
  }
  if (!f.memory) return false;
  const int64_t left = f.size - f.position;
  if (left < 0) return false;
  if (n > left) n = left;
  if (n > 0) std::memcpy(dst, f.memory + f.position, static_cast<size_t>(n));
  f.position += n;
  return true;
}

bool write_bytes(RtFile& f, const void* src, int64_t n) {
  if (!f.handle || n < 0) return false;
  f.buffered = 0;  // what was read ahead may be what this overwrites
  f.buffer_reaches_end = false;
  if (!sync_offset(f)) return false;
  const int64_t written = platform::write_file(f.handle, src, n);
  if (written > 0) {
    f.os_offset += written;
    f.pointer += written;
  }
  return written == n;
}

bool move_to(RtFile& f, int64_t position) {
  if (position < 0 || (!f.handle && !f.memory)) return false;
  f.position = position;
  if (f.handle) f.pointer = position;  // the descriptor follows at the next read or write
  return true;
}

bool seek_to(RtFile& f, int64_t position) {
  if (position < 0 || position > f.size) return false;
  return move_to(f, position);
}

bool close(RtFile& f) {
  const bool ok = !f.handle || platform::close_file(f.handle);
  f.handle = nullptr;
  f.memory = nullptr;
  f.size = 0;
  f.position = 0;
  f.pointer = 0;
  f.buffer.reset();
  f.buffer_start = 0;
  f.buffered = 0;
  f.buffer_reaches_end = false;
  f.os_offset = 0;
  return ok;
}

bool read_file_bytes(const RtString& name, std::vector<uint8_t>& out, int64_t limit) {
  out.clear();
  RtFile f;
  if (!open_read(f, name)) return false;
  bool ok = f.size >= 0 && f.size <= limit;
  if (ok) {
    out.resize(static_cast<size_t>(f.size));
    ok = f.size == 0 || (read_bytes(f, out.data(), f.size) && f.position == f.size);
  }
  close(f);
  if (!ok) out.clear();
  return ok;
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

bool mxt_file_exists(const RtString& name) {
  if (is_memory_name(name.c_str())) {
    const uint8_t* data = nullptr;
    int64_t size = 0;
    return find_memory_image(name.c_str(), data, size);
  }
  const platform::PathKind kind = platform::path_kind(platform_name(name));
  return kind != platform::PathKind::missing && kind != platform::PathKind::directory;
}

RtString mxt_register_memory_file(const void* data, int64_t size) {
  if (!data || size < 0 || size > limits::kMaxMemoryName || !rt.memory_images) return RtString();
  register_memory_image(data, size);
  return memory_name(data, size);
}

void mxt_unregister_memory_file(const void* data) { unregister_memory_image(data); }

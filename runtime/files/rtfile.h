// The file layer: every file the runtime reads or writes goes through here.
//
// Names use "/" (a "\" is taken as "/"), and a name that does not exist
// exactly is found ignoring letter case, one component at a time, as games
// written for case-blind file systems expect. `RtFile` reads a real file or a
// memory image; memory images have names of the form "mem://%8x.%8lx" (size,
// address), and only images the runtime handed out or a game registered
// open: any other "mem://" name opens nothing. The registry of those images
// is the process-wide `rt.memory_images`, created at start-up.
//
// Media come from disk first, then from the mounted archive (archive.h).
// The commands are in files.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files/limits.h"
#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct File;
}

// One file object over a platform file or a memory image; neither set = closed.
//
// Reads of a platform file go through a read-ahead buffer, so reading a file
// value by value or line by line costs a system call per 64 KiB, not per
// value. `position` is what the game sees; `pointer` is where the platform's
// own file pointer stands as far as the game can tell: reads and seeks move
// both, a write moves only the pointer (writing leaves `position` and `size`
// alone). The descriptor's real offset is moved to `pointer` only when a
// read or write needs it there.
struct RtFile {
  platform::File* handle = nullptr;
  const uint8_t* memory = nullptr;
  int64_t size = 0;
  int64_t position = 0;

  int64_t pointer = 0;                   // platform files: where the next read or write goes
  std::unique_ptr<uint8_t[]> buffer;     // read-ahead of a platform file, or an owned memory image
  int64_t buffer_start = 0;              // file offset of buffer[0]
  int64_t buffered = 0;                  // bytes valid in the buffer
  bool buffer_reaches_end = false;       // the last fill stopped at the end of the file
  int64_t os_offset = 0;                 // where the descriptor's own offset stands
};

using limits::kReadAheadBytes;

[[nodiscard]] bool open_read(RtFile& f, const RtString& name);    // existing file or in-memory name
[[nodiscard]] bool open_write(RtFile& f, const RtString& name);   // create anew (read and write)
[[nodiscard]] bool open_append(RtFile& f, const RtString& name);  // open or create, pointer at the end
[[nodiscard]] bool read_bytes(RtFile& f, void* dst, int64_t n);   // memory: cut at the end; file: exactly n;
                                                                  // a failed read leaves the position
[[nodiscard]] bool write_bytes(RtFile& f, const void* src, int64_t n);  // platform files only
[[nodiscard]] bool seek_to(RtFile& f, int64_t position);          // 0..size
[[nodiscard]] bool move_to(RtFile& f, int64_t position);          // any position >= 0 (past the end too)
// Up to `want` bytes from the current position without taking them: `data`
// points at them until the next call on the file. Fewer only at the end of
// the file (or of the memory image); 0 there; -1 for a closed file or a
// failed read. `want` is at most kReadAheadBytes.
int64_t peek_bytes(RtFile& f, const uint8_t*& data, int64_t want);
void skip_bytes(RtFile& f, int64_t n);                            // takes n peeked bytes
bool own_memory_image(RtFile& f);                                 // a memory file reads from its own copy
bool close(RtFile& f);                                            // false when the last writes failed; size
                                                                  // and position back to 0 either way

// The whole of a file (real or in memory), at most `limit` bytes; false and
// empty when it cannot be read or is larger.
[[nodiscard]] bool read_file_bytes(const RtString& name, std::vector<uint8_t>& out, int64_t limit);

// The images in-memory names may open: those the runtime handed out (archive
// extractions) and those a game registered, each exactly as registered.
class MemoryImages {
 public:
  void add(const void* data, int64_t size);  // replaces an image at the same address
  void remove(const void* data);
  bool find(uintptr_t address, int64_t size) const;
  size_t count() const { return images_.size(); }

 private:
  struct Image {
    uintptr_t address;
    int64_t size;
  };
  std::vector<Image> images_;
};

// Names.
bool is_memory_name(const char* name);                           // begins with "mem://"
RtString memory_name(const void* address, int64_t size);         // "mem://%8x.%8lx"
bool parse_memory_name(const char* name, uintptr_t& address, int64_t& size);  // the text only
bool find_memory_image(const char* name, const uint8_t*& data, int64_t& size); // only registered images
void register_memory_image(const void* data, int64_t size);      // in rt.memory_images; nothing without it
void unregister_memory_image(const void* data);
std::string platform_name(const RtString& name);                 // "/" separators, letter case found on disk
char fold_ascii(char c);                                         // A..Z to a..z, other bytes unchanged
bool same_name_ignoring_case(std::string_view a, std::string_view b);  // ASCII letters only
void to_forward_slashes(RtString& s);                            // every "\" becomes "/"
int remove_path(const std::string& platform_path);               // -1 missing; a current folder is left first

}  // namespace mxt

// The file layer: every file the runtime reads or writes goes through here.
//
// Names use "/" (a "\" is taken as "/"), and a name that does not exist
// exactly is found ignoring letter case, one component at a time, as games
// written for case-blind file systems expect. `RtFile` reads a real file or a
// memory image; memory images have names of the form "mem://%8x.%8lx" (size,
// address), and only images the runtime handed out or a game registered
// open: any other "mem://" name opens nothing.
//
// Media come from disk first, then from the mounted archive (archive.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct File;
}

// One file object over a platform file or a memory image; neither set = closed.
struct RtFile {
  platform::File* handle = nullptr;
  const uint8_t* memory = nullptr;
  int64_t size = 0;
  int64_t position = 0;
};

bool open_read(RtFile& f, const RtString& name);                 // existing file or in-memory name
bool open_write(RtFile& f, const RtString& name);                // create anew (read and write)
bool open_append(RtFile& f, const RtString& name);               // open or create, pointer at the end
bool read_bytes(RtFile& f, void* dst, int64_t n);                // memory: cut at the end; file: exactly n
bool write_bytes(RtFile& f, const void* src, int64_t n);         // platform files only
bool seek_to(RtFile& f, int64_t position);                       // 0..size
void close(RtFile& f);                                           // size and position back to 0

// Names.
bool is_memory_name(const char* name);                           // begins with "mem://"
RtString memory_name(const void* address, int64_t size);         // "mem://%8x.%8lx"
bool parse_memory_name(const char* name, uintptr_t& address, int64_t& size);  // the text only
bool find_memory_image(const char* name, const uint8_t*& data, int64_t& size); // only handed-out images
void register_memory_image(const void* data, int64_t size);
void unregister_memory_image(const void* data);
std::string platform_name(const RtString& name);                 // "/" separators, letter case found on disk
bool same_name_ignoring_case(std::string_view a, std::string_view b);  // ASCII letters only
void to_forward_slashes(RtString& s);                            // every "\" becomes "/"
int remove_path(const std::string& platform_path);               // -1 missing; a current folder is left first

}  // namespace mxt

// ---------------------------------------------------------------------------
// Commands

bool mxt_file_exists(const RtString& name);                      // a file (not a folder), or a live in-memory image
RtString mxt_register_memory_file(const void* data, int64_t size); // an in-memory name for the game's own image
void mxt_unregister_memory_file(const void* data);               // its name opens nothing from now on

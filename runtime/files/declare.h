// External functions games declare: the registry of (library, function,
// variable) entries, the libraries loaded for them, and the binding.
//
// Library names are Windows names. A name ending in ".dll" (any case) is
// looked for as "lib<name>.so" and "<name>.so", first as written and then in
// lower case, in the program's folder first and then where the system
// searches (LD_LIBRARY_PATH, the cache, /usr/lib, ...); a name with a folder
// keeps its folder. Any other name is handed to the loader as it is
// ("libm.so.6"). Names are compared ignoring case, so "User32.dll" and
// "user32.dll" load one library.
#pragma once

#include <string>
#include <vector>

#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct Library;
}

struct DeclareEntry {
  RtString library;
  RtString function;
  void** slot = nullptr;
};

struct LoadedLibrary {
  std::string lower_name;
  platform::Library* handle = nullptr;
};

struct DeclareTable {
  std::vector<DeclareEntry> entries;            // in registration order
  std::vector<LoadedLibrary> libraries;         // in load order, each once
};

// Binds one entry: the library loaded once, the function looked up, the
// variable filled or left null with the message written.
void bind_declare(const RtString& library, const RtString& function, void** slot);

// The files the loader is asked for, in order, for a library name.
std::vector<std::string> library_candidates(const std::string& name, const std::string& program_folder);

}  // namespace mxt

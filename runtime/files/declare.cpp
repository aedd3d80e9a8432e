// External functions: mxt_declare registers, mxt_bind_declares loads and
// fills at start-up, mxt_unload_declares frees at exit. A missing library or
// function leaves its variable null and says so in the debug log (and to an
// attached debugger); the game goes on.
#include "runtime/files/declare.h"

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/platform/platform.h"

namespace mxt {

namespace {

DeclareTable& table() {
  if (!rt.declares) rt.declares = new DeclareTable();
  return *rt.declares;
}

std::string lower(std::string s) {
  for (char& c : s) c = fold_ascii(c);
  return s;
}

void report(const std::string& message) {
  write_debugger((message + "\n").c_str());
  write_log_format("%s\n", message.c_str());
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

platform::Library* load(const std::string& name) {
  std::string as_given = name;
  for (char& c : as_given)
    if (c == '\\') c = '/';
  for (const std::string& candidate : library_candidates(as_given, folder_of(platform::program_path())))
    if (platform::Library* lib = platform::load_library(candidate.c_str())) return lib;
  return nullptr;
}

}  // namespace

std::vector<std::string> library_candidates(const std::string& name, const std::string& program_folder) {
  const size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
  const std::string file = name.substr(folder.size());
  if (file.size() <= 4 || lower(file.substr(file.size() - 4)) != ".dll") return {name};
  const std::string base = file.substr(0, file.size() - 4);
  std::vector<std::string> names = {"lib" + base + ".so", base + ".so"};
  if (lower(base) != base) {
    names.push_back("lib" + lower(base) + ".so");
    names.push_back(lower(base) + ".so");
  }
  std::vector<std::string> out;
  if (!folder.empty()) {
    for (const std::string& n : names) out.push_back(folder + n);
    return out;
  }
  if (!program_folder.empty())
    for (const std::string& n : names) out.push_back(program_folder + "/" + n);
  for (const std::string& n : names) out.push_back(n);
  return out;
}

void bind_declare(const RtString& library, const RtString& function, void** slot) {
  DeclareTable& t = table();
  const std::string key = lower(library.str());
  platform::Library* handle = nullptr;
  for (const LoadedLibrary& l : t.libraries)
    if (l.lower_name == key) handle = l.handle;
  if (!handle) {
    handle = load(library.str());
    if (!handle) {
      report("DECLARE module not found: " + library.str());
      return;
    }
    t.libraries.push_back(LoadedLibrary{key, handle});
  }
  void* address = platform::library_symbol(handle, function.c_str());
  if (!address) {
    report("DECLARE entry not found: " + function.str());
    return;
  }
  if (slot) *slot = address;
}

}  // namespace mxt

using namespace mxt;

void mxt_declare(const RtString& library, const RtString& function, void** slot) {
  if (slot) *slot = nullptr;
  table().entries.push_back(DeclareEntry{library, function, slot});
}

void mxt_bind_declares() {
  if (!rt.declares || rt.declares->entries.empty()) return;
  write_log_line("Delay load DLLs\n");
  for (const DeclareEntry& e : rt.declares->entries) bind_declare(e.library, e.function, e.slot);
}

void mxt_unload_declares() {
  if (!rt.declares) return;
  for (const LoadedLibrary& l : rt.declares->libraries) platform::free_library(l.handle);
  delete rt.declares;
  rt.declares = nullptr;
}

// POSIX side of the machine's facts: the calendar, the user's folders after
// the XDG base directory and user-dirs rules, making folders, flushing files,
// and loading shared libraries.
//
// [SECTION] Answers put in place by tests
// [SECTION] Time
// [SECTION] Folders
// [SECTION] Dynamic libraries
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "runtime/platform/codepage.h"
#include "runtime/platform/platform.h"
#include "runtime/platform/system_answers.h"

namespace mxt::platform {

// ---------------------------------------------------------------------------
// [SECTION] Answers put in place by tests

namespace {
const SystemAnswers* g_answers = nullptr;
}

void set_system_answers(const SystemAnswers* answers) { g_answers = answers; }
const SystemAnswers* system_answers() { return g_answers; }

// ---------------------------------------------------------------------------
// [SECTION] Time

int64_t now_seconds() {
  if (g_answers && g_answers->fixed_time) return g_answers->time;
  return static_cast<int64_t>(std::time(nullptr));
}

bool utc_time(int64_t seconds, CalendarTime& out) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm parts {};
  if (!gmtime_r(&t, &parts)) return false;
  out.year = parts.tm_year + 1900;
  out.month = parts.tm_mon + 1;
  out.day = parts.tm_mday;
  out.hour = parts.tm_hour;
  out.minute = parts.tm_min;
  out.second = parts.tm_sec;
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Folders

namespace {

std::string home() {
  const char* h = std::getenv("HOME");
  return (h && h[0] == '/') ? std::string(h) : std::string();
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs: a quoted path that may
// start with $HOME. Empty when the file or the line is missing or unusable.
std::string documents_from_user_dirs(const std::string& home_dir) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string folder = (config && config[0] == '/') ? std::string(config) : home_dir + "/.config";
  std::string text;
  if (!read_whole_file(utf8_to_cp1252(folder) + "/user-dirs.dirs", text, 1 << 16)) return std::string();
  text = cp1252_to_utf8(text);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    const std::string key = "XDG_DOCUMENTS_DIR=\"";
    if (line.compare(0, key.size(), key) != 0) continue;
    const size_t close = line.rfind('"');
    if (close == std::string::npos || close < key.size()) return std::string();
    std::string value = line.substr(key.size(), close - key.size());
    if (value.compare(0, 5, "$HOME") == 0) value = home_dir + value.substr(5);
    if (value.empty() || value[0] != '/') return std::string();
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    return value;
  }
  return std::string();
}

}  // namespace

std::string documents_folder() {
  if (g_answers && g_answers->documents) return g_answers->documents;
  const std::string h = home();
  if (h.empty()) return std::string();
  std::string dir = documents_from_user_dirs(h);
  if (dir.empty()) {
    // No user-dirs entry: ~/Documents when it is there, else the home itself
    // (what xdg-user-dir answers).
    struct stat st;
    dir = (stat((h + "/Documents").c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? h + "/Documents" : h;
  }
  return utf8_to_cp1252(dir);
}

std::string local_data_folder() {
  if (g_answers && g_answers->local_data) return g_answers->local_data;
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return utf8_to_cp1252(data);
  const std::string h = home();
  return h.empty() ? std::string() : utf8_to_cp1252(h + "/.local/share");
}

bool make_directories(const std::string& path) {
  const std::string p = cp1252_to_utf8(path);
  struct stat st;
  for (size_t at = 1; at <= p.size(); ++at) {
    if (at < p.size() && p[at] != '/') continue;
    const std::string part = p.substr(0, at);
    if (stat(part.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return false;
      continue;
    }
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---------------------------------------------------------------------------
// [SECTION] Dynamic libraries

struct Library {
  void* handle;
};

Library* load_library(const char* name) {
  if (!name || !*name) return nullptr;
  void* h = dlopen(cp1252_to_utf8(name).c_str(), RTLD_NOW | RTLD_LOCAL);
  return h ? new Library{h} : nullptr;
}

void* library_symbol(Library* lib, const char* name) {
  if (!lib || !name) return nullptr;
  return dlsym(lib->handle, name);
}

void free_library(Library* lib) {
  if (!lib) return;
  dlclose(lib->handle);
  delete lib;
}

}  // namespace mxt::platform

// Directories and file management.
//
// [SECTION] Names and patterns
// [SECTION] Listing
// [SECTION] Commands: current directory, tests, create, delete, list
// [SECTION] Commands: copy, size, time
#include "runtime/files/directories.h"

#include <algorithm>
#include <cstdio>

#include "runtime/base/errors.h"
#include "runtime/files/archive.h"
#include "runtime/files/files.h"
#include "runtime/files/limits.h"
#include "runtime/files/rtfile.h"
#include "runtime/platform/platform.h"
#include "runtime/types/types.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Names and patterns

namespace {

// As _stricmp compares: ASCII letters folded to lower case, then bytes.
int compare_ignoring_case(const RtString& a, const RtString& b) {
  const size_t n = std::min(a.length, b.length);
  for (size_t i = 0; i < n; ++i) {
    const int x = static_cast<unsigned char>(fold_ascii(a.data[i]));
    const int y = static_cast<unsigned char>(fold_ascii(b.data[i]));
    if (x != y) return x - y;
  }
  return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
}

void sort_ignoring_case(std::vector<RtString>& names) {
  if (names.size() > 1) mxt_sort_array(&names.front(), &names.back(), compare_ignoring_case);
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

int delete_path(const RtString& path) { return remove_path(platform_name(path)); }

// Each "*" may take any run; the last one seen is the only point to come
// back to, which keeps the match linear in practice and never recursive.
bool match_wildcard(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  size_t p = 0, n = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && fold_ascii(pattern[p]) == fold_ascii(name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<platform::FileFilter> parse_file_filter(std::string_view filter) {
  std::vector<std::string_view> parts;
  for (size_t at = 0; at <= filter.size();) {
    size_t bar = filter.find('|', at);
    if (bar == std::string_view::npos) bar = filter.size();
    parts.push_back(filter.substr(at, bar - at));
    at = bar + 1;
  }
  std::vector<platform::FileFilter> filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    platform::FileFilter f;
    f.description = std::string(trim(parts[i]));
    std::string_view patterns = parts[i + 1];
    for (size_t at = 0; at <= patterns.size();) {
      size_t semi = patterns.find(';', at);
      if (semi == std::string_view::npos) semi = patterns.size();
      const std::string_view one = trim(patterns.substr(at, semi - at));
      if (!one.empty()) f.patterns.emplace_back(one);
      at = semi + 1;
    }
    if (!f.patterns.empty()) filters.push_back(std::move(f));
  }
  return filters;
}

// ---------------------------------------------------------------------------
// [SECTION] Listing
//
// Links to folders list as folders, as junctions do on Windows.

bool list_current_directory(std::string_view pattern, DirectoryListing& out) {
  std::vector<platform::DirEntry> entries;
  if (!platform::list_directory(platform::current_dir(), entries)) return false;
  for (const auto& e : entries) {
    if (e.directory)
      out.directories.emplace_back(e.name);
    else if (match_wildcard(pattern, e.name))
      out.files.emplace_back(e.name);
  }
  sort_ignoring_case(out.directories);
  sort_ignoring_case(out.files);
  return true;
}

}  // namespace mxt

using namespace mxt;

// ---------------------------------------------------------------------------
// [SECTION] Commands: current directory, tests, create, delete, list

double mxt_set_current_dir(RtString& path) {
  clear_last_error();
  for (uint32_t i = 0; i < path.length; ++i)
    if (path.data[i] == '/') path.data[i] = '\\';
  if (path.empty() || !platform::set_current_dir(platform_name(path))) {
    report_error(RuntimeError::file_not_found);
    return 0;
  }
  return 1;
}

RtString mxt_get_current_dir() {
  RtString dir(platform::current_dir().c_str());
  to_forward_slashes(dir);
  if (dir.empty() || dir.data[dir.length - 1] != '/') dir.append_char('/');
  return dir;
}

bool mxt_is_directory(const RtString& path) {
  return !path.empty() && platform::path_kind(platform_name(path)) == platform::PathKind::directory;
}

bool mxt_create_directory(const RtString& path) {
  return !path.empty() && platform::make_directory(platform_name(path));
}

int mxt_delete_file(const RtString& path) { return delete_path(path); }

// Folders first, then files; a folder that cannot be read lists as empty.
double mxt_list_files(const RtString& pattern, RtArray<RtString>& list) {
  DirectoryListing listing;
  list_current_directory(pattern.view(), listing);
  const size_t dirs = listing.directories.size();
  const size_t files = listing.files.size();
  mxt_dim(list, static_cast<int>(dirs + files));
  for (size_t i = 0; i < dirs; ++i) list(static_cast<int>(i)).swap(listing.directories[i]);
  for (size_t i = 0; i < files; ++i) list(static_cast<int>(dirs + i)).swap(listing.files[i]);
  return static_cast<double>(files) + 65536.0 * static_cast<double>(dirs);
}

// ---------------------------------------------------------------------------
// [SECTION] Commands: copy, size, time

// A copy that fails half-way leaves no destination behind and says so in the
// last error code.
void mxt_copy_file(const RtString& source, const RtString& destination) {
  clear_last_error();
  RtString from(source);
  RtFile in, out;
  if (!mxt_resolve_file(from) || !open_read(in, from)) {
    report_error(RuntimeError::file_not_found);
    return;
  }
  if (!open_write(out, destination)) {
    close(in);
    report_error(RuntimeError::file_not_found);
    return;
  }
  uint8_t block[limits::kCopyBlock];
  bool copied = true;
  for (int64_t left = in.size; left > 0 && copied;) {
    const int64_t n = std::min<int64_t>(left, limits::kCopyBlock);
    copied = read_bytes(in, block, n) && write_bytes(out, block, n);
    left -= n;
  }
  close(in);
  // The last blocks may only fail to reach the disk when the file closes.
  if (!close(out) || !copied) {
    delete_path(destination);
    report_error(RuntimeError::file_not_found);
  }
}

int64_t mxt_file_size(const RtString& path) {
  clear_last_error();
  RtFile f;
  if (!open_read(f, path)) {
    report_error(RuntimeError::file_not_found);
    return 0;
  }
  const int64_t size = f.size;
  close(f);
  return size;
}

RtString mxt_file_time(const RtString& path) {
  clear_last_error();
  platform::PathInfo info;
  if (!path.empty() && !is_memory_name(path.c_str())) info = platform::path_info(platform_name(path));
  platform::CalendarTime t;
  if (info.kind == platform::PathKind::missing || info.kind == platform::PathKind::directory ||
      !platform::local_time(info.modified, t)) {
    report_error(RuntimeError::file_not_found);
    return RtString();
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2d %.2d:%.2d:%.2d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return RtString(buf);
}

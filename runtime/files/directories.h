// Directories and file management around the game: the current directory,
// tests for files and folders, creating, deleting and copying, size and
// time, listing the current directory, the file dialog and opening a
// document with the desktop. Names take "/" or "\" and are found ignoring
// letter case (files.h). Failures record error 3 ("no such file") and return
// the documented value; none ends the program, except opening a document
// while Escape ends it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/types/rtarray.h"
#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct FileFilter;
}

int delete_path(const RtString& path);                 // start-up's log removal; as mxt_delete_file
bool match_wildcard(std::string_view pattern, std::string_view name);  // "*" runs, case-blind letters
std::vector<platform::FileFilter> parse_file_filter(std::string_view filter);  // "text|*.a;*.b|..."

// The current directory's folders (all, "." and ".." too) and the files that
// match the pattern, each list sorted ignoring case.
struct DirectoryListing {
  std::vector<RtString> directories;
  std::vector<RtString> files;
};
bool list_current_directory(std::string_view pattern, DirectoryListing& out);

}  // namespace mxt

// ---------------------------------------------------------------------------
// Commands

double mxt_set_current_dir(RtString& path);            // 1 or 0; the caller's "/" become "\"
RtString mxt_get_current_dir();                        // "/" separators, ends with "/"
bool mxt_is_directory(const RtString& path);
bool mxt_create_directory(const RtString& path);       // one level; parents must exist
int mxt_delete_file(const RtString& path);             // -1 missing; a folder goes only when empty
void mxt_copy_file(const RtString& source, const RtString& destination);  // source from disk or archive
int64_t mxt_file_size(const RtString& path);           // 0 and error 3 when it cannot be opened
RtString mxt_file_time(const RtString& path);          // local "YYYY-MM-DD hh:mm:ss", or "" and error 3
double mxt_list_files(const RtString& pattern, RtArray<RtString>& list);  // folders, then matching files;
                                                       // returns files + 65536 * folders
RtString mxt_file_dialog(int open, const RtString& filter);  // chosen path with "/", or "NO_FILE"
void mxt_open_document(const RtString& path);          // the desktop opens it; ends the game when Escape ends it

// Directories and file management around the game, underneath the commands
// in files.h: deleting a path, wildcard patterns, dialog filters and the
// sorted listing of the current directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Directories and file management around the game: the current directory,
// tests for files and folders, deleting, copying, listing.
#pragma once

#include "runtime/types/rtstring.h"

namespace mxt {

// Deletes a file, or removes a directory (only an empty one can go); when the
// directory is the current one, the current directory first moves to its
// parent. -1 when the path does not exist, else non-zero.
int delete_path(const RtString& path);

}  // namespace mxt

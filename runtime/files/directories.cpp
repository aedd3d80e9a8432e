#include "runtime/files/directories.h"

#include <string>

#include "runtime/platform/platform.h"

namespace mxt {

namespace {

std::string platform_path(const RtString& path) {
  std::string p(path.data, path.length);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

}  // namespace

int delete_path(const RtString& path) {
  const std::string p = platform_path(path);
  switch (platform::path_kind(p)) {
    case platform::PathKind::missing:
      return -1;
    case platform::PathKind::directory: {
      const std::string full = platform::absolute_path(p);
      if (!full.empty() && full == platform::absolute_path(platform::current_dir()))
        platform::set_current_dir(full + "/..");
      platform::remove_directory(p);
      return 1;  // as on the original platform, the result does not tell whether it went
    }
    default:
      return platform::remove_file(p) ? 1 : 0;
  }
}

}  // namespace mxt

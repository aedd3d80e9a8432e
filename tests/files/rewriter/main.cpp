// The kill test's child: rewrites one INI file or one line file over and
// over until it is killed, generation 1, 2, 3, ...
//
//   save_rewriter ini|lines safe|in-place PATH
//
// "safe" goes through the runtime's commands (mxt_ini_put and mxt_ini_open,
// mxt_put_file_line and a switch of file), which write back crash-safe.
// "in-place" writes the same bytes the way a file used to be written back:
// the old file deleted, a new one created and filled line by line. The test
// kills both and shows only the second ever leaves a torn file.
#include <cstdio>
#include <cstring>
#include <string>

#include "files/rewriter/content.h"
#include "runtime/base/singletons.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"
#include <moxtril.h>

namespace {

void write_in_place(const std::string& path, const std::string& text) {
  mxt::RtFile f;
  if (!mxt::open_write(f, RtString(path.c_str()))) return;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at) + 1;
    if (!mxt::write_bytes(f, text.data() + at, static_cast<int64_t>(end - at))) break;
    at = end;
  }
  mxt::close(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: save_rewriter ini|lines safe|in-place PATH\n");
    return 2;
  }
  const bool ini = std::strcmp(argv[1], "ini") == 0;
  const bool safe = std::strcmp(argv[2], "safe") == 0;
  const std::string path = argv[3];
  const RtString name(path.c_str());
  const RtString other((path + ".other").c_str());
  mxt::rt.memory_images = new mxt::MemoryImages();
  mxt::create_file_state();
  if (ini) mxt_ini_open(name);
  // Ready: the test times its kill from here, so a slow start (a sanitizer
  // build, a loaded machine) does not use up the moment it meant to hit.
  std::fputc('R', stdout);
  std::fflush(stdout);
  for (int generation = 1;; ++generation) {
    if (!safe) {
      write_in_place(path, ini ? rewriter::ini_text(generation) : rewriter::lines_text(generation));
      continue;
    }
    if (ini) {
      for (int i = 0; i < rewriter::kIniKeys; ++i)
        mxt_ini_put("Save", RtString(rewriter::key(i).c_str()), RtString(rewriter::value(generation, i).c_str()));
      mxt_ini_open(name);  // writes the changes back, reads the file again
    } else {
      for (int i = 0; i < rewriter::kLines; ++i)
        mxt_put_file_line(name, i, RtString(rewriter::value(generation, i).c_str()));
      mxt_put_file_line(other, 0, "x");  // the switch writes the file back
    }
  }
}

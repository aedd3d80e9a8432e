// A small game for the archive start-up tests: it reads "hello.txt" through
// the file layer before and after naming its own archive, and says where the
// file mount put its temporary copy.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/files/archive.h"
#include <moxtril.h>

namespace {

std::string read_through_layer(const char* name) {
  RtString resolved(name);
  if (!mxt_resolve_file(resolved)) return "missing";
  mxt::RtFile f;
  if (!mxt::open_read(f, resolved)) return "unopenable";
  std::string bytes(static_cast<size_t>(f.size), '\0');
  const bool read = mxt::read_bytes(f, bytes.data(), f.size);
  mxt::close(f);
  return read ? bytes : "unreadable";
}

void say_temp_copy() {
  RtString real("hello.txt");
  if (mxt::resolve_real_file(real)) std::printf("temp=%s\n", real.c_str());
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 64;
  mxt_settings().screen_height = 64;
  mxt_app_title() = "Files";
}

int mxt_main() {
  const char* scenario = std::getenv("MXT_TEST_SCENARIO");
  if (scenario && std::string(scenario) == "open_document") {
    mxt_set_escape_ends(0);
    mxt_open_document("DOCS/Readme.TXT");
    std::printf("continued\n");
    std::fflush(stdout);
    mxt_set_escape_ends(1);
    mxt_open_document("https://example.invalid/page");
    std::printf("never printed\n");
    return 0;
  }
  std::printf("before: %s\n", read_through_layer("gfx/HELLO.txt").c_str());
  say_temp_copy();
  mxt_set_archive("media.sbx", "media.sbx");
  std::printf("after: %s\n", read_through_layer("hello.txt").c_str());
  say_temp_copy();
  std::fflush(stdout);
  return 0;
}

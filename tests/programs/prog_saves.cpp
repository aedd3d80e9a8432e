// A small game for the save-file tests: it changes an INI file and a line
// file in a folder the test names (MXT_TEST_DIR, made current), then ends in
// the way the scenario asks. Whatever the way, the orderly end must write
// both files back into that folder, although it makes the program's own
// folder current first.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <moxtril.h>
#include "tests/programs/scenario.h"
#include "tests/support/events.h"

namespace {

void on_quit() {
  mxt_ini_put("Quit", "saved", "yes");  // the quit callback can still save
  std::printf("quit\n");
  std::fflush(stdout);
}

}  // namespace

extern const CallbackEntry mxt_callbacks[] = {{on_quit, MXT_ON_QUIT}, {nullptr, nullptr}};

void project_settings() {
  mxt_settings().screen_width = 64;
  mxt_settings().screen_height = 64;
  mxt_app_title() = "Saves";
}

int mxt_main() {
  const std::string scenario = scenario_support::scenario();
  RtString dir(std::getenv("MXT_TEST_DIR"));
  if (mxt_set_current_dir(dir) != 1) return 1;
  mxt_ini_open("scores.ini");
  mxt_ini_put("Scores", "best", "900");
  mxt_put_file_line("lines.txt", 2, "third");

  if (scenario == "read_past_end") {
    mxt_open_file(0, "ab.txt", 1);
    RtString line;
    for (int i = 0; i < 3; ++i) {
      mxt_read_line(0, line);
      std::printf("line %s eof %d\n", line.c_str(), mxt_end_of_file(0) ? 1 : 0);
      std::fflush(stdout);
    }
    std::printf("never printed\n");
  } else if (scenario == "value_past_end") {
    mxt_open_file(0, "ab.txt", 1);
    mxt_file_seek(0, 1, 0);
    int v = 0;
    mxt_read_int32(0, v);  // 3 bytes left
    std::printf("never printed\n");
  } else if (scenario == "bad_channel") {
    mxt_file_position(8);
    std::printf("never printed\n");
  } else if (scenario == "write_to_reader") {
    mxt_open_file(0, "ab.txt", 1);
    mxt_write_line(0, "no");
    std::printf("never printed\n");
  } else if (scenario == "escape" || scenario == "close") {
    if (scenario == "escape") {
      mxt_test::push_key(41, true);  // the Escape key
    } else {
      mxt::platform::Event e;
      e.type = mxt::platform::EventType::close;
      mxt::platform::push_event(e);
    }
    for (int frame = 0; frame < 100; ++frame) mxt_show_screen();
    std::printf("never printed\n");
  }
  std::fflush(stdout);
  return 0;  // "end_of_main"
}

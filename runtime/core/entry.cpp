// The program's entry: the game's settings, start-up, the game's main
// routine, the optional loop callback, and the orderly end.
#include <cstdio>

#include "runtime/core/runtime.h"
#include "runtime/core/sanitizer.h"
#include "runtime/input/journal.h"
#include "runtime/platform/platform.h"

// A game without callbacks need not define a table.
__attribute__((weak)) extern const CallbackEntry mxt_callbacks[] = {{nullptr, nullptr}};

MXT_SANITIZER_DEFAULTS

int main(int argc, char** argv) {
  using namespace mxt;
  platform::set_arguments(argc, argv);
  platform::keep_freed_memory();
  callback_table = mxt_callbacks;
  command_line_text = RtString(platform::command_line().c_str());
  project_settings();
  // A recording or a replay the environment asks for; a replay file that
  // cannot be used stops the program before anything starts.
  if (!open_input_journal()) return 1;
  runtime_startup(kShowDefault, mxt_settings.title);
  if (!runtime_started()) {
    // Without a window the game cannot run; say why and end in order.
    std::fprintf(stderr, "moxtril: the window could not be created: %s\n", platform::last_error());
    write_log_format("window could not be created: %s\n", platform::last_error());
    runtime_shutdown(false);
    return 1;
  }
  errors = ErrorRegisters{};
  const int result = mxt_main();
  if (find_callback("MXT_ON_LOOP")) mxt_set_loop_callback("MXT_ON_LOOP");
  mxt_end();
  return result;
}

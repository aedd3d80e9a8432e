// The program's entry: the runtime's state, the game's settings, start-up,
// the game's main routine, the optional loop callback, and the orderly end.
#include <cstdio>
#include <exception>

#include "runtime/base/errors.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/platform/platform.h"
#include "runtime/platform/sanitizer.h"

// A game without callbacks need not define a table.
__attribute__((weak)) extern const CallbackEntry mxt_callbacks[] = {{nullptr, nullptr}};

MXT_SANITIZER_DEFAULTS

namespace {

// Whatever escapes the game is a programme error: the program ends in order,
// never through an uncaught exception. (Allocations that fail end it before
// they throw; this is for what remains, a length error of the library say.)
void run_game() {
  try {
    mxt_main();
    if (mxt::find_callback(MXT_ON_LOOP)) mxt_set_loop_callback(MXT_ON_LOOP);
  } catch (const std::exception& e) {
    mxt::write_log_format("uncaught exception: %s\n", e.what());
    mxt::fatal_error(mxt::RuntimeError::out_of_memory);
  } catch (...) {
    mxt::write_log_line("uncaught exception\n");
    mxt::fatal_error(mxt::RuntimeError::out_of_memory);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace mxt;
  platform::keep_freed_memory();
  runtime_prepare(argc, argv);
  rt.callbacks = mxt_callbacks;
  project_settings();
  switch (runtime_startup(kShowDefault, rt.core->settings.title)) {
    case StartupResult::started:
      break;
    case StartupResult::replay_refused:
      return 1;  // the journal has said why; nothing else was started
    case StartupResult::no_window:
      // Without a window the game cannot run; say why and end in order.
      std::fprintf(stderr, "moxtril: the window could not be created: %s\n", platform::last_error());
      write_log_format("window could not be created: %s\n", platform::last_error());
      runtime_shutdown(false);
      return 1;
  }
  rt.errors = ErrorRegisters{};
  run_game();
  mxt_end();
  return 0;
}

// The diagnostics commands: the error registers as the game sees them, the
// assertion, and the channels to an attached debugger and the standard
// output. The registers and the debug log themselves are the base layer's.
#include <cstdio>

#include "runtime/base/errors.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/platform.h"
#include "runtime/types/numtext.h"

using namespace mxt;

void mxt_report_error(int code) { report_error_code(code); }

int mxt_last_error() { return rt.errors.last_error_code; }

void mxt_assert(int value) {
  if (value != 0) return;
  if (platform::debugger_present()) mxt_debug_out("Assertion: Value = 0\n");
  report_error(RuntimeError::assertion);
  mxt_end();
}

void mxt_debug_out(const RtString& text) { write_debugger(text.c_str()); }

void mxt_stdout(const RtString& text) {
  std::fputs(text.data, stdout);  // a zero byte ends the text, as printf("%s") does
  std::fflush(stdout);
}

void mxt_set_line(int file_index, int line) {
  rt.errors.current_file_index = file_index;
  rt.errors.current_line = line;
}

void mxt_breakpoint(int line) {
  if (!platform::debugger_present()) return;
  char text[40] = "BP";
  format_itoa(line, text + 2, 16);
  if (rt.input) rt.input->release_mouse();  // the debugger gets the mouse
  platform::debugger_output(text);
  // Input gathered while the program stood in the debugger is consumed.
  if (rt.core) rt.core->pause.paused = 0;
  if (rt.input) {
    rt.input->force_key_refresh();
    rt.input->refresh_keys();
    rt.input->sample_all_mice(true);
  }
  if (rt.core) rt.core->frame.reactivation_request = 1;
}

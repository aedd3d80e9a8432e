// Errors and diagnostics: the error registers, the three output channels (an
// attached debugger, the standard output, the debug log) and the assertion
// and breakpoint commands.
#include <cstdarg>
#include <cstdio>

#include "runtime/core/runtime.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/platform.h"
#include "runtime/types/numtext.h"

namespace mxt {

ErrorRegisters errors;

RtString log_path() {
  RtString path(platform::temp_folder().c_str());
  for (uint32_t i = 0; i < path.length; ++i)
    if (path.data[i] == '\\') path.data[i] = '/';
  if (path.length == 0 || path.data[path.length - 1] != '/') path.append_char('/');
  path.append("ErrorLog.txt");
  return path;
}

// Opened and closed for every line, so the log is complete even when the
// process dies right after; a line that cannot be written after five tries
// is dropped without a word.
void write_log_line(const char* text) {
  if (!text) text = "NULL";
  const RtString path = log_path();
  const std::string file(path.data, path.length);
  const size_t n = std::char_traits<char>::length(text);
  for (int attempt = 0; attempt < 5; ++attempt)
    if (platform::append_to_file(file, text, n)) return;
}

void write_log_format(const char* format, ...) {
  char buf[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  write_log_line(buf);
}

}  // namespace mxt

using namespace mxt;

void mxt_report_error(int code) {
  if (code == 0) return;
  errors.last_error_code = code;
  errors.error_line = errors.current_line;
  std::printf("error: %x\n", static_cast<unsigned>(code));
  std::fflush(stdout);
}

int mxt_last_error() { return errors.last_error_code; }

void mxt_assert(int value) {
  if (value != 0) return;
  if (platform::debugger_present()) mxt_debug_out("Assertion: Value = 0\n");
  mxt_report_error(21);
  mxt_end();
}

void mxt_debug_out(const RtString& text) {
  if (!platform::debugger_present()) return;
  RtString line("TX");
  line.append(text);
  platform::debugger_output(line.c_str());
}

void mxt_stdout(const RtString& text) {
  std::fputs(text.data, stdout);  // a zero byte ends the text, as printf("%s") does
  std::fflush(stdout);
}

void mxt_set_line(int file_index, int line) {
  errors.current_file_index = file_index;
  errors.current_line = line;
}

void mxt_breakpoint(int line) {
  if (!platform::debugger_present()) return;
  char text[40] = "BP";
  format_itoa(line, text + 2, 16);
  if (rt.input) rt.input->release_mouse();  // the debugger gets the mouse
  platform::debugger_output(text);
  // Input gathered while the program stood in the debugger is consumed.
  pause_state.paused = 0;
  if (rt.input) {
    rt.input->key_refresh_counter = 100000;
    rt.input->refresh_keys();
    rt.input->sample_all_mice(true);
  }
  frame.reactivation_request = 1;
}

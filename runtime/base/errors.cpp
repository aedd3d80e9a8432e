// The error registers, the codes' texts, and the fatal path.
#include "runtime/base/errors.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"

namespace mxt {

// constinit: games register external functions (mxt_declare) from their
// static initialisers, which may run before any other.
constinit Runtime rt;

const char* error_text(int32_t code) {
  switch (code) {
    case code_of(RuntimeError::success): return "success";
    case code_of(RuntimeError::file_not_found): return "no such file";
    case code_of(RuntimeError::out_of_memory): return "out of memory";
    case code_of(RuntimeError::out_of_bounds): return "out of bounds";
    case code_of(RuntimeError::out_of_data): return "out of data";
    default: return "unknown error";
  }
}

void report_error_code(int32_t code) {
  if (code == 0) return;
  rt.errors.last_error_code = code;
  rt.errors.error_line = rt.errors.current_line;
  write_stdout("error: %x\n", static_cast<unsigned>(code));
}

void report_error(RuntimeError code) { report_error_code(code_of(code)); }

void clear_last_error() { rt.errors.last_error_code = 0; }

void fatal_error(RuntimeError code) {
  report_error(code);
  if (rt.frame.end) {
    rt.frame.end();
    return;
  }
  std::fflush(stdout);
  std::exit(1);
}

void fatal_out_of_memory() {
  fatal_error(RuntimeError::out_of_memory);
  std::fflush(stdout);
  std::_Exit(0);
}

}  // namespace mxt

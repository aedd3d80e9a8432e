// The runtime's error codes and the registers they are recorded in.
//
// Errors are values: a command that fails records its code in the last error
// code (and prints "error: <hex>" on the standard output) and returns its
// documented failure value. A programme error (a bad array index, running
// out of memory, an assertion) is fatal: it is recorded the same way and then
// the program ends through the runtime's orderly shutdown, which the runtime
// frame installs (`FrameServices::end`). No exception crosses a command.
#pragma once

#include <cstdint>

namespace mxt {

enum class RuntimeError : int32_t {
  success = 0,               // "success": the exit keys, the end of a loop function
  file_not_found = 3,        // "no such file": a failed open, read, write or directory change
  invalid_argument = 4,      // "unknown error": an argument no command can take (an address, a family)
  out_of_memory = 7,         // "out of memory": also a number out of range (a channel, a font)
  not_one_dimensional = 8,   // "unknown error": appending to an array of more than one dimension
  out_of_bounds = 9,         // "out of bounds": an array index outside the array
  out_of_data = 20,          // "out of data": reading past the end of a data list
  assertion = 21,            // "unknown error": mxt_assert(0)
};

constexpr int32_t code_of(RuntimeError e) { return static_cast<int32_t>(e); }

// The text of a code as the game reads it; "unknown error" for codes without one.
const char* error_text(int32_t code);

struct ErrorRegisters {
  int32_t last_error_code = 0;
  int32_t error_line = 0;           // current_line when the last error was recorded
  int32_t current_line = 0;         // the source position debug builds of a game set
  int32_t current_file_index = 0;
};

// Records a code (0 records nothing) and prints "error: <hex>" on the
// standard output, flushed.
void report_error(RuntimeError code);
void report_error_code(int32_t code);
void clear_last_error();

// Records the code, then ends the program in order. Returns only when the
// program is already ending (a fatal error during shutdown), so callers go on
// with a harmless value. Without a runtime frame (a tool built on the lower
// layers) the process exits with code 1.
void fatal_error(RuntimeError code);

// Running out of memory (an allocation failed, or a size no buffer can
// hold): error 7 and the orderly end. Where going on is impossible, during
// a shutdown already in progress, the process ends at once with code 0.
[[noreturn]] void fatal_out_of_memory();

}  // namespace mxt

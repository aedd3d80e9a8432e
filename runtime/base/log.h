// Where the runtime's diagnostics go: its three output channels.
//
// - an attached debugger, which gets "TX" and the text, only when there is one;
// - the standard output, for the few lines the runtime prints there by
//   design ("error: <hex>", "activate", "ok", "exit", the PNG decoder's
//   complaints); everything written is flushed at once;
// - the debug log "ErrorLog.txt" in the temporary folder, for everything
//   else. It is opened and closed for every line, so it is complete even
//   when the process dies right after; a line that cannot be written after
//   five tries is dropped without a word.
#pragma once

#include <string>

namespace mxt {

std::string log_path();            // "<temp folder>/ErrorLog.txt", "/" separators
void write_log_line(const char* text);  // null writes "NULL"
void write_log_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

void write_stdout(const char* format, ...) __attribute__((format(printf, 1, 2)));

void write_debugger(const char* text);  // "TX" + text, only when a debugger is attached

}  // namespace mxt

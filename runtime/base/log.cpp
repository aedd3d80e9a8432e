// The debug log and the standard output.
#include "runtime/base/log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "runtime/platform/platform.h"

namespace mxt {

std::string log_path() {
  std::string path = platform::temp_folder();
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.empty() || path.back() != '/') path += '/';
  return path + "ErrorLog.txt";
}

void write_log_line(const char* text) {
  if (!text) text = "NULL";
  const std::string file = log_path();
  const size_t n = std::strlen(text);
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

void write_debugger(const char* text) {
  if (!platform::debugger_present()) return;
  std::string line = "TX";
  line += text ? text : "";
  platform::debugger_output(line.c_str());
}

void write_stdout(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

}  // namespace mxt

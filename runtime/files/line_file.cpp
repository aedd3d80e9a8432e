// The line file: one small text file at a time, held as 256 numbered lines,
// read once and written back whole (crash-safe) when the game moves to
// another file and at the orderly end. "NO_FILE" and "NO_DATA" are what a
// read finds where there is no file or no line.
#include <cmath>
#include <string>

#include "runtime/base/errors.h"
#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"
#include "runtime/types/numtext.h"

namespace mxt {

int read_line_slots(RtFile& f, std::array<std::string, kLineFileLines>& lines) {
  int count = 0;
  while (count < kLineFileLines && next_line(f, lines[static_cast<size_t>(count)])) ++count;
  return count > 0 ? count - 1 : 0;
}

std::string line_file_text(const LineFileCache& cache) {
  std::string out;
  for (int i = 0; i <= cache.highest; ++i) {
    out += cache.lines[static_cast<size_t>(i)];
    out += "\r\n";
  }
  return out;
}

// Names compare byte for byte, letter case included: "Data.txt" and
// "data.txt" are two files to the cache.
bool switch_line_file(LineFileCache& cache, const RtString& name, bool missing_is_error) {
  clear_last_error();
  if (cache.name == name) return true;
  if (!cache.name.empty() && cache.changed && !cache.target.empty()) write_back(cache.target, line_file_text(cache));
  for (std::string& line : cache.lines) line.clear();
  cache.highest = 0;
  cache.changed = false;
  cache.name = name;
  cache.target = write_back_target(name);
  if (name.empty()) return true;
  RtFile f;
  if (!open_read(f, name)) {
    if (missing_is_error) report_error(RuntimeError::file_not_found);
    return false;
  }
  cache.highest = read_line_slots(f, cache.lines);
  close(f);
  return true;
}

namespace {

// A line number as a slot, or -1: numbers are truncated toward zero, and
// anything outside 0..255 (NaN too) is no line.
int slot_of(double line) {
  if (!(line > -1.0 && line < kLineFileLines)) return -1;
  return static_cast<int>(line);
}

// What mxt_get_file_line gives; false when the name does not resolve at all.
bool get_line(const RtString& name, double line, RtString& out) {
  RtString resolved = name;
  if (!mxt_resolve_file(resolved)) return false;
  const int n = slot_of(line);
  if (n < 0) {
    out = "NO_DATA";
    report_error(RuntimeError::out_of_memory);
    return true;
  }
  if (!rt.line_file || !switch_line_file(*rt.line_file, resolved, true)) {
    out = "NO_FILE";
    return true;
  }
  std::string text = rt.line_file->lines[static_cast<size_t>(n)];
  while (!text.empty() && static_cast<unsigned char>(text.back()) < 32) text.pop_back();
  out = text.empty() ? RtString("NO_DATA") : RtString(text);
  return true;
}

}  // namespace

}  // namespace mxt

using namespace mxt;

void mxt_get_file_line(const RtString& name, double line, RtString& out) { get_line(name, line, out); }

void mxt_get_file_line_int(const RtString& name, double line, int& out) {
  RtString text;
  if (get_line(name, line, text)) out = parse_atoi(text.c_str());
}

void mxt_get_file_line_number(const RtString& name, double line, double& out) {
  RtString text;
  if (get_line(name, line, text)) out = parse_atof(text.c_str());
}

int mxt_put_file_line(const RtString& name, double line, const RtString& text) {
  clear_last_error();
  const int n = slot_of(line);
  if (n < 0) {
    report_error(RuntimeError::out_of_memory);
    return 7;
  }
  if (!rt.line_file) return 0;
  LineFileCache& cache = *rt.line_file;
  switch_line_file(cache, name, false);  // a file not there yet is one the game is making
  std::string& slot = cache.lines[static_cast<size_t>(n)];
  slot.assign(text.c_str());
  if (slot.size() > kLineSlotBytes) slot.resize(kLineSlotBytes);
  if (n > cache.highest) cache.highest = n;
  cache.changed = true;
  return 0;
}

int mxt_put_file_line_number(const RtString& name, double line, double value) {
  return mxt_put_file_line(name, line, RtString(value));
}

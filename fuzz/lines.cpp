// The text line reader under the line file (and mxt_read_line and the INI
// parser), over an in-memory file as a line file from the media archive is
// read: the slots must be what a plain reading of the line rules gives (LF
// ends a line, one CR before it or at the end of the file goes, 1,024 bytes
// without LF are a line of their own and a line end right after them is
// theirs, a zero byte ends a line's text), and a file must come back the same
// after a write-back.
#include <algorithm>
#include <array>
#include <string>

#include "fuzz_support.h"
#include "runtime/files/storage.h"

namespace {

using Slots = std::array<std::string, mxt::kLineFileLines>;

// The rules, written out plainly, for at most 256 lines.
int reference(const uint8_t* data, size_t size, Slots& slots) {
  size_t at = 0;
  int count = 0;
  while (at < size && count < mxt::kLineFileLines) {
    size_t n = 0;
    while (at + n < size && data[at + n] != '\n' && n < 1024) ++n;
    size_t length = n;
    size_t taken = n;
    bool end = at + n == size;  // the end of the file ends the line
    if (at + n < size && data[at + n] == '\n') {
      ++taken;  // an LF within or right after 1,024 bytes
      end = true;
    } else if (n == 1024 && at + n + 1 < size && data[at + n] == '\r' && data[at + n + 1] == '\n') {
      taken += 2;  // CR LF right after a full line
    }
    if (end && length > 0 && data[at + length - 1] == '\r') --length;
    std::string text(reinterpret_cast<const char*>(data + at), length);
    text = text.substr(0, text.find('\0'));
    slots[static_cast<size_t>(count++)] = text;
    at += taken;
  }
  return count > 0 ? count - 1 : 0;
}

int read_slots(const uint8_t* data, size_t size, Slots& slots) {
  const mxt_fuzz::MemoryFile file(data, size);
  mxt::RtFile f;
  MXT_FUZZ_CHECK(mxt::open_read(f, file.name()));
  const int highest = mxt::read_line_slots(f, slots);
  mxt::close(f);
  return highest;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mxt_fuzz::make_memory_images();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  Slots slots, expect;
  const int highest = read_slots(data, size, slots);
  MXT_FUZZ_CHECK(highest == reference(data, size, expect));
  MXT_FUZZ_CHECK(highest >= 0 && highest < mxt::kLineFileLines);
  for (int i = 0; i <= highest; ++i) MXT_FUZZ_CHECK(slots[static_cast<size_t>(i)] == expect[static_cast<size_t>(i)]);

  mxt::LineFileCache cache;
  cache.lines = slots;
  cache.highest = highest;
  const bool fits = std::all_of(slots.begin(), slots.begin() + highest + 1, [](const std::string& s) {
    return s.size() <= 1024 && s.find('\n') == std::string::npos;
  });
  if (!fits || size == 0) return 0;
  const std::string text = mxt::line_file_text(cache);
  Slots again;
  MXT_FUZZ_CHECK(read_slots(reinterpret_cast<const uint8_t*>(text.data()), text.size(), again) == highest);
  for (int i = 0; i <= highest; ++i) MXT_FUZZ_CHECK(again[static_cast<size_t>(i)] == slots[static_cast<size_t>(i)]);
  return 0;
}

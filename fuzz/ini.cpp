// The INI parser over an in-memory file, as mxt_ini_open reads one from the
// media archive: the line reader underneath it, every line rule, and the
// writer. What it parses must obey the rules of what can be stored, and
// writing it out and parsing that again must give the same sections.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "runtime/files/storage.h"

namespace {

bool blank_or_equals(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '='; }

void check_stored(const std::vector<mxt::IniSection>& sections) {
  for (const mxt::IniSection& s : sections) {
    MXT_FUZZ_CHECK(!s.entries.empty());  // a section without entries is dropped
    for (size_t i = 0; i < s.name.length; ++i) MXT_FUZZ_CHECK(!blank_or_equals(s.name.data[i]) && s.name.data[i] != 0);
    for (const mxt::IniEntry& e : s.entries) {
      for (size_t i = 0; i < e.key.length; ++i) MXT_FUZZ_CHECK(!blank_or_equals(e.key.data[i]) && e.key.data[i] != 0);
      MXT_FUZZ_CHECK(e.value.length > 0 && e.value.length < 1024);  // empty values are never stored
      const unsigned char first = static_cast<unsigned char>(e.value.data[0]);
      const unsigned char last = static_cast<unsigned char>(e.value.data[e.value.length - 1]);
      MXT_FUZZ_CHECK(first != ' ' && first != '\t' && first != '\r' && last >= 32);
      MXT_FUZZ_CHECK(std::memchr(e.value.data, '\n', e.value.length) == nullptr);
      MXT_FUZZ_CHECK(std::memchr(e.value.data, 0, e.value.length) == nullptr);
    }
  }
}

bool same(const std::vector<mxt::IniSection>& a, const std::vector<mxt::IniSection>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!(a[i].name == b[i].name) || a[i].entries.size() != b[i].entries.size()) return false;
    for (size_t j = 0; j < a[i].entries.size(); ++j)
      if (!(a[i].entries[j].key == b[i].entries[j].key) || !(a[i].entries[j].value == b[i].entries[j].value))
        return false;
  }
  return true;
}

std::vector<mxt::IniSection> parse(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryFile file(data, size);
  mxt::RtFile f;
  std::vector<mxt::IniSection> sections;
  MXT_FUZZ_CHECK(mxt::open_read(f, file.name()));
  mxt::parse_ini(f, sections);
  MXT_FUZZ_CHECK(f.position == f.size);  // read to the end
  mxt::close(f);
  return sections;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mxt_fuzz::make_memory_images();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  const std::vector<mxt::IniSection> sections = parse(data, size);
  check_stored(sections);
  const std::string text = mxt::ini_text(sections);
  const std::vector<mxt::IniSection> again = parse(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  MXT_FUZZ_CHECK(same(sections, again));
  MXT_FUZZ_CHECK(mxt::ini_text(again) == text);
  return 0;
}

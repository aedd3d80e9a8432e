// The one current INI file: parsed whole on opening, changed in memory,
// written back whole (crash-safe) when another file is opened and at the
// orderly end. Names of sections and keys compare ignoring letter case; the
// first match wins, duplicates stay as the file had them.
//
// [SECTION] Parsing
// [SECTION] Writing
// [SECTION] Commands
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Parsing

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool ends_name(char c) { return is_blank(c) || c == '=' || c == 0; }

// One line of the file (zero-terminated: a zero byte ends it).
void parse_line(const char* p, IniSection& pending, std::vector<IniSection>& sections) {
  while (is_blank(*p)) ++p;
  if (*p == 0 || *p == ';') return;
  if (*p == '[') {
    if (!pending.entries.empty()) {
      sections.push_back(pending);
      pending.entries.clear();
    }
    ++p;
    while (is_blank(*p)) ++p;
    const char* start = p;
    while (!ends_name(*p)) ++p;
    size_t n = static_cast<size_t>(p - start);
    if (n > 0 && start[n - 1] == ']') --n;
    if (n > 0) pending.name = RtString(start, n);  // "[]" keeps the name it had
    return;
  }
  const char* key = p;
  while (!ends_name(*p)) ++p;
  const size_t key_length = static_cast<size_t>(p - key);
  if (*p == 0) return;
  if (*p != '=') {
    while (is_blank(*p)) ++p;
    if (*p != '=') return;
  }
  ++p;
  while (is_blank(*p)) ++p;
  size_t value_length = std::strlen(p);
  while (value_length > 0 && static_cast<unsigned char>(p[value_length - 1]) < 32) --value_length;
  if (value_length == 0) return;  // an empty value is never stored, nor one of control bytes alone
  pending.entries.push_back({RtString(key, key_length), RtString(p, value_length)});
}

}  // namespace

// Names compare as zero-terminated texts do: a zero byte ends them.
std::string_view as_text(const RtString& s) { return std::string_view(s.c_str()); }

void parse_ini(RtFile& f, std::vector<IniSection>& sections) {
  IniSection pending;
  std::string line;
  bool first = true;
  while (next_line(f, line)) {
    // A byte-order mark (editors put one before UTF-8 text) would otherwise
    // hide the first line: a first section header would be lost and its keys
    // would land in the section with the empty name.
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first = false;
    parse_line(line.c_str(), pending, sections);
  }
  if (!pending.entries.empty()) sections.push_back(std::move(pending));
}

IniSection* find_ini_section(std::vector<IniSection>& sections, std::string_view name) {
  for (IniSection& s : sections)
    if (same_name_ignoring_case(as_text(s.name), name)) return &s;
  return nullptr;
}

namespace {

constexpr size_t kIndexFrom = 32;  // entries a section has before look-ups in it go through an index

std::string folded(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = fold_ascii(c);
  return s;
}

}  // namespace

// The first match, as a scan would find it: the index keeps the first entry
// of every key.
IniEntry* find_ini_entry(IniSection& section, std::string_view key) {
  if (section.entries.size() < kIndexFrom) {
    for (IniEntry& e : section.entries)
      if (same_name_ignoring_case(as_text(e.key), key)) return &e;
    return nullptr;
  }
  if (section.index.empty())
    for (size_t i = 0; i < section.entries.size(); ++i) section.index.emplace(folded(as_text(section.entries[i].key)), i);
  const auto found = section.index.find(folded(key));
  return found == section.index.end() ? nullptr : &section.entries[found->second];
}

// ---------------------------------------------------------------------------
// [SECTION] Writing

std::string ini_text(const std::vector<IniSection>& sections) {
  std::string out;
  for (const IniSection& s : sections) {
    out += '[';
    out.append(s.name.data, s.name.length);
    out += "]\r\n";
    for (const IniEntry& e : s.entries) {
      out.append(e.key.data, e.key.length);
      out += '=';
      out.append(e.value.data, e.value.length);
      out += "\r\n";
    }
  }
  return out;
}

namespace {

void write_back_if_changed(IniFile& ini) {
  if (ini.changed) write_back(ini.target, ini_text(ini.sections));
}

}  // namespace

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

void mxt_ini_open(const RtString& name) {
  if (!rt.ini) return;
  IniFile& ini = *rt.ini;
  write_back_if_changed(ini);
  ini.changed = false;
  ini.sections.clear();
  ini.target.clear();
  if (name.empty()) {
    ini.name = "";
    return;
  }
  RtString resolved = name;
  mxt_resolve_file(resolved);  // unresolved: the name as given, for a file made later
  ini.name = resolved;
  ini.target = write_back_target(resolved);
  RtFile f;
  if (open_read(f, resolved)) parse_ini(f, ini.sections);
  close(f);
}

RtString mxt_ini_get(const RtString& section, const RtString& key, const RtString& fallback) {
  if (!rt.ini) return fallback;
  if (IniSection* s = find_ini_section(rt.ini->sections, as_text(section)))
    if (const IniEntry* e = find_ini_entry(*s, as_text(key))) return e->value;
  return fallback;
}

void mxt_ini_put(const RtString& section, const RtString& key, const RtString& value) {
  if (!rt.ini || key.empty()) return;
  IniFile& ini = *rt.ini;
  IniSection* s = find_ini_section(ini.sections, as_text(section));
  if (!s) {
    ini.sections.push_back({section, {}, {}});
    s = &ini.sections.back();
  }
  if (IniEntry* e = find_ini_entry(*s, as_text(key))) {
    if (!value.empty()) {
      e->value = value;
    } else {
      // Deleting moves the last entry into the gap.
      if (e != &s->entries.back()) *e = std::move(s->entries.back());
      s->entries.pop_back();
      s->index.clear();
    }
    ini.changed = true;
    return;
  }
  if (value.empty()) return;
  s->entries.push_back({key, value});
  if (!s->index.empty()) s->index.emplace(folded(as_text(key)), s->entries.size() - 1);
  ini.changed = true;
}

// What games keep between runs: the eight file channels, the one current INI
// file and the one cached line file, underneath the commands in files.h.
//
// All three read text lines the same way (`cut_line`): LF ends a line, one
// CR before it goes, a line stops after 1,024 bytes (the rest is the next
// line), and the end of the file ends the last line whether or not it has a
// line end. INI and line files are written back whole, through
// platform::replace_file, so a crash or a kill mid-write leaves the old file
// or the new one; a write-back that fails leaves the old file, writes a line
// to the debug log and tells the game nothing. Write-back happens when the
// game moves to another file and at the orderly end (release_file_state),
// and never for a file that came out of the media archive.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/files/limits.h"
#include "runtime/files/rtfile.h"
#include "runtime/types/rtstring.h"

namespace mxt {

constexpr int kChannels = 8;
using limits::kLineBytes;
using limits::kLineFileLines;
using limits::kLineSlotBytes;

struct ChannelTable {
  RtFile channel[kChannels];
};

struct LineCut {
  int64_t length = 0;    // bytes of the line, its line end not included
  int64_t consumed = 0;  // bytes taken from the file, the LF included
};
// The next line in `avail` bytes (avail <= kLineBytes + 1 means they run to
// the end of the file; callers look at kLineBytes + 2 bytes). A line has at
// most kLineBytes bytes of text; a line end right after them is its own.
// avail must be > 0.
LineCut cut_line(const uint8_t* data, int64_t avail);
// The next line of a file as zero-terminated text holds it (cut at a zero
// byte); false at the end of the file.
bool next_line(RtFile& f, std::string& line);

struct IniEntry {
  RtString key;
  RtString value;
};
struct IniSection {
  RtString name;
  std::vector<IniEntry> entries;
  // Key (letters folded) to its first entry, made by the first look-up in a
  // large section and dropped when entries move; never part of the file.
  std::unordered_map<std::string, size_t> index;
};
struct IniFile {
  std::vector<IniSection> sections;
  RtString name;           // as resolved: a path, or an in-memory name; empty: none open
  std::string target;      // the absolute path written back, fixed when the file was opened
  bool changed = false;
};

// The parser on its own: every line of `f`, as mxt_ini_open reads them.
void parse_ini(RtFile& f, std::vector<IniSection>& sections);
std::string ini_text(const std::vector<IniSection>& sections);  // "[name]\r\nkey=value\r\n..."
IniSection* find_ini_section(std::vector<IniSection>& sections, std::string_view name);
IniEntry* find_ini_entry(IniSection& section, std::string_view key);  // the first whose key matches
std::string_view as_text(const RtString& s);  // up to its first zero byte, as the C library sees it

struct LineFileCache {
  RtString name;           // compared byte for byte; empty: none
  std::string target;      // the absolute path written back; empty for an in-memory name
  std::array<std::string, kLineFileLines> lines;
  int highest = 0;
  bool changed = false;
};

// Reads a line file into the slots as the cache does; the highest slot filled.
int read_line_slots(RtFile& f, std::array<std::string, kLineFileLines>& lines);
bool switch_line_file(LineFileCache& cache, const RtString& name, bool missing_is_error);
std::string line_file_text(const LineFileCache& cache);  // slots 0..highest, each + CR LF

// The absolute path a name names now, so that a write-back later lands in
// the same file even after the current folder changed (the orderly end makes
// the program's folder current before it writes back).
std::string write_back_target(const RtString& name);
// New contents for a file, written crash-safe; a failure leaves the old file
// and a line in the debug log.
bool write_back(const std::string& target, const std::string& bytes);

void create_file_state();    // start-up: the channels (closed), the INI file and the line file (empty)
void release_file_state();   // the orderly end: channels closed, INI and line file written back, all freed

}  // namespace mxt

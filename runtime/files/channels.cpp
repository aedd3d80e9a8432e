// The eight file channels, the text line reader shared by channels, INI
// files and line files, crash-safe write-back, and the files layer's part
// of start-up and the orderly end.
//
// [SECTION] Lines
// [SECTION] Write-back
// [SECTION] Start-up and the orderly end
// [SECTION] Commands: opening, closing, positions
// [SECTION] Commands: writing
// [SECTION] Commands: reading
// [SECTION] Commands: error text and the console
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/base/errors.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"
#include "runtime/platform/platform.h"
#include "runtime/types/numtext.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Lines

LineCut cut_line(const uint8_t* data, int64_t avail) {
  const int64_t scan = std::min(avail, kLineBytes);
  const void* lf = std::memchr(data, '\n', static_cast<size_t>(scan));
  LineCut c;
  if (lf) {
    c.length = static_cast<const uint8_t*>(lf) - data;
    c.consumed = c.length + 1;
  } else if (avail > kLineBytes && data[kLineBytes] == '\n') {
    // A line end right after a full line belongs to it. Were it left for the
    // next read, a line of 1,024 bytes (or of 1,023 and a CR) would be
    // followed by an empty line that is not in the file, and every line after
    // it would move down one each time a line file is saved and read again.
    c.length = kLineBytes;
    c.consumed = kLineBytes + 1;
  } else if (avail > kLineBytes + 1 && data[kLineBytes] == '\r' && data[kLineBytes + 1] == '\n') {
    c.length = kLineBytes;
    c.consumed = kLineBytes + 2;
    return c;
  } else if (avail > kLineBytes) {
    // 1,024 bytes without a line end: the line is cut here and goes on in the
    // next read. A CR at the cut is no line end and stays.
    c.length = c.consumed = kLineBytes;
    return c;
  } else {
    c.length = c.consumed = avail;  // the end of the file ends the last line
  }
  if (c.length > 0 && data[c.length - 1] == '\r') --c.length;
  return c;
}

bool next_line(RtFile& f, std::string& line) {
  const uint8_t* data = nullptr;
  const int64_t avail = peek_bytes(f, data, kLineBytes + 2);
  if (avail <= 0) return false;
  const LineCut c = cut_line(data, avail);
  const void* zero = std::memchr(data, 0, static_cast<size_t>(c.length));
  const int64_t text = zero ? static_cast<const uint8_t*>(zero) - data : c.length;
  line.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(text));
  skip_bytes(f, c.consumed);
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Write-back

std::string write_back_target(const RtString& name) {
  if (name.empty() || is_memory_name(name.c_str())) return std::string();
  std::string p = platform_name(name);
  if (!p.empty() && p[0] != '/') {
    std::string dir = platform::current_dir();
    if (dir.empty()) return p;
    if (dir.back() != '/') dir += '/';
    p = dir + p;
  }
  return p;
}

bool write_back(const std::string& target, const std::string& bytes) {
  if (target.empty()) return false;
  if (platform::replace_file(target, bytes.data(), bytes.size())) return true;
  write_log_format("cannot save %s, the old file stays: %s\n", target.c_str(), platform::last_file_error());
  return false;
}

// ---------------------------------------------------------------------------
// [SECTION] Start-up and the orderly end

void create_file_state() {
  if (!rt.channels) rt.channels = new ChannelTable();
  if (!rt.ini) rt.ini = new IniFile();
  if (!rt.line_file) rt.line_file = new LineFileCache();
}

void release_file_state() {
  if (rt.channels) {
    for (RtFile& f : rt.channels->channel) close(f);
    delete rt.channels;
    rt.channels = nullptr;
  }
  if (rt.ini) {
    if (rt.ini->changed) write_back(rt.ini->target, ini_text(rt.ini->sections));
    delete rt.ini;
    rt.ini = nullptr;
  }
  if (rt.line_file) {
    switch_line_file(*rt.line_file, RtString(), false);  // writes a changed file back
    delete rt.line_file;
    rt.line_file = nullptr;
  }
}

namespace {

// The channel, or null after the fatal error 7 for a number outside 0..7.
RtFile* channel_or_end(int channel) {
  if (channel < 0 || channel >= kChannels || !rt.channels) {
    fatal_error(RuntimeError::out_of_memory);
    return nullptr;
  }
  return &rt.channels->channel[channel];
}

void write_or_end(int channel, const void* bytes, int64_t n) {
  RtFile* f = channel_or_end(channel);
  if (!f) return;
  if (!f->handle || !write_bytes(*f, bytes, n)) fatal_error(RuntimeError::file_not_found);
}

// Fills `bytes` (zeroed first: a memory image may give fewer) or ends the program.
bool read_or_end(int channel, void* bytes, int64_t n) {
  std::memset(bytes, 0, static_cast<size_t>(n));
  RtFile* f = channel_or_end(channel);
  if (!f) return false;
  if (read_bytes(*f, bytes, n)) return true;
  fatal_error(RuntimeError::file_not_found);
  return false;
}

template <typename T>
T read_le(int channel) {
  uint8_t b[sizeof(T)];
  if (!read_or_end(channel, b, sizeof b)) return T{};
  uint64_t v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v |= uint64_t{b[i]} << (8 * i);
  T out;
  if constexpr (sizeof(T) == 8) {
    std::memcpy(&out, &v, 8);
  } else {
    using U = std::conditional_t<sizeof(T) == 4, uint32_t, std::conditional_t<sizeof(T) == 2, uint16_t, uint8_t>>;
    const U u = static_cast<U>(v);
    std::memcpy(&out, &u, sizeof(T));
  }
  return out;
}

template <typename T>
void write_le(int channel, T value) {
  uint8_t b[sizeof(T)];
  uint64_t v = 0;
  if constexpr (sizeof(T) == 8) {
    std::memcpy(&v, &value, 8);
  } else {
    using U = std::conditional_t<sizeof(T) == 4, uint32_t, std::conditional_t<sizeof(T) == 2, uint16_t, uint8_t>>;
    U u;
    std::memcpy(&u, &value, sizeof(T));
    v = u;
  }
  for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  write_or_end(channel, b, sizeof b);
}

}  // namespace

}  // namespace mxt

using namespace mxt;

// ---------------------------------------------------------------------------
// [SECTION] Commands: opening, closing, positions

bool mxt_open_file(int channel, const RtString& name, int mode) {
  clear_last_error();
  if (channel < 0 || channel >= kChannels || !rt.channels) {
    report_error(RuntimeError::out_of_memory);
    return false;
  }
  RtFile& f = rt.channels->channel[channel];
  close(f);
  bool ok = false;
  if (mode < 0) {
    ok = open_append(f, name);
  } else if (mode == 0) {
    ok = open_write(f, name);
  } else {
    RtString resolved = name;
    mxt_resolve_file(resolved);
    // An archive entry is read from a copy of its own: the extraction it came
    // from goes as soon as the game loads another file.
    ok = open_read(f, resolved) && (!f.memory || own_memory_image(f));
    if (!ok) close(f);
  }
  if (!ok) report_error(RuntimeError::file_not_found);
  return ok;
}

void mxt_close_file(int channel) {
  clear_last_error();
  if (RtFile* f = channel_or_end(channel)) close(*f);
}

int mxt_free_channel() {
  if (!rt.channels) return -1;
  for (int i = 0; i < kChannels; ++i) {
    const RtFile& f = rt.channels->channel[i];
    if (!f.handle && !f.memory) return i;
  }
  return -1;
}

bool mxt_end_of_file(int channel) {
  if (channel < 0 || channel >= kChannels || !rt.channels) return true;  // nothing there to read
  const RtFile& f = rt.channels->channel[channel];
  return f.position >= f.size;
}

void mxt_file_seek(int channel, int64_t offset, int origin) {
  RtFile* f = channel_or_end(channel);
  if (!f) return;
  const int64_t base = origin == 0 ? 0 : origin > 0 ? f->position : f->size;
  if ((offset > 0 && base > INT64_MAX - offset) || (offset < 0 && base < INT64_MIN - offset)) return;
  // A place before the start does not exist: the seek is refused and the
  // channel stays where it was (a memory image would be read from before it).
  (void)move_to(*f, base + offset);
}

int64_t mxt_file_position(int channel) {
  const RtFile* f = channel_or_end(channel);
  return f ? f->position : 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Commands: writing

void mxt_write_line(int channel, const RtString& text) {
  std::string bytes(text.data, text.length);
  bytes += "\r\n";
  write_or_end(channel, bytes.data(), static_cast<int64_t>(bytes.size()));
}

void mxt_write_text(int channel, const RtString& text) {
  if (text.length == 0) {
    channel_or_end(channel);
    return;
  }
  write_or_end(channel, text.data, text.length);
}

void mxt_write_int8(int channel, int value) { write_le<int8_t>(channel, static_cast<int8_t>(value)); }
void mxt_write_uint8(int channel, int value) { write_le<uint8_t>(channel, static_cast<uint8_t>(value)); }
void mxt_write_int16(int channel, int value) { write_le<int16_t>(channel, static_cast<int16_t>(value)); }
void mxt_write_uint16(int channel, int value) { write_le<uint16_t>(channel, static_cast<uint16_t>(value)); }
void mxt_write_int32(int channel, int value) { write_le<int32_t>(channel, value); }
void mxt_write_uint32(int channel, int value) { write_le<uint32_t>(channel, static_cast<uint32_t>(value)); }
void mxt_write_float(int channel, double value) { write_le<float>(channel, static_cast<float>(value)); }
void mxt_write_double(int channel, double value) { write_le<double>(channel, value); }

// ---------------------------------------------------------------------------
// [SECTION] Commands: reading

void mxt_read_int8(int channel, int& out) { out = read_le<int8_t>(channel); }
void mxt_read_uint8(int channel, int& out) { out = read_le<uint8_t>(channel); }
void mxt_read_int16(int channel, int& out) { out = read_le<int16_t>(channel); }
void mxt_read_uint16(int channel, int& out) { out = read_le<uint16_t>(channel); }
void mxt_read_int32(int channel, int& out) { out = read_le<int32_t>(channel); }
void mxt_read_uint32(int channel, int& out) { out = static_cast<int>(read_le<uint32_t>(channel)); }
void mxt_read_float(int channel, double& out) { out = read_le<float>(channel); }
void mxt_read_double(int channel, double& out) { out = read_le<double>(channel); }

void mxt_read_line(int channel, RtString& out) {
  RtFile* f = channel_or_end(channel);
  if (!f) return;
  const uint8_t* data = nullptr;
  const int64_t avail = peek_bytes(*f, data, kLineBytes + 2);
  if (avail <= 0) {
    fatal_error(RuntimeError::file_not_found);
    return;
  }
  const LineCut c = cut_line(data, avail);
  char* d = out.writable_buffer(static_cast<uint32_t>(kLineBytes));
  std::memcpy(d, data, static_cast<size_t>(c.length));
  d[c.length] = 0;
  out.sync_length();
  skip_bytes(*f, c.consumed);
}

void mxt_read_line_int(int channel, int& out) {
  RtString line;
  mxt_read_line(channel, line);
  out = parse_atoi(line.c_str());
}

void mxt_read_line_number(int channel, double& out) {
  RtString line;
  mxt_read_line(channel, line);
  out = parse_atof(line.c_str());
}

void mxt_read_text_bytes(int channel, RtString& out, int count) {
  RtFile* f = channel_or_end(channel);
  if (!f) return;
  if (count <= 0) {
    out = "";
    return;
  }
  // A platform file that cannot deliver them fails before a buffer is made
  // (its size now: a channel written anew reads back what it wrote).
  if (!f->memory && (!f->handle || count > platform::file_size(f->handle) - f->pointer)) {
    fatal_error(RuntimeError::file_not_found);
    return;
  }
  RtString bytes;
  char* d = bytes.writable_buffer(static_cast<uint32_t>(count) + 32);
  std::memset(d, 0, static_cast<size_t>(count) + 32);
  if (!read_bytes(*f, d, count)) {
    fatal_error(RuntimeError::file_not_found);
    return;
  }
  bytes.length = static_cast<uint32_t>(count);  // zero bytes included, also where an image gave fewer
  out.swap(bytes);
}

// ---------------------------------------------------------------------------
// [SECTION] Commands: error text and the console

RtString mxt_error_text() {
  char text[64];
  const int32_t code = rt.errors.last_error_code;
  std::snprintf(text, sizeof text, "%.4d %s", code, error_text(code));
  return RtString(text);
}

RtString mxt_console_input() {
  char line[4095];
  if (!std::fgets(line, sizeof line, stdin)) return RtString();
  size_t n = std::strlen(line);
  if (n > 0 && line[n - 1] == '\n') --n;
  return RtString(line, n);
}

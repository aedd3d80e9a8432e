// mxt_platform_info: questions about the machine, the user's folders and the
// build, answered as texts. Nothing is kept in memory: every answer is read
// afresh, and the device id lives in a file in the runtime folder.
//
// [SECTION] The build's texts
// [SECTION] Answers
// [SECTION] The device id
// [SECTION] The command
#include <cstdio>
#include <cstdlib>

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/core/core.h"
#include "runtime/files/rtfile.h"
#include "runtime/platform/platform.h"
#include "runtime/types/random.h"
#include "runtime/types/text_helpers.h"

// ---------------------------------------------------------------------------
// [SECTION] The build's texts
//
// A game's build defines these; a program that does not answers "NO_DATA".

__attribute__((weak)) RtString mxt_build_stamp() { return RtString("NO_DATA"); }
__attribute__((weak)) RtString mxt_build_host_id() { return RtString("NO_DATA"); }
__attribute__((weak)) RtString mxt_build_version() { return RtString("NO_DATA"); }

namespace mxt {

namespace {

// ---------------------------------------------------------------------------
// [SECTION] Answers

const char kNoData[] = "NO_DATA";
const char kIdFailed[] = "FA17ED";
const char kRuntimeFolder[] = "Moxtril";
const char kIdFile[] = "moxtril.deviceid";

RtString calendar_answer(bool utc) {
  platform::CalendarTime t;
  const int64_t now = platform::now_seconds();
  if (!(utc ? platform::utc_time(now, t) : platform::local_time(now, t))) return RtString(kNoData);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return RtString(buf);
}

RtString battery_answer() {
  int p = platform::battery_percent();
  if (p < 0 || p > 100) p = 100;  // unknown, or no battery
  return RtString(p);
}

RtString dpi_answer() {
  const int dpi = platform::screen_dpi();
  return RtString(dpi <= 95 ? 96 : dpi);
}

RtString gl_answer(const RtString& as_written) {
  const char* name = as_written.c_str() + 6;
  if (platform::gl_function_offered(name)) return RtString("1");
  write_log_format("ext: %-35s   [FAILED]", name);
  return RtString("0");
}

// The code of a Windows language identifier (upper case), or null.
const char* language_code(uint16_t id) {
  struct Entry {
    const char* code;
    uint16_t id;
  };
  static constexpr Entry kTable[] = {
      {"AF", 0x0436}, {"AR", 0x0401}, {"AR", 0x0801}, {"AR", 0x0C01}, {"AR", 0x1001}, {"AR", 0x1401},
      {"AR", 0x1801}, {"AR", 0x1C01}, {"AR", 0x2001}, {"AR", 0x2401}, {"AR", 0x2801}, {"AR", 0x2C01},
      {"AR", 0x3001}, {"AR", 0x3401}, {"AR", 0x3801}, {"AR", 0x3C01}, {"AR", 0x4001}, {"AS", 0x044D},
      {"AZ", 0x042C}, {"AZ", 0x082C}, {"BE", 0x0423}, {"BE", 0x0445}, {"BG", 0x0402}, {"CA", 0x0403},
      {"CH", 0x0404}, {"CH", 0x0804}, {"CS", 0x0405}, {"DA", 0x0406}, {"DE", 0x0407}, {"DE", 0x0807},
      {"DE", 0x0C07}, {"DE", 0x1007}, {"DE", 0x1407}, {"DI", 0x0465}, {"EL", 0x0408}, {"EN", 0x0809},
      {"EN", 0x0C09}, {"EN", 0x1009}, {"EN", 0x1409}, {"EN", 0x1809}, {"EN", 0x1C09}, {"EN", 0x2009},
      {"EN", 0x2409}, {"EN", 0x2809}, {"EN", 0x2C09}, {"EN", 0x3009}, {"EN", 0x3409}, {"ES", 0x040A},
      {"ES", 0x080A}, {"ES", 0x0C0A}, {"ES", 0x100A}, {"ES", 0x140A}, {"ES", 0x180A}, {"ES", 0x1C0A},
      {"ES", 0x200A}, {"ES", 0x240A}, {"ES", 0x280A}, {"ES", 0x2C0A}, {"ES", 0x300A}, {"ES", 0x340A},
      {"ES", 0x380A}, {"ES", 0x3C0A}, {"ES", 0x400A}, {"ES", 0x440A}, {"ES", 0x480A}, {"ES", 0x4C0A},
      {"ES", 0x500A}, {"ET", 0x0425}, {"EU", 0x042D}, {"FA", 0x0429}, {"FI", 0x040B}, {"FO", 0x0438},
      {"FR", 0x040C}, {"FR", 0x080C}, {"FR", 0x0C0C}, {"FR", 0x100C}, {"FR", 0x140C}, {"FR", 0x180C},
      {"GL", 0x0456}, {"GU", 0x0447}, {"HE", 0x040D}, {"HI", 0x0439}, {"HR", 0x041A}, {"HU", 0x040E},
      {"HY", 0x042B}, {"IN", 0x0421}, {"IS", 0x040F}, {"IT", 0x0410}, {"IT", 0x0810}, {"JP", 0x0411},
      {"KA", 0x0437}, {"KA", 0x044B}, {"KK", 0x043F}, {"KN", 0x0457}, {"KO", 0x0412}, {"KY", 0x0440},
      {"LT", 0x0427}, {"LT", 0x0827}, {"LV", 0x0426}, {"MA", 0x044C}, {"MA", 0x044E}, {"MK", 0x042F},
      {"MO", 0x0450}, {"MS", 0x043E}, {"MS", 0x083E}, {"NL", 0x0413}, {"NL", 0x0813}, {"NO", 0x0414},
      {"NO", 0x0814}, {"OR", 0x0448}, {"PA", 0x0446}, {"PL", 0x0415}, {"PT", 0x0416}, {"PT", 0x0816},
      {"RO", 0x0418}, {"RU", 0x0419}, {"SA", 0x044F}, {"SK", 0x041B}, {"SL", 0x0424}, {"SQ", 0x041C},
      {"SR", 0x081A}, {"SR", 0x0C1A}, {"SV", 0x041D}, {"SV", 0x081D}, {"SW", 0x0441}, {"SY", 0x045A},
      {"TA", 0x0449}, {"TE", 0x044A}, {"TH", 0x041E}, {"TR", 0x041F}, {"TT", 0x0444}, {"UK", 0x0409},
      {"UK", 0x0422}, {"UR", 0x0420}, {"UR", 0x0820}, {"UZ", 0x0443}, {"UZ", 0x0843}, {"VI", 0x042A},
      {"ZH", 0x0C04}, {"ZH", 0x1004}, {"ZH", 0x1404},
  };
  for (const Entry& e : kTable)
    if (e.id == id) return e.code;
  return nullptr;
}

// The table's code, lower-cased and put through the aliases games have
// always seen: English outside the US answers "us", US English "uk".
RtString locale_answer() {
  const char* code = language_code(platform::language_id());
  if (!code) return RtString("us");
  std::string c;
  for (const char* p = code; *p; ++p) c += static_cast<char>(fold_ascii(*p));
  if (c == "eng" || c == "english-uk") c = "uk";
  if (c.size() > 2) c.resize(2);
  static constexpr const char* kAliases[][2] = {{"c", "us"},  {"el", "gr"}, {"du", "nl"}, {"am", "us"},
                                                {"en", "us"}, {"ja", "jp"}, {"po", "pl"}};
  for (const auto& a : kAliases)
    if (c == a[0]) c = a[1];
  return RtString(c.size() == 2 ? c.c_str() : "us");
}

RtString documents_answer() {
  const std::string d = platform::documents_folder();
  if (d.empty()) return RtString(kNoData);
  RtString r(d.c_str());
  to_forward_slashes(r);
  return r;
}

// The runtime folder, made when it is missing (with its parents: a fresh
// account may have no ~/.local/share yet). A folder that cannot be made is
// still answered; writing into it fails later, where it is noticed.
RtString appdata_answer() {
  std::string base = platform::local_data_folder();
  if (base.empty()) return RtString(kNoData);
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string folder = base + "/" + kRuntimeFolder;
  if (platform::path_kind(folder) != platform::PathKind::directory) platform::make_directories(folder);
  RtString r(folder.c_str());
  to_forward_slashes(r);
  return r;
}

RtString temp_answer() {
  const std::string t = platform::temp_folder();
  if (!t.empty()) {
    RtString r(t.c_str());
    to_forward_slashes(r);
    return r;
  }
  // No temporary folder named at all: the system's own.
  platform::make_directory("/tmp");
  return RtString("/tmp");
}

// ---------------------------------------------------------------------------
// [SECTION] The device id

RtString hex_le(uint32_t v) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                            static_cast<uint8_t>(v >> 24)};
  return bytes_to_hex(bytes, 4, true);
}

uint32_t draw15() { return rt.random ? static_cast<uint32_t>(rt.random->next(0x7FFF)) : 0u; }

RtString new_device_id() {
  RtString id;
  const auto r1 = static_cast<uint32_t>(std::rand());
  id.append(hex_le((r1 << 16) | draw15()));
  id.append(hex_le(static_cast<uint32_t>(platform::now_seconds())));
  const uint32_t w3 = draw15();
  id.append(hex_le((w3 << 16) | static_cast<uint32_t>(std::rand())));
  const auto ms = static_cast<uint32_t>(static_cast<int64_t>(rt.core ? mxt_elapsed_ms() : 0.0));
  id.append(hex_le((draw15() << 16) + ms));
  return id;
}

// Written beside the target under another name, flushed, and renamed over
// it: a run killed halfway leaves the old id or the new one, never a torn
// file that a later run would take for an id.
bool store_device_id(const RtString& path, const RtString& id) {
  if (is_memory_name(path.c_str())) return false;
  RtString temporary = path;
  temporary.append(".new");
  RtFile f;
  if (!open_write(f, temporary)) return false;
  bool ok = write_bytes(f, id.c_str(), id.size());
  ok = ok && platform::flush_file(f.handle);
  ok = close(f) && ok;
  const std::string target = platform_name(temporary);
  if (ok) ok = platform::rename_path(target, platform_name(path));
  if (!ok) platform::remove_file(target);
  return ok;
}

RtString device_id() {
  RtString path = appdata_answer();
  path.append("/");
  path.append(kIdFile);
  std::vector<uint8_t> bytes;
  RtString text;
  if (read_file_bytes(path, bytes, 4096) && !bytes.empty())
    text = RtString(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const RtString blanks(" \t\r\n\f\v");
  text = mxt_trim_left_text(mxt_trim_right_text(text, blanks), blanks);
  if (!text.empty()) return text;
  const RtString id = new_device_id();
  return store_device_id(path, id) ? id : RtString(kIdFailed);
}

// As the C library's toupper does in the "C" locale the runtime runs in:
// ASCII letters only.
RtString upper_key(const RtString& key) {
  std::string up(key.view());
  for (char& c : up)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return RtString(std::string_view(up));
}

}  // namespace

}  // namespace mxt

using namespace mxt;

// ---------------------------------------------------------------------------
// [SECTION] The command

RtString mxt_platform_info(RtString& key) {
  const RtString as_written = key;
  key = upper_key(as_written);
  const std::string_view k = key.view();
  if (k.empty()) return RtString("LINUX");
  if (k == "DEVICE") return RtString("DESKTOP");
  if (k.substr(0, 6) == "GLEXT:") return gl_answer(as_written);
  if (k == "ID") return device_id();
  if (k == "TIME") return calendar_answer(false);
  if (k == "UTCTIME") return calendar_answer(true);
  if (k == "BATTERY") return battery_answer();
  if (k == "COMPILED") return mxt_build_stamp();
  if (k == "HOSTID") return mxt_build_host_id();
  if (k == "VERSION") return mxt_build_version();
  if (k == "LOCALE") return locale_answer();
  if (k == "DOCUMENTS") return documents_answer();
  if (k == "APPDATA") return appdata_answer();
  if (k == "TEMP") return temp_answer();
  if (k == "DPI") return dpi_answer();
  return RtString(kNoData);
}

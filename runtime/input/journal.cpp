// Input recording and replay: the text format both ways, the recorder and the
// replayer, and the process-wide journal.
//
// [SECTION] Reading a replay file
// [SECTION] Writing recorded events
// [SECTION] The journal
#include "runtime/input/journal.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/base/singletons.h"
#include "runtime/input/keymap.h"
#include "runtime/types/bytes.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Reading a replay file

namespace {

constexpr size_t kTextChunk = sizeof(platform::Event::text) - 1;  // bytes one text event carries

struct Kind {
  const char* name;
  ReplayKind kind;
  int arguments;      // the count, or the fewest when more are allowed
  int most;
};
constexpr Kind kKinds[] = {
    {"mouse-move", ReplayKind::mouse_move, 2, 4}, {"mouse-down", ReplayKind::mouse_down, 1, 1},
    {"mouse-up", ReplayKind::mouse_up, 1, 1},     {"wheel", ReplayKind::wheel, 1, 1},
    {"key-down", ReplayKind::key_down, 1, 1},     {"key-up", ReplayKind::key_up, 1, 1},
    {"text", ReplayKind::text, 1, 1},             {"focus", ReplayKind::focus, 1, 1},
    {"close", ReplayKind::close, 0, 0},           {"finger-down", ReplayKind::finger_down, 3, 3},
    {"finger-move", ReplayKind::finger_move, 3, 3}, {"finger-up", ReplayKind::finger_up, 3, 3},
};

const Kind* find_kind(std::string_view name) {
  for (const Kind& k : kKinds)
    if (name == k.name) return &k;
  return nullptr;
}

// A line as its tokens, without the comment and the line end.
std::vector<std::string_view> tokens_of(std::string_view line) {
  if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

template <typename T>
bool parse_int(std::string_view t, T& v) {
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  return ec == std::errc() && end == t.data() + t.size();
}

bool parse_fraction(std::string_view t, float& v) {
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  return ec == std::errc() && end == t.data() + t.size() && std::isfinite(v) && std::fabs(v) <= 1e6f;
}

std::string quoted(std::string_view t) {
  // Built by appending: GCC 12 at -O3 misreads "\"" + std::string(t) as an
  // overlapping copy and warns.
  std::string q;
  q.reserve(t.size() + 2);
  q += '"';
  q += t;
  q += '"';
  return q;
}

class Parser {
 public:
  Parser(ReplayScript& out, ReplayError& error) : out_(out), error_(error) {}

  bool run(std::string_view file) {
    if (file.substr(0, 3) == "\xEF\xBB\xBF") file.remove_prefix(3);  // a byte-order mark from an editor
    bool header = false;
    size_t pos = 0;
    while (pos < file.size()) {
      size_t end = file.find('\n', pos);
      if (end == std::string_view::npos) end = file.size();
      ++line_;
      const std::vector<std::string_view> t = tokens_of(file.substr(pos, end - pos));
      pos = end + 1;
      if (t.empty()) continue;
      if (!header) {
        if (!check_header(t)) return false;
        header = true;
      } else if (!item(t)) {
        return false;
      }
    }
    if (!header) return fail("the file is empty; it must begin with \"moxtril-replay 1\"");
    return true;
  }

 private:
  bool fail(std::string message) {
    error_.line = line_ == 0 ? 1 : line_;
    error_.message = std::move(message);
    return false;
  }

  bool check_header(const std::vector<std::string_view>& t) {
    if (t[0] != "moxtril-replay") return fail("not a replay file: the first line must be \"moxtril-replay 1\"");
    if (t.size() != 2) return fail("the first line must be \"moxtril-replay 1\"");
    if (t[1] != "1") return fail("replay format version " + std::string(t[1]) + " is not supported (this runtime reads 1)");
    return true;
  }

  bool item(const std::vector<std::string_view>& t) {
    if (t[0] == "seed" || t[0] == "pointer") return fact(t);
    int64_t frame = 0;
    if (!parse_int(t[0], frame) || frame < 0)
      return fail("expected a frame count, \"seed\" or \"pointer\", got " + quoted(t[0]));
    if (frame < last_frame_)
      return fail("frame " + std::string(t[0]) + " comes after frame " + std::to_string(last_frame_) +
                  "; frame counts must not go down");
    if (t.size() < 2) return fail("an event kind must follow the frame count");
    const Kind* k = find_kind(t[1]);
    if (!k) return fail("unknown event kind " + quoted(t[1]));
    const int n = static_cast<int>(t.size()) - 2;
    if (n < k->arguments || n > k->most) {
      std::string want = std::to_string(k->arguments);
      if (k->most != k->arguments) want += " or " + std::to_string(k->most);
      return fail(std::string(k->name) + " takes " + want + (k->most == 1 ? " value" : " values") + ", got " +
                  std::to_string(n));
    }
    last_frame_ = frame;
    events_seen_ = true;
    ReplayEvent e;
    e.frame = frame;
    e.kind = k->kind;
    return event(e, t);
  }

  bool fact(const std::vector<std::string_view>& t) {
    const bool seed = t[0] == "seed";
    if (events_seen_) return fail(std::string(t[0]) + " must come before the first event");
    if (seed ? out_.has_seed : out_.has_pointer) return fail("a second " + std::string(t[0]) + " line");
    if (t.size() != (seed ? 2u : 3u)) return fail(seed ? "seed takes one whole number" : "pointer takes two whole numbers");
    if (seed) {
      if (!parse_int(t[1], out_.seed)) return fail("the seed must be a whole number from -2147483648 to 2147483647");
      out_.has_seed = true;
    } else {
      if (!int_arg(t[1], out_.pointer_x) || !int_arg(t[2], out_.pointer_y)) return false;
      out_.has_pointer = true;
    }
    return true;
  }

  bool int_arg(std::string_view t, int32_t& v) {
    if (parse_int(t, v)) return true;
    return fail("expected a whole number, got " + quoted(t));
  }

  bool int_arg_in(std::string_view t, int32_t& v, int32_t lo, int32_t hi, const char* what) {
    if (!int_arg(t, v)) return false;
    if (v < lo || v > hi) return fail(std::string(what) + " " + std::string(t) + " is outside " + std::to_string(lo) +
                                      ".." + std::to_string(hi));
    return true;
  }

  bool event(ReplayEvent& e, const std::vector<std::string_view>& t) {
    const std::string_view* arg = t.data() + 2;
    switch (e.kind) {
      case ReplayKind::mouse_move:
        if (!int_arg(arg[0], e.a) || !int_arg(arg[1], e.b)) return false;
        if (t.size() == 4) {
          // Without the relative motion, it is the change of position.
          e.c = moved_ ? static_cast<int32_t>(static_cast<int64_t>(e.a) - x_) : 0;
          e.d = moved_ ? static_cast<int32_t>(static_cast<int64_t>(e.b) - y_) : 0;
        } else if (t.size() == 6) {
          if (!int_arg(arg[2], e.c) || !int_arg(arg[3], e.d)) return false;
        } else {
          return fail("mouse-move takes x y, or x y and the relative motion dx dy");
        }
        moved_ = true;
        x_ = e.a;
        y_ = e.b;
        break;
      case ReplayKind::mouse_down:
      case ReplayKind::mouse_up:
        if (!int_arg_in(arg[0], e.a, 1, 5, "button")) return false;
        e.b = x_;
        e.c = y_;
        break;
      case ReplayKind::key_down:
      case ReplayKind::key_up:
        if (!int_arg_in(arg[0], e.a, 1, 255, "scan code")) return false;
        if (hid_from_dik(e.a) == 0) return fail("no key has the scan code " + std::string(arg[0]));
        break;
      case ReplayKind::wheel:
        if (!int_arg(arg[0], e.a)) return false;
        break;
      case ReplayKind::focus:
        if (!int_arg_in(arg[0], e.a, 0, 1, "focus")) return false;
        break;
      case ReplayKind::text:
        return text(e, arg[0]);
      case ReplayKind::close:
        break;
      case ReplayKind::finger_down:
      case ReplayKind::finger_move:
      case ReplayKind::finger_up:
        if (!parse_int(arg[0], e.finger)) return fail("expected a finger id, got " + quoted(arg[0]));
        if (!parse_fraction(arg[1], e.fx) || !parse_fraction(arg[2], e.fy))
          return fail("a finger position is two numbers, fractions of the window such as 0.25");
        break;
    }
    out_.events.push_back(e);
    return true;
  }

  // Hex bytes; a text longer than one event carries becomes several events.
  bool text(ReplayEvent& e, std::string_view hex) {
    if (hex.size() % 2 != 0) return fail("text is hexadecimal bytes, two digits each, got " + quoted(hex));
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
      const int hi = hex_digit_value(hex[i]), lo = hex_digit_value(hex[i + 1]);
      if (hi < 0 || lo < 0) return fail("text is hexadecimal bytes, got " + quoted(hex));
      const int b = hi * 16 + lo;
      if (b == 0) return fail("text cannot hold the byte 00");
      bytes.push_back(static_cast<char>(b));
    }
    for (size_t i = 0; i < bytes.size(); i += kTextChunk) {
      const std::string part = bytes.substr(i, kTextChunk);
      e.text_at = static_cast<uint32_t>(out_.text.size());
      e.text_len = static_cast<uint8_t>(part.size());
      out_.text += part;
      out_.events.push_back(e);
    }
    return true;
  }

  ReplayScript& out_;
  ReplayError& error_;
  int line_ = 0;
  int64_t last_frame_ = 0;
  bool events_seen_ = false;
  bool moved_ = false;
  int32_t x_ = 0, y_ = 0;
};

}  // namespace

bool parse_replay(std::string_view file, ReplayScript& out, ReplayError& error) {
  out = ReplayScript{};
  error = ReplayError{};
  Parser p(out, error);
  return p.run(file);
}

platform::Event replay_to_event(const ReplayEvent& r, const ReplayScript& script) {
  using platform::EventType;
  platform::Event e;
  switch (r.kind) {
    case ReplayKind::mouse_move:
      e.type = EventType::mouse_move;
      e.x = r.a;
      e.y = r.b;
      e.dx = r.c;
      e.dy = r.d;
      break;
    case ReplayKind::mouse_down:
    case ReplayKind::mouse_up:
      e.type = r.kind == ReplayKind::mouse_down ? EventType::mouse_down : EventType::mouse_up;
      e.button = r.a;
      e.x = r.b;
      e.y = r.c;
      break;
    case ReplayKind::wheel:
      e.type = EventType::mouse_wheel;
      e.dy = r.a;
      break;
    case ReplayKind::key_down:
    case ReplayKind::key_up:
      e.type = r.kind == ReplayKind::key_down ? EventType::key_down : EventType::key_up;
      e.key = hid_from_dik(r.a);
      break;
    case ReplayKind::text:
      e.type = EventType::text;
      if (r.text_at <= script.text.size() && r.text_len <= script.text.size() - r.text_at && r.text_len < sizeof e.text)
        std::memcpy(e.text, script.text.data() + r.text_at, r.text_len);
      break;
    case ReplayKind::focus:
      e.type = r.a ? EventType::focus_gained : EventType::focus_lost;
      break;
    case ReplayKind::close:
      e.type = EventType::close;
      break;
    case ReplayKind::finger_down:
    case ReplayKind::finger_move:
    case ReplayKind::finger_up:
      e.type = r.kind == ReplayKind::finger_down ? EventType::finger_down
               : r.kind == ReplayKind::finger_up ? EventType::finger_up
                                                 : EventType::finger_move;
      e.finger = r.finger;
      e.fx = r.fx;
      e.fy = r.fy;
      break;
  }
  return e;
}

// ---------------------------------------------------------------------------
// [SECTION] Writing recorded events

namespace {

std::string fraction_text(float v) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : "0";
}

}  // namespace

std::string ReplayFormatter::lines(const platform::Event& e, int64_t frames) {
  using platform::EventType;
  const std::string stamp = std::to_string(frames) + " ";
  switch (e.type) {
    case EventType::mouse_move: {
      if (e.from_touch) return "";
      const int64_t implied_x = moved_ ? static_cast<int64_t>(e.x) - x_ : 0;
      const int64_t implied_y = moved_ ? static_cast<int64_t>(e.y) - y_ : 0;
      std::string s = stamp + "mouse-move " + std::to_string(e.x) + " " + std::to_string(e.y);
      if (e.dx != implied_x || e.dy != implied_y) s += " " + std::to_string(e.dx) + " " + std::to_string(e.dy);
      moved_ = true;
      x_ = e.x;
      y_ = e.y;
      return s + "\n";
    }
    case EventType::mouse_down:
    case EventType::mouse_up: {
      if (e.from_touch || e.button < 1 || e.button > 5) return "";
      std::string s;
      if (e.x != x_ || e.y != y_) {
        // Where the button went: a move with no motion of its own.
        s = stamp + "mouse-move " + std::to_string(e.x) + " " + std::to_string(e.y) + " 0 0\n";
        moved_ = true;
        x_ = e.x;
        y_ = e.y;
      }
      return s + stamp + (e.type == EventType::mouse_down ? "mouse-down " : "mouse-up ") + std::to_string(e.button) + "\n";
    }
    case EventType::mouse_wheel:
      return e.dy == 0 ? "" : stamp + "wheel " + std::to_string(e.dy) + "\n";
    case EventType::key_down:
    case EventType::key_up: {
      const int dik = dik_from_hid(e.key);
      if (dik == 0) return "";
      return stamp + (e.type == EventType::key_down ? "key-down " : "key-up ") + std::to_string(dik) + "\n";
    }
    case EventType::text: {
      static constexpr char kHex[] = "0123456789abcdef";
      std::string hex;
      for (size_t i = 0; i < sizeof e.text && e.text[i] != 0; ++i) {
        const auto b = static_cast<unsigned char>(e.text[i]);
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
      }
      return hex.empty() ? "" : stamp + "text " + hex + "\n";
    }
    case EventType::focus_gained: return stamp + "focus 1\n";
    case EventType::focus_lost: return stamp + "focus 0\n";
    case EventType::quit:
    case EventType::close: return stamp + "close\n";
    case EventType::finger_down:
    case EventType::finger_move:
    case EventType::finger_up: {
      const char* kind = e.type == EventType::finger_down ? "finger-down " : e.type == EventType::finger_up ? "finger-up " : "finger-move ";
      return stamp + kind + std::to_string(e.finger) + " " + fraction_text(e.fx) + " " + fraction_text(e.fy) + "\n";
    }
    default:
      return "";
  }
}

bool is_device_event(platform::EventType type) {
  using platform::EventType;
  switch (type) {
    case EventType::key_down: case EventType::key_up: case EventType::text:
    case EventType::mouse_move: case EventType::mouse_down: case EventType::mouse_up: case EventType::mouse_wheel:
    case EventType::finger_down: case EventType::finger_up: case EventType::finger_move:
    case EventType::focus_gained: case EventType::focus_lost:
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] The journal

InputJournal::~InputJournal() { close(); }

bool InputJournal::open_record(const std::string& path, std::string& error) {
  out_ = platform::open_file(path, platform::FileMode::create);
  if (!out_) {
    error = "cannot write the recording " + path + ": " + platform::last_file_error();
    return false;
  }
  record_path_ = path;
  pending_ = "moxtril-replay 1\n";
  return true;
}

bool InputJournal::open_replay(const std::string& path, std::string& error) {
  std::string bytes;
  if (!platform::read_whole_file(path, bytes, static_cast<int64_t>(kMaxReplayFileBytes))) {
    const platform::PathInfo info = platform::path_info(path);
    if (info.kind == platform::PathKind::file && info.size > static_cast<int64_t>(kMaxReplayFileBytes))
      error = "the replay file " + path + " is larger than " + std::to_string(kMaxReplayFileBytes >> 20) + " MiB";
    else
      error = "cannot read the replay file " + path + ": " + platform::last_file_error();
    return false;
  }
  ReplayError e;
  if (!parse_replay(bytes, script_, e)) {
    error = path + ":" + std::to_string(e.line) + ": " + e.message;
    return false;
  }
  replaying_ = true;
  next_ = 0;
  return true;
}

int32_t InputJournal::seed(int32_t live_seed) {
  const int32_t s = replaying_ && script_.has_seed ? script_.seed : live_seed;
  if (out_) pending_ += "seed " + std::to_string(s) + "\n";
  return s;
}

void InputJournal::pointer(int* x, int* y) {
  if (replaying_) {
    *x = script_.has_pointer ? script_.pointer_x : 0;
    *y = script_.has_pointer ? script_.pointer_y : 0;
  }
  if (out_) pending_ += "pointer " + std::to_string(*x) + " " + std::to_string(*y) + "\n";
}

void InputJournal::record(const platform::Event& e, int64_t frames) {
  if (out_) pending_ += formatter_.lines(e, frames);
}

// Once a pump: a program that crashes keeps everything up to its last frame.
void InputJournal::flush() {
  if (!out_ || pending_.empty()) return;
  const int64_t n = static_cast<int64_t>(pending_.size());
  if (platform::write_file(out_, pending_.data(), n) != n) write_failed_ = true;
  pending_.clear();
}

bool InputJournal::close() {
  if (!out_) return !write_failed_;
  flush();
  if (!platform::close_file(out_)) write_failed_ = true;
  out_ = nullptr;
  return !write_failed_;
}

size_t InputJournal::replay_quota(ReplayPace pace, int64_t frames) const {
  if (!replaying_ || next_ >= script_.events.size() || pace == ReplayPace::wait_start) return 0;
  size_t due = 0;
  for (size_t i = next_; i < script_.events.size() && script_.events[i].frame <= frames; ++i) ++due;
  switch (pace) {
    case ReplayPace::per_frame: return due;
    case ReplayPace::waiting: return 1;
    case ReplayPace::paused: return due > 0 ? due : 1;
    default: return 0;
  }
}

bool InputJournal::next_replayed(platform::Event& e) {
  if (!replaying_ || next_ >= script_.events.size()) return false;
  e = replay_to_event(script_.events[next_++], script_);
  return true;
}

bool open_input_journal(const std::string& record_path, const std::string& replay_path) {
  if (record_path.empty() && replay_path.empty()) return true;
  auto* j = new InputJournal;
  std::string error;
  if ((!replay_path.empty() && !j->open_replay(replay_path, error)) ||
      (!record_path.empty() && !j->open_record(record_path, error))) {
    std::fprintf(stderr, "moxtril: %s\n", error.c_str());
    std::fflush(stderr);
    delete j;
    return false;
  }
  rt.journal = j;
  return true;
}

void close_input_journal() {
  if (!rt.journal) return;
  if (!rt.journal->close()) {
    // The person who asked for the recording must learn that it is short.
    std::fprintf(stderr, "moxtril: the recording %s could not be written completely\n",
                 rt.journal->record_path().c_str());
    std::fflush(stderr);
  }
  delete rt.journal;
  rt.journal = nullptr;
}

int32_t journal_seed(int32_t live_seed) { return rt.journal ? rt.journal->seed(live_seed) : live_seed; }

void journal_pointer(int* x, int* y) {
  if (rt.journal) rt.journal->pointer(x, y);
}

}  // namespace mxt

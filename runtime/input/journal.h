// Input recording and replay, for testing games and for bug reports.
//
// MXT_RECORD=file writes every input event the runtime takes, stamped with
// the number of frames presented before it, together with the random seed
// and the pointer's start position. MXT_REPLAY=file feeds such a file back
// through the same message pump in place of the live devices (the window's
// close button still works), with its seed in place of the start-up seed, so
// that a recorded session replays exactly. The format is plain text, one item
// a line, and public: README.md describes it for people who write it by hand.
//
//   moxtril-replay 1
//   seed 12345
//   0 mouse-move 400 240
//   10 mouse-down 1
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/platform.h"

namespace mxt {

// How many replayed events a message pump takes. The pumps of a frame take
// every event stamped with a frame count already reached. A program waiting
// for input presents no frames, so a wait takes the events one per pass (a
// press and its release must reach it as two inputs, as they did when it was
// recorded); and when no event of the current frame is left, a wait takes
// the next one early, since only the person's next action can end it.
enum class ReplayPace : uint8_t {
  per_frame,   // every due event
  wait_start,  // none: the passes of the wait that follows take them
  waiting,     // one due event, else the next one
  paused,      // every due event, else the next one
};

enum class ReplayKind : uint8_t {
  mouse_move, mouse_down, mouse_up, wheel, key_down, key_up, text, focus, close,
  finger_down, finger_move, finger_up,
};

struct ReplayEvent {
  int64_t frame = 0;
  int64_t finger = 0;
  int32_t a = 0, b = 0, c = 0, d = 0;  // move: x y dx dy; button: button x y; key: scan code; wheel; focus
  float fx = 0, fy = 0;                 // touch position, fractions of the window
  uint32_t text_at = 0;                 // text: bytes in ReplayScript::text
  uint8_t text_len = 0;
  ReplayKind kind = ReplayKind::close;
};

struct ReplayScript {
  bool has_seed = false;
  int32_t seed = 0;
  bool has_pointer = false;
  int32_t pointer_x = 0, pointer_y = 0;
  std::vector<ReplayEvent> events;
  std::string text;
};

struct ReplayError {
  int line = 0;
  std::string message;
};

constexpr size_t kMaxReplayFileBytes = size_t{64} << 20;

// Reads a whole file; false with the line and the reason at the first fault.
bool parse_replay(std::string_view file, ReplayScript& out, ReplayError& error);
platform::Event replay_to_event(const ReplayEvent& r, const ReplayScript& script);

// The lines of one recorded event ("" for events nothing takes). It keeps
// the last mouse position so that lines stay short: a move states its
// relative motion only where it differs from the change of position, and a
// button carries no position (a move goes first where it is needed).
class ReplayFormatter {
 public:
  std::string lines(const platform::Event& e, int64_t frames);  // frames presented before it

 private:
  bool moved_ = false;
  int32_t x_ = 0, y_ = 0;
};

// The event kinds that come from the devices, which a replay replaces.
bool is_device_event(platform::EventType type);

class InputJournal {
 public:
  InputJournal() = default;
  ~InputJournal();
  InputJournal(const InputJournal&) = delete;
  InputJournal& operator=(const InputJournal&) = delete;

  bool open_record(const std::string& path, std::string& error);
  bool open_replay(const std::string& path, std::string& error);

  int32_t seed(int32_t live_seed);                 // the seed to use, recorded
  void pointer(int* x, int* y);                    // the pointer's start position, recorded
  void record(const platform::Event& e, int64_t frames);
  void flush();                                    // what was recorded reaches the file
  bool close();                                    // false when any of the recording failed to reach it
  const std::string& record_path() const { return record_path_; }

  bool replaying() const { return replaying_; }
  size_t replay_quota(ReplayPace pace, int64_t frames) const;
  bool next_replayed(platform::Event& e);

 private:
  platform::File* out_ = nullptr;
  std::string record_path_;
  std::string pending_;                            // recorded, not yet written
  bool write_failed_ = false;
  ReplayFormatter formatter_;
  bool replaying_ = false;
  ReplayScript script_;
  size_t next_ = 0;
};

// The process-wide journal (rt.journal), for the files MXT_RECORD and
// MXT_REPLAY name (empty: not asked for). Opened first thing in start-up;
// false, after saying why on the standard error stream, when a file cannot
// be used: the program must not start then. Closing it reports a recording
// that could not be written completely on the standard error stream.
bool open_input_journal(const std::string& record_path, const std::string& replay_path);
void close_input_journal();
int32_t journal_seed(int32_t live_seed);
void journal_pointer(int* x, int* y);

}  // namespace mxt

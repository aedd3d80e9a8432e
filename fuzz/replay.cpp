// Replay files (MXT_REPLAY): the text parser, and the promise that a
// recorded session replays exactly. Whatever a file the parser accepts makes
// of its events, recording those events again and reading the recording
// back must give the same events to the game.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "runtime/input/journal.h"

namespace {

// What the game sees of an event; the recorder's choices of how to write it
// (a move's implied motion, a key's scan code among those of one key) do not
// show.
bool same_event(const mxt::platform::Event& a, const mxt::platform::Event& b) {
  return a.type == b.type && a.key == b.key && a.x == b.x && a.y == b.y && a.dx == b.dx && a.dy == b.dy &&
         a.button == b.button && a.finger == b.finger && a.fx == b.fx && a.fy == b.fy &&
         std::memcmp(a.text, b.text, sizeof a.text) == 0;
}

// A wheel event of no notches moves nothing, and the recorder leaves it out.
bool recorded(const mxt::platform::Event& e) {
  return !(e.type == mxt::platform::EventType::mouse_wheel && e.dy == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  if (size > mxt::kMaxReplayFileBytes) return 0;
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  mxt::ReplayScript script;
  mxt::ReplayError error;
  if (!mxt::parse_replay(file, script, error)) {
    MXT_FUZZ_CHECK(error.line >= 1 && !error.message.empty());
    return 0;
  }

  std::string again = "moxtril-replay 1\n";
  if (script.has_seed) again += "seed " + std::to_string(script.seed) + "\n";
  if (script.has_pointer)
    again += "pointer " + std::to_string(script.pointer_x) + " " + std::to_string(script.pointer_y) + "\n";
  std::vector<mxt::platform::Event> events;
  std::vector<int64_t> frames;
  mxt::ReplayFormatter formatter;
  int64_t last_frame = 0;
  for (const mxt::ReplayEvent& r : script.events) {
    MXT_FUZZ_CHECK(r.frame >= last_frame);  // stamps never go down
    last_frame = r.frame;
    const mxt::platform::Event e = mxt::replay_to_event(r, script);
    if (!recorded(e)) continue;
    const std::string lines = formatter.lines(e, r.frame);
    MXT_FUZZ_CHECK(!lines.empty());  // every event a replay gives the game is one a recording keeps
    again += lines;
    events.push_back(e);
    frames.push_back(r.frame);
  }

  mxt::ReplayScript reread;
  mxt::ReplayError reread_error;
  if (!mxt::parse_replay(again, reread, reread_error)) {
    std::fprintf(stderr, "recording rejected at line %d: %s\n%s", reread_error.line, reread_error.message.c_str(),
                 again.c_str());
    mxt_fuzz::broken("a recording of accepted events reads back");
  }
  MXT_FUZZ_CHECK(reread.has_seed == script.has_seed && reread.seed == script.seed);
  MXT_FUZZ_CHECK(reread.has_pointer == script.has_pointer);
  MXT_FUZZ_CHECK(reread.pointer_x == script.pointer_x && reread.pointer_y == script.pointer_y);
  // A text longer than one event carries is split the same way both times,
  // so the counts match event for event.
  MXT_FUZZ_CHECK(reread.events.size() == events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    MXT_FUZZ_CHECK(reread.events[i].frame == frames[i]);
    MXT_FUZZ_CHECK(same_event(mxt::replay_to_event(reread.events[i], reread), events[i]));
  }
  return 0;
}

// The replay format both ways, and how many replayed events each kind of
// message pump takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/base/singletons.h"
#include "runtime/input/journal.h"
#include "runtime/input/keymap.h"
#include "support/child.h"

using namespace mxt;
using platform::Event;
using platform::EventType;

namespace {

std::vector<Event> events_of(const ReplayScript& s) {
  std::vector<Event> out;
  for (const ReplayEvent& r : s.events) out.push_back(replay_to_event(r, s));
  return out;
}

ReplayError parse_error(const std::string& text) {
  ReplayScript s;
  ReplayError e;
  EXPECT_FALSE(parse_replay(text, s, e)) << text;
  return e;
}

}  // namespace

TEST(ReplayFormat, ReadsEveryKindAroundCommentsBlankLinesAndWindowsLineEnds) {
  const std::string file =
      "\xEF\xBB\xBF# a session\r\n"
      "moxtril-replay 1   # the header may carry a comment\r\n"
      "\n"
      "seed -12345\n"
      "pointer 10 20\n"
      "0 mouse-move 400 240\n"
      "0 mouse-move 410 230\n"
      "1\tmouse-move 410 230 -3 7\n"
      "10 mouse-down 3\n"
      "12 mouse-up 3\n"
      "20 key-down 2\n"
      "21 key-up 56\n"
      "30 text 61E9\n"
      "40 wheel -2\n"
      "50 focus 0\n"
      "51 focus 1\n"
      "52 finger-down 7 0.25 0.5\n"
      "52 finger-move -1 1 0\n"
      "53 finger-up 7 0.25 0.5\n"
      "60 close\n"
      "61 text 41414141414141414141414141414141414141414141414141414141414141414242\n";
  ReplayScript s;
  ReplayError err;
  ASSERT_TRUE(parse_replay(file, s, err)) << err.line << ": " << err.message;
  EXPECT_TRUE(s.has_seed);
  EXPECT_EQ(s.seed, -12345);
  EXPECT_EQ(s.pointer_x, 10);
  EXPECT_EQ(s.pointer_y, 20);
  const std::vector<Event> e = events_of(s);
  ASSERT_EQ(e.size(), 17u);
  EXPECT_EQ(e[0].type, EventType::mouse_move);
  EXPECT_EQ(e[0].dx, 0) << "the first move has no motion of its own";
  EXPECT_EQ(e[1].dx, 10) << "the change of position is the motion";
  EXPECT_EQ(e[1].dy, -10);
  EXPECT_EQ(e[2].dx, -3) << "unless the line states it";
  EXPECT_EQ(e[2].dy, 7);
  EXPECT_EQ(e[3].type, EventType::mouse_down);
  EXPECT_EQ(e[3].button, 3);
  EXPECT_EQ(e[3].x, 410) << "a button goes where the last move went";
  EXPECT_EQ(e[4].type, EventType::mouse_up);
  EXPECT_EQ(e[5].type, EventType::key_down);
  EXPECT_EQ(dik_from_hid(e[5].key), 2);
  EXPECT_EQ(dik_from_hid(e[6].key), 0x38);
  EXPECT_STREQ(e[7].text, "a\xE9");
  EXPECT_EQ(e[8].type, EventType::mouse_wheel);
  EXPECT_EQ(e[8].dy, -2);
  EXPECT_EQ(e[9].type, EventType::focus_lost);
  EXPECT_EQ(e[10].type, EventType::focus_gained);
  EXPECT_EQ(e[11].type, EventType::finger_down);
  EXPECT_EQ(e[11].finger, 7);
  EXPECT_FLOAT_EQ(e[11].fx, 0.25f);
  EXPECT_EQ(e[12].finger, -1);
  EXPECT_EQ(e[13].type, EventType::finger_up);
  EXPECT_EQ(e[14].type, EventType::close);
  EXPECT_EQ(s.events[14].frame, 60);
  // Longer than one event carries: split, in order
  EXPECT_EQ(std::string(e[15].text) + e[16].text, std::string(31, 'A') + "ABB");
}

TEST(ReplayFormat, AMalformedLineIsAnErrorNamingTheLine) {
  struct Case {
    std::string body;  // after the header line
    int line;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"0 mouse-jump 1 2\n", 2, "unknown event kind \"mouse-jump\""},
      {"\n\n# nothing\n0 mouse-move 1\n", 5, "mouse-move takes 2 or 4 values, got 1"},
      {"0 mouse-move 1 2 3\n", 2, "mouse-move takes x y"},
      {"0 mouse-move 1 x\n", 2, "expected a whole number, got \"x\""},
      {"0 mouse-move 1 99999999999\n", 2, "expected a whole number"},
      {"5 close\n4 close\n", 3, "frame counts must not go down"},
      {"-1 close\n", 2, "expected a frame count"},
      {"+1 close\n", 2, "expected a frame count"},
      {"7\n", 2, "an event kind must follow"},
      {"0 mouse-down 6\n", 2, "button 6 is outside 1..5"},
      {"0 key-down 0\n", 2, "scan code 0 is outside 1..255"},
      {"0 key-down 84\n", 2, "no key has the scan code 84"},
      {"0 text 6\n", 2, "two digits each"},
      {"0 text zz\n", 2, "hexadecimal"},
      {"0 text 6100\n", 2, "the byte 00"},
      {"0 focus 2\n", 2, "focus 2 is outside 0..1"},
      {"0 close now\n", 2, "close takes 0 values, got 1"},
      {"0 wheel\n", 2, "wheel takes 1 value, got 0"},
      {"0 finger-down 1 nan 0.5\n", 2, "a finger position"},
      {"0 finger-down 1 1e300 0.5\n", 2, "a finger position"},
      {"0 finger-down x 0 0\n", 2, "finger id"},
      {"0 close\nseed 4\n", 3, "seed must come before the first event"},
      {"seed 4\nseed 5\n", 3, "a second seed line"},
      {"seed 2147483648\n", 2, "the seed must be a whole number"},
      {"pointer 1\n", 2, "pointer takes two whole numbers"},
  };
  for (const Case& c : cases) {
    const ReplayError e = parse_error("moxtril-replay 1\n" + c.body);
    EXPECT_EQ(e.line, c.line) << c.body;
    EXPECT_NE(e.message.find(c.says), std::string::npos) << c.body << " -> " << e.message;
  }
  EXPECT_EQ(parse_error("").line, 1);
  EXPECT_NE(parse_error("# only a comment\n\n").message.find("empty"), std::string::npos);
  EXPECT_NE(parse_error("moxtril-replay 2\n").message.find("version 2 is not supported"), std::string::npos);
  const ReplayError not_replay = parse_error("\n0 close\n");
  EXPECT_EQ(not_replay.line, 2);
  EXPECT_NE(not_replay.message.find("not a replay file"), std::string::npos);
}

TEST(ReplayFormat, RecordedLinesAreShortAndReadBackToTheSameEvents) {
  std::vector<Event> in;
  auto add = [&](EventType t, auto fill) {
    Event e;
    e.type = t;
    fill(e);
    in.push_back(e);
  };
  add(EventType::mouse_move, [](Event& e) { e.x = 5, e.y = 6, e.dx = 2, e.dy = 1; });
  add(EventType::mouse_move, [](Event& e) { e.x = 9, e.y = 4, e.dx = 4, e.dy = -2; });
  add(EventType::mouse_move, [](Event& e) { e.x = 9, e.y = 4, e.dx = 30, e.dy = 40; });  // held at an edge
  add(EventType::mouse_down, [](Event& e) { e.button = 1, e.x = 9, e.y = 4; });
  add(EventType::mouse_up, [](Event& e) { e.button = 2, e.x = 70, e.y = 80; });  // where no move went
  add(EventType::mouse_wheel, [](Event& e) { e.dy = -1; });
  add(EventType::key_down, [](Event& e) { e.key = hid_from_dik(0x3E); });
  add(EventType::text, [](Event& e) { e.text[0] = 'Z', e.text[1] = '\x80'; });
  add(EventType::finger_move, [](Event& e) { e.finger = 3, e.fx = 0.1f, e.fy = 0.9f; });
  add(EventType::focus_lost, [](Event&) {});
  add(EventType::quit, [](Event&) {});
  add(EventType::mouse_wheel, [](Event& e) { e.dx = 1; });                     // sideways: nothing takes it
  add(EventType::key_down, [](Event& e) { e.key = 0; });                       // a key without a scan code
  add(EventType::mouse_move, [](Event& e) { e.x = 1, e.from_touch = true; });  // touch comes as fingers

  ReplayFormatter f;
  std::string file;
  for (size_t i = 0; i < in.size(); ++i) file += f.lines(in[i], static_cast<int64_t>(i / 3));
  EXPECT_EQ(file,
            "0 mouse-move 5 6 2 1\n"
            "0 mouse-move 9 4\n"
            "0 mouse-move 9 4 30 40\n"
            "1 mouse-down 1\n"
            "1 mouse-move 70 80 0 0\n"
            "1 mouse-up 2\n"
            "1 wheel -1\n"
            "2 key-down 62\n"
            "2 text 5a80\n"
            "2 finger-move 3 0.1 0.9\n"
            "3 focus 0\n"
            "3 close\n");

  ReplayScript s;
  ReplayError err;
  ASSERT_TRUE(parse_replay("moxtril-replay 1\n" + file, s, err)) << err.line << ": " << err.message;
  ReplayFormatter again;
  std::string round;
  for (const ReplayEvent& r : s.events) round += again.lines(replay_to_event(r, s), r.frame);
  EXPECT_EQ(round, file);
}

TEST(ReplayFormat, PumpsTakeTheirFramesEventsAndWaitsTakeThemOneAtATime) {
  mxt_test::TempDir dir;
  const std::string path = dir.file("r.txt");
  ASSERT_TRUE(mxt_test::write_file(path, "moxtril-replay 1\n0 wheel 1\n0 wheel 2\n3 wheel 3\n3 wheel 4\n"));
  InputJournal j;
  std::string error;
  ASSERT_TRUE(j.open_replay(path, error)) << error;
  EXPECT_EQ(j.replay_quota(ReplayPace::per_frame, 0), 2u);
  EXPECT_EQ(j.replay_quota(ReplayPace::wait_start, 0), 0u);
  EXPECT_EQ(j.replay_quota(ReplayPace::waiting, 0), 1u);
  EXPECT_EQ(j.replay_quota(ReplayPace::paused, 0), 2u);
  Event e;
  ASSERT_TRUE(j.next_replayed(e));
  ASSERT_TRUE(j.next_replayed(e));
  EXPECT_EQ(e.dy, 2);
  EXPECT_EQ(j.replay_quota(ReplayPace::per_frame, 2), 0u) << "frame 3's events wait for frame 3";
  EXPECT_EQ(j.replay_quota(ReplayPace::waiting, 2), 1u) << "a wait takes the next one early";
  EXPECT_EQ(j.replay_quota(ReplayPace::paused, 2), 1u);
  EXPECT_EQ(j.replay_quota(ReplayPace::per_frame, 7), 2u);
  ASSERT_TRUE(j.next_replayed(e));
  ASSERT_TRUE(j.next_replayed(e));
  EXPECT_FALSE(j.next_replayed(e));
  EXPECT_EQ(j.replay_quota(ReplayPace::waiting, 7), 0u);
}

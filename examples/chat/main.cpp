// Chat: a small networked game. One copy hosts, others join it; each makes
// a named player, sees who is there, and exchanges texts.
//
// The messaging runs beside the game: a background thread reads the network
// and queues texts per player, so a game calls mxt_player_receive once a
// frame and draws on. Ids come from the host (101, 102, ...); texts to 0 go
// to every player but the sender, and arrive in the order they were sent.
//
// What this shows: hosting and joining, making a player, the player list
// (count, ids, names), sending to everyone and to one player, receiving with
// the sender, noticing players who left, and leaving.
//
//   ./example_chat host 27960 Ann          one copy hosts...
//   ./example_chat join 127.0.0.1 27960 Bob   ...another joins, says hello and leaves
#include <moxtril.h>

namespace {

RtArray<RtString> shown;  // the chat log on screen

void say(const RtString& text) {
  mxt_stdout(text + "\n");
  mxt_array_push(shown, text);
}

void frame() {
  for (int i = 0; i < mxt_array_bounds(shown, 0) && i < 20; ++i) mxt_print(shown(i), 8, 8 + i * 10.0, 0);
  mxt_show_screen();
}

// Everyone in the game, by name. Each question is a round trip to the host.
RtString player_list() {
  RtString list;
  const int count = mxt_player_count();
  for (int i = 0; i < count; ++i) list += (i ? ", " : "") + mxt_player_name(mxt_player_id(i));
  return list;
}

// Hosts and greets whoever says something, until every visitor has gone.
void host(int port, const RtString& name) {
  if (!mxt_net_host(port)) {
    say("cannot host: " + mxt_net_error_text());
    return;
  }
  const int me = mxt_player_create(name);
  say("hosting as " + name + RtString(", id ") + me);
  RtArray<int> visitors;         // ids of the players who spoke
  RtArray<RtString> names;       // and their names, kept: a player who left has none
  int still_here = 0;
  const double started = mxt_elapsed_ms();
  while (mxt_elapsed_ms() - started < 20000) {
    for (RtString text = mxt_player_receive(me); !text.empty(); text = mxt_player_receive(me)) {
      const int from = mxt_player_sender();
      const RtString who = mxt_player_name(from);
      say(who + ": " + text);
      mxt_player_send(me, from, "welcome, " + who);  // to that player alone
      mxt_array_push(visitors, from);
      mxt_array_push(names, who);
      ++still_here;
    }
    // Only the host learns who left; a copy's hidden helper player leaves
    // with it too, so look for the ones we know.
    for (int gone = mxt_player_left(); gone != 0; gone = mxt_player_left()) {
      for (int i = 0; i < mxt_array_bounds(visitors, 0); ++i) {
        if (visitors(i) == gone) {
          say(names(i) + " left");
          --still_here;
        }
      }
    }
    if (mxt_array_bounds(visitors, 0) > 0 && still_here == 0) break;
    frame();
  }
  say("players: " + player_list());
  mxt_net_leave();
}

// Joins, says hello to everyone, waits for an answer, leaves.
void join(const RtString& host_name, int port, const RtString& name) {
  // The host may still be starting: try for a few seconds.
  bool joined = false;
  for (int tries = 0; tries < 50 && !joined; ++tries) {
    joined = mxt_net_join(host_name, port) == 1;
    if (!joined) mxt_sleep(100);
  }
  if (!joined) {
    say("cannot join: " + mxt_net_error_text());
    return;
  }
  const int me = mxt_player_create(name);
  say("joined as " + name + RtString(", id ") + me);
  say("players: " + player_list());
  mxt_player_send(me, 0, "hello from " + name);
  const double started = mxt_elapsed_ms();
  while (mxt_elapsed_ms() - started < 5000) {
    const RtString text = mxt_player_receive(me);
    if (!text.empty()) {
      say(mxt_player_name(mxt_player_sender()) + ": " + text);
      break;
    }
    frame();
  }
  mxt_player_remove(me);  // the host hears of it at once
  mxt_net_leave();
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 400;
  mxt_settings().screen_height = 160;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: chat";
}

int mxt_main() {
  RtArray<RtString> args;
  const int n = mxt_split_text(mxt_command_line(), args, " ", 1);
  const RtString role = n > 1 ? args(1) : RtString("host");
  if (role == "join")
    join(n > 2 ? args(2) : RtString("127.0.0.1"), n > 3 ? args(3).to_int() : 27960, n > 4 ? args(4) : RtString("Bob"));
  else
    host(n > 2 ? args(2).to_int() : 27960, n > 3 ? args(3) : RtString("Ann"));
  say("done");
  return 0;
}

// A copy of a networked game for the messaging tests, without a window:
// it reads one command a line from its standard input, runs the messaging
// command it names and prints the result on one line. The tests start a
// host and clients as separate processes and drive them this way.
//
//   host PORT | join HOST PORT | leave | allow 0|1 | connected
//   create NAME | remove ID | send FROM TO TEXT | recv ID | sender
//   id INDEX | count | name ID | left | peak (the process's peak memory, KiB)
//   soak ME N   send N texts to everyone and N to single players, in turns,
//               then read until every text the others send has come; prints
//               "soak ok <received>" or "soak bad <what>"
//   quit
#include <unistd.h>

#include <moxtril.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/base/singletons.h"
#include "runtime/net/messaging.h"
#include "runtime/net/sockets.h"

namespace {

void say(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

long peak_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// Texts are "<from> <b|d> <seq>": a broadcast or a direct text, numbered per kind.
std::string soak(int me, int n) {
  const int players = mxt_player_count();
  std::vector<int> ids;
  for (int i = 0; i < players; ++i) ids.push_back(mxt_player_id(i));
  std::vector<int> others;
  for (int id : ids)
    if (id != me) others.push_back(id);
  if (others.empty()) return "soak bad no others";
  std::sort(others.begin(), others.end());
  for (int k = 0; k < n; ++k) {
    if (!mxt_player_send(me, 0, RtString(std::to_string(me) + " b " + std::to_string(k)))) return "soak bad send";
    const int to = others[static_cast<size_t>(k) % others.size()];
    if (!mxt_player_send(me, to, RtString(std::to_string(me) + " d " + std::to_string(k)))) return "soak bad send";
  }
  // What each other player sends me: every broadcast, and the direct texts
  // whose turn lands on me (they number their targets the same way).
  std::map<int, std::vector<int>> want_direct;
  int expected = 0;
  for (int sender : others) {
    std::vector<int> targets;
    for (int id : ids)
      if (id != sender) targets.push_back(id);
    std::sort(targets.begin(), targets.end());
    for (int k = 0; k < n; ++k)
      if (targets[static_cast<size_t>(k) % targets.size()] == me) want_direct[sender].push_back(k);
    expected += n + static_cast<int>(want_direct[sender].size());
  }
  std::map<int, int> next_b, next_d;
  int received = 0;
  auto last = std::chrono::steady_clock::now();
  while (received < expected) {
    const RtString t = mxt_player_receive(me);
    if (t.empty()) {
      if (std::chrono::steady_clock::now() - last > std::chrono::seconds(60))
        return "soak bad timeout after " + std::to_string(received) + " of " + std::to_string(expected);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    last = std::chrono::steady_clock::now();
    int from = 0, seq = 0;
    char kind = 0;
    if (std::sscanf(t.c_str(), "%d %c %d", &from, &kind, &seq) != 3 || from != mxt_player_sender())
      return "soak bad text " + t.str();
    if (kind == 'b') {
      if (seq != next_b[from]++) return "soak bad order b from " + std::to_string(from);
    } else {
      const std::vector<int>& want = want_direct[from];
      const int i = next_d[from]++;
      if (i >= static_cast<int>(want.size()) || want[static_cast<size_t>(i)] != seq)
        return "soak bad order d from " + std::to_string(from);
    }
    ++received;
  }
  return "soak ok " + std::to_string(received);
}

}  // namespace

int main() {
  mxt::rt.sockets = new mxt::SocketTable();
  mxt::rt.messaging = new mxt::Messaging(*mxt::rt.sockets);
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    int a = 0, b = 0;
    std::string text;
    if (cmd == "host") {
      in >> a;
      say(std::to_string(mxt_net_host(a)));
    } else if (cmd == "join") {
      in >> text >> a;
      say(std::to_string(mxt_net_join(RtString(text.c_str()), a)));
    } else if (cmd == "leave") {
      say(std::to_string(mxt_net_leave()));
    } else if (cmd == "allow") {
      in >> a;
      mxt_net_allow_joins(a);
      say("ok");
    } else if (cmd == "connected") {
      say(std::to_string(mxt_net_connected()));
    } else if (cmd == "create") {
      std::getline(in >> std::ws, text);
      say(std::to_string(mxt_player_create(RtString(text.c_str()))));
    } else if (cmd == "remove") {
      in >> a;
      mxt_player_remove(a);
      say("ok");
    } else if (cmd == "send") {
      in >> a >> b;
      std::getline(in >> std::ws, text);
      say(std::to_string(mxt_player_send(a, b, RtString(text.c_str()))));
    } else if (cmd == "recv") {
      in >> a;
      say("[" + mxt_player_receive(a).str() + "]");
    } else if (cmd == "sender") {
      say(std::to_string(mxt_player_sender()));
    } else if (cmd == "id") {
      in >> a;
      say(std::to_string(mxt_player_id(a)));
    } else if (cmd == "count") {
      say(std::to_string(mxt_player_count()));
    } else if (cmd == "name") {
      in >> a;
      say(mxt_player_name(a).str());
    } else if (cmd == "left") {
      say(std::to_string(mxt_player_left()));
    } else if (cmd == "peak") {
      say(std::to_string(peak_kib()));
    } else if (cmd == "soak") {
      in >> a >> b;
      say(soak(a, b));
    } else if (cmd == "quit") {
      break;
    } else {
      say("unknown " + cmd);
    }
  }
  delete mxt::rt.messaging;  // as the runtime's shutdown: players removed, thread stopped
  mxt::rt.messaging = nullptr;
  delete mxt::rt.sockets;
  mxt::rt.sockets = nullptr;
  return 0;
}

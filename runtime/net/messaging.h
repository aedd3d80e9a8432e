// Network messaging: copies of a game exchange short texts between named
// players over TCP. One copy hosts (listens, keeps the list of every
// player, hands out ids, relays texts, answers questions about players);
// every copy, the host included, is a client of that server over one
// connection, the "link" (the host connects to itself over loopback).
//
// A message thread per copy waits on its sockets (poll, at most 10 ms),
// assembles messages from each connection's stream, registers new players,
// delivers texts into per-player queues and collects replies. The game's
// calls run on the main thread and meet the thread through lists under one
// `MessagingLock`, which is never held while waiting on a socket. Writes
// are queued per connection and sent as the peer takes them; a peer that
// stops reading is disconnected once its queue passes its cap, so it cannot
// stall the host or the other players.
//
// [SECTION] Players and lists
// [SECTION] The object
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/net/message_frame.h"
#include "runtime/net/messaging_lock.h"

namespace mxt {

class SocketTable;

constexpr int kDefaultMessagingPort = 27910;
constexpr int kClientTableSize = 128;
constexpr int kReplyWaitMs = 5000;          // a registration or request gives up after this
constexpr int kThreadPassMs = 10;           // the longest the thread waits for its sockets

// ---------------------------------------------------------------------------
// [SECTION] Players and lists

struct LocalPlayer {
  uint16_t id = kIdUnsent;
  bool hidden = false;
  std::string name;
  std::deque<NetMessage> queue;              // texts for this player, oldest first
};

struct ServerPlayer {
  int connection = -1;                       // the socket handle it registered over
  uint16_t id = 0;
  bool hidden = false;
  std::string name;
};

// Bytes waiting to go out on one connection, and the connection's handle.
// The main thread and the message thread may both write to the link; the
// box's own mutex keeps two messages from interleaving and the handle from
// closing under a write.
class Outbox {
 public:
  void attach(int handle);
  int handle() const;
  // Queues the bytes whole (nothing when that would pass `cap`); with
  // flush_now, sends what the socket takes at once. False when nothing was
  // queued or the socket failed.
  bool write(SocketTable& sockets, const std::string& bytes, size_t cap, bool flush_now);
  bool flush(SocketTable& sockets);          // sends what the socket takes now; false when it failed
  void close(SocketTable& sockets);          // closes the socket; later writes fail
  bool pending() const;
  size_t size() const;

 private:
  bool flush_locked(SocketTable& sockets);
  mutable std::mutex mutex_;
  int handle_ = -1;
  std::string data_;
  size_t sent_ = 0;                          // bytes of data_ already sent
};

// One connection the thread reads: the link, or a client of the host.
struct Connection {
  int handle = -1;                           // the thread's copy of out's handle
  FrameReader reader;
  Outbox out;
  bool dropped = false;                      // its queue passed the cap: closed at the end of the pass
};

// ---------------------------------------------------------------------------
// [SECTION] The object

class Messaging {
 public:
  explicit Messaging(SocketTable& sockets);
  ~Messaging();                              // as shutdown()
  Messaging(const Messaging&) = delete;
  Messaging& operator=(const Messaging&) = delete;

  int host(int port);
  int join(std::string_view host_name, int port);
  int leave();
  void allow_joins(bool allow);
  bool connected();

  int create_player(std::string_view name);
  void remove_player(int id);
  int send_text(int from, int to, std::string_view text);
  bool receive_text(int id, std::string& text);   // true when a text was taken; sets the last sender
  int last_sender() const { return last_sender_; }
  int player_id(int index);
  int player_count();
  std::string player_name(int id);
  int player_left();

  // Program end: removes the local players, stops the thread, closes the
  // sockets, frees the lists.
  void shutdown();

  // For tests and the benchmark.
  size_t outbox_cap() const { return outbox_cap_.load(); }
  void set_outbox_cap(size_t bytes) { outbox_cap_ = bytes; }
  int client_count() const { return client_count_.load(); }  // connections in the host's client table
  void set_next_id(uint16_t id);             // where the host's id counter stands

 private:
  static int thread_main(void* self);
  void run();
  void end_of_thread();
  void teardown();
  void stop_thread();
  void close_sockets();
  void release_socket_layer();
  void reset();
  void free_lists();

  int register_player(const std::string* name);
  bool query_id(uint16_t& id);
  bool request(uint8_t type, const std::string& payload, NetMessage& reply);
  bool write_link(const NetMessage& m);

  // The thread's parts.
  enum class ReadEnd { more, idle, closed };
  ReadEnd read_connection(Connection& c, std::vector<NetMessage>& out);
  void accept_clients(bool& changed);
  void lose_client(size_t index);
  void handle_as_server(NetMessage& m);
  void handle_as_client(NetMessage& m);
  void queue_to(int connection, const NetMessage& m);
  Connection* client_by_handle(int handle);
  uint16_t next_free_id();

  SocketTable& sockets_;
  MessagingLock* lock_ = nullptr;

  // Guarded by the lock.
  std::list<LocalPlayer> local_;
  std::vector<ServerPlayer> server_;
  std::deque<NetMessage> replies_;
  std::vector<uint16_t> left_;
  uint16_t next_id_ = kFirstPlayerId;
  uint16_t query_id_ = 0;
  bool is_server_ = false;
  bool stop_ = true;
  bool running_ = false;
  bool accepting_ = true;

  // Set by host/join before the thread starts and cleared after it ended;
  // the thread reads them while it runs.
  int listen_ = -1;
  std::unique_ptr<Connection> link_;
  intptr_t thread_ = 0;
  std::atomic<bool> holds_reference_{false};
  std::atomic<int> client_count_{0};

  // The message thread's own.
  std::vector<std::unique_ptr<Connection>> clients_;
  std::vector<int> client_index_;            // by socket handle: the place in clients_, or -1

  int last_sender_ = 0;                      // main thread only
  std::atomic<size_t> outbox_cap_;
};

}  // namespace mxt

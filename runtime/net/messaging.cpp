// Network messaging: the object, its message thread and the game's calls.
//
// [SECTION] Outbox
// [SECTION] Life cycle: host, join, leave, teardown
// [SECTION] The message thread
// [SECTION] Server and client handling
// [SECTION] Players, texts and requests
#include "runtime/net/messaging.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "runtime/files/limits.h"
#include "runtime/net/sockets.h"
#include "runtime/platform/net.h"

namespace mxt {

namespace {

constexpr int kFromLink = -2;   // origin of a message read from the link

using Clock = std::chrono::steady_clock;

void nap(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool valid_player_id(int id) { return id >= 1 && id < kFirstReservedId; }

std::string cut_name(std::string_view name) {
  std::string n(name.substr(0, kNameBytes - 1));
  const size_t zero = n.find('\0');
  if (zero != std::string::npos) n.resize(zero);
  return n;
}

std::string encoded(const NetMessage& m) {
  std::string bytes;
  bytes.reserve(kMessageHeaderBytes + m.payload.size());
  encode_message(m, bytes);
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Outbox

void Outbox::attach(int handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  handle_ = handle;
  data_.clear();
  sent_ = 0;
}

int Outbox::handle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return handle_;
}

bool Outbox::write(SocketTable& sockets, const std::string& bytes, size_t cap, bool flush_now) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (handle_ < 0) return false;
  if (data_.size() - sent_ + bytes.size() > cap) return false;
  data_ += bytes;
  return !flush_now || flush_locked(sockets);
}

bool Outbox::flush(SocketTable& sockets) {
  std::lock_guard<std::mutex> lock(mutex_);
  return flush_locked(sockets);
}

bool Outbox::flush_locked(SocketTable& sockets) {
  if (handle_ < 0) return false;
  while (sent_ < data_.size()) {
    const int64_t n = sockets.send_now(handle_, data_.data() + sent_, data_.size() - sent_);
    if (n < 0) return false;
    if (n == 0) break;  // full: the rest goes when the peer takes it
    sent_ += static_cast<size_t>(n);
  }
  if (sent_ == data_.size()) {
    data_.clear();
    sent_ = 0;
  } else if (sent_ > (size_t{1} << 20)) {
    data_.erase(0, sent_);
    sent_ = 0;
  }
  return true;
}

void Outbox::close(SocketTable& sockets) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (handle_ >= 0) sockets.close(handle_);
  handle_ = -1;
  data_.clear();
  sent_ = 0;
}

bool Outbox::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sent_ < data_.size();
}

size_t Outbox::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return data_.size() - sent_;
}

// ---------------------------------------------------------------------------
// [SECTION] Life cycle: host, join, leave, teardown

Messaging::Messaging(SocketTable& sockets)
    : sockets_(sockets), outbox_cap_(static_cast<size_t>(limits::kMaxPeerQueueBytes)) {
  lock_create(&lock_);
  client_index_.assign(kSocketCount, -1);
}

Messaging::~Messaging() {
  shutdown();
  lock_destroy(&lock_);
}

void Messaging::reset() {
  stop_ = true;
  running_ = false;
  accepting_ = true;
  next_id_ = kFirstPlayerId;
  query_id_ = 0;
}

void Messaging::free_lists() {
  local_.clear();
  server_.clear();
  replies_.clear();
  left_.clear();
}

void Messaging::stop_thread() {
  if (thread_ <= 0) return;
  {
    LockHold hold(lock_);
    stop_ = true;
  }
  join_thread(thread_, nullptr);
  thread_ = 0;
}

void Messaging::close_sockets() {
  if (listen_ >= 0) sockets_.close(listen_);
  listen_ = -1;
  if (link_) link_->out.close(sockets_);
  link_.reset();
}

void Messaging::release_socket_layer() {
  // The messaging holds one reference while it is up and gives back exactly
  // that one, whoever ends it first (the thread or the game).
  if (holds_reference_.exchange(false)) sockets_.cleanup();
}

void Messaging::teardown() {
  stop_thread();
  close_sockets();
  release_socket_layer();
  LockHold hold(lock_);
  reset();
  free_lists();
}

void Messaging::shutdown() {
  if (link_ && connected()) {
    std::vector<uint16_t> ids;
    {
      LockHold hold(lock_);
      for (const LocalPlayer& p : local_)
        if (valid_player_id(p.id)) ids.push_back(p.id);
    }
    for (uint16_t id : ids) remove_player(id);
  }
  teardown();
}

int Messaging::host(int port) {
  teardown();
  const uint16_t p = static_cast<uint16_t>(port < 1 ? kDefaultMessagingPort : port & 0xFFFF);
  if (!sockets_.startup()) return 0;
  holds_reference_ = true;
  listen_ = sockets_.listen(p);
  if (listen_ < 0) return 0;
  // The host is a client of itself, over loopback: the listening socket
  // takes every address, and loopback is always there.
  const uint16_t bound = sockets_.address(listen_).host_port();
  const NetAddress self = sockets_.resolve(sockets_.family() == kFamilyIPv6 ? "::1" : "127.0.0.1", bound);
  const int h = sockets_.connect(self, 5000);
  if (h < 0) return 0;
  link_ = std::make_unique<Connection>();
  link_->handle = h;
  link_->out.attach(h);
  {
    LockHold hold(lock_);
    is_server_ = true;
    running_ = true;
    stop_ = false;
  }
  thread_ = start_thread(thread_main, this, true);
  if (thread_ <= 0) {
    thread_ = 0;
    LockHold hold(lock_);
    running_ = false;
    return 0;
  }
  return 1;
}

int Messaging::join(std::string_view host_name, int port) {
  teardown();
  const uint16_t p = static_cast<uint16_t>(port < 1 ? kDefaultMessagingPort : port & 0xFFFF);
  if (!sockets_.startup()) return 0;
  holds_reference_ = true;
  const NetAddress address = sockets_.resolve(host_name, p);
  if (!address.valid()) return 0;
  const int h = sockets_.connect(address, 5000);
  if (h < 0) return 0;
  link_ = std::make_unique<Connection>();
  link_->handle = h;
  link_->out.attach(h);
  {
    LockHold hold(lock_);
    is_server_ = false;
    running_ = true;
    stop_ = false;
  }
  thread_ = start_thread(thread_main, this, true);
  NetMessage hello;
  uint16_t q = 0;
  if (thread_ > 0 && query_id(q) && request(kMsgHello, std::string(), hello)) return 1;
  if (thread_ <= 0) thread_ = 0;
  stop_thread();
  close_sockets();
  release_socket_layer();
  LockHold hold(lock_);
  reset();
  return 0;
}

int Messaging::leave() {
  stop_thread();
  close_sockets();
  int r;
  if (holds_reference_.exchange(false)) {
    r = sockets_.cleanup();
  } else {
    // Nothing of the messaging's to give back: what a release would report.
    r = sockets_.references() > 0 ? sockets_.references() : sockets_.last_error();
  }
  LockHold hold(lock_);
  reset();
  return r;
}

void Messaging::allow_joins(bool allow) {
  LockHold hold(lock_);
  accepting_ = allow;
}

bool Messaging::connected() {
  LockHold hold(lock_);
  return running_;
}

void Messaging::set_next_id(uint16_t id) {
  LockHold hold(lock_);
  next_id_ = id;
}

// ---------------------------------------------------------------------------
// [SECTION] The message thread

int Messaging::thread_main(void* self) {
  static_cast<Messaging*>(self)->run();
  return 0;
}

Messaging::ReadEnd Messaging::read_connection(Connection& c, std::vector<NetMessage>& out) {
  thread_local std::vector<uint8_t> buffer(64 << 10);
  int64_t total = 0;
  for (;;) {
    const int64_t n = sockets_.receive(c.handle, buffer.data(), buffer.size(), false);
    if (n == -2) return ReadEnd::idle;
    if (n <= 0) return ReadEnd::closed;  // closed, reset, or broken
    const size_t first = out.size();
    if (c.reader.feed(buffer.data(), static_cast<size_t>(n), out) != FrameReader::Result::ok) return ReadEnd::closed;
    const int origin = &c == link_.get() ? kFromLink : c.handle;
    for (size_t i = first; i < out.size(); ++i) out[i].origin = origin;
    total += n;
    if (total >= limits::kMessagingReadBudget) return ReadEnd::more;  // the others' turn
  }
}

void Messaging::accept_clients(bool& changed) {
  for (int i = 0; i < 16; ++i) {
    const int h = sockets_.accept(listen_, nullptr);
    if (h < 0) return;
    changed = true;
    if (clients_.size() >= kClientTableSize) {
      sockets_.close(h);  // the table is full: closed at once
      continue;
    }
    auto c = std::make_unique<Connection>();
    c->handle = h;
    c->out.attach(h);
    client_index_[static_cast<size_t>(h)] = static_cast<int>(clients_.size());
    clients_.push_back(std::move(c));
  }
}

void Messaging::lose_client(size_t index) {
  const int h = clients_[index]->handle;
  {
    LockHold hold(lock_);
    // Every player registered over the connection leaves with it.
    for (auto it = server_.begin(); it != server_.end();) {
      if (it->connection == h) {
        left_.push_back(it->id);
        it = server_.erase(it);
      } else {
        ++it;
      }
    }
  }
  clients_[index]->out.close(sockets_);
  client_index_[static_cast<size_t>(h)] = -1;
  if (index + 1 != clients_.size()) {
    clients_[index] = std::move(clients_.back());
    client_index_[static_cast<size_t>(clients_[index]->handle)] = static_cast<int>(index);
  }
  clients_.pop_back();
}

void Messaging::run() {
  {
    LockHold hold(lock_);
    stop_ = false;
    running_ = true;
  }
  std::vector<NetMessage> incoming;
  std::vector<platform::SocketWait> waits;
  bool busy = false;  // the last pass left work behind: look again at once
  for (;;) {
    bool accepting;
    {
      LockHold hold(lock_);
      if (stop_) break;
      for (LocalPlayer& p : local_) {
        if (p.id != kIdUnsent) continue;
        NetMessage m;
        m.type = kMsgRegister;
        m.payload = registration_record(p.name, p.hidden);
        link_->out.write(sockets_, encoded(m), outbox_cap_, true);
        p.id = kIdSent;
      }
      accepting = accepting_;
    }

    // Wait for any socket to have something, at most one pass's time.
    waits.clear();
    platform::SocketWait w;
    w.socket = sockets_.os_socket(link_->handle);
    w.read = true;
    w.write = link_->out.pending();
    waits.push_back(w);
    const bool hosting = listen_ >= 0;
    w = platform::SocketWait();
    w.socket = hosting && accepting ? sockets_.os_socket(listen_) : platform::kNoSocket;
    w.read = true;
    waits.push_back(w);
    for (const auto& c : clients_) {
      w = platform::SocketWait();
      w.socket = sockets_.os_socket(c->handle);
      w.read = true;
      w.write = c->out.pending();
      waits.push_back(w);
    }
    platform::wait_sockets(waits.data(), waits.size(), busy ? 0 : kThreadPassMs);
    busy = false;

    // The link: what the server sent this copy.
    if (waits[0].readable || waits[0].failed) {
      const ReadEnd r = read_connection(*link_, incoming);
      if (r == ReadEnd::closed) break;
      busy |= r == ReadEnd::more;
    }
    // The host's side: new connections, then one read turn per client.
    if (hosting) {
      bool changed = false;
      if (waits[1].readable) accept_clients(changed);
      const size_t n = std::min(clients_.size(), waits.size() - 2);
      std::vector<size_t> lost;
      for (size_t i = 0; i < n; ++i) {
        if (!waits[i + 2].readable && !waits[i + 2].failed) continue;
        const ReadEnd r = read_connection(*clients_[i], incoming);
        if (r == ReadEnd::closed) lost.push_back(i);
        busy |= r == ReadEnd::more;
      }
      // Highest first, so the swaps of lose_client move only places already visited.
      for (auto it = lost.rbegin(); it != lost.rend(); ++it) lose_client(*it);
      client_count_ = static_cast<int>(clients_.size());
    }

    if (!incoming.empty()) {
      LockHold hold(lock_);
      for (NetMessage& m : incoming) {
        if (m.origin == kFromLink)
          handle_as_client(m);
        else if (is_server_)
          handle_as_server(m);
      }
      incoming.clear();
    }

    // Everything queued this pass goes out now; a peer whose queue passed
    // its cap, or whose socket failed, is dropped as if it had closed.
    for (size_t i = clients_.size(); i-- > 0;) {
      Connection& c = *clients_[i];
      if (c.dropped || !c.out.flush(sockets_)) lose_client(i);
    }
    client_count_ = static_cast<int>(clients_.size());
    if (!link_->out.flush(sockets_)) break;
  }
  end_of_thread();
}

void Messaging::end_of_thread() {
  for (auto& c : clients_) {
    client_index_[static_cast<size_t>(c->handle)] = -1;
    c->out.close(sockets_);
  }
  clients_.clear();
  client_count_ = 0;
  if (listen_ >= 0) sockets_.close(listen_);
  listen_ = -1;
  link_->out.close(sockets_);
  release_socket_layer();
  LockHold hold(lock_);
  reset();
  running_ = false;
}

// ---------------------------------------------------------------------------
// [SECTION] Server and client handling

Connection* Messaging::client_by_handle(int handle) {
  if (handle < 0 || handle >= kSocketCount) return nullptr;
  const int i = client_index_[static_cast<size_t>(handle)];
  return i < 0 ? nullptr : clients_[static_cast<size_t>(i)].get();
}

void Messaging::queue_to(int connection, const NetMessage& m) {
  Connection* c = client_by_handle(connection);
  if (!c || c->dropped) return;
  if (!c->out.write(sockets_, encoded(m), outbox_cap_, false)) c->dropped = true;
}

uint16_t Messaging::next_free_id() {
  for (int tries = 0; tries < kFirstReservedId - kFirstPlayerId; ++tries) {
    const uint16_t id = next_id_;
    next_id_ = static_cast<uint16_t>(next_id_ + 1 >= kFirstReservedId ? kFirstPlayerId : next_id_ + 1);
    if (id < kFirstPlayerId || id >= kFirstReservedId) continue;
    const bool used = std::any_of(server_.begin(), server_.end(), [id](const ServerPlayer& p) { return p.id == id; });
    if (!used) return id;
  }
  return 0;
}

void Messaging::handle_as_server(NetMessage& m) {
  if (m.type == kMsgText) {
    if (m.to == kIdEveryone) {
      const uint16_t sender = m.from;
      for (const ServerPlayer& p : server_) {
        if (p.hidden || p.id == sender) continue;
        m.to = p.id;
        queue_to(p.connection, m);
      }
    } else {
      for (const ServerPlayer& p : server_) {
        if (p.id == m.to) {
          queue_to(p.connection, m);
          break;
        }
      }
    }
    return;
  }
  if (m.to != kIdServer) return;
  switch (m.type) {
    case kMsgRegister: {
      std::string name;
      bool hidden = false;
      // A registration whose connection closed in the same pass has no one to answer.
      if (!accepting_ || !client_by_handle(m.origin) || !read_registration(m.payload, name, hidden)) return;
      if (static_cast<int64_t>(server_.size()) >= limits::kMaxServerPlayers) return;
      const uint16_t id = next_free_id();
      if (id == 0) return;
      server_.push_back(ServerPlayer{m.origin, id, hidden, name});
      NetMessage reply;
      reply.type = kMsgPlayerId;
      reply.to = id;
      queue_to(m.origin, reply);
      return;
    }
    case kMsgRemove:
      for (auto it = server_.begin(); it != server_.end();) {
        if (it->id == m.from) {
          left_.push_back(it->id);
          it = server_.erase(it);
        } else {
          ++it;
        }
      }
      return;
    case kMsgCount:
    case kMsgIdByIndex:
    case kMsgName:
    case kMsgHello: {
      const auto asker = std::find_if(server_.begin(), server_.end(),
                                      [&m](const ServerPlayer& p) { return p.id == m.from; });
      if (asker == server_.end()) return;
      NetMessage reply;
      reply.type = m.type;
      reply.to = m.from;
      if (m.type == kMsgCount) {
        uint16_t n = 0;
        for (const ServerPlayer& p : server_) n += !p.hidden && valid_player_id(p.id);
        reply.payload = u16_payload(n);
      } else if (m.type == kMsgIdByIndex) {
        const uint16_t index = read_u16_payload(m.payload);
        uint16_t id = 0, i = 0;
        for (const ServerPlayer& p : server_) {
          if (p.hidden) continue;
          if (i++ == index) {
            id = p.id;
            break;
          }
        }
        reply.payload = u16_payload(id);
      } else if (m.type == kMsgName) {
        const uint16_t id = read_u16_payload(m.payload);
        const auto named =
            std::find_if(server_.begin(), server_.end(), [id](const ServerPlayer& p) { return p.id == id; });
        reply.payload = named == server_.end() || named->name.empty() ? std::string("NO_DATA") : named->name;
      } else {
        reply.payload = u16_payload(1);
      }
      queue_to(asker->connection, reply);
      return;
    }
    default:
      return;
  }
}

void Messaging::handle_as_client(NetMessage& m) {
  if (m.type == kMsgText) {
    for (LocalPlayer& p : local_) {
      if (p.id == m.to) {
        p.queue.push_back(std::move(m));
        return;
      }
    }
    return;
  }
  if (m.from != kIdServer) return;
  if (m.type == kMsgPlayerId) {
    for (LocalPlayer& p : local_) {
      if (p.id == kIdSent) {
        p.id = m.to;
        return;
      }
    }
  } else if (m.type >= 100) {
    replies_.push_back(std::move(m));
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Players, texts and requests

bool Messaging::write_link(const NetMessage& m) {
  return link_ && link_->out.write(sockets_, encoded(m), outbox_cap_, true);
}

int Messaging::register_player(const std::string* name) {
  std::list<LocalPlayer>::iterator mine;
  {
    LockHold hold(lock_);
    LocalPlayer p;
    p.hidden = name == nullptr;
    p.name = name ? cut_name(*name) : std::string("query");
    local_.push_back(std::move(p));
    mine = std::prev(local_.end());
  }
  const auto end = Clock::now() + std::chrono::milliseconds(kReplyWaitMs);
  for (;;) {
    uint16_t id;
    bool running;
    {
      LockHold hold(lock_);
      id = mine->id;
      running = running_;
    }
    if (valid_player_id(id)) return id;
    if (!running) {
      nap(20);  // not connected: one wait, then give up
      break;
    }
    if (Clock::now() >= end) break;
    nap(1);
  }
  LockHold hold(lock_);
  local_.erase(mine);
  return 0;
}

bool Messaging::query_id(uint16_t& id) {
  {
    LockHold hold(lock_);
    id = query_id_;
  }
  if (id != 0) return true;
  id = static_cast<uint16_t>(register_player(nullptr));
  if (id == 0) return false;
  LockHold hold(lock_);
  query_id_ = id;
  return true;
}

bool Messaging::request(uint8_t type, const std::string& payload, NetMessage& reply) {
  uint16_t q = 0;
  if (!query_id(q)) return false;
  {
    LockHold hold(lock_);
    replies_.clear();
  }
  NetMessage m;
  m.type = type;
  m.from = q;
  m.payload = payload;
  write_link(m);
  const auto end = Clock::now() + std::chrono::milliseconds(kReplyWaitMs);
  for (;;) {
    {
      LockHold hold(lock_);
      if (!replies_.empty()) {
        reply = std::move(replies_.front());
        replies_.pop_front();
        return true;
      }
      if (!running_) return false;
    }
    if (Clock::now() >= end) return false;
    nap(1);
  }
}

int Messaging::create_player(std::string_view name) {
  const std::string n(name);
  return register_player(&n);
}

void Messaging::remove_player(int id) {
  if (!valid_player_id(id)) return;
  NetMessage m;
  m.type = kMsgRemove;
  m.from = static_cast<uint16_t>(id);
  write_link(m);
}

int Messaging::send_text(int from, int to, std::string_view text) {
  NetMessage m;
  m.type = kMsgText;
  m.to = static_cast<uint16_t>(to == 0 ? kIdEveryone : to);
  m.from = static_cast<uint16_t>(from);
  m.payload.assign(text.substr(0, kMaxMessagePayload));
  return write_link(m) ? 1 : 0;
}

bool Messaging::receive_text(int id, std::string& text) {
  LockHold hold(lock_);
  for (LocalPlayer& p : local_) {
    if (p.id != id) continue;
    if (p.queue.empty()) return false;
    const NetMessage m = std::move(p.queue.front());
    p.queue.pop_front();
    last_sender_ = m.from;
    text.assign(m.payload.c_str());  // up to the first zero byte
    return true;
  }
  return false;
}

int Messaging::player_count() {
  if (!connected()) return 0;
  NetMessage reply;
  return request(kMsgCount, std::string(), reply) ? read_u16_payload(reply.payload) : 0;
}

int Messaging::player_id(int index) {
  NetMessage reply;
  return request(kMsgIdByIndex, u16_payload(static_cast<uint16_t>(index)), reply) ? read_u16_payload(reply.payload)
                                                                                   : 0;
}

std::string Messaging::player_name(int id) {
  NetMessage reply;
  if (!request(kMsgName, u16_payload(static_cast<uint16_t>(id)), reply)) return "NO_DATA";
  std::string name(reply.payload.c_str());
  if (name.size() > 255) name.resize(255);
  return name;
}

int Messaging::player_left() {
  LockHold hold(lock_);
  if (!is_server_ || left_.empty()) return 0;
  const uint16_t id = left_.back();
  left_.pop_back();
  return id;
}

}  // namespace mxt

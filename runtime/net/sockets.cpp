// The socket table and its operations.
//
// [SECTION] Addresses and their text
// [SECTION] Start and clean-up
// [SECTION] Name resolution and the machine's addresses
// [SECTION] Opening, connecting and closing
// [SECTION] Sending and receiving
#include "runtime/net/sockets.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>


namespace mxt {

namespace wsa = platform::wsa;

// ---------------------------------------------------------------------------
// [SECTION] Addresses and their text

uint16_t to_network_port(uint16_t host_port) { return static_cast<uint16_t>((host_port >> 8) | (host_port << 8)); }

NetAddress address_from_endpoint(const platform::Endpoint& e, int32_t family) {
  NetAddress a;
  a.family = family;
  if (family == kFamilyIPv6 && e.version == 4) {
    // An IPv4 peer of an IPv6 socket, as the IPv4-mapped address.
    a.bytes[10] = a.bytes[11] = 0xff;
    std::memcpy(a.bytes + 12, e.bytes, 4);
  } else if (family == kFamilyIPv4 && e.version == 6) {
    std::memcpy(a.bytes, e.bytes + 12, 4);
  } else {
    std::memcpy(a.bytes, e.bytes, e.version == 6 ? 16 : 4);
  }
  a.port = to_network_port(e.port);
  return a;
}

platform::Endpoint endpoint_of(const NetAddress& a) {
  platform::Endpoint e;
  e.version = a.family == kFamilyIPv6 ? 6 : 4;
  std::memcpy(e.bytes, a.bytes, e.version == 6 ? 16 : 4);
  e.port = a.host_port();
  return e;
}

NetAddress address_from_raw(std::string_view raw, uint16_t host_port) {
  NetAddress a;
  if (raw.size() != 4 && raw.size() != 16) return a;
  a.family = raw.size() == 4 ? kFamilyIPv4 : kFamilyIPv6;
  std::memcpy(a.bytes, raw.data(), raw.size());
  a.port = to_network_port(host_port);
  return a;
}

std::string raw_of(const NetAddress& a) {
  return std::string(reinterpret_cast<const char*>(a.bytes), a.family == kFamilyIPv6 ? 16 : 4);
}

std::string address_text(const uint8_t* b, size_t size) {
  char out[64];
  if (size != 16) {
    std::snprintf(out, sizeof out, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return out;
  }
  unsigned group[8];
  for (int i = 0; i < 8; ++i) group[i] = (static_cast<unsigned>(b[2 * i]) << 8) | b[2 * i + 1];
  // The longest run of two or more zero groups, the first on a tie.
  int best = -1, best_len = 0;
  for (int i = 0; i < 8;) {
    if (group[i] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < 8 && group[j] == 0) ++j;
    if (j - i > best_len) {
      best = i;
      best_len = j - i;
    }
    i = j;
  }
  if (best_len < 2) best = -1;
  const bool dotted_tail = best == 0 && (best_len == 6 || (best_len == 5 && group[5] == 0xffff));
  std::string s;
  const int groups = dotted_tail ? 6 : 8;
  for (int i = 0; i < groups; ++i) {
    if (i == best) {
      s += "::";
      i += best_len - 1;
      continue;
    }
    if (!s.empty() && s.back() != ':') s += ':';
    std::snprintf(out, sizeof out, "%x", group[i]);
    s += out;
  }
  if (dotted_tail) {
    if (s.back() != ':') s += ':';
    std::snprintf(out, sizeof out, "%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
    s += out;
  }
  return s;
}

std::string format_local_addresses(const std::vector<platform::Endpoint>& addresses, int32_t family,
                                   std::string_view separator, int& count) {
  constexpr size_t kMaxText = 2048;
  std::string text;
  bool loopback = false;
  count = 0;
  for (const platform::Endpoint& e : addresses) {
    const std::string a = e.version == 6 ? address_text(e.bytes, 16) : address_text(e.bytes, 4);
    if (a == "127.0.0.1" || a == "0:0:0:0:0:0:0:1" || a == "::1") {
      loopback = true;
      continue;
    }
    if (text.size() + a.size() + separator.size() >= kMaxText) break;
    text += a;
    text += separator;
    ++count;
  }
  if (loopback) {
    text += family == kFamilyIPv6 ? "::1" : "127.0.0.1";
    text += separator;
    ++count;
  }
  return text;
}

// ---------------------------------------------------------------------------
// [SECTION] Start and clean-up

SocketTable::~SocketTable() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int h = 0; h < kSocketCount; ++h)
    if (entries_[h].os != platform::kNoSocket) close_locked(h);
}

bool SocketTable::startup() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (references_ != 0) {
    ++references_;
    return true;
  }
  int error = 0;
  if (!platform::sockets_start(error)) {
    set_last_error(error);
    return false;
  }
  if (!initialised_) {
    for (SocketEntry& e : entries_) e = SocketEntry{};
    initialised_ = true;
  }
  references_ = 1;
  set_last_error(error);
  return true;
}

int SocketTable::cleanup() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (references_ > 0) --references_;
  if (references_ > 0) return references_;
  for (int h = 0; h < kSocketCount; ++h)
    if (entries_[h].os != platform::kNoSocket) close_locked(h);
  references_ = 0;
  return last_error();
}

int SocketTable::references() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return references_;
}

int SocketTable::open_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const SocketEntry& e : entries_) n += e.os != platform::kNoSocket;
  return n;
}

// ---------------------------------------------------------------------------
// [SECTION] Name resolution and the machine's addresses

NetAddress SocketTable::any_address(uint16_t host_port) const {
  NetAddress a;
  a.family = family();
  a.port = to_network_port(host_port);
  return a;
}

NetAddress SocketTable::resolve(std::string_view name, uint16_t host_port) {
  const int32_t fam = family();
  const int version = fam == kFamilyIPv6 ? 6 : 4;
  auto lookup_name = [&](const std::string& n) {
    platform::Endpoint e;
    int error = 0;
    if (!platform::resolve_host(n, version, e, error)) {
      set_last_error(error);
      return NetAddress{};
    }
    set_last_error(0);
    NetAddress a = address_from_endpoint(e, fam);
    a.port = to_network_port(host_port);
    return a;
  };
  if (!name.empty()) return lookup_name(std::string(name));
  // No name: this machine, by its first address that is not loopback.
  int count = 0;
  const std::string list = local_address_list(count, "\n");
  if (count > 0) {
    const std::string first = list.substr(0, std::min<size_t>(list.find('\n'), 1023));
    return lookup_name(first);
  }
  NetAddress a = lookup_name(fam == kFamilyIPv6 ? "::1" : "127.0.0.1");
  if (!a.valid()) a = lookup_name("localhost.local");
  if (!a.valid()) a = lookup_name("localhost");
  return a;
}

std::string SocketTable::local_address_list(int& count, std::string_view separator) {
  count = 0;
  std::vector<platform::Endpoint> addresses;
  int error = 0;
  if (!platform::host_addresses(family() == kFamilyIPv6 ? 6 : 4, addresses, error)) {
    set_last_error(error);
    return std::string();
  }
  return format_local_addresses(addresses, family(), separator, count);
}

// ---------------------------------------------------------------------------
// [SECTION] Opening, connecting and closing

int SocketTable::claim(platform::Socket os, const NetAddress& address, bool datagram) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int h = 0; h < kSocketCount; ++h) {
    if (entries_[h].os == platform::kNoSocket) {
      entries_[h].os = os;
      entries_[h].address = address;
      entries_[h].datagram = datagram;
      return h;
    }
  }
  set_last_error(wsa::kNoMemory);
  return -1;
}

bool SocketTable::lookup(int handle, SocketEntry& out) const {
  if (handle < 0 || handle >= kSocketCount) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  out = entries_[handle];
  return out.os != platform::kNoSocket;
}

bool SocketTable::in_use(int handle) const {
  SocketEntry e;
  return lookup(handle, e);
}

bool SocketTable::is_datagram(int handle) const {
  SocketEntry e;
  return lookup(handle, e) && e.datagram;
}

NetAddress SocketTable::address(int handle) const {
  SocketEntry e;
  return lookup(handle, e) ? e.address : NetAddress{};
}

platform::Socket SocketTable::os_socket(int handle) const {
  SocketEntry e;
  return lookup(handle, e) ? e.os : platform::kNoSocket;
}

bool SocketTable::close_locked(int handle) {
  const platform::Socket os = entries_[handle].os;
  entries_[handle] = SocketEntry{};  // free first
  int error = 0;
  const bool ok = platform::socket_close(os, error);
  set_last_error(error);
  return ok;
}

bool SocketTable::close(int handle) {
  if (handle < 0 || handle >= kSocketCount) {
    set_last_error(wsa::kNotSocket);
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_[handle].os == platform::kNoSocket) {
    set_last_error(wsa::kNotSocket);
    return false;
  }
  return close_locked(handle);
}

namespace {
void drop(platform::Socket s) {
  int ignored = 0;
  platform::socket_close(s, ignored);
}
}  // namespace

int SocketTable::listen(uint16_t host_port) {
  NetAddress at = any_address(host_port);
  int error = 0;
  const platform::Socket s = platform::socket_open(at.family == kFamilyIPv6 ? 6 : 4, false, error);
  if (s == platform::kNoSocket) {
    set_last_error(error);
    return -1;
  }
  if (!platform::socket_reuse_address(s, error) || !platform::socket_bind(s, endpoint_of(at), error) ||
      !platform::socket_listen(s, kListenBacklog, error) || !platform::socket_set_blocking(s, false, error)) {
    drop(s);
    set_last_error(error);
    return -1;
  }
  // Port 0 let the system choose: the entry keeps the port it chose.
  platform::Endpoint bound;
  if (platform::socket_local_endpoint(s, bound, error)) at.port = to_network_port(bound.port);
  set_last_error(0);
  const int h = claim(s, at, false);
  if (h < 0) drop(s);
  return h;
}

int SocketTable::accept(int handle, NetAddress* peer) {
  SocketEntry listening;
  if (!lookup(handle, listening)) {
    set_last_error(wsa::kNotSocket);
    return -1;
  }
  if (listening.datagram) {
    set_last_error(0);
    return -1;
  }
  platform::Endpoint from;
  int error = 0;
  const platform::Socket s = platform::socket_accept(listening.os, from, error);
  if (s == platform::kNoSocket) {
    set_last_error(error);
    return -1;
  }
  platform::socket_set_blocking(s, false, error);
  platform::socket_no_delay(s, error);
  set_last_error(0);
  const NetAddress address = address_from_endpoint(from, listening.address.family);
  const int h = claim(s, address, false);
  if (h < 0) {
    drop(s);
    return -1;
  }
  if (peer) *peer = address;
  return h;
}

int SocketTable::connect(const NetAddress& to, int timeout_ms) {
  if (!to.valid()) {
    set_last_error(10047);  // WSAEAFNOSUPPORT: no socket exists for the invalid address
    return -1;
  }
  int error = 0;
  const platform::Socket s = platform::socket_open(to.family == kFamilyIPv6 ? 6 : 4, false, error);
  if (s == platform::kNoSocket) {
    set_last_error(error);
    return -1;
  }
  const int h = claim(s, to, false);
  if (h < 0) {
    drop(s);
    return -1;
  }
  platform::socket_set_blocking(s, false, error);
  platform::socket_no_delay(s, error);
  if (!platform::socket_connect(s, endpoint_of(to), error)) {
    if (error != wsa::kWouldBlock && error != wsa::kInProgress) {
      close(h);
      set_last_error(error);
      return -1;
    }
    const int ms = timeout_ms >= 1 && timeout_ms <= kConnectDefaultMs ? timeout_ms : kConnectDefaultMs;
    platform::SocketWait w;
    w.socket = s;
    w.write = true;
    const int ready = platform::wait_sockets(&w, 1, ms);
    if (ready == 0) {
      close(h);
      set_last_error(wsa::kInProgress);
      return -1;
    }
    const int result = ready < 0 ? wsa::kInvalid : platform::socket_connect_result(s);
    if (result != 0) {
      close(h);
      set_last_error(result);
      return -1;
    }
  }
  set_last_error(0);
  return h;
}

int SocketTable::udp_open(uint16_t host_port) {
  const NetAddress at = any_address(host_port);
  int error = 0;
  const platform::Socket s = platform::socket_open(at.family == kFamilyIPv6 ? 6 : 4, true, error);
  if (s == platform::kNoSocket) {
    set_last_error(error);
    return -1;
  }
  const int h = claim(s, at, true);
  if (h < 0) {
    drop(s);
    return -1;
  }
  platform::socket_reuse_address(s, error);
  if (host_port != 0 && !platform::socket_bind(s, endpoint_of(at), error)) {
    close(h);
    set_last_error(error);
    return -1;
  }
  platform::socket_allow_broadcast(s, error);
  platform::socket_set_blocking(s, false, error);
  set_last_error(error);
  return h;
}

int SocketTable::set_blocking(int handle, bool blocking) {
  SocketEntry e;
  if (!lookup(handle, e)) {
    set_last_error(wsa::kNotSocket);
    return last_error();
  }
  int error = 0;
  platform::socket_set_blocking(e.os, blocking, error);
  set_last_error(error);
  return error;
}

// ---------------------------------------------------------------------------
// [SECTION] Sending and receiving

namespace {

// Waits until the socket can take more or has something; false after
// `stall_ms` of nothing (or on a failed wait).
bool wait_ready(platform::Socket s, bool for_write, int stall_ms) {
  platform::SocketWait w;
  w.socket = s;
  w.read = !for_write;
  w.write = for_write;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    const int64_t left = stall_ms - spent.count();
    if (left <= 0) return false;
    const int r = platform::wait_sockets(&w, 1, static_cast<int>(left));
    if (r < 0) return false;
    if (r > 0) return true;
  }
}

}  // namespace

int64_t SocketTable::send(int handle, const void* data, size_t size, const NetAddress* to, int stall_ms) {
  SocketEntry e;
  if (!lookup(handle, e)) {
    set_last_error(wsa::kNotSocket);
    return -1;
  }
  platform::Endpoint dest;
  if (e.datagram) {
    if (!to || !to->valid()) return -1;
    dest = endpoint_of(*to);
  }
  const char* p = static_cast<const char*>(data);
  size_t sent = 0;
  int error = 0;
  do {
    const int64_t n = platform::socket_send(e.os, p + sent, size - sent, e.datagram ? &dest : nullptr, error);
    set_last_error(error);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && error != wsa::kWouldBlock) return -1;
    if (!wait_ready(e.os, true, stall_ms)) {
      set_last_error(wsa::kTimedOut);
      return -1;
    }
  } while (sent < size);
  return static_cast<int64_t>(sent);
}

int64_t SocketTable::send_now(int handle, const void* data, size_t size) {
  SocketEntry e;
  if (!lookup(handle, e) || e.datagram) {
    set_last_error(wsa::kNotSocket);
    return -1;
  }
  int error = 0;
  const int64_t n = platform::socket_send(e.os, data, size, nullptr, error);
  if (n >= 0) return n;
  set_last_error(error);
  return error == wsa::kWouldBlock ? 0 : -1;
}

int64_t SocketTable::receive(int handle, void* buffer, size_t size, bool wait) {
  SocketEntry e;
  if (!lookup(handle, e)) {
    set_last_error(wsa::kNotSocket);
    return -1;
  }
  char* p = static_cast<char*>(buffer);
  size_t got = 0;
  int error = 0;
  for (;;) {
    platform::Endpoint from;
    const int64_t n = platform::socket_receive(e.os, p + got, size - got, e.datagram ? &from : nullptr, error);
    set_last_error(error);
    if (n >= 0 && e.datagram) {
      // The entry's address is the sender of the last datagram.
      std::lock_guard<std::mutex> lock(mutex_);
      if (entries_[handle].os == e.os) entries_[handle].address = address_from_endpoint(from, e.address.family);
    }
    if (!wait) {
      if (n >= 0) return n;
      if (error == wsa::kWouldBlock) return -2;
      return error == wsa::kConnectionReset ? 0 : -1;
    }
    if (n == 0) return 0;
    if (n < 0) {
      if (error == wsa::kConnectionReset) return 0;
      if (error != wsa::kWouldBlock) return -1;
      if (got == 0) return -2;
      if (!wait_ready(e.os, false, kStallMs)) {
        set_last_error(wsa::kTimedOut);
        return -1;
      }
      continue;
    }
    got += static_cast<size_t>(n);
    if (got >= size) return static_cast<int64_t>(got);
  }
}

}  // namespace mxt

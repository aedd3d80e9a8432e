// The networking commands: argument checks, then the socket table
// (rt.sockets) or the HTTP download. Without a socket table (before start-up
// or after shutdown) every command gives its failure value.
#include "runtime/net/net.h"

#include <algorithm>
#include <string>

#include "runtime/base/errors.h"
#include "runtime/base/singletons.h"
#include "runtime/files/limits.h"
#include "runtime/files/rtfile.h"
#include "runtime/net/http.h"
#include "runtime/net/messaging.h"
#include "runtime/net/sockets.h"
#include "runtime/platform/net.h"

using namespace mxt;

namespace {

RtString bytes_text(const std::string& s) { return RtString(s.data(), s.size()); }

uint16_t low16(int port) { return static_cast<uint16_t>(port & 0xFFFF); }

RtString zero_address() { return RtString("\0\0\0\0", 4); }

}  // namespace

int mxt_net_start() { return rt.sockets && rt.sockets->startup() ? 1 : 0; }

int mxt_net_stop() { return rt.sockets ? rt.sockets->cleanup() : 0; }

int mxt_net_family(int version) {
  if (version != 4 && version != 6) {
    report_error(RuntimeError::invalid_argument);
    version = 4;
  }
  const int32_t code = version == 6 ? kFamilyIPv6 : kFamilyIPv4;
  if (rt.sockets) rt.sockets->set_family(code);
  return code;
}

int mxt_tcp_listen(int port) { return rt.sockets ? rt.sockets->listen(low16(port)) : -1; }

int mxt_tcp_accept(int handle, RtString& peer) {
  peer = RtString();
  if (!rt.sockets) return -1;
  NetAddress address;
  const int h = rt.sockets->accept(handle, &address);
  if (h >= 0) peer = bytes_text(raw_of(address));
  return h;
}

int mxt_tcp_connect(const RtString& host, int port, int timeout_ms) {
  if (!rt.sockets) return -1;
  const NetAddress address = rt.sockets->resolve(host.view(), low16(port));
  if (!address.valid()) return -1;
  return rt.sockets->connect(address, timeout_ms);
}

int mxt_udp_open(int port) { return rt.sockets ? rt.sockets->udp_open(low16(port)) : -1; }

int mxt_net_send(int handle, const RtString& data) {
  if (!rt.sockets) return -1;
  if (rt.sockets->is_datagram(handle)) return -1;  // a datagram needs a destination: mxt_udp_send
  return static_cast<int>(rt.sockets->send(handle, data.data, data.length, nullptr));
}

int mxt_udp_send(int handle, const RtString& data, const RtString& address, int port) {
  if (!rt.sockets) return -1;
  const NetAddress to = address_from_raw(address.view(), low16(port));
  if (!to.valid()) {
    report_error(RuntimeError::invalid_argument);
    return -1;
  }
  return static_cast<int>(rt.sockets->send(handle, data.data, data.length, &to));
}

int mxt_net_receive(int handle, RtString& data, int max_size) {
  // The caller's buffer is kept and filled in place: a game that reads into
  // the same string every frame allocates once.
  if (data.owns_buffer()) data.data[0] = 0;
  data.length = 0;
  if (!rt.sockets) return -1;
  if (max_size <= 0) {
    rt.sockets->set_last_error(platform::wsa::kInvalid);
    return -1;
  }
  // A stream read may always give fewer bytes than asked for; a datagram is never larger.
  const int64_t size = std::min<int64_t>(max_size, limits::kMaxNetReceiveBytes);
  data.reserve(static_cast<uint32_t>(size), false);
  const int64_t n = rt.sockets->receive(handle, data.data, static_cast<size_t>(size), false);
  if (n > 0) {
    data.length = static_cast<uint32_t>(n);
    data.data[n] = 0;
  }
  return static_cast<int>(n);
}

RtString mxt_resolve_name(const RtString& host) {
  if (!rt.sockets) return zero_address();
  const NetAddress a = rt.sockets->resolve(host.view(), 0);
  return a.valid() ? bytes_text(raw_of(a)) : zero_address();
}

RtString mxt_address_text(const RtString& raw) {
  if (raw.length != 4 && raw.length != 16) {
    report_error(RuntimeError::invalid_argument);
    return RtString("0.0.0.0");
  }
  return RtString(address_text(reinterpret_cast<const uint8_t*>(raw.data), raw.length).c_str());
}

RtString mxt_socket_address(int handle) {
  if (!rt.sockets) return zero_address();
  const NetAddress a = rt.sockets->address(handle);
  return a.valid() ? bytes_text(raw_of(a)) : zero_address();
}

int mxt_socket_port(int handle) { return rt.sockets ? rt.sockets->address(handle).host_port() : 0; }

int mxt_net_close(int handle) { return rt.sockets && rt.sockets->close(handle) ? 1 : 0; }

int mxt_net_blocking(int handle, int blocking) {
  return rt.sockets ? rt.sockets->set_blocking(handle, blocking != 0) : 0;
}

RtString mxt_local_addresses() {
  if (!rt.sockets || !rt.sockets->startup()) return RtString();
  int count = 0;
  std::string list = rt.sockets->local_address_list(count, "|");
  if (!list.empty()) list.pop_back();
  rt.sockets->cleanup();
  return count != 0 ? RtString(list.c_str()) : RtString();
}

RtString mxt_net_error_text() {
  return RtString(platform::socket_error_text(rt.sockets ? rt.sockets->last_error() : 0).c_str());
}

int mxt_http_get_file(const RtString& host, const RtString& path, int port, const RtString& file, int timeout_ms) {
  if (!rt.sockets || is_memory_name(file.c_str())) return 0;
  const std::string target = platform_name(file);
  HttpTarget t;
  t.file = &target;
  return http_get(*rt.sockets, host.view(), path.view(), port, t, timeout_ms);
}

RtString mxt_http_get_text(const RtString& host, const RtString& path, int port, int max_length, int timeout_ms) {
  if (!rt.sockets) return RtString();
  std::string text;
  HttpTarget t;
  t.text = &text;
  t.text_max = max_length;
  http_get(*rt.sockets, host.view(), path.view(), port, t, timeout_ms);
  return RtString(text.data(), text.size());
}

int mxt_net_host(int port) { return rt.messaging ? rt.messaging->host(port) : 0; }

int mxt_net_join(const RtString& host, int port) { return rt.messaging ? rt.messaging->join(host.view(), port) : 0; }

int mxt_net_leave() { return rt.messaging ? rt.messaging->leave() : 0; }

void mxt_net_allow_joins(int allow) {
  if (rt.messaging) rt.messaging->allow_joins(allow != 0);
}

int mxt_net_connected() { return rt.messaging && rt.messaging->connected() ? 1 : 0; }

int mxt_player_create(const RtString& name) { return rt.messaging ? rt.messaging->create_player(name.view()) : 0; }

void mxt_player_remove(int id) {
  if (rt.messaging) rt.messaging->remove_player(id);
}

int mxt_player_send(int from, int to, const RtString& text) {
  return rt.messaging ? rt.messaging->send_text(from, to, text.view()) : 0;
}

RtString mxt_player_receive(int id) {
  std::string text;
  if (!rt.messaging || !rt.messaging->receive_text(id, text)) return RtString();
  return RtString(text.data(), text.size());
}

int mxt_player_sender() { return rt.messaging ? rt.messaging->last_sender() : 0; }

int mxt_player_id(int index) { return rt.messaging ? rt.messaging->player_id(index) : 0; }

int mxt_player_count() { return rt.messaging ? rt.messaging->player_count() : 0; }

RtString mxt_player_name(int id) {
  if (!rt.messaging) return RtString("NO_DATA");
  const std::string name = rt.messaging->player_name(id);
  return RtString(name.data(), name.size());
}

int mxt_player_left() { return rt.messaging ? rt.messaging->player_left() : 0; }

// The socket layer: 1024 numbered sockets over the platform's, one address
// family for the whole process, a reference-counted start, and the last
// socket error in the WinSock codes games read.
//
// The HTTP download and the network messaging are built on the same table.
// The messaging thread uses it beside the main thread, so the table guards
// its entries with a short lock of its own; no call holds it while waiting
// on a socket.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/net.h"

namespace mxt {

constexpr int32_t kFamilyIPv4 = 2;
constexpr int32_t kFamilyIPv6 = 23;
constexpr int32_t kFamilyInvalid = -1;
constexpr int kSocketCount = 1024;
constexpr int kListenBacklog = 10;
constexpr int kConnectDefaultMs = 30000;   // a connection time-out outside 1 .. 30000
constexpr int kStallMs = 30000;            // a send or waiting receive that makes no progress this long fails

struct NetAddress {
  int32_t family = kFamilyInvalid;         // 2 IPv4, 23 IPv6, -1 invalid
  uint8_t bytes[16] = {};                  // IPv4 uses the first 4
  uint16_t port = 0;                       // network byte order

  uint16_t host_port() const { return static_cast<uint16_t>((port >> 8) | (port << 8)); }
  bool valid() const { return family == kFamilyIPv4 || family == kFamilyIPv6; }
};

uint16_t to_network_port(uint16_t host_port);
NetAddress address_from_endpoint(const platform::Endpoint& e, int32_t family);
platform::Endpoint endpoint_of(const NetAddress& a);
// A raw address string (4 or 16 bytes) and a host-order port; anything else is the invalid address.
NetAddress address_from_raw(std::string_view raw, uint16_t host_port);
std::string raw_of(const NetAddress& a);  // 4 bytes for IPv4 and the invalid address, 16 for IPv6

// The text form: "%u.%u.%u.%u", or IPv6 with the longest zero run as "::"
// and IPv4-compatible and -mapped tails dotted. `size` must be 4 or 16.
std::string address_text(const uint8_t* bytes, size_t size);

// The list `local_address_list` writes, from the machine's addresses in the
// system's order: every address but loopback, each followed by `separator`,
// then loopback last when it was among them. Stops before 2048 characters.
std::string format_local_addresses(const std::vector<platform::Endpoint>& addresses, int32_t family,
                                   std::string_view separator, int& count);

struct SocketEntry {
  platform::Socket os = platform::kNoSocket;  // kNoSocket: the entry is free
  NetAddress address;                          // bound, peer, or last sender
  bool datagram = false;
};

class SocketTable {
 public:
  SocketTable() = default;
  ~SocketTable();                              // closes whatever is still open
  SocketTable(const SocketTable&) = delete;
  SocketTable& operator=(const SocketTable&) = delete;

  bool startup();                              // one reference more
  int cleanup();                               // one less: the count left, or the last error after the last
  int references() const;

  int32_t family() const { return family_.load(std::memory_order_relaxed); }
  void set_family(int32_t code) { family_.store(code, std::memory_order_relaxed); }
  int last_error() const { return last_error_.load(std::memory_order_relaxed); }
  void set_last_error(int code) { last_error_.store(code, std::memory_order_relaxed); }

  NetAddress any_address(uint16_t host_port) const;
  NetAddress resolve(std::string_view name, uint16_t host_port);
  std::string local_address_list(int& count, std::string_view separator);

  int listen(uint16_t host_port);                       // handle or -1
  int accept(int handle, NetAddress* peer);             // handle or -1
  int connect(const NetAddress& to, int timeout_ms);    // handle or -1 (10036 after the time-out)
  int udp_open(uint16_t host_port);                     // handle or -1
  // Every byte, waiting for room when the socket is full (up to stall_ms
  // without progress); bytes sent or -1. A datagram socket needs `to`.
  int64_t send(int handle, const void* data, size_t size, const NetAddress* to, int stall_ms = kStallMs);
  // As much as the socket takes now, without waiting: bytes sent (0 when it
  // is full), or -1 on an error.
  int64_t send_now(int handle, const void* data, size_t size);
  // Count, 0 when the peer closed (or reset), -1 on an error, -2 when nothing
  // is there. With wait, reads until `size` bytes are in.
  int64_t receive(int handle, void* buffer, size_t size, bool wait);
  bool close(int handle);
  int set_blocking(int handle, bool blocking);          // the last error afterwards

  bool in_use(int handle) const;
  bool is_datagram(int handle) const;
  NetAddress address(int handle) const;                  // the invalid address for a free entry
  platform::Socket os_socket(int handle) const;          // kNoSocket for a free entry
  int open_count() const;

 private:
  int claim(platform::Socket os, const NetAddress& address, bool datagram);  // -1 with error 8 when full
  bool close_locked(int handle);
  bool lookup(int handle, SocketEntry& out) const;

  mutable std::mutex mutex_;                   // the entries and the count; never held while waiting
  SocketEntry entries_[kSocketCount];
  int references_ = 0;
  bool initialised_ = false;
  std::atomic<int32_t> family_{kFamilyIPv4};
  std::atomic<int> last_error_{0};
};

}  // namespace mxt

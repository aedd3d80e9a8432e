// The platform layer's sockets: TCP and UDP, name resolution, the host's
// addresses and readiness waits. It belongs to the contract of platform.h, kept in
// its own header so that only the network layer sees it.
//
// Failures are reported as the WinSock error codes games written for this
// runtime read (10035 would block, 10054 reset, 10061 refused, ...): every
// call that can fail stores its code in `error` (0 on success), mapped once,
// here, from whatever the system said. `socket_error_text` gives the
// system's words for such a code. A socket is the system's descriptor, -1
// for none; nothing here keeps state of its own.
//
// [SECTION] Codes
// [SECTION] Addresses and names
// [SECTION] Sockets
// [SECTION] Readiness
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mxt::platform {

// ---------------------------------------------------------------------------
// [SECTION] Codes

namespace wsa {
constexpr int kNoMemory = 8;             // not the system's: the runtime's own "table full"
constexpr int kInterrupted = 10004;
constexpr int kBadHandle = 10009;
constexpr int kInvalid = 10022;
constexpr int kWouldBlock = 10035;
constexpr int kInProgress = 10036;
constexpr int kNotSocket = 10038;
constexpr int kMessageSize = 10040;
constexpr int kAddressInUse = 10048;
constexpr int kConnectionAborted = 10053;
constexpr int kConnectionReset = 10054;
constexpr int kNotConnected = 10057;
constexpr int kTimedOut = 10060;
constexpr int kConnectionRefused = 10061;
constexpr int kHostNotFound = 11001;
}  // namespace wsa

// The code and the system's message for it: "" when the system has none.
std::string socket_error_text(int code);

// Starts what the sockets need (nothing to start on POSIX but the settings a
// process using sockets wants: a write to a closed peer is an error code, not
// a signal; enough descriptors for the runtime's 1024 sockets).
bool sockets_start(int& error);

// ---------------------------------------------------------------------------
// [SECTION] Addresses and names

struct Endpoint {
  int version = 4;                         // 4 or 6
  uint8_t bytes[16] = {};                  // IPv4 uses the first 4
  uint16_t port = 0;                       // host byte order
};

// The first address of `name` for the version (IPv6 takes IPv4-only names as
// IPv4-mapped addresses). False with the code when it does not resolve.
bool resolve_host(const std::string& name, int version, Endpoint& out, int& error);

// The addresses of this machine's interfaces that are up, of the version, in
// the system's order (loopback included, IPv6 link-local addresses left out).
bool host_addresses(int version, std::vector<Endpoint>& out, int& error);

// ---------------------------------------------------------------------------
// [SECTION] Sockets

using Socket = int;
constexpr Socket kNoSocket = -1;

Socket socket_open(int version, bool datagram, int& error);
// SO_LINGER off, shutdown both ways, close: the close's own result.
bool socket_close(Socket s, int& error);
bool socket_set_blocking(Socket s, bool blocking, int& error);
bool socket_reuse_address(Socket s, int& error);
bool socket_allow_broadcast(Socket s, int& error);
bool socket_no_delay(Socket s, int& error);   // TCP: send small writes at once
bool socket_bind(Socket s, const Endpoint& at, int& error);
bool socket_listen(Socket s, int backlog, int& error);
// The new socket and its peer, or kNoSocket with the code (kWouldBlock: none waiting).
Socket socket_accept(Socket s, Endpoint& peer, int& error);
// True when connected at once; else false with the code (kWouldBlock or
// kInProgress: the attempt goes on, wait for writability).
bool socket_connect(Socket s, const Endpoint& to, int& error);
// After a wait for writability: 0 when the pending connection succeeded, else its code.
int socket_connect_result(Socket s);
// Bytes sent, or -1 with the code. `to` only for datagram sockets.
int64_t socket_send(Socket s, const void* data, size_t size, const Endpoint* to, int& error);
// Bytes received (0: the peer closed), or -1 with the code. `from` (datagram
// sockets) receives the sender.
int64_t socket_receive(Socket s, void* buffer, size_t size, Endpoint* from, int& error);
bool socket_local_endpoint(Socket s, Endpoint& out, int& error);

// ---------------------------------------------------------------------------
// [SECTION] Readiness

struct SocketWait {
  Socket socket = kNoSocket;               // kNoSocket entries are skipped
  bool read = false;                       // wait for data, a connection to accept, or the peer's close
  bool write = false;                      // wait for room to send, or a pending connect's end
  bool readable = false;                   // out
  bool writable = false;                   // out
  bool failed = false;                     // out: an error or a hang-up on the socket
};
// Waits until one of the sockets is ready or `timeout_ms` passes (-1: no
// limit). Returns how many are ready, 0 on time-out, -1 on error. An
// interruption by a signal counts as a time-out.
int wait_sockets(SocketWait* waits, size_t count, int timeout_ms);

}  // namespace mxt::platform

// BSD sockets behind platform/net.h, with the system's error numbers mapped
// to the WinSock codes the runtime reports.
//
// [SECTION] Error codes
// [SECTION] Addresses and names
// [SECTION] Sockets
// [SECTION] Readiness
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "runtime/platform/net.h"

namespace mxt::platform {

// ---------------------------------------------------------------------------
// [SECTION] Error codes

namespace {

// errno and the WinSock code games see for it, both ways.
struct CodePair {
  int sys;
  int wsa;
};
constexpr CodePair kCodes[] = {
    {EINTR, 10004},        {EBADF, 10009},          {EACCES, 10013},          {EFAULT, 10014},
    {EINVAL, 10022},       {EMFILE, 10024},         {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},
    {EALREADY, 10037},     {ENOTSOCK, 10038},       {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},   {ENOPROTOOPT, 10042},    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},   {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},      {ENETUNREACH, 10051},     {ENETRESET, 10052},
    {ECONNABORTED, 10053}, {ECONNRESET, 10054},     {ENOBUFS, 10055},         {EISCONN, 10056},
    {ENOTCONN, 10057},     {ESHUTDOWN, 10058},      {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},          {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},      {EUSERS, 10068},          {EDQUOT, 10069},
    {ESTALE, 10070},       {EREMOTE, 10071},
};

int to_wsa(int sys) {
  if (sys == EAGAIN) return wsa::kWouldBlock;
  if (sys == EPIPE) return wsa::kConnectionReset;  // writing to a peer that is gone
  if (sys == ENOMEM) return wsa::kNoMemory;
  for (const CodePair& c : kCodes)
    if (c.sys == sys) return c.wsa;
  return sys == 0 ? 0 : wsa::kInvalid;
}

int resolver_code(int gai) {
  switch (gai) {
    case EAI_AGAIN: return 11002;   // WSATRY_AGAIN
    case EAI_FAIL: return 11003;    // WSANO_RECOVERY
    case EAI_NODATA: return 11004;  // WSANO_DATA
    case EAI_MEMORY: return wsa::kNoMemory;
    case EAI_SYSTEM: return to_wsa(errno);
    default: return wsa::kHostNotFound;
  }
}

int fail() { return to_wsa(errno); }

}  // namespace

std::string socket_error_text(int code) {
  const char* words = nullptr;
  switch (code) {
    case 0: words = std::strerror(0); break;
    case wsa::kNoMemory: words = std::strerror(ENOMEM); break;
    case 11001: words = gai_strerror(EAI_NONAME); break;
    case 11002: words = gai_strerror(EAI_AGAIN); break;
    case 11003: words = gai_strerror(EAI_FAIL); break;
    case 11004: words = gai_strerror(EAI_NODATA); break;
    default:
      for (const CodePair& c : kCodes)
        if (c.wsa == code) words = std::strerror(c.sys);
  }
  if (!words || !*words) return std::string();
  char text[560];
  std::snprintf(text, sizeof text, "%d %.511s", code, words);
  return text;
}

bool sockets_start(int& error) {
  error = 0;
  // A send to a peer that has gone must come back as an error, not end the
  // program; the runtime's table holds 1024 sockets.
  signal(SIGPIPE, SIG_IGN);
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 1200) {
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > 4096 ? 4096 : limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Addresses and names

namespace {

socklen_t to_sockaddr(const Endpoint& e, sockaddr_storage& sa) {
  std::memset(&sa, 0, sizeof sa);
  if (e.version == 6) {
    auto* s6 = reinterpret_cast<sockaddr_in6*>(&sa);
    s6->sin6_family = AF_INET6;
    s6->sin6_port = htons(e.port);
    std::memcpy(&s6->sin6_addr, e.bytes, 16);
    return sizeof(sockaddr_in6);
  }
  auto* s4 = reinterpret_cast<sockaddr_in*>(&sa);
  s4->sin_family = AF_INET;
  s4->sin_port = htons(e.port);
  std::memcpy(&s4->sin_addr, e.bytes, 4);
  return sizeof(sockaddr_in);
}

bool from_sockaddr(const sockaddr* sa, Endpoint& e) {
  e = Endpoint{};
  if (sa->sa_family == AF_INET6) {
    const auto* s6 = reinterpret_cast<const sockaddr_in6*>(sa);
    e.version = 6;
    e.port = ntohs(s6->sin6_port);
    std::memcpy(e.bytes, &s6->sin6_addr, 16);
    return true;
  }
  if (sa->sa_family == AF_INET) {
    const auto* s4 = reinterpret_cast<const sockaddr_in*>(sa);
    e.version = 4;
    e.port = ntohs(s4->sin_port);
    std::memcpy(e.bytes, &s4->sin_addr, 4);
    return true;
  }
  return false;
}

}  // namespace

bool resolve_host(const std::string& name, int version, Endpoint& out, int& error) {
  addrinfo hints{};
  hints.ai_family = version == 6 ? AF_INET6 : AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  if (version == 6) hints.ai_flags = AI_V4MAPPED;
  addrinfo* list = nullptr;
  const int r = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (r != 0) {
    error = resolver_code(r);
    return false;
  }
  bool found = false;
  for (addrinfo* a = list; a && !found; a = a->ai_next) found = from_sockaddr(a->ai_addr, out);
  freeaddrinfo(list);
  error = found ? 0 : wsa::kHostNotFound;
  return found;
}

bool host_addresses(int version, std::vector<Endpoint>& out, int& error) {
  out.clear();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    error = fail();
    return false;
  }
  const int family = version == 6 ? AF_INET6 : AF_INET;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != family || !(a->ifa_flags & IFF_UP)) continue;
    Endpoint e;
    if (!from_sockaddr(a->ifa_addr, e)) continue;
    if (version == 6 && e.bytes[0] == 0xfe && (e.bytes[1] & 0xc0) == 0x80) continue;  // link-local
    e.port = 0;
    out.push_back(e);
  }
  freeifaddrs(list);
  error = 0;
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Sockets

Socket socket_open(int version, bool datagram, int& error) {
  const int s = ::socket(version == 6 ? AF_INET6 : AF_INET, (datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC,
                         datagram ? IPPROTO_UDP : IPPROTO_TCP);
  error = s < 0 ? fail() : 0;
  return s < 0 ? kNoSocket : s;
}

bool socket_close(Socket s, int& error) {
  linger l{};
  setsockopt(s, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  shutdown(s, SHUT_RDWR);
  const bool ok = ::close(s) == 0;
  error = ok ? 0 : fail();
  return ok;
}

bool socket_set_blocking(Socket s, bool blocking, int& error) {
  const int flags = fcntl(s, F_GETFL);
  const bool ok = flags >= 0 && fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
  error = ok ? 0 : fail();
  return ok;
}

namespace {
bool set_int_option(Socket s, int level, int option, int& error) {
  const int one = 1;
  const bool ok = setsockopt(s, level, option, &one, sizeof one) == 0;
  error = ok ? 0 : fail();
  return ok;
}
}  // namespace

bool socket_reuse_address(Socket s, int& error) { return set_int_option(s, SOL_SOCKET, SO_REUSEADDR, error); }
bool socket_allow_broadcast(Socket s, int& error) { return set_int_option(s, SOL_SOCKET, SO_BROADCAST, error); }
bool socket_no_delay(Socket s, int& error) { return set_int_option(s, IPPROTO_TCP, TCP_NODELAY, error); }

bool socket_bind(Socket s, const Endpoint& at, int& error) {
  sockaddr_storage sa;
  const socklen_t len = to_sockaddr(at, sa);
  const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&sa), len) == 0;
  error = ok ? 0 : fail();
  return ok;
}

bool socket_listen(Socket s, int backlog, int& error) {
  const bool ok = ::listen(s, backlog) == 0;
  error = ok ? 0 : fail();
  return ok;
}

Socket socket_accept(Socket s, Endpoint& peer, int& error) {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  const int c = ::accept4(s, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
  if (c < 0) {
    error = fail();
    return kNoSocket;
  }
  from_sockaddr(reinterpret_cast<sockaddr*>(&sa), peer);
  error = 0;
  return c;
}

bool socket_connect(Socket s, const Endpoint& to, int& error) {
  sockaddr_storage sa;
  const socklen_t len = to_sockaddr(to, sa);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&sa), len) == 0;
  error = ok ? 0 : fail();
  return ok;
}

int socket_connect_result(Socket s) {
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return fail();
  return to_wsa(err);
}

int64_t socket_send(Socket s, const void* data, size_t size, const Endpoint* to, int& error) {
  ssize_t n;
  if (to) {
    sockaddr_storage sa;
    const socklen_t len = to_sockaddr(*to, sa);
    n = ::sendto(s, data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), len);
  } else {
    n = ::send(s, data, size, MSG_NOSIGNAL);
  }
  error = n < 0 ? fail() : 0;
  return n;
}

int64_t socket_receive(Socket s, void* buffer, size_t size, Endpoint* from, int& error) {
  ssize_t n;
  if (from) {
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    n = ::recvfrom(s, buffer, size, 0, reinterpret_cast<sockaddr*>(&sa), &len);
    if (n >= 0) from_sockaddr(reinterpret_cast<sockaddr*>(&sa), *from);
  } else {
    n = ::recv(s, buffer, size, 0);
  }
  error = n < 0 ? fail() : 0;
  return n;
}

bool socket_local_endpoint(Socket s, Endpoint& out, int& error) {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  const bool ok = getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) == 0 &&
                  from_sockaddr(reinterpret_cast<sockaddr*>(&sa), out);
  error = ok ? 0 : fail();
  return ok;
}

// ---------------------------------------------------------------------------
// [SECTION] Readiness

int wait_sockets(SocketWait* waits, size_t count, int timeout_ms) {
  pollfd stack[64];
  std::vector<pollfd> heap;
  pollfd* fds = stack;
  if (count > 64) {
    heap.resize(count);
    fds = heap.data();
  }
  for (size_t i = 0; i < count; ++i) {
    SocketWait& w = waits[i];
    w.readable = w.writable = w.failed = false;
    fds[i].fd = w.socket;  // a negative descriptor is skipped by poll
    fds[i].events = static_cast<short>((w.read ? POLLIN : 0) | (w.write ? POLLOUT : 0));
    fds[i].revents = 0;
  }
  const int r = ::poll(fds, static_cast<nfds_t>(count), timeout_ms);
  if (r < 0) return errno == EINTR ? 0 : -1;
  for (size_t i = 0; i < count; ++i) {
    const short ev = fds[i].revents;
    waits[i].readable = (ev & (POLLIN | POLLHUP)) != 0;
    waits[i].writable = (ev & POLLOUT) != 0;
    waits[i].failed = (ev & (POLLERR | POLLNVAL)) != 0;
  }
  return r;
}

}  // namespace mxt::platform

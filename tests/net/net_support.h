// Servers the network tests start and stop themselves, all on loopback:
// a scripted TCP server in a thread (each connection handed to the test's
// own function), Python's http.server as a child process, and the small
// helpers of raw sockets.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace net_test {

inline double now_ms() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline bool send_all(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Reads until the request's blank line (or the peer closes, or 5 s pass).
inline std::string read_request(int fd) {
  std::string r;
  char buf[4096];
  const double end = now_ms() + 5000;
  while (r.find("\r\n\r\n") == std::string::npos && now_ms() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    r.append(buf, static_cast<size_t>(n));
  }
  return r;
}

// A listening socket on the loopback address of the version, on a free port.
inline int loopback_listener(int version, int backlog, int* port) {
  const int fd = ::socket(version == 6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_storage sa{};
  socklen_t len;
  if (version == 6) {
    auto* s6 = reinterpret_cast<sockaddr_in6*>(&sa);
    s6->sin6_family = AF_INET6;
    s6->sin6_addr = in6addr_loopback;
    len = sizeof *s6;
  } else {
    auto* s4 = reinterpret_cast<sockaddr_in*>(&sa);
    s4->sin_family = AF_INET;
    s4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof *s4;
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), len) != 0 || ::listen(fd, backlog) != 0) {
    ::close(fd);
    return -1;
  }
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  *port = version == 6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&sa)->sin6_port)
                       : ntohs(reinterpret_cast<sockaddr_in*>(&sa)->sin_port);
  return fd;
}

// A plain blocking client connection to 127.0.0.1:port, or -1.
inline int raw_connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A port nothing listens on: bound, never listened, closed at once.
inline int closed_port() {
  int port = 0;
  const int fd = loopback_listener(4, 1, &port);
  ::close(fd);
  return port;
}

// A TCP server on 127.0.0.1 running `serve` for each connection it accepts,
// each in a thread of its own, until destroyed. `serve` should return soon
// once `stopping` is set (hold() waits that way).
class ScriptedServer {
 public:
  using Serve = std::function<void(int fd, const std::atomic<bool>& stopping)>;
  explicit ScriptedServer(Serve serve) : serve_(std::move(serve)) {
    fd_ = loopback_listener(4, 64, &port_);
    thread_ = std::thread([this] { run(); });
  }
  ~ScriptedServer() {
    stop_ = true;
    thread_.join();
    for (std::thread& t : workers_) t.join();
    ::close(fd_);
  }
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;
  int port() const { return port_; }
  int connections() const { return connections_; }
  std::string last_request() {
    std::lock_guard<std::mutex> lock(mutex_);
    return request_;
  }
  void set_request(const std::string& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    request_ = r;
  }

 private:
  void run() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      ++connections_;
      workers_.emplace_back([this, c] {
        serve_(c, stop_);
        ::close(c);
      });
    }
  }
  Serve serve_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::string request_;
  std::vector<std::thread> workers_;
  std::thread thread_;
};

// Waits ms, or less once `stopping` is set.
inline void hold(const std::atomic<bool>& stopping, int ms) {
  const double end = now_ms() + ms;
  while (!stopping && now_ms() < end) sleep_ms(5);
}

// A child process started with arguments, its standard input and output
// through pipes; ended with SIGTERM (then SIGKILL) when destroyed.
class Child {
 public:
  explicit Child(const std::vector<std::string>& args) {
    signal(SIGPIPE, SIG_IGN);  // a child that died must not take the test with it
    int out[2], in[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    ::close(in[0]);
    out_ = out[0];
    in_ = in[1];
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) sleep_ms(20);
      if (waitpid(pid_, &status, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
      }
    }
    if (out_ >= 0) ::close(out_);
    if (in_ >= 0) ::close(in_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  bool write_line(const std::string& line) {
    const std::string l = line + "\n";
    return ::write(in_, l.data(), l.size()) == static_cast<ssize_t>(l.size());
  }
  // Sends a command line and returns the line it answers with.
  std::string ask(const std::string& line, int timeout_ms = 20000) {
    write_line(line);
    return read_line(timeout_ms);
  }
  int pid() const { return pid_; }
  // The next line of its output, waiting up to timeout_ms; "" on time-out or end.
  std::string read_line(int timeout_ms) {
    const double end = now_ms() + timeout_ms;
    for (;;) {
      const size_t nl = pending_.find('\n');
      if (nl != std::string::npos) {
        std::string line = pending_.substr(0, nl);
        pending_.erase(0, nl + 1);
        return line;
      }
      const double left = end - now_ms();
      if (left <= 0) return std::string();
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) return std::string();
      pending_.append(buf, static_cast<size_t>(n));
    }
  }
  // Whether it has ended, and how.
  bool exited(int* status) {
    if (pid_ <= 0) return true;
    const pid_t r = waitpid(pid_, status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      return true;
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int in_ = -1;
  std::string pending_;
};

// Python's http.server serving `folder` on 127.0.0.1 at a port it picks and
// prints first.
class PythonHttpServer {
 public:
  explicit PythonHttpServer(const std::string& folder)
      : child_({"python3", "-u", "-c",
                "import functools,http.server,sys\n"
                "h=functools.partial(http.server.SimpleHTTPRequestHandler,directory=sys.argv[1])\n"
                "h.func.log_message=lambda *a:None\n"
                "s=http.server.ThreadingHTTPServer(('127.0.0.1',0),h)\n"
                "print(s.server_address[1],flush=True)\n"
                "s.serve_forever()\n",
                folder}) {
    port_ = std::atoi(child_.read_line(10000).c_str());
  }
  int port() const { return port_; }

 private:
  Child child_;
  int port_ = 0;
};

}  // namespace net_test

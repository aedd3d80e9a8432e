// Loopback throughput of the socket layer and the HTTP download, each
// against a baseline measured in the same run:
//
//   1. 256 MB over one TCP connection, sent with mxt_net_send and read with
//      mxt_net_receive (64 KiB at a time), against a plain loop of send()
//      and recv() with the same buffer size. Goal: within 1.25x the plain
//      loop's time.
//   2. A 100 MB file downloaded with mxt_http_get_file from a small server
//      in this program, against curl fetching the same file from the same
//      server. Goal: at least 0.8x curl's throughput.
//
// Each figure is the median of several passes, the two sides interleaved.
//
//   build-rel/bench/net/bench_net [passes]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <moxtril.h>

#include "runtime/base/singletons.h"
#include "runtime/net/sockets.h"

namespace {

constexpr int64_t kStreamBytes = int64_t{256} << 20;
constexpr int64_t kFileBytes = int64_t{100} << 20;
constexpr int kBuffer = 64 << 10;

double now_s() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int loopback_listener(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), len) != 0 || listen(fd, 16) != 0) return -1;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  *port = ntohs(sa.sin_port);
  return fd;
}

int plain_connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return -1;
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// The baseline: blocking send() and recv() loops with the same buffer size.
double plain_stream() {
  int port = 0;
  const int listener = loopback_listener(&port);
  std::thread receiver([&] {
    const int c = accept(listener, nullptr, nullptr);
    std::vector<char> buf(kBuffer);
    int64_t got = 0;
    for (ssize_t n; got < kStreamBytes && (n = recv(c, buf.data(), buf.size(), 0)) > 0;) got += n;
    close(c);
  });
  const int s = plain_connect(port);
  std::vector<char> buf(kBuffer, 'x');
  const double start = now_s();
  for (int64_t sent = 0; sent < kStreamBytes;) {
    const ssize_t n = send(s, buf.data(), buf.size(), 0);
    if (n <= 0) break;
    sent += n;
  }
  receiver.join();
  const double t = now_s() - start;
  close(s);
  close(listener);
  return t;
}

// The same through the commands: the sender on a non-blocking socket (the
// runtime waits for room), the receiver made blocking as a bulk reader would.
double runtime_stream() {
  const int listener = mxt_tcp_listen(0);
  const int port = mxt_socket_port(listener);
  std::atomic<int> server{-1};
  std::thread receiver([&] {
    RtString peer;
    int c;
    while ((c = mxt_tcp_accept(listener, peer)) < 0) std::this_thread::yield();
    mxt_net_blocking(c, 1);
    server = c;
    RtString data;
    int64_t got = 0;
    for (int n; got < kStreamBytes && (n = mxt_net_receive(c, data, kBuffer)) > 0;) got += n;
  });
  const int s = mxt_tcp_connect("127.0.0.1", port, 5000);
  const RtString chunk(std::string(kBuffer, 'x'));
  const double start = now_s();
  for (int64_t sent = 0; sent < kStreamBytes;) {
    const int n = mxt_net_send(s, chunk);
    if (n <= 0) break;
    sent += n;
  }
  receiver.join();
  const double t = now_s() - start;
  mxt_net_close(s);
  mxt_net_close(server);
  mxt_net_close(listener);
  return t;
}

// A small file server: reads the request, answers 200 with Content-Length
// and the file by sendfile(), then closes. One connection at a time.
class FileServer {
 public:
  explicit FileServer(const std::string& path) : path_(path) {
    fd_ = loopback_listener(&port_);
    thread_ = std::thread([this] { run(); });
  }
  ~FileServer() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  int port() const { return port_; }

 private:
  void run() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int c = accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      std::string request;
      char buf[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
      }
      const int f = open(path_.c_str(), O_RDONLY);
      struct stat st {};
      fstat(f, &st);
      const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                               std::to_string(st.st_size) + "\r\n\r\n";
      send(c, head.data(), head.size(), MSG_NOSIGNAL);
      off_t off = 0;
      while (off < st.st_size && sendfile(c, f, &off, static_cast<size_t>(st.st_size - off)) > 0) {
      }
      close(f);
      shutdown(c, SHUT_WR);
      while (recv(c, buf, sizeof buf, 0) > 0) {
      }
      close(c);
    }
  }
  std::string path_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  mxt::rt.sockets = new mxt::SocketTable();
  mxt_net_start();

  std::vector<double> plain, runtime;
  for (int i = 0; i < passes; ++i) {
    plain.push_back(plain_stream());
    runtime.push_back(runtime_stream());
  }
  const double p = median(plain), r = median(runtime);
  std::printf("TCP stream, 256 MB in 64 KiB sends, median of %d:\n", passes);
  std::printf("  plain send/recv loop        %7.3f s  %8.1f MB/s\n", p, 256 / p);
  std::printf("  mxt_net_send/mxt_net_receive %6.3f s  %8.1f MB/s\n", r, 256 / r);
  std::printf("  runtime / plain time: %.2fx (goal: at most 1.25x)\n\n", r / p);

  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("bench_net_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "file.bin").string();
  {
    std::string block(1 << 20, '\0');
    uint64_t x = 0x9E3779B97F4A7C15ull;
    FILE* f = std::fopen(file.c_str(), "wb");
    for (int64_t done = 0; done < kFileBytes; done += static_cast<int64_t>(block.size())) {
      for (char& c : block) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = static_cast<char>(x);
      }
      std::fwrite(block.data(), 1, block.size(), f);
    }
    std::fclose(f);
  }
  FileServer server(file);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/file.bin";
  const std::string out_curl = (dir / "curl.bin").string(), out_mxt = (dir / "mxt.bin").string();
  const bool have_curl = std::system("curl --version > /dev/null 2>&1") == 0;
  std::vector<double> curl, http;
  for (int i = 0; i < passes; ++i) {
    if (have_curl) {
      const std::string cmd = "curl -s -o " + out_curl + " " + url;
      const double start = now_s();
      if (std::system(cmd.c_str()) != 0) std::printf("curl failed\n");
      curl.push_back(now_s() - start);
    }
    const double start = now_s();
    if (mxt_http_get_file("127.0.0.1", "/file.bin", server.port(), out_mxt.c_str(), 10000) != 1)
      std::printf("mxt_http_get_file failed: %s\n", mxt_net_error_text().c_str());
    http.push_back(now_s() - start);
  }
  std::printf("HTTP download of 100 MB from a local server, median of %d:\n", passes);
  const double h = median(http);
  std::printf("  mxt_http_get_file           %7.3f s  %8.1f MB/s\n", h, 100 / h);
  if (have_curl) {
    const double c = median(curl);
    std::printf("  curl -o                     %7.3f s  %8.1f MB/s\n", c, 100 / c);
    std::printf("  runtime / curl throughput: %.2fx (goal: at least 0.8x)\n", c / h);
  } else {
    std::printf("  curl is not installed (scripts/deps --bench): no baseline\n");
  }
  std::filesystem::remove_all(dir);
  mxt_net_stop();
  return 0;
}

// Network messaging on loopback, in one process: a host and its clients are
// messaging objects of their own, each with its thread, as separate copies
// of a game would be.
//
//   1. Latency: one client sends a text through the host to another, which
//      reads it as soon as it is queued; 10,000 texts one after another,
//      median and 99th percentile. Anchor: ENet sending the same payload
//      reliably from one peer to another on loopback, measured the same way
//      in the same run. Goals: median within 2x ENet's and under 1 ms.
//   2. Relay rate: 16 clients each send texts to everyone; relayed texts
//      (deliveries the host writes) per second until every text is read.
//      Goal: at least 50,000 a second.
//
//   build-rel/bench/messaging/bench_messaging [texts]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifdef MXT_HAVE_ENET
#include <enet/enet.h>
#endif

#include "runtime/net/messaging.h"
#include "runtime/net/sockets.h"

namespace {

using Clock = std::chrono::steady_clock;
double us_since(Clock::time_point t) { return std::chrono::duration<double, std::micro>(Clock::now() - t).count(); }

struct Stats {
  double median = 0, p99 = 0;
};
Stats stats(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

const std::string kPayload = "move 12 34 fire";  // a typical game text

Stats messaging_latency(mxt::SocketTable& sockets, int texts, int port) {
  mxt::Messaging host(sockets), a(sockets), b(sockets);
  host.host(port);
  a.join("127.0.0.1", port);
  b.join("127.0.0.1", port);
  const int pa = a.create_player("a"), pb = b.create_player("b");
  std::vector<double> us;
  std::string got;
  for (int i = 0; i < texts + 100; ++i) {
    const auto start = Clock::now();
    a.send_text(pa, pb, kPayload);
    while (!b.receive_text(pb, got)) std::this_thread::yield();
    if (i >= 100) us.push_back(us_since(start));  // the first hundred warm up
  }
  return stats(us);
}

#ifdef MXT_HAVE_ENET
Stats enet_latency(int texts, int port) {
  ENetAddress address{};
  address.host = ENET_HOST_ANY;
  address.port = static_cast<enet_uint16>(port);
  ENetHost* server = enet_host_create(&address, 4, 1, 0, 0);
  ENetHost* client = enet_host_create(nullptr, 1, 1, 0, 0);
  enet_address_set_host(&address, "127.0.0.1");
  ENetPeer* peer = enet_host_connect(client, &address, 1, 0);
  ENetEvent e;
  bool up_client = false, up_server = false;
  while (!up_client || !up_server) {
    if (enet_host_service(client, &e, 1) > 0 && e.type == ENET_EVENT_TYPE_CONNECT) up_client = true;
    if (enet_host_service(server, &e, 1) > 0 && e.type == ENET_EVENT_TYPE_CONNECT) up_server = true;
  }
  // The receiving peer services its host in a thread of its own, as the
  // messaging's thread does.
  std::atomic<int> received{0};
  std::atomic<bool> stop{false};
  std::thread receiver([&] {
    ENetEvent ev;
    while (!stop) {
      if (enet_host_service(server, &ev, 1) > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) {
        enet_packet_destroy(ev.packet);
        ++received;
      }
    }
  });
  std::vector<double> us;
  for (int i = 0; i < texts + 100; ++i) {
    const auto start = Clock::now();
    ENetPacket* p = enet_packet_create(kPayload.data(), kPayload.size(), ENET_PACKET_FLAG_RELIABLE);
    enet_peer_send(peer, 0, p);
    enet_host_flush(client);
    while (received.load() <= i) {
      enet_host_service(client, &e, 0);  // acknowledgements
      std::this_thread::yield();
    }
    if (i >= 100) us.push_back(us_since(start));
  }
  stop = true;
  receiver.join();
  enet_host_destroy(client);
  enet_host_destroy(server);
  return stats(us);
}
#endif

double relay_rate(mxt::SocketTable& sockets, int texts, int port, double* seconds) {
  constexpr int kClients = 16;
  mxt::Messaging host(sockets);
  host.host(port);
  std::vector<std::unique_ptr<mxt::Messaging>> clients;
  std::vector<int> ids;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<mxt::Messaging>(sockets));
    clients.back()->join("127.0.0.1", port);
    ids.push_back(clients.back()->create_player("c" + std::to_string(i)));
  }
  const int64_t expected = int64_t{kClients} * texts * (kClients - 1);
  int64_t received = 0;
  std::string got;
  const auto start = Clock::now();
  for (int k = 0; k < texts; ++k) {
    for (int i = 0; i < kClients; ++i) clients[static_cast<size_t>(i)]->send_text(ids[static_cast<size_t>(i)], 0, kPayload);
    for (int i = 0; i < kClients; ++i)
      while (clients[static_cast<size_t>(i)]->receive_text(ids[static_cast<size_t>(i)], got)) ++received;
  }
  const auto limit = Clock::now() + std::chrono::seconds(60);
  while (received < expected && Clock::now() < limit) {
    bool any = false;
    for (int i = 0; i < kClients; ++i)
      while (clients[static_cast<size_t>(i)]->receive_text(ids[static_cast<size_t>(i)], got)) {
        ++received;
        any = true;
      }
    if (!any) std::this_thread::yield();
  }
  *seconds = us_since(start) / 1e6;
  if (received != expected)
    std::printf("  (only %lld of %lld texts arrived)\n", static_cast<long long>(received), static_cast<long long>(expected));
  return static_cast<double>(received) / *seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int texts = argc > 1 ? std::max(100, std::atoi(argv[1])) : 10000;
  mxt::SocketTable sockets;
  sockets.startup();
  const int port = 27990;

  const Stats m = messaging_latency(sockets, texts, port);
  std::printf("One-way latency of a %zu-byte text, client -> host -> client, %d texts:\n", kPayload.size(), texts);
  std::printf("  messaging        median %7.1f us   99th %7.1f us\n", m.median, m.p99);
#ifdef MXT_HAVE_ENET
  enet_initialize();
  const Stats e = enet_latency(texts, port + 1);
  std::printf("  ENet (reliable)  median %7.1f us   99th %7.1f us   (peer to peer, no relay)\n", e.median, e.p99);
  std::printf("  messaging / ENet median: %.2fx (goal: at most 2x, and under 1000 us)\n", m.median / e.median);
  enet_deinitialize();
#else
  std::printf("  ENet is not installed (scripts/deps --bench): no anchor\n");
#endif

  double seconds = 0;
  const int per_client = std::max(100, texts / 10);
  const double rate = relay_rate(sockets, per_client, port + 2, &seconds);
  std::printf("\nRelay: 16 clients x %d texts to everyone = %lld deliveries in %.2f s\n", per_client,
              static_cast<long long>(16LL * per_client * 15), seconds);
  std::printf("  %.0f relayed texts a second (goal: at least 50,000)\n", rate);
  sockets.cleanup();
  return 0;
}

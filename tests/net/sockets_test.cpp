// Sockets on loopback through the commands, as a game uses them: TCP and
// UDP in both address families, the time-out and refusal codes, the table's
// limit, the address texts and the machine's address list.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <moxtril.h>

#include <random>
#include <string>
#include <vector>

#include "net/net_support.h"
#include "runtime/base/singletons.h"
#include "runtime/net/sockets.h"
#include "runtime/platform/net.h"

using namespace net_test;

namespace {

std::string bytes(const RtString& s) { return s.str(); }
int rt_last_socket_error() { return mxt::rt.sockets->last_error(); }
RtString raw(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s += static_cast<char>(v);
  return RtString(s);
}

// Accepts within two seconds (the listening socket does not block).
int accept_soon(int listener, RtString& peer) {
  const double end = now_ms() + 2000;
  int h = -1;
  while ((h = mxt_tcp_accept(listener, peer)) < 0 && now_ms() < end) sleep_ms(2);
  return h;
}

// Receives what is there within two seconds, or the first non-positive result other than -2.
int receive_soon(int handle, RtString& data, int max) {
  const double end = now_ms() + 2000;
  int n = -2;
  while ((n = mxt_net_receive(handle, data, max)) == -2 && now_ms() < end) sleep_ms(2);
  return n;
}

class Sockets : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(mxt_net_start(), 1); }
  void TearDown() override {
    mxt_net_family(4);
    while (mxt::rt.sockets->references() > 0) mxt_net_stop();
  }
};

TEST_F(Sockets, TcpListenAcceptConnectSendReceiveInBothFamilies) {
  struct Case {
    int version;
    const char* host;
    RtString loopback;
  } cases[] = {{4, "127.0.0.1", raw({127, 0, 0, 1})},
               {6, "::1", raw({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1})}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    mxt_net_family(c.version);
    const int listener = mxt_tcp_listen(0);
    ASSERT_GE(listener, 0) << bytes(mxt_net_error_text());
    const int port = mxt_socket_port(listener);
    ASSERT_GT(port, 0) << "the port the system chose is the listening socket's";
    const int client = mxt_tcp_connect(c.host, port, 2000);
    ASSERT_GE(client, 0) << bytes(mxt_net_error_text());
    RtString peer("stale");
    const int server = accept_soon(listener, peer);
    ASSERT_GE(server, 0);
    EXPECT_EQ(bytes(peer), bytes(c.loopback));
    EXPECT_EQ(bytes(mxt_socket_address(client)), bytes(c.loopback));
    EXPECT_EQ(mxt_socket_port(client), port);

    RtString data("stale");
    EXPECT_EQ(mxt_net_receive(server, data, 100), -2) << "nothing there yet";
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(mxt_net_send(client, RtString("hello\0world", 11)), 11);
    EXPECT_EQ(receive_soon(server, data, 100), 11);
    EXPECT_EQ(bytes(data), std::string("hello\0world", 11));
    EXPECT_EQ(mxt_net_send(server, "back"), 4);
    EXPECT_EQ(receive_soon(client, data, 2), 2) << "at most the size asked for";
    EXPECT_EQ(bytes(data), "ba");
    EXPECT_EQ(receive_soon(client, data, 100), 2);
    EXPECT_EQ(bytes(data), "ck");

    EXPECT_EQ(mxt_net_close(client), 1);
    EXPECT_EQ(mxt_net_close(client), 0) << "a second close finds nothing";
    EXPECT_EQ(receive_soon(server, data, 100), 0) << "the peer closed";
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(bytes(mxt_socket_address(client)), std::string(4, '\0')) << "a free entry";
    EXPECT_EQ(mxt_socket_port(client), 0);
    mxt_net_close(server);
    mxt_net_close(listener);
  }
}

TEST_F(Sockets, UdpSendsAndReceivesWithTheSendersAddress) {
  for (int version : {4, 6}) {
    SCOPED_TRACE(version);
    mxt_net_family(version);
    const RtString loopback = mxt_resolve_name(version == 6 ? "::1" : "127.0.0.1");
    ASSERT_EQ(loopback.length, version == 6 ? 16u : 4u);
    // A port of its own for the receiver; the sender gets one from the system.
    int port = 0;
    const int probe = loopback_listener(version, 1, &port);
    ::close(probe);
    const int receiver = mxt_udp_open(port);
    ASSERT_GE(receiver, 0) << bytes(mxt_net_error_text());
    const int sender = mxt_udp_open(0);
    ASSERT_GE(sender, 0);

    EXPECT_EQ(mxt_net_send(sender, "needs an address"), -1);
    mxt::rt.errors.last_error_code = 0;
    EXPECT_EQ(mxt_udp_send(sender, "x", raw({127, 0, 0, 1, 9}), port), -1);
    EXPECT_EQ(mxt_last_error(), 4);

    EXPECT_EQ(mxt_udp_send(sender, "datagram", loopback, port), 8);
    RtString data;
    EXPECT_EQ(receive_soon(receiver, data, 1500), 8);
    EXPECT_EQ(bytes(data), "datagram");
    EXPECT_EQ(bytes(mxt_socket_address(receiver)), bytes(loopback)) << "the sender, after a datagram";
    const int sender_port = mxt_socket_port(receiver);
    EXPECT_GT(sender_port, 0);
    EXPECT_NE(sender_port, port);
    // Answer the sender at the address the datagram came from.
    EXPECT_EQ(mxt_udp_send(receiver, "reply", mxt_socket_address(receiver), sender_port), 5);
    EXPECT_EQ(receive_soon(sender, data, 1500), 5);
    EXPECT_EQ(bytes(data), "reply");
    mxt_net_close(sender);
    mxt_net_close(receiver);
  }
}

TEST_F(Sockets, ConnectGivesUpAtItsTimeOutWhenTheListenerTakesNoMore) {
  // A listener whose backlog is full drops further connection requests, as
  // an address that swallows packets would.
  int port = 0;
  const int listener = loopback_listener(4, 0, &port);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    fillers.push_back(fd);
  }
  sleep_ms(50);
  const double start = now_ms();
  EXPECT_EQ(mxt_tcp_connect("127.0.0.1", port, 500), -1);
  const double spent = now_ms() - start;
  EXPECT_EQ(rt_last_socket_error(), 10036);
  EXPECT_GE(spent, 450);
  EXPECT_LT(spent, 5000);
  EXPECT_EQ(bytes(mxt_net_error_text()).rfind("10036 ", 0), 0u) << bytes(mxt_net_error_text());
  for (int fd : fillers) ::close(fd);
  ::close(listener);
}

TEST_F(Sockets, RefusedConnectionsAndTheirText) {
  EXPECT_EQ(mxt_tcp_connect("127.0.0.1", closed_port(), 2000), -1);
  EXPECT_EQ(bytes(mxt_net_error_text()), "10061 Connection refused");
  EXPECT_EQ(mxt_net_send(77, "nobody"), -1) << "a free handle";
  EXPECT_EQ(mxt_net_send(-1, "nobody"), -1);
  EXPECT_EQ(mxt_net_send(5000, "nobody"), -1);
  RtString data;
  EXPECT_EQ(mxt_net_receive(5000, data, 10), -1);
  EXPECT_EQ(mxt_net_close(-3), 0);
}

TEST_F(Sockets, APeerResetReadsAsAClosedConnection) {
  const int listener = mxt_tcp_listen(0);
  const int fd = raw_connect(mxt_socket_port(listener));
  ASSERT_GE(fd, 0);
  RtString peer;
  const int server = accept_soon(listener, peer);
  ASSERT_GE(server, 0);
  // Unread data at close makes the system send a reset.
  linger l{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(fd);
  RtString data;
  EXPECT_EQ(receive_soon(server, data, 10), 0);
}

TEST_F(Sockets, TheTableHolds1024SocketsAndThe1025thFailsWithError8) {
  std::vector<int> handles;
  for (int i = 0; i < 1024; ++i) {
    const int h = mxt_udp_open(0);
    ASSERT_EQ(h, i) << "free entries are taken from 0 upward; " << bytes(mxt_net_error_text());
    handles.push_back(h);
  }
  EXPECT_EQ(mxt_udp_open(0), -1);
  EXPECT_EQ(rt_last_socket_error(), 8);
  EXPECT_EQ(mxt_tcp_listen(0), -1);
  EXPECT_EQ(mxt_net_close(500), 1);
  EXPECT_EQ(mxt_udp_open(0), 500) << "a closed handle's entry is the next one taken";
  // The last reference closes every socket.
  EXPECT_EQ(mxt_net_start(), 1);
  EXPECT_EQ(mxt_net_stop(), 1);
  EXPECT_EQ(mxt_net_stop(), 0);
  EXPECT_EQ(mxt::rt.sockets->open_count(), 0);
  EXPECT_EQ(mxt_net_start(), 1);
}

TEST_F(Sockets, FamilyIsFourOrSix) {
  EXPECT_EQ(mxt_net_family(6), 23);
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(mxt_net_family(5), 2);
  EXPECT_EQ(mxt_last_error(), 4);
  EXPECT_EQ(mxt_resolve_name("127.0.0.1").length, 4u) << "IPv4 selected";
  EXPECT_EQ(mxt_net_family(6), 23);
  EXPECT_EQ(bytes(mxt_address_text(mxt_resolve_name("127.0.0.1"))), "::ffff:127.0.0.1");
  EXPECT_EQ(bytes(mxt_address_text(mxt_resolve_name("localhost"))).empty(), false);
  EXPECT_EQ(bytes(mxt_address_text(mxt_resolve_name("::1"))), "::1");
}

TEST(AddressText, TheFormsGamesShow) {
  EXPECT_EQ(bytes(mxt_address_text(raw({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}))), "::1");
  EXPECT_EQ(bytes(mxt_address_text(raw({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}))),
            "2001:db8::1:0:0:1")
      << "the first of two equal zero runs";
  EXPECT_EQ(bytes(mxt_address_text(raw({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 1}))),
            "::ffff:10.0.0.1");
  EXPECT_EQ(bytes(mxt_address_text(raw({192, 168, 1, 5}))), "192.168.1.5");
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_EQ(bytes(mxt_address_text(raw({1, 2, 3, 4, 5}))), "0.0.0.0");
  EXPECT_EQ(mxt_last_error(), 4);
}

TEST(AddressText, MatchesTheSystemsWritingOfIPv6) {
  // Groups drawn from 0, 1, 0xffff and others, so zero runs of every length
  // and place and the IPv4 tails all occur.
  std::mt19937 random(12345);
  const uint16_t picks[] = {0, 0, 0, 0, 1, 0xffff, 0xdb8, 0x2001, 0xabcd};
  for (int i = 0; i < 20000; ++i) {
    uint8_t b[16];
    for (int g = 0; g < 8; ++g) {
      const uint16_t v = picks[random() % std::size(picks)];
      b[2 * g] = static_cast<uint8_t>(v >> 8);
      b[2 * g + 1] = static_cast<uint8_t>(v);
    }
    char want[INET6_ADDRSTRLEN];
    ASSERT_NE(inet_ntop(AF_INET6, b, want, sizeof want), nullptr);
    ASSERT_EQ(mxt::address_text(b, 16), want);
  }
}

TEST(LocalAddresses, LoopbackComesLast) {
  auto v4 = [](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    mxt::platform::Endpoint e;
    e.bytes[0] = a;
    e.bytes[1] = b;
    e.bytes[2] = c;
    e.bytes[3] = d;
    return e;
  };
  int count = 0;
  EXPECT_EQ(mxt::format_local_addresses({v4(127, 0, 0, 1), v4(192, 168, 1, 5)}, mxt::kFamilyIPv4, "|", count),
            "192.168.1.5|127.0.0.1|");
  EXPECT_EQ(count, 2);
  EXPECT_EQ(mxt::format_local_addresses({v4(127, 0, 0, 1)}, mxt::kFamilyIPv6, "\n", count), "::1\n");
  EXPECT_EQ(count, 1);
  EXPECT_EQ(mxt::format_local_addresses({}, mxt::kFamilyIPv4, "|", count), "");
  EXPECT_EQ(count, 0);
  // The text stops growing before 2048 characters.
  std::vector<mxt::platform::Endpoint> many(300, v4(10, 20, 30, 40));
  const std::string text = mxt::format_local_addresses(many, mxt::kFamilyIPv4, "|", count);
  EXPECT_LT(text.size(), 2048u);
  EXPECT_EQ(count, static_cast<int>(text.size() / 12));

  // This machine has its loopback interface up, and it is listed last.
  const std::string mine = bytes(mxt_local_addresses());
  ASSERT_GE(mine.size(), 9u);
  EXPECT_EQ(mine.substr(mine.size() - 9), "127.0.0.1") << mine;
  EXPECT_NE(mine.back(), '|');
  EXPECT_EQ(mxt::rt.sockets->references(), 0) << "the command gives its reference back";
}

}  // namespace

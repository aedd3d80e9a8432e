// Network messaging between copies of a game, each a process of its own
// (tests/net/peer), on loopback: the results the protocol promises, players
// leaving, joins switched off, and a soak of 16 clients.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/net_support.h"

using namespace net_test;

namespace {

std::unique_ptr<Child> peer() {
  auto c = std::make_unique<Child>(std::vector<std::string>{MXT_NET_PEER});
  EXPECT_TRUE(c->started());
  return c;
}

// A port nothing listens on now, for a host of this test alone.
std::string free_port() { return std::to_string(closed_port()); }

TEST(Messaging, APlayersLifeOnAHostAndAClient) {
  const std::string port = free_port();
  auto host = peer();
  ASSERT_EQ(host->ask("host " + port), "1");
  EXPECT_EQ(host->ask("connected"), "1");
  EXPECT_EQ(host->ask("create Ann"), "101");
  EXPECT_EQ(host->ask("count"), "1") << "the query player, 102, is hidden";
  EXPECT_EQ(host->ask("create Bob"), "103");
  EXPECT_EQ(host->ask("count"), "2");
  EXPECT_EQ(host->ask("id 1"), "103");
  EXPECT_EQ(host->ask("id 0"), "101");
  EXPECT_EQ(host->ask("id 2"), "0") << "past the visible players";
  EXPECT_EQ(host->ask("name 102"), "query");
  EXPECT_EQ(host->ask("name 999"), "NO_DATA");

  auto client = peer();
  ASSERT_EQ(client->ask("join 127.0.0.1 " + port), "1");
  EXPECT_EQ(client->ask("create Cy"), "105") << "104 is the client's query player";
  EXPECT_EQ(client->ask("count"), "3");
  EXPECT_EQ(client->ask("name 101"), "Ann");

  // A text to 0 reaches every visible player but its sender.
  EXPECT_EQ(host->ask("send 101 0 hello all"), "1");
  sleep_ms(200);
  EXPECT_EQ(host->ask("recv 103"), "[hello all]");
  EXPECT_EQ(host->ask("sender"), "101");
  EXPECT_EQ(host->ask("recv 103"), "[]");
  EXPECT_EQ(host->ask("sender"), "101") << "an empty receive leaves the sender";
  EXPECT_EQ(host->ask("recv 101"), "[]") << "not to its sender";
  EXPECT_EQ(client->ask("recv 105"), "[hello all]");
  EXPECT_EQ(client->ask("sender"), "101");
  EXPECT_EQ(client->ask("send 105 103 just Bob"), "1");
  sleep_ms(200);
  EXPECT_EQ(host->ask("recv 103"), "[just Bob]");
  EXPECT_EQ(host->ask("sender"), "105");
  EXPECT_EQ(host->ask("recv 101"), "[]");

  // Removing 0 or a reserved id sends nothing; removing players leaves
  // events that come out newest first.
  EXPECT_EQ(host->ask("remove 0"), "ok");
  EXPECT_EQ(host->ask("remove 65280"), "ok");
  EXPECT_EQ(host->ask("count"), "3");
  EXPECT_EQ(host->ask("left"), "0");
  EXPECT_EQ(host->ask("remove 101"), "ok");
  EXPECT_EQ(host->ask("remove 103"), "ok");
  EXPECT_EQ(host->ask("count"), "1");
  EXPECT_EQ(host->ask("left"), "103");
  EXPECT_EQ(host->ask("left"), "101");
  EXPECT_EQ(host->ask("left"), "0");

  // Texts already queued stay readable after leaving.
  EXPECT_EQ(host->ask("create Dee"), "106");
  EXPECT_EQ(host->ask("send 106 105 after"), "1");
  sleep_ms(200);
  EXPECT_NE(client->ask("leave"), "");
  EXPECT_EQ(client->ask("connected"), "0");
  EXPECT_EQ(client->ask("count"), "0") << "no thread: at once";
  EXPECT_EQ(client->ask("recv 105"), "[after]");
  EXPECT_EQ(client->ask("left"), "0") << "a client has no left events";

  // The client's connection closed: every player registered over it left.
  sleep_ms(200);
  EXPECT_EQ(host->ask("left"), "105");
  EXPECT_EQ(host->ask("left"), "104");
  EXPECT_EQ(host->ask("left"), "0");
  EXPECT_EQ(host->ask("count"), "1");
  EXPECT_EQ(host->ask("quit"), "");
}

TEST(Messaging, DefaultPortAndAClosedCopy) {
  auto host = peer();
  auto client = peer();
  // No thread: the requests fail at once or after one short wait.
  EXPECT_EQ(client->ask("connected"), "0");
  EXPECT_EQ(client->ask("count"), "0");
  const double start = now_ms();
  EXPECT_EQ(client->ask("create Eve"), "0");
  EXPECT_EQ(client->ask("name 101"), "NO_DATA");
  EXPECT_LT(now_ms() - start, 2000);
  // Port 0 is 27910, and so is -5.
  ASSERT_EQ(host->ask("host 0"), "1");
  EXPECT_EQ(client->ask("join 127.0.0.1 -5"), "1");
  EXPECT_EQ(client->ask("create Eve"), "102") << "101 is the client's query player";
  EXPECT_EQ(client->ask("join 127.0.0.1 " + free_port()), "0") << "nobody there";
  EXPECT_EQ(client->ask("connected"), "0");
}

TEST(Messaging, JoinsSwitchedOffTurnNewPlayersAway) {
  const std::string port = free_port();
  auto host = peer();
  ASSERT_EQ(host->ask("host " + port), "1");
  EXPECT_EQ(host->ask("create Ann"), "101");
  EXPECT_EQ(host->ask("allow 0"), "ok");
  const double start = now_ms();
  EXPECT_EQ(host->ask("create Bob"), "0");
  EXPECT_GE(now_ms() - start, 4500) << "after the reply wait";
  EXPECT_EQ(host->ask("allow 1"), "ok");
  EXPECT_EQ(host->ask("create Bob"), "102");
}

TEST(Messaging, TheHostsServerGoingAwayClosesTheClient) {
  const std::string port = free_port();
  auto host = peer();
  auto client = peer();
  ASSERT_EQ(host->ask("host " + port), "1");
  ASSERT_EQ(client->ask("join 127.0.0.1 " + port), "1");
  EXPECT_EQ(host->ask("leave"), "0") << "the last reference of the socket layer";
  const double end = now_ms() + 3000;
  while (client->ask("connected") != "0" && now_ms() < end) sleep_ms(20);
  EXPECT_EQ(client->ask("connected"), "0");
}

// One host and 16 clients, each sending texts to everyone and to single
// players: every text arrives once, in its sender's order.
TEST(Messaging, SoakOfSixteenClients) {
  const int texts = std::getenv("MXT_SOAK_TEXTS") ? std::atoi(std::getenv("MXT_SOAK_TEXTS")) : 1000;
  const std::string port = free_port();
  auto host = peer();
  ASSERT_EQ(host->ask("host " + port), "1");
  std::vector<std::unique_ptr<Child>> clients;
  std::vector<std::string> ids;
  for (int i = 0; i < 16; ++i) {
    clients.push_back(peer());
    ASSERT_EQ(clients.back()->ask("join 127.0.0.1 " + port), "1");
    ids.push_back(clients.back()->ask("create c" + std::to_string(i)));
    ASSERT_NE(ids.back(), "0");
  }
  EXPECT_EQ(host->ask("count"), "16");
  const double start = now_ms();
  for (int i = 0; i < 16; ++i) clients[static_cast<size_t>(i)]->write_line("soak " + ids[static_cast<size_t>(i)] + " " + std::to_string(texts));
  const int per_client = texts * 15 + texts;  // every broadcast of 15 others, and a 15th of their 15 x texts direct ones
  for (auto& c : clients) {
    const std::string result = c->read_line(120000);
    EXPECT_EQ(result.rfind("soak ok ", 0), 0u) << result;
    const int got = std::atoi(result.c_str() + 8);
    EXPECT_NEAR(got, per_client, 15) << result;
  }
  const double seconds = (now_ms() - start) / 1000;
  const long peak = std::atol(host->ask("peak").c_str());
  std::printf("soak: 16 clients x %d texts each way in %.1f s; host peak memory %ld KiB\n", texts, seconds, peak);
  EXPECT_LT(peak, 256 * 1024) << "the host's memory stays bounded";
  for (auto& c : clients) c->write_line("quit");
}

}  // namespace

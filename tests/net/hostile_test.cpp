// A running host against peers that do not follow the protocol, talked to
// through raw sockets: lying lengths, a header dribbled byte by byte, a
// connection that sends almost nothing, 200 connections at once, a flood,
// and a player that never reads. Throughout, two well-behaved copies keep
// exchanging texts through the host, and nothing crashes. The well-behaved
// copies are messaging objects of their own in this process.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "net/net_support.h"
#include "runtime/base/singletons.h"
#include "runtime/net/message_frame.h"
#include "runtime/net/messaging.h"
#include "runtime/net/messaging_lock.h"
#include "runtime/net/sockets.h"

using namespace net_test;
using mxt::Messaging;
using mxt::NetMessage;

namespace {

std::string frame(uint8_t type, uint16_t to, uint16_t from, const std::string& payload) {
  NetMessage m;
  m.type = type;
  m.to = to;
  m.from = from;
  m.payload = payload;
  std::string out;
  mxt::encode_message(m, out);
  return out;
}

// Reads everything the socket has within `ms`; false when the peer closed.
bool drain(int fd, int ms, std::string* got = nullptr) {
  const double end = now_ms() + ms;
  char buf[65536];
  while (now_ms() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10) <= 0) continue;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    if (got) got->append(buf, static_cast<size_t>(n));
  }
  return true;
}

class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = closed_port();
    host_ = mxt::rt.messaging;
    ASSERT_EQ(host_->host(port_), 1);
    alice_ = std::make_unique<Messaging>(*mxt::rt.sockets);
    bob_ = std::make_unique<Messaging>(*mxt::rt.sockets);
    ASSERT_EQ(alice_->join("127.0.0.1", port_), 1);
    ASSERT_EQ(bob_->join("127.0.0.1", port_), 1);
    a_ = alice_->create_player("alice");
    b_ = bob_->create_player("bob");
    ASSERT_GT(a_, 0);
    ASSERT_GT(b_, 0);
  }
  void TearDown() override {
    bob_.reset();
    alice_.reset();
  }

  // A text from alice reaches bob within two seconds.
  ::testing::AssertionResult still_serving() {
    const std::string text = "ping " + std::to_string(++sent_);
    if (!alice_->send_text(a_, b_, text)) return ::testing::AssertionFailure() << "send failed";
    const double end = now_ms() + 2000;
    std::string got;
    while (now_ms() < end) {
      while (bob_->receive_text(b_, got))
        if (got == text) return ::testing::AssertionSuccess();
      sleep_ms(1);
    }
    return ::testing::AssertionFailure() << text << " did not arrive";
  }

  int port_ = 0;
  Messaging* host_ = nullptr;
  std::unique_ptr<Messaging> alice_, bob_;
  int a_ = 0, b_ = 0, sent_ = 0;
};

TEST_F(Hostile, ALyingLengthClosesThatConnectionOnly) {
  const int fd = raw_connect(port_);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(send_all(fd, frame(3, 0xFFFF, 7, "fine") + std::string("\x03\x01\x08\x00\x00\x07\x00", 7)));
  EXPECT_FALSE(drain(fd, 2000)) << "a header of 2049 payload bytes closes the connection";
  close(fd);
  EXPECT_TRUE(still_serving());
}

TEST_F(Hostile, AHeaderDribbledByteByByteStillRegisters) {
  const int fd = raw_connect(port_);
  const std::string reg = frame(1, 0, 0, mxt::registration_record("slow", false));
  for (size_t i = 0; i < reg.size(); ++i) {
    ASSERT_TRUE(send_all(fd, reg.substr(i, 1)));
    sleep_ms(15);
    if (i % 40 == 0) {
      EXPECT_TRUE(still_serving()) << "at byte " << i;
    }
  }
  std::string got;
  drain(fd, 500, &got);
  ASSERT_GE(got.size(), 7u);
  EXPECT_EQ(got[0], 2) << "a player id came back";
  const int id = static_cast<uint8_t>(got[3]) | (static_cast<uint8_t>(got[4]) << 8);
  EXPECT_EQ(alice_->player_name(id), "slow");
  close(fd);
}

TEST_F(Hostile, APeerThatSendsAlmostNothingHoldsNothingUp) {
  const int fd = raw_connect(port_);
  ASSERT_TRUE(send_all(fd, "\x03"));  // one byte of a header, then silence
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(still_serving());
  ASSERT_TRUE(send_all(fd, std::string("\x03\x00\xff\xff\x63\x00", 6)));  // the rest, much later: an empty text
  EXPECT_TRUE(drain(fd, 200)) << "still connected";
  EXPECT_TRUE(still_serving());
  close(fd);
}

TEST_F(Hostile, TwoHundredConnectionsAtOnce) {
  std::vector<int> fds;
  for (int i = 0; i < 200; ++i) {
    const int fd = raw_connect(port_);
    if (fd >= 0) fds.push_back(fd);
  }
  EXPECT_EQ(fds.size(), 200u);
  // Those past the table are closed at once; the host's own link and the
  // two clients hold 3 places.
  const int expected_closed = 200 - (mxt::kClientTableSize - 3);
  int closed = 0;
  std::vector<bool> seen(fds.size(), false);
  for (const double until = now_ms() + 5000; closed < expected_closed && now_ms() < until; sleep_ms(10)) {
    for (size_t i = 0; i < fds.size(); ++i) {
      char c;
      if (!seen[i] && recv(fds[i], &c, 1, MSG_DONTWAIT) == 0) {
        seen[i] = true;
        ++closed;
      }
    }
  }
  EXPECT_EQ(closed, expected_closed);
  EXPECT_EQ(host_->client_count(), mxt::kClientTableSize);
  EXPECT_TRUE(still_serving());
  for (int fd : fds) close(fd);
  const double end = now_ms() + 2000;
  while (host_->client_count() > 3 && now_ms() < end) sleep_ms(10);
  EXPECT_EQ(host_->client_count(), 3);
  EXPECT_TRUE(still_serving());
}

TEST_F(Hostile, AFloodOfAHundredThousandTexts) {
  const int fd = raw_connect(port_);
  std::string flood;
  for (int i = 0; i < 100000; ++i) flood += frame(3, static_cast<uint16_t>(i % 2 ? b_ : 0xFFFF), 4242, "flood");
  std::thread sender([&] { send_all(fd, flood); });
  // Bob and alice read on; their own text arrives among the flood.
  int floods = 0;
  const double end = now_ms() + 30000;
  std::string got;
  alice_->send_text(a_, b_, "through");
  bool through = false;
  while ((!through || floods < 100000) && now_ms() < end) {
    bool any = false;
    while (bob_->receive_text(b_, got)) {
      any = true;
      if (got == "through") {
        through = true;
      } else if (got == "flood") {
        ++floods;
      }
    }
    while (alice_->receive_text(a_, got)) any = true;
    if (!any) sleep_ms(1);
  }
  sender.join();
  EXPECT_TRUE(through);
  EXPECT_EQ(floods, 100000) << "bob gets every flood text meant for him: half direct, half to everyone";
  EXPECT_TRUE(still_serving());
  close(fd);
}

TEST_F(Hostile, APlayerThatNeverReadsIsDisconnected) {
  host_->set_outbox_cap(64 << 10);
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int small = 4096;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port_));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  ASSERT_TRUE(send_all(fd, frame(1, 0, 0, mxt::registration_record("deaf", false))));
  sleep_ms(200);
  const int players = alice_->player_count();
  EXPECT_EQ(players, 3);
  // Everyone gets a lot to read; the deaf player reads nothing.
  const std::string big(1000, 'x');
  std::string got;
  int left = 0;
  const double end = now_ms() + 20000;
  for (int i = 0; left == 0 && now_ms() < end; ++i) {
    alice_->send_text(a_, 0, big);
    while (bob_->receive_text(b_, got)) {
    }
    if (i % 50 == 0) {
      left = host_->player_left();
      EXPECT_TRUE(still_serving());
    }
  }
  EXPECT_NE(left, 0) << "the deaf player was dropped";
  EXPECT_EQ(alice_->player_count(), 2);
  EXPECT_TRUE(still_serving());
  close(fd);
}

TEST(MessageFrame, AMessageSplitAnywhereComesOutWhole) {
  const std::string stream = frame(3, 101, 102, "hello") + frame(101, 0, 102, "") + frame(3, 0xFFFF, 7, std::string(1024, 'z'));
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    mxt::FrameReader reader;
    std::vector<NetMessage> out;
    const auto* p = reinterpret_cast<const uint8_t*>(stream.data());
    ASSERT_EQ(reader.feed(p, cut, out), mxt::FrameReader::Result::ok);
    ASSERT_EQ(reader.feed(p + cut, stream.size() - cut, out), mxt::FrameReader::Result::ok);
    ASSERT_EQ(out.size(), 3u) << cut;
    EXPECT_EQ(out[0].payload, "hello");
    EXPECT_EQ(out[0].to, 101);
    EXPECT_EQ(out[0].from, 102);
    EXPECT_EQ(out[1].type, 101);
    EXPECT_EQ(out[2].payload.size(), 1024u);
    EXPECT_EQ(reader.buffered(), 0u);
  }
  mxt::FrameReader reader;
  std::vector<NetMessage> out;
  const std::string lying("\x03\x01\x04\x00\x00\x00\x00", 7);  // 1025 payload bytes
  EXPECT_EQ(reader.feed(reinterpret_cast<const uint8_t*>(lying.data()), lying.size(), out),
            mxt::FrameReader::Result::bad_length);
  EXPECT_TRUE(out.empty());
}

TEST(MessageFrame, TheWireIsLittleEndianAndTheRecordHasItsLayout) {
  EXPECT_EQ(frame(3, 0x0102, 0x0304, "ab"), std::string("\x03\x02\x00\x02\x01\x04\x03" "ab", 9));
  const std::string r = mxt::registration_record(std::string(200, 'n'), true);
  ASSERT_EQ(r.size(), 136u);
  EXPECT_EQ(r.substr(0, 8), std::string("\xff\xff\xff\xff\xfe\xff\x01\x00", 8));
  EXPECT_EQ(r[8 + 126], 'n');
  EXPECT_EQ(r[8 + 127], '\0') << "the name is cut to 127 characters";
  std::string name;
  bool hidden = false;
  EXPECT_TRUE(mxt::read_registration(r, name, hidden));
  EXPECT_EQ(name.size(), 127u);
  EXPECT_TRUE(hidden);
}

TEST(MessagingLock, ErrorCheckingCodes) {
  EXPECT_EQ(mxt::lock_create(nullptr), 22);
  mxt::MessagingLock* lock = nullptr;
  ASSERT_EQ(mxt::lock_create(&lock), 0);
  EXPECT_EQ(mxt::lock_take(nullptr), 22);
  EXPECT_EQ(mxt::lock_give(lock), 1) << "not the owner";
  EXPECT_EQ(mxt::lock_take(lock), 0);
  EXPECT_EQ(mxt::lock_take(lock), 36) << "taken twice by one thread: no deadlock";
  int from_other = -1;
  std::thread([&] { from_other = mxt::lock_give(lock); }).join();
  EXPECT_EQ(from_other, 1);
  EXPECT_EQ(mxt::lock_give(lock), 0);
  EXPECT_EQ(mxt::lock_destroy(&lock), 0);
  EXPECT_EQ(lock, nullptr);
  EXPECT_EQ(mxt::lock_destroy(&lock), 22);

  int result = 0;
  const intptr_t t = mxt::start_thread([](void* arg) { return *static_cast<int*>(arg) + 1; }, &result, true);
  ASSERT_GT(t, 0);
  int exit_code = 0;
  EXPECT_EQ(mxt::join_thread(t, &exit_code), 0);
  EXPECT_EQ(exit_code, 1);
  EXPECT_EQ(mxt::join_thread(0, nullptr), 22);
}

TEST(MessagingIds, TheCounterSkipsTheReservedRange) {
  const int port = closed_port();
  Messaging* host = mxt::rt.messaging;
  ASSERT_EQ(host->host(port), 1);
  host->set_next_id(0xFEFF);
  EXPECT_EQ(host->create_player("last"), 0xFEFF);
  EXPECT_EQ(host->create_player("wrapped"), 101) << "after 0xFEFF comes 101, not 0xFF00";
  EXPECT_EQ(host->create_player("next"), 102);
  host->set_next_id(101);
  EXPECT_EQ(host->create_player("skips ids in use"), 103);
}

}  // namespace

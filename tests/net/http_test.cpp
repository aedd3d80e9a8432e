// HTTP download against real servers on loopback: Python's http.server for
// plain files, and a scripted server for what real servers do now and then
// (bare line feeds, split headers, chunks, connections kept open, silence,
// endless headers).
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <moxtril.h>

#include <random>
#include <string>

#include "net/net_support.h"
#include "runtime/base/singletons.h"
#include "runtime/net/http.h"
#include "runtime/net/sockets.h"
#include "support/child.h"

using namespace net_test;
using mxt_test::read_file;
using mxt_test::TempDir;
using mxt_test::write_file;

namespace {

int socket_error() { return mxt::rt.sockets->last_error(); }

std::string random_bytes(size_t n, bool printable, uint32_t seed) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(printable ? 32 + random() % 95 : random() % 256);
  return s;
}

// A server that answers every request with the given pieces, pausing
// between them, and then closes (or, with `hold_ms`, stays silent that long first).
ScriptedServer::Serve answer(std::vector<std::string> pieces, int pause_ms = 0, int hold_ms = 0) {
  return [pieces, pause_ms, hold_ms](int fd, const std::atomic<bool>& stopping) {
    read_request(fd);
    for (const std::string& p : pieces) {
      if (!send_all(fd, p)) return;
      if (pause_ms) sleep_ms(pause_ms);
    }
    if (hold_ms) hold(stopping, hold_ms);
  };
}

std::string get_text(int port, int max = 1 << 20, int timeout = 3000) {
  return mxt_http_get_text("127.0.0.1", "/", port, max, timeout).str();
}

TEST(Http, PlainFilesFromPythonsServerArriveByteExact) {
  TempDir www, out;
  const std::string binary = random_bytes(10 << 20, false, 1);
  const std::string text = random_bytes(10 << 20, true, 2);
  ASSERT_TRUE(write_file(www.file("data.bin"), binary));
  ASSERT_TRUE(write_file(www.file("story.txt"), text));
  PythonHttpServer server(www.path());
  ASSERT_GT(server.port(), 0) << "python3 could not start its http.server";

  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/data.bin", server.port(), out.file("data.bin").c_str(), 5000), 1);
  EXPECT_TRUE(read_file(out.file("data.bin")) == binary) << "byte for byte";
  EXPECT_TRUE(get_text(server.port(), 11 << 20, 5000) .find("data.bin") != std::string::npos) << "the listing";
  const RtString got = mxt_http_get_text("127.0.0.1", "/story.txt", server.port(), 11 << 20, 5000);
  EXPECT_EQ(got.length, text.size());
  EXPECT_TRUE(got.str() == text);
  // A 404 page is a download like any other.
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/missing", server.port(), out.file("404.html").c_str(), 5000), 1);
  EXPECT_NE(read_file(out.file("404.html")).find("404"), std::string::npos);
  EXPECT_EQ(mxt::rt.sockets->references(), 0) << "every call gives its reference back";
  EXPECT_EQ(mxt::rt.sockets->open_count(), 0);
}

TEST(Http, TheRequestIsTheRuntimesOwn) {
  ScriptedServer* self = nullptr;
  ScriptedServer server([&self](int fd, const std::atomic<bool>&) {
    const std::string r = read_request(fd);
    while (!self) sleep_ms(1);
    self->set_request(r);
    send_all(fd, "HTTP/1.1 200 OK\r\n\r\nok");
  });
  self = &server;
  EXPECT_EQ(mxt_http_get_text("127.0.0.1", "/a/b.txt?x=1", server.port(), 100, 3000).str(), "ok");
  EXPECT_EQ(server.last_request(),
            "GET /a/b.txt?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nConnection: Close\r\n"
            "User-Agent: Moxtril\r\n\r\n");
}

TEST(Http, HeaderEndsAreFoundInEveryShape) {
  {
    ScriptedServer server(answer({"HTTP/1.1 200 OK\nServer: bare\nContent-Type: text/plain\n\nbody\r\nmore"}));
    EXPECT_EQ(get_text(server.port()), "body\r\nmore") << "bare line feeds";
  }
  {
    ScriptedServer server(answer({"HTTP/1.1 200 OK\r\nA: b\r\n", "\r\nlater", " and more"}, 50));
    EXPECT_EQ(get_text(server.port()), "later and more") << "the blank line in a later read";
  }
  {
    ScriptedServer server(answer({"HTTP/1.1 200 OK\r\nA: b\r", "\n", "\r", "\nx"}, 30));
    EXPECT_EQ(get_text(server.port()), "x") << "split between CR and LF";
  }
}

TEST(Http, AChunkedBodyIsDecoded) {
  TempDir out;
  ScriptedServer server(answer({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nHello\r\n",
                                "7;name=value\r\n, world\r\n", "1\r\n!\r\n0\r\nTrailer: x\r\n\r\n"},
                               20, 5000));
  const double start = now_ms();
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", server.port(), out.file("hello.txt").c_str(), 3000), 1);
  EXPECT_LT(now_ms() - start, 2000) << "the last chunk ends the body; the server's close is not awaited";
  EXPECT_EQ(read_file(out.file("hello.txt")), "Hello, world!");
}

TEST(Http, ABadChunkFailsAndKeepsTheOldFile) {
  TempDir out;
  ASSERT_TRUE(write_file(out.file("keep.txt"), "old"));
  ScriptedServer server(answer({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nHello\r\nzz\r\n"}));
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", server.port(), out.file("keep.txt").c_str(), 3000), 0);
  EXPECT_EQ(read_file(out.file("keep.txt")), "old");
}

TEST(Http, ContentLengthEndsTheBodyOfAServerThatNeverCloses) {
  ScriptedServer server(answer({"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", "12345"}, 10, 10000));
  const double start = now_ms();
  EXPECT_EQ(get_text(server.port(), 100, 5000), "12345");
  EXPECT_LT(now_ms() - start, 2000);
}

TEST(Http, ASilentServerEndsTheCallAtTheTimeOut) {
  TempDir out;
  ASSERT_TRUE(write_file(out.file("keep.txt"), "old"));
  ScriptedServer server(answer({"HTTP/1.1 200 OK\r\n\r\npartial"}, 0, 3000));
  double start = now_ms();
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", server.port(), out.file("keep.txt").c_str(), 500), 0);
  EXPECT_LT(now_ms() - start, 2500);
  EXPECT_GE(now_ms() - start, 450);
  EXPECT_EQ(socket_error(), 10060);
  EXPECT_EQ(read_file(out.file("keep.txt")), "old") << "a failed download leaves the old file";
  EXPECT_FALSE(mxt_test::file_exists(out.file("keep.txt.download"))) << "and no partial file";
  start = now_ms();
  EXPECT_EQ(get_text(server.port(), 100, 500), "partial") << "the text keeps what arrived";
}

TEST(Http, AHeaderBlockWithoutEndFails) {
  const std::string line = "X-Filler: " + std::string(1000, 'a') + "\r\n";
  std::vector<std::string> pieces{"HTTP/1.1 200 OK\r\n"};
  for (int i = 0; i < 1024; ++i) pieces.push_back(line);
  ScriptedServer server(answer(pieces));
  TempDir out;
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", server.port(), out.file("h.txt").c_str(), 3000), 0);
  EXPECT_FALSE(mxt_test::file_exists(out.file("h.txt")));
}

TEST(Http, TextStopsAtItsMaximumAndAtAZeroByte) {
  {
    ScriptedServer server(answer({"HTTP/1.1 200 OK\r\n\r\n0123456789abcdef"}, 0, 5000));
    const double start = now_ms();
    EXPECT_EQ(get_text(server.port(), 10), "0123456789");
    EXPECT_LT(now_ms() - start, 2000) << "a full text ends the download";
  }
  {
    ScriptedServer server(answer({"HTTP/1.1 200 OK\r\n\r\nabc", std::string("de\0fg", 5), "hi"}, 20));
    EXPECT_EQ(get_text(server.port()), "abcde");
  }
}

TEST(Http, ABodyCutShortOfItsLengthFails) {
  TempDir out;
  ScriptedServer server(answer({"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"}));
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", server.port(), out.file("cut.txt").c_str(), 3000), 0);
  EXPECT_FALSE(mxt_test::file_exists(out.file("cut.txt")));
}

TEST(Http, RefusedMemoryNamesAndExistingTargets) {
  TempDir out;
  ASSERT_TRUE(write_file(out.file("keep.txt"), "old"));
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", closed_port(), out.file("keep.txt").c_str(), 2000), 0);
  EXPECT_EQ(socket_error(), 10061);
  EXPECT_EQ(read_file(out.file("keep.txt")), "old");
  EXPECT_EQ(mxt_http_get_text("127.0.0.1", "/", closed_port(), 100, 2000).str(), "");

  ScriptedServer server(answer({"HTTP/1.1 200 OK\r\n\r\nnew"}));
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", server.port(), "mem://00000010.1234", 2000), 0);
  sleep_ms(100);
  EXPECT_EQ(server.connections(), 0) << "a memory name sends nothing";
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", server.port(), out.file("keep.txt").c_str(), 2000), 1);
  EXPECT_EQ(read_file(out.file("keep.txt")), "new") << "a successful download replaces the file";
  EXPECT_EQ(mxt_http_get_file("127.0.0.1", "/", server.port(), "/no/such/folder/x.txt", 2000), 0);
  EXPECT_EQ(mxt_http_get_text("127.0.0.1", "/bad\r\nInjected: 1", server.port(), 100, 2000).str(), "");
  EXPECT_EQ(server.connections(), 1) << "nothing sent for a file that cannot be made or a path with line ends";
}

// The reader alone, fed a response one byte at a time and in every split
// into two reads: the body is the same every way.
TEST(HttpResponseReader, GivesTheSameBodyHoweverTheResponseIsSplit) {
  const std::string responses[] = {
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n10\r\n0123456789abcdef\r\n0\r\n\r\n",
      "HTTP/1.1 200 OK\nContent-Length: 4\n\nwxyzIGNORED",
      "HTTP/1.0 200 OK\r\n\r\nto the close",
  };
  const std::string bodies[] = {"abc0123456789abcdef", "wxyz", "to the close"};
  for (size_t r = 0; r < std::size(responses); ++r) {
    const std::string& text = responses[r];
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      mxt::HttpResponseReader reader;
      std::string body;
      const auto* p = reinterpret_cast<const uint8_t*>(text.data());
      reader.feed(p, cut, body);
      reader.feed(p + cut, text.size() - cut, body);
      reader.close();
      ASSERT_EQ(reader.state(), mxt::HttpResponseReader::State::complete) << r << " cut at " << cut;
      ASSERT_EQ(body, bodies[r]) << r << " cut at " << cut;
    }
    mxt::HttpResponseReader reader;
    std::string body;
    for (char c : text) reader.feed(reinterpret_cast<const uint8_t*>(&c), 1, body);
    reader.close();
    EXPECT_EQ(body, bodies[r]);
  }
}

TEST(HttpResponseReader, StatusAndFraming) {
  mxt::HttpResponseReader reader;
  std::string body;
  const std::string head = "HTTP/1.1 404 Not Found\r\nCONTENT-LENGTH:  12 \r\n\r\n";
  reader.feed(reinterpret_cast<const uint8_t*>(head.data()), head.size(), body);
  EXPECT_EQ(reader.status(), 404);
  EXPECT_EQ(reader.content_length(), 12);
  EXPECT_EQ(reader.state(), mxt::HttpResponseReader::State::body);
  EXPECT_EQ(reader.close(), mxt::HttpResponseReader::State::failed) << "12 bytes promised, none came";

  mxt::HttpResponseReader empty;
  const std::string no_content = "HTTP/1.1 204 No Content\r\nContent-Length: 7\r\n\r\n";
  EXPECT_EQ(empty.feed(reinterpret_cast<const uint8_t*>(no_content.data()), no_content.size(), body),
            mxt::HttpResponseReader::State::complete);

  mxt::HttpResponseReader huge;
  const std::string overflow = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000000000000000\r\n";
  EXPECT_EQ(huge.feed(reinterpret_cast<const uint8_t*>(overflow.data()), overflow.size(), body),
            mxt::HttpResponseReader::State::failed);
}

}  // namespace

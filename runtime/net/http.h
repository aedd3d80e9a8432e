// HTTP download: one GET over the socket layer, the body saved to a file or
// returned as text.
//
// The exchange stays minimal (the request asks the server to close; the
// status is not judged; redirects are not followed), but the body is taken
// as HTTP frames it: a chunked body is decoded, a body ends at its
// Content-Length as well as at the server's close, a server that goes silent
// ends the call after the time-out, and a file is replaced only once its
// download has succeeded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mxt {

class SocketTable;

// The response as it arrives, read by read: the header block (found by the
// line-feed count that carries across reads) and the body, decoded from its
// chunks when the header says so. Everything it keeps is bounded by the
// limits in runtime/files/limits.h.
class HttpResponseReader {
 public:
  enum class State { header, body, complete, failed };
  enum class Fault { none, header_too_large, bad_chunk, short_body };

  // Takes the next bytes received; the body bytes among them are appended to
  // `body`. Returns the state afterwards. Bytes after a complete body are ignored.
  State feed(const uint8_t* data, size_t size, std::string& body);
  // The server closed the connection: complete, or failed when a body framed
  // by length or chunks stopped short of its end.
  State close();

  State state() const { return state_; }
  Fault fault() const { return fault_; }
  int status() const { return status_; }                 // 0 until the status line is read
  bool chunked() const { return chunked_; }
  int64_t content_length() const { return content_length_; }  // -1 when not given
  int64_t body_bytes() const { return body_bytes_; }     // decoded body bytes so far

 private:
  void end_of_header();
  void fail(Fault f) {
    state_ = State::failed;
    fault_ = f;
  }
  size_t feed_chunked(const uint8_t* data, size_t size, std::string& body);

  State state_ = State::header;
  Fault fault_ = Fault::none;
  int line_feeds_ = 0;              // consecutive line feeds; a carriage return leaves the count
  std::string header_;              // the header block, kept to read its fields
  int status_ = 0;
  bool chunked_ = false;
  int64_t content_length_ = -1;
  int64_t body_bytes_ = 0;

  // Chunked bodies.
  enum class Chunk { size_line, data, data_end, trailer } chunk_ = Chunk::size_line;
  std::string chunk_line_;
  int64_t chunk_left_ = 0;
  bool chunk_size_seen_ = false;
};

// The request text, as the runtime has always sent it.
std::string http_request(std::string_view host, std::string_view path);

struct HttpTarget {
  const std::string* file = nullptr;   // the file to save to (a platform path), or none
  std::string* text = nullptr;         // the text to fill, or none
  int64_t text_max = 0;                // the most body bytes the text takes
};

// One GET: 1 on success, 0 on failure with the cause in the table's last
// error. `timeout_ms` bounds the connection attempt and every silence of
// the server afterwards (1 .. 30000; anything else means 30000).
int http_get(SocketTable& sockets, std::string_view host, std::string_view path, int port, const HttpTarget& target,
             int timeout_ms);

}  // namespace mxt

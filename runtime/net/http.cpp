// HTTP download: the response reader and the one GET.
//
// [SECTION] The response reader
// [SECTION] The request and the exchange
#include "runtime/net/http.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/files/limits.h"
#include "runtime/net/sockets.h"
#include "runtime/platform/net.h"
#include "runtime/platform/platform.h"

namespace mxt {

namespace wsa = platform::wsa;

// ---------------------------------------------------------------------------
// [SECTION] The response reader

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_name(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (lower(line[i]) != name[i]) return false;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool contains_token(std::string_view value, std::string_view token) {
  std::string v(value);
  for (char& c : v) c = lower(c);
  return v.find(token) != std::string::npos;
}

// Decimal digits only, at most 18 of them: anything else gives -1.
int64_t parse_length(std::string_view v) {
  if (v.empty() || v.size() > 18) return -1;
  int64_t n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void HttpResponseReader::end_of_header() {
  state_ = State::body;
  std::string_view block(header_);
  bool first = true;
  while (!block.empty()) {
    const size_t end = block.find('\n');
    std::string_view line = block.substr(0, end);
    block = end == std::string_view::npos ? std::string_view() : block.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      // "HTTP/1.1 200 OK": the status is the number after the first blank.
      first = false;
      const size_t sp = line.find(' ');
      if (sp != std::string_view::npos) {
        int code = 0, digits = 0;
        for (size_t i = sp + 1; i < line.size() && digits < 3 && line[i] >= '0' && line[i] <= '9'; ++i, ++digits)
          code = code * 10 + (line[i] - '0');
        if (digits == 3) status_ = code;
      }
      continue;
    }
    if (starts_with_name(line, "transfer-encoding")) {
      if (contains_token(line.substr(18), "chunked")) chunked_ = true;
    } else if (starts_with_name(line, "content-length")) {
      content_length_ = parse_length(trim(line.substr(15)));
    }
  }
  header_.clear();
  header_.shrink_to_fit();
  if (chunked_) content_length_ = -1;  // the chunks frame the body
  // These answers have no body whatever the header says.
  if (status_ == 204 || status_ == 304 || (status_ >= 100 && status_ < 200) || content_length_ == 0)
    state_ = State::complete;
}

size_t HttpResponseReader::feed_chunked(const uint8_t* data, size_t size, std::string& body) {
  size_t i = 0;
  while (i < size && state_ == State::body) {
    switch (chunk_) {
      case Chunk::size_line:
      case Chunk::trailer: {
        const char c = static_cast<char>(data[i++]);
        if (c != '\n') {
          if (static_cast<int64_t>(chunk_line_.size()) >= limits::kMaxHttpChunkLine) {
            fail(Fault::bad_chunk);
            break;
          }
          chunk_line_ += c;
          break;
        }
        std::string_view line(chunk_line_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (chunk_ == Chunk::trailer) {
          if (line.empty()) state_ = State::complete;
          chunk_line_.clear();
          break;
        }
        // "1a2b;extension": hexadecimal digits up to ';' or a blank.
        int64_t n = 0;
        size_t digits = 0;
        for (; digits < line.size(); ++digits) {
          const int d = hex_digit(line[digits]);
          if (d < 0) break;
          if (digits >= 15) {
            fail(Fault::bad_chunk);
            return i;
          }
          n = n * 16 + d;
        }
        const std::string_view rest = trim(line.substr(digits));
        if (digits == 0 || (!rest.empty() && rest.front() != ';')) {
          fail(Fault::bad_chunk);
          return i;
        }
        chunk_line_.clear();
        chunk_left_ = n;
        chunk_ = n == 0 ? Chunk::trailer : Chunk::data;
        break;
      }
      case Chunk::data: {
        const size_t take = static_cast<size_t>(std::min<int64_t>(chunk_left_, static_cast<int64_t>(size - i)));
        body.append(reinterpret_cast<const char*>(data + i), take);
        body_bytes_ += static_cast<int64_t>(take);
        chunk_left_ -= static_cast<int64_t>(take);
        i += take;
        if (chunk_left_ == 0) chunk_ = Chunk::data_end;
        break;
      }
      case Chunk::data_end: {
        // The line end after a chunk's data: CR LF, or a bare LF.
        const char c = static_cast<char>(data[i++]);
        if (c == '\n') {
          chunk_ = Chunk::size_line;
        } else if (c != '\r') {
          fail(Fault::bad_chunk);
        }
        break;
      }
    }
  }
  return i;
}

HttpResponseReader::State HttpResponseReader::feed(const uint8_t* data, size_t size, std::string& body) {
  size_t i = 0;
  if (state_ == State::header) {
    bool ended = false;
    for (; i < size && !ended; ++i) {
      const uint8_t c = data[i];
      if (c == '\n') {
        ++line_feeds_;
      } else if (c != '\r') {
        line_feeds_ = 0;
      }
      ended = line_feeds_ == 2;
    }
    // i is now past the header's last byte in this read, or at the end.
    if (static_cast<int64_t>(header_.size() + i) > limits::kMaxHttpHeaderBytes) {
      fail(Fault::header_too_large);
      return state_;
    }
    header_.append(reinterpret_cast<const char*>(data), i);
    if (!ended) return state_;
    end_of_header();
  }
  if (state_ != State::body) return state_;
  if (chunked_) {
    feed_chunked(data + i, size - i, body);
    return state_;
  }
  size_t take = size - i;
  if (content_length_ >= 0) take = static_cast<size_t>(std::min<int64_t>(content_length_ - body_bytes_, static_cast<int64_t>(take)));
  body.append(reinterpret_cast<const char*>(data + i), take);
  body_bytes_ += static_cast<int64_t>(take);
  if (content_length_ >= 0 && body_bytes_ >= content_length_) state_ = State::complete;
  return state_;
}

HttpResponseReader::State HttpResponseReader::close() {
  if (state_ == State::body) {
    if (chunked_ || (content_length_ >= 0 && body_bytes_ < content_length_))
      fail(Fault::short_body);
    else
      state_ = State::complete;
  } else if (state_ == State::header) {
    state_ = State::complete;  // no header end at all: an empty body, as always
  }
  return state_;
}

// ---------------------------------------------------------------------------
// [SECTION] The request and the exchange

std::string http_request(std::string_view host, std::string_view path) {
  std::string r = "GET ";
  r += path;
  r += " HTTP/1.1\r\nHost: ";
  r += host;
  r += "\r\nAccept: */*\r\nConnection: Close\r\nUser-Agent: Moxtril\r\n\r\n";
  return r;
}

namespace {

// The download's file: written under a temporary name beside the target and
// renamed over it only when everything arrived.
class TargetFile {
 public:
  ~TargetFile() { discard(); }

  bool open(const std::string& target) {
    target_ = target;
    for (int n = 0; n < 100 && !file_; ++n) {
      temp_ = target + (n == 0 ? std::string(".download") : ".download" + std::to_string(n));
      file_ = platform::open_file(temp_, platform::FileMode::create_new);
    }
    return file_ != nullptr;
  }
  bool write(const std::string& bytes) {
    return bytes.empty() || platform::write_file(file_, bytes.data(), static_cast<int64_t>(bytes.size())) ==
                                static_cast<int64_t>(bytes.size());
  }
  bool commit() {
    const bool closed = platform::close_file(file_);
    file_ = nullptr;
    if (!closed) return false;
    // A folder of the target's name goes, as it always did (only an empty one can).
    if (platform::path_kind(target_) == platform::PathKind::directory) platform::remove_directory(target_);
    if (!platform::rename_path(temp_, target_)) return false;
    temp_.clear();
    return true;
  }
  void discard() {
    if (file_) platform::close_file(file_);
    file_ = nullptr;
    if (!temp_.empty()) platform::remove_file(temp_);
    temp_.clear();
  }

 private:
  std::string target_, temp_;
  platform::File* file_ = nullptr;
};

// Text the way the runtime always filled it: at most `max` body bytes, and
// the text ends at the first zero byte of the body.
class TextSink {
 public:
  TextSink(std::string* text, int64_t max) : text_(text), left_(text ? max : 0) {}
  // False once the text is full: the download is then complete.
  bool take(const std::string& bytes) {
    if (!text_ || left_ <= 0 || bytes.empty()) return true;
    const size_t k = static_cast<size_t>(std::min<int64_t>(left_, static_cast<int64_t>(bytes.size())));
    if (!ended_) {
      const void* zero = std::memchr(bytes.data(), 0, k);
      const size_t keep = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes.data()) : k;
      text_->append(bytes.data(), keep);
      ended_ = zero != nullptr;
    }
    left_ -= static_cast<int64_t>(k);
    return left_ > 0;
  }

 private:
  std::string* text_;
  int64_t left_;
  bool ended_ = false;
};

bool unsafe_in_request(std::string_view s) {
  for (char c : s)
    if (c == '\r' || c == '\n' || c == 0) return true;
  return false;
}

}  // namespace

int http_get(SocketTable& sockets, std::string_view host, std::string_view path, int port, const HttpTarget& target,
             int timeout_ms) {
  TargetFile file;
  if (target.file) {
    if (target.file->rfind("mem://", 0) == 0 || !file.open(*target.file)) return 0;
  }
  if (unsafe_in_request(host) || unsafe_in_request(path)) {
    // A line end in the host or path would write header lines of its own.
    sockets.set_last_error(wsa::kInvalid);
    return 0;
  }
  if (!sockets.startup()) return 0;
  int handle = -1;
  auto failure = [&](int code) {
    if (code != 0) sockets.set_last_error(code);
    const int kept = sockets.last_error();
    if (handle >= 0) sockets.close(handle);
    sockets.cleanup();
    sockets.set_last_error(kept);
    return 0;
  };

  const uint16_t p = static_cast<uint16_t>(port == 0 ? 80 : port);
  const NetAddress address = sockets.resolve(host, p);
  if (!address.valid()) return failure(0);
  handle = sockets.connect(address, timeout_ms);
  if (handle < 0) return failure(0);
  const std::string request = http_request(host, path);
  if (sockets.send(handle, request.data(), request.size(), nullptr) <= 0) return failure(0);

  const int silence_ms = timeout_ms >= 1 && timeout_ms <= kConnectDefaultMs ? timeout_ms : kConnectDefaultMs;
  const platform::Socket os = sockets.os_socket(handle);
  HttpResponseReader reader;
  TextSink text(target.text, target.text_max);
  std::vector<uint8_t> buffer(static_cast<size_t>(limits::kHttpReadBytes));
  std::string body;
  bool done = false;
  while (!done) {
    const int64_t n = sockets.receive(handle, buffer.data(), buffer.size(), false);
    if (n == -2) {
      platform::SocketWait w;
      w.socket = os;
      w.read = true;
      if (platform::wait_sockets(&w, 1, silence_ms) == 0) return failure(wsa::kTimedOut);
      continue;
    }
    if (n < 0) return failure(0);
    if (n == 0) {
      if (reader.close() == HttpResponseReader::State::failed) return failure(wsa::kConnectionReset);
      break;
    }
    body.clear();
    const HttpResponseReader::State s = reader.feed(buffer.data(), static_cast<size_t>(n), body);
    if (s == HttpResponseReader::State::failed) return failure(wsa::kMessageSize);
    if (target.file && !file.write(body)) return failure(0);
    if (!text.take(body)) done = true;
    if (s == HttpResponseReader::State::complete) done = true;
  }
  sockets.close(handle);
  handle = -1;
  if (target.file && !file.commit()) return failure(0);
  sockets.cleanup();
  return 1;
}

}  // namespace mxt

// The messaging's wire format and the stream reader that assembles messages.
#include "runtime/net/message_frame.h"

#include <cstring>

namespace mxt {

namespace {

void put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

uint16_t get16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}

}  // namespace

void encode_message(const NetMessage& m, std::string& out) {
  const size_t n = m.payload.size() < kMaxMessagePayload ? m.payload.size() : kMaxMessagePayload;
  out += static_cast<char>(m.type);
  put16(out, static_cast<uint16_t>(n));
  put16(out, m.to);
  put16(out, m.from);
  out.append(m.payload.data(), n);
}

std::string registration_record(const std::string& name, bool hidden) {
  std::string r;
  r.reserve(kRegistrationBytes);
  r.append("\xff\xff\xff\xff", 4);  // connection -1
  put16(r, kIdUnsent);
  r += static_cast<char>(hidden ? 1 : 0);
  r += '\0';
  char field[kNameBytes] = {};
  std::memcpy(field, name.data(), name.size() < kNameBytes - 1 ? name.size() : kNameBytes - 1);
  r.append(field, kNameBytes);
  return r;
}

bool read_registration(const std::string& payload, std::string& name, bool& hidden) {
  if (payload.size() < kRegistrationBytes) return false;
  hidden = payload[6] != 0;
  const char* field = payload.data() + 8;
  size_t n = 0;
  while (n < kNameBytes - 1 && field[n] != 0) ++n;  // byte 127 always ends it
  name.assign(field, n);
  return true;
}

std::string u16_payload(uint16_t v) {
  std::string s;
  put16(s, v);
  return s;
}

uint16_t read_u16_payload(const std::string& payload) { return payload.size() < 2 ? 0 : get16(payload.data()); }

FrameReader::Result FrameReader::feed(const uint8_t* data, size_t size, std::vector<NetMessage>& out) {
  if (broken_) return Result::bad_length;
  // Drop what was handed out before growing the buffer, so it never holds
  // more than one partial message and the new bytes.
  if (start_ > 0) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(reinterpret_cast<const char*>(data), size);
  while (buffer_.size() - start_ >= kMessageHeaderBytes) {
    const char* h = buffer_.data() + start_;
    const uint16_t length = get16(h + 1);
    if (length > kMaxMessagePayload) {
      broken_ = true;
      buffer_.clear();
      start_ = 0;
      return Result::bad_length;
    }
    if (buffer_.size() - start_ < kMessageHeaderBytes + length) break;
    NetMessage m;
    m.type = static_cast<uint8_t>(h[0]);
    m.to = get16(h + 3);
    m.from = get16(h + 5);
    m.payload.assign(h + kMessageHeaderBytes, length);
    out.push_back(std::move(m));
    start_ += kMessageHeaderBytes + length;
  }
  return Result::ok;
}

}  // namespace mxt

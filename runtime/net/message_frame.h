// The network messaging's wire format: a 7-byte little-endian header (type,
// payload length, receiver, sender) and up to 1024 payload bytes. Copies of
// games written for this runtime talk to each other in exactly this form.
//
// TCP delivers a stream, not messages: `FrameReader` keeps what a connection
// has delivered so far and hands out each message once all of it is in, so
// a header or payload split over any number of reads arrives whole. A header
// announcing more than 1024 payload bytes ends the stream: nothing after it
// can be trusted to be a message boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mxt {

constexpr size_t kMessageHeaderBytes = 7;
constexpr uint16_t kMaxMessagePayload = 1024;

// Message types.
enum : uint8_t {
  kMsgRegister = 1,       // client -> server: the registration record
  kMsgPlayerId = 2,       // server -> client: the new id in `to`
  kMsgText = 3,           // any -> server -> player
  kMsgRemove = 4,         // client -> server: remove player `from`
  kMsgCount = 101,        // requests and their replies
  kMsgIdByIndex = 102,
  kMsgName = 103,
  kMsgHello = 104,
};

// Player ids: 0 the server or none; 101 and up handed out; 0xFF00 and up reserved.
constexpr uint16_t kIdServer = 0;
constexpr uint16_t kFirstPlayerId = 101;
constexpr uint16_t kFirstReservedId = 0xFF00;
constexpr uint16_t kIdBuilding = 0xFF00;
constexpr uint16_t kIdUnsent = 0xFFFE;       // a local player waiting to be registered
constexpr uint16_t kIdSent = 0xFFFC;         // a local player whose registration was sent
constexpr uint16_t kIdEveryone = 0xFFFF;

constexpr size_t kRegistrationBytes = 136;   // int32 connection, u16 id, u8 hidden, u8 reserved, 128 name
constexpr size_t kNameBytes = 128;           // zero-terminated: at most 127 characters

struct NetMessage {
  uint8_t type = 0;
  uint16_t to = 0;
  uint16_t from = 0;
  std::string payload;                       // at most 1024 bytes
  int origin = -1;                           // in memory only: the socket handle it came in on
};

// Appends the message's wire bytes (the payload cut to 1024 bytes).
void encode_message(const NetMessage& m, std::string& out);

// The registration record of a player, and its fields read back.
std::string registration_record(const std::string& name, bool hidden);
bool read_registration(const std::string& payload, std::string& name, bool& hidden);

// A u16 payload (counts, ids, indices), little-endian.
std::string u16_payload(uint16_t v);
uint16_t read_u16_payload(const std::string& payload);  // 0 when shorter than 2 bytes

class FrameReader {
 public:
  enum class Result { ok, bad_length };

  // Takes the next bytes of the stream and appends every message completed
  // by them to `out`. After bad_length the reader takes nothing more.
  Result feed(const uint8_t* data, size_t size, std::vector<NetMessage>& out);
  size_t buffered() const { return buffer_.size() - start_; }
  bool broken() const { return broken_; }

 private:
  std::string buffer_;
  size_t start_ = 0;                          // the first byte not yet handed out
  bool broken_ = false;
};

}  // namespace mxt

// Limits of the file layer, in one place. Every size read from a file is
// checked against these (in 64 bits) before anything is allocated or read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mxt::limits {

constexpr int64_t kPathBytes = 1024;                   // path buffers, terminator included
constexpr int64_t kMaxEntryBytes = int64_t{1} << 30;   // largest archive entry after unpacking
constexpr int64_t kMaxArchiveEntries = 1 << 20;        // directory entries walked per lookup
constexpr int64_t kLzoExpansion = 256;                 // LZO1X makes < 256 bytes from each stored byte
constexpr int64_t kMaxArchiveBytes = INT32_MAX;        // offsets are signed 32-bit
constexpr int64_t kMaxMemoryName = UINT32_MAX;         // an in-memory name's size has 8 hex digits
constexpr int64_t kCopyBlock = 4096;                   // file copies go in blocks of this size

// Text lines (channels, INI files, line files) and reading ahead.
constexpr int64_t kLineBytes = 1024;                   // longest line a read gives; the rest is the next line
constexpr int kLineFileLines = 256;                    // lines 0..255 of a line file
constexpr size_t kLineSlotBytes = 1023;                // what a put keeps of its text
constexpr int64_t kReadAheadBytes = 64 << 10;          // a channel's read-ahead buffer

// Music and video.
constexpr int64_t kMaxMusicBytes = int64_t{256} << 20;  // a music file is held in memory while it plays
constexpr int kMaxVideoSide = 8192;                    // picture width or height
constexpr int64_t kMaxVideoPixels = int64_t{8192} * 4608;  // width x height

// HTTP download.
constexpr int64_t kMaxHttpHeaderBytes = 64 << 10;      // a header block longer than this fails the download
constexpr int64_t kMaxHttpChunkLine = 4096;            // a chunk-size or trailer line
constexpr int64_t kHttpReadBytes = 64 << 10;           // one read of the response

// Sockets.
constexpr int64_t kMaxNetReceiveBytes = 1 << 20;       // one mxt_net_receive, whatever the game asks for

// Network messaging.
constexpr int64_t kMaxPeerQueueBytes = 4 << 20;        // unsent bytes for one connection; past it the peer is dropped
constexpr int64_t kMessagingReadBudget = 64 << 10;     // bytes read from one connection in one pass of the thread
constexpr int64_t kMaxServerPlayers = 4096;            // registrations past this are ignored
// Sound effects (WAV). A sound is read whole, then held in memory at the
// device's rate as long as it stays loaded.
constexpr int64_t kMaxWavDataBytes = 0x0FFFFFFF;       // sample data of one sound, as the file stores it
constexpr int64_t kMaxWavFileBytes = kMaxWavDataBytes + (int64_t{16} << 20);  // the data and its other chunks
constexpr int kMaxWavChunks = 1024;                    // chunk headers walked looking for "fmt " and "data"
constexpr int kMinWavRate = 100;                       // samples per second a sound may have
constexpr int kMaxWavRate = 200000;
constexpr int64_t kMaxSoundBytes = int64_t{512} << 20;  // one sound converted to the device's rate and samples

}  // namespace mxt::limits

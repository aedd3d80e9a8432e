// The WAV reader and the conversion to the device's samples.
//
// [SECTION] Chunks
// [SECTION] Conversion
// [SECTION] Loading
#include "runtime/audio/wav.h"

#include <cstring>

#include "runtime/files/limits.h"
#include "runtime/files/rtfile.h"
#include "runtime/types/bytes.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Chunks

namespace {

bool is_tag(const uint8_t* p, const char* tag) { return p && std::memcmp(p, tag, 4) == 0; }

// Walks chunk headers until one with the id `want`, leaving the reader at
// its body; its size is checked against what the file holds. Every chunk
// walked counts against the file's limit, whichever search it was in.
bool find_chunk(ByteReader& r, const char* want, uint32_t& size, int& chunks, const char*& why) {
  for (;;) {
    if (++chunks > limits::kMaxWavChunks) {
      why = "too many chunks";
      return false;
    }
    const uint8_t* id = r.take(4);
    if (!id || !r.u32(size)) {
      why = std::strcmp(want, "fmt ") == 0 ? "no \"fmt \" chunk" : "no \"data\" chunk";
      return false;
    }
    if (size > r.remaining()) {
      why = "a chunk runs past the end of the file";
      return false;
    }
    if (is_tag(id, want)) return true;
    r.skip(size);
    // RIFF pads a chunk of odd size with a zero byte; some writers leave it
    // out. The byte after the chunk tells: a chunk id never begins with 0.
    uint8_t pad = 1;
    if (size % 2 == 1 && r.remaining() > 0 && r.u8(pad) && pad != 0) r.seek(r.position() - 1);
  }
}

}  // namespace

bool parse_wav(std::span<const uint8_t> file, WavFile& out, const char*& why) {
  out = WavFile{};
  ByteReader r(file);
  uint32_t riff_size = 0;
  const uint8_t* riff = r.take(4);
  if (!is_tag(riff, "RIFF") || !r.u32(riff_size) || !is_tag(r.take(4), "WAVE")) {
    why = "not a RIFF/WAVE file";
    return false;
  }
  int chunks = 0;
  uint32_t size = 0;
  if (!find_chunk(r, "fmt ", size, chunks, why)) return false;
  if (size < 16) {
    why = "the \"fmt \" chunk is too short";
    return false;
  }
  uint16_t tag = 0, channels = 0, block_align = 0, bits = 0;
  uint32_t rate = 0, bytes_per_second = 0;
  const size_t fmt_end = r.position() + size;
  if (!r.u16(tag) || !r.u16(channels) || !r.u32(rate) || !r.u32(bytes_per_second) || !r.u16(block_align) ||
      !r.u16(bits) || !r.seek(fmt_end)) {
    why = "the \"fmt \" chunk is cut short";
    return false;
  }
  if (size % 2 == 1 && r.remaining() > 0 && file[r.position()] == 0) r.skip(1);
  if (channels == 0) {
    why = "no channels";
    return false;
  }
  if (rate < limits::kMinWavRate || rate > limits::kMaxWavRate) {
    why = "a sample rate outside 100 to 200000";
    return false;
  }
  if (bits != 8 && bits != 16) {
    why = "samples that are not 8 or 16 bits";
    return false;
  }
  if (block_align != channels * (bits / 8)) {
    why = "a block size that does not fit the channels and sample size";
    return false;
  }
  if (!find_chunk(r, "data", size, chunks, why)) return false;
  if (size > limits::kMaxWavDataBytes) {
    why = "more sample data than a sound may hold";
    return false;
  }
  const size_t frames = size / block_align;
  if (frames == 0) {
    why = "no whole sample frame";
    return false;
  }
  out.format.file_channels = channels;
  out.format.channels = channels >= 2 ? 2 : 1;
  out.format.rate = static_cast<int>(rate);
  out.format.bits = bits;
  out.format.block_align = block_align;
  out.data = file.subspan(r.position(), frames * block_align);
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Conversion

namespace {

// Channel c (0 or 1) of frame i, as a 16-bit sample.
int16_t sample_at(const WavFile& wav, int64_t i, int c) {
  const uint8_t* p = wav.data.data() + i * wav.format.block_align + c * (wav.format.bits / 8);
  if (wav.format.bits == 8) return static_cast<int16_t>((p[0] - 128) * 256);
  return static_cast<int16_t>(read_le16(p));
}

}  // namespace

bool convert_wav(const WavFile& wav, int rate, SoundSamples& out, const char*& why) {
  out = SoundSamples{};
  const WavFormat& f = wav.format;
  if (rate <= 0 || f.block_align <= 0 || f.rate <= 0 || f.channels < 1 || f.channels > 2) {
    why = "no format to convert from or to";
    return false;
  }
  const int64_t in_frames = static_cast<int64_t>(wav.data.size()) / f.block_align;
  // Both rates are at most a few hundred thousand and frames at most 2^28:
  // the products stay far inside 64 bits.
  int64_t out_frames = in_frames * rate / f.rate;
  if (out_frames < 1) out_frames = 1;
  if (out_frames * f.channels * static_cast<int64_t>(sizeof(int16_t)) > limits::kMaxSoundBytes) {
    why = "larger than a sound may be at the device's rate";
    return false;
  }
  out.channels = f.channels;
  out.samples.resize(static_cast<size_t>(out_frames * f.channels));
  int16_t* dst = out.samples.data();
  if (rate == f.rate) {
    for (int64_t i = 0; i < out_frames; ++i)
      for (int c = 0; c < f.channels; ++c) *dst++ = sample_at(wav, i, c);
    return true;
  }
  const int64_t step = f.rate;  // frame j of the output lies at j * f.rate / rate in the file
  for (int64_t j = 0; j < out_frames; ++j) {
    const int64_t at = j * step;
    const int64_t i = at / rate;
    const int64_t frac = at % rate;
    const int64_t next = i + 1 < in_frames ? i + 1 : i;
    for (int c = 0; c < f.channels; ++c) {
      const int64_t a = sample_at(wav, i, c);
      const int64_t b = sample_at(wav, next, c);
      *dst++ = static_cast<int16_t>(a + (b - a) * frac / rate);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Loading

bool load_wav(const RtString& name, int rate, SoundSamples& out, const char*& why) {
  out = SoundSamples{};
  std::vector<uint8_t> bytes;
  if (!read_file_bytes(name, bytes, limits::kMaxWavFileBytes)) {
    why = "cannot be read, or is larger than a sound file may be";
    return false;
  }
  WavFile wav;
  return parse_wav(bytes, wav, why) && convert_wav(wav, rate, out, why);
}

}  // namespace mxt

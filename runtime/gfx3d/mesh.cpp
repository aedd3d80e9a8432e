// The .ddd loader. Every count in a file is checked against the bytes the
// file still has before anything is allocated for it, and every index
// against the list it points into, so a broken or hostile file costs no more
// memory or time than its size allows (the choices are in mesh.h).
#include "runtime/gfx3d/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "runtime/base/log.h"
#include "runtime/files/rtfile.h"
#include "runtime/types/numtext.h"

namespace mxt {

void set_vertex_colour(MeshVertex& v, uint32_t packed) {
  v.packed = packed;
  if (packed >= kMarkerColourFirst) {
    v.r = v.g = v.b = v.a = 1.0f;
    return;
  }
  v.r = static_cast<float>(packed & 0xFFu) / 255.0f;
  v.g = static_cast<float>((packed >> 8) & 0xFFu) / 255.0f;
  v.b = static_cast<float>((packed >> 16) & 0xFFu) / 255.0f;
  v.a = 1.0f;
}

void clear_mesh(MeshObject& mesh) {
  // Swapping with empty lists gives their memory back; clear() would keep it.
  std::vector<MeshFrame>().swap(mesh.frames);
  std::vector<uint32_t>().swap(mesh.palette);
  mesh.loaded = 0;
}

namespace {

constexpr uint8_t kBinaryMagic[4] = {0x17, 0xB3, 0xC6, 0x00};  // int32 13021975
constexpr double kBinaryVersionLowest = 1.02;
constexpr double kBinaryVersionHighest = 2.0;
constexpr float kTextVersionHighest = 1.1f;
constexpr uint32_t kOutsidePaletteColour = 0x00FFFFFFu;  // opaque white, not a marker

enum class Failure { none, read, memory };

int64_t bytes_left(const RtFile& f) { return f.size - f.position; }

// Exactly n bytes, or false without reading when the file has fewer left.
bool take(RtFile& f, void* dst, int64_t n) { return n <= bytes_left(f) && (n == 0 || read_bytes(f, dst, n)); }

template <typename T>
bool take_value(RtFile& f, T& out) {
  uint8_t raw[sizeof(T)];
  if (!take(f, raw, sizeof raw)) return false;
  std::memcpy(&out, raw, sizeof out);  // the format is little-endian, as is every machine the runtime runs on
  return true;
}

bool finite3(float a, float b, float c) { return std::isfinite(a) && std::isfinite(b) && std::isfinite(c); }

// ---- binary form ----

// The colour words of a vertex from its palette byte: an index outside the
// palette gives opaque white (the index word keeps the byte as read).
void binary_colour(MeshVertex& v, uint8_t index, const std::vector<uint32_t>& palette) {
  set_vertex_colour(v, index < palette.size() ? palette[index] : kOutsidePaletteColour);
  v.palette_index = index;
}

void binary_normal(MeshVertex& v, uint8_t index) {
  const float* n = kNormalTable[std::min<int>(index, kNormalTableSize - 1)];
  v.nx = n[0];
  v.ny = n[1];
  v.nz = n[2];
}

// Reads the vertex records of one frame, `record` bytes each, in whole
// records straight from the file's buffer, handing each to `decode`.
template <typename Decode>
bool read_records(RtFile& f, int64_t count, int64_t record, Decode&& decode) {
  const int64_t per_peek = (kReadAheadBytes / record) * record;
  int64_t done = 0;
  while (done < count) {
    const uint8_t* data = nullptr;
    const int64_t want = std::min(per_peek, (count - done) * record);
    const int64_t got = peek_bytes(f, data, want);
    if (got < record) return false;
    const int64_t records = got / record;
    for (int64_t i = 0; i < records; ++i)
      if (!decode(data + i * record, done + i)) return false;
    skip_bytes(f, records * record);
    done += records;
  }
  return true;
}

Failure read_binary(RtFile& f, MeshObject& mesh) {
  uint8_t magic[4];
  double version = 0;
  int32_t frame_count = 0, palette_count = 0, texture_count = 0;
  if (!take(f, magic, 4) || !take_value(f, version) || !take_value(f, frame_count) ||
      !take_value(f, palette_count) || !take_value(f, texture_count))
    return Failure::read;
  if (!(version >= kBinaryVersionLowest && version <= kBinaryVersionHighest)) {
    write_log_format("Wrong .ddd version: %.2f. Can use 1.02-%.2f\n", version, kBinaryVersionHighest);
    return Failure::read;
  }
  const bool version2 = version >= 2.0;
  // Counts claim bytes: at least 4 a frame, 4 a colour, 8 a coordinate pair.
  if (frame_count < 0 || palette_count < 0 || texture_count < 0) return Failure::read;
  if (int64_t{palette_count} * 4 + int64_t{texture_count} * 8 + int64_t{frame_count} * 4 > bytes_left(f))
    return Failure::read;

  std::vector<float> texture;
  try {
    mesh.palette.resize(static_cast<size_t>(palette_count));
    texture.resize(static_cast<size_t>(texture_count) * 2);
  } catch (const std::bad_alloc&) {
    return Failure::memory;
  }
  if (!take(f, mesh.palette.data(), int64_t{palette_count} * 4) || !take(f, texture.data(), int64_t{texture_count} * 8))
    return Failure::read;
  for (const float t : texture)
    if (!std::isfinite(t)) return Failure::read;

  const auto texture_of = [&](MeshVertex& v, int64_t l, bool negate_v) {
    if (l < texture_count) {
      v.u = texture[static_cast<size_t>(l) * 2];
      v.v = negate_v ? -texture[static_cast<size_t>(l) * 2 + 1] : texture[static_cast<size_t>(l) * 2 + 1];
    }
  };

  for (int32_t frame = 0; frame < frame_count; ++frame) {
    int32_t n = 0;
    float offset[3] = {}, scale[3] = {};
    if (!take_value(f, n) || n < 0) return Failure::read;
    if (!version2 && (!take(f, offset, sizeof offset) || !take(f, scale, sizeof scale) ||
                      !finite3(offset[0], offset[1], offset[2]) || !finite3(scale[0], scale[1], scale[2])))
      return Failure::read;
    const int64_t record = version2 ? 14 : 5;
    // What the rest of the frame list still needs: 4 bytes a frame to come.
    if (int64_t{n} * record + int64_t{frame_count - frame - 1} * 4 > bytes_left(f)) return Failure::read;
    try {
      mesh.frames.emplace_back();
      mesh.frames.back().vertices.reserve(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
      return Failure::memory;
    }
    std::vector<MeshVertex>& out = mesh.frames.back().vertices;
    bool ok;
    if (version2) {
      ok = read_records(f, n, record, [&](const uint8_t* p, int64_t l) {
        MeshVertex v;
        std::memcpy(&v.x, p, 12);
        if (!finite3(v.x, v.y, v.z)) return false;
        binary_normal(v, p[12]);
        binary_colour(v, p[13], mesh.palette);
        texture_of(v, l, false);
        out.push_back(v);  // reserved: never throws
        return true;
      });
    } else {
      ok = read_records(f, n, record, [&](const uint8_t* p, int64_t m) {
        MeshVertex v;
        v.x = scale[0] * (static_cast<float>(p[0]) - offset[0]);
        v.y = scale[1] * (static_cast<float>(p[1]) - offset[1]);
        v.z = scale[2] * (static_cast<float>(p[2]) - offset[2]);
        if (!finite3(v.x, v.y, v.z)) return false;  // a huge scale overflows
        binary_normal(v, p[3]);
        binary_colour(v, p[4], mesh.palette);
        texture_of(v, m, true);
        out.push_back(v);
        return true;
      });
    }
    if (!ok) return Failure::read;
  }
  return Failure::none;
}

// ---- text form ----

// Tokens straight from the file's read-ahead buffer (or its memory image).
class Tokens {
 public:
  static constexpr int kTokenBytes = 1024;  // with the terminating zero
  static constexpr int kCommentBytes = 512;

  explicit Tokens(RtFile& f) : f_(f) {}
  ~Tokens() { settle(); }
  Tokens(const Tokens&) = delete;
  Tokens& operator=(const Tokens&) = delete;

  // The next token into text(): 1, 0 at the end of the file, -1 for a token
  // too long for its buffer or a failed read.
  int next() {
    length_ = 0;
    text_[0] = 0;
    for (;;) {
      const int c = peek();
      if (c < 0) return c == kEnd ? 0 : -1;
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        ++at_;
        continue;
      }
      if (c == '#') {
        ++at_;
        if (!skip_comment()) return -1;
        continue;
      }
      break;
    }
    for (;;) {
      // The token's bytes from the current buffer in one sweep.
      const uint8_t* p = data_ + at_;
      const uint8_t* end = data_ + got_;
      const uint8_t* q = p;
      while (q < end && !ends_token(*q)) ++q;
      const int64_t n = q - p;
      if (length_ + n >= kTokenBytes) return -1;
      std::memcpy(text_ + length_, p, static_cast<size_t>(n));
      length_ += static_cast<int>(n);
      at_ += n;
      if (q < end) break;
      const int c = peek();
      if (c == kFailed) return -1;
      if (c == kEnd) break;
    }
    text_[length_] = 0;
    return 1;
  }

  const char* text() const { return text_; }

  // The next token as a float (0 when the file has ended); false for a bad
  // token or a number that is not finite in single precision.
  bool number(float& out) {
    const int r = next();
    if (r < 0) return false;
    out = r == 0 ? 0.0f : static_cast<float>(parse_atof(text_));
    return std::isfinite(out);
  }

  // A count or index: the number truncated to int; false outside int's range.
  bool integer(int64_t& out) {
    float x = 0;
    if (!number(x) || !(x > -2147483648.0f && x < 2147483648.0f)) return false;
    out = static_cast<int32_t>(x);
    return true;
  }

  // A count of items still to come: every one of them takes at least a byte.
  bool count(int64_t& out) { return integer(out) && out >= 0 && out <= left(); }

  int64_t left() {
    settle();
    return bytes_left(f_);
  }

 private:
  static constexpr int kEnd = -1;
  static constexpr int kFailed = -2;

  static bool ends_token(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '#'; }

  // Hands the bytes taken so far back to the file.
  void settle() {
    if (at_ > 0) skip_bytes(f_, at_);
    data_ += at_;
    got_ -= at_;
    at_ = 0;
  }

  int peek() {
    if (at_ < got_) return data_[at_];
    settle();
    got_ = peek_bytes(f_, data_, kReadAheadBytes);
    if (got_ < 0) {
      got_ = 0;
      return kFailed;
    }
    return got_ == 0 ? kEnd : data_[0];
  }

  // After a "#": up to kCommentBytes bytes of the line; what follows them on
  // the same line is read as tokens.
  bool skip_comment() {
    for (int skipped = 0; skipped < kCommentBytes; ++skipped) {
      const int c = peek();
      if (c == kFailed) return false;
      if (c == kEnd || c == '\n') return true;
      ++at_;
    }
    return true;
  }

  RtFile& f_;
  const uint8_t* data_ = nullptr;
  int64_t got_ = 0;  // bytes at data_
  int64_t at_ = 0;   // bytes of them taken
  char text_[kTokenBytes];
  int length_ = 0;
};

struct Face {
  uint32_t packed;
  int64_t first;  // into the corner list
  int64_t count;
};

struct Corner {
  int32_t vertex;
  int32_t texture;
};

// The most vertices a text object may expand to. Its face list is repeated
// for every frame, so a short file could ask for a great many; real objects
// come to well under one vertex a byte of file, since every frame brings its
// own vertex list.
int64_t text_vertex_limit(int64_t file_size) { return file_size * 2 + 65536; }

Failure read_text(RtFile& f, MeshObject& mesh) {
  const int64_t file_size = f.size;
  Tokens in(f);
  if (in.next() != 1 || std::strcmp(in.text(), "DDDA") != 0) return Failure::read;
  float version = 0;
  if (!in.number(version) || version > kTextVersionHighest) return Failure::read;
  const bool has_normals = version >= kTextVersionHighest;

  try {
    int64_t texture_count = 0;
    if (!in.count(texture_count)) return Failure::read;
    std::vector<float> texture(static_cast<size_t>(texture_count) * 2);
    for (float& t : texture)
      if (!in.number(t)) return Failure::read;

    int64_t face_count = 0;
    if (!in.count(face_count)) return Failure::read;
    std::vector<Face> faces;
    std::vector<Corner> corners;
    for (int64_t i = 0; i < face_count; ++i) {
      int64_t rgb[3] = {}, corner_count = 0;
      for (int64_t& c : rgb) {
        if (!in.integer(c)) return Failure::read;
        c = std::clamp<int64_t>(c, 0, 255);  // out of range would spill into the next byte, or make a marker
      }
      if (!in.count(corner_count)) return Failure::read;
      faces.push_back({static_cast<uint32_t>(rgb[0] | rgb[1] << 8 | rgb[2] << 16),
                       static_cast<int64_t>(corners.size()), corner_count});
      for (int64_t k = 0; k < corner_count; ++k) {
        int64_t vertex = 0, tex = 0;
        if (!in.integer(vertex) || !in.integer(tex) || vertex < 0) return Failure::read;
        if (texture_count > 0 && (tex < 0 || tex >= texture_count)) return Failure::read;
        corners.push_back({static_cast<int32_t>(vertex), static_cast<int32_t>(tex)});
      }
    }

    int64_t frame_count = 0;
    if (!in.count(frame_count)) return Failure::read;
    const int64_t per_frame = face_count + static_cast<int64_t>(corners.size());
    // A frame counts as one vertex more: a file of many empty frames is no cheaper.
    if (frame_count > 0 && per_frame + 1 > text_vertex_limit(file_size) / frame_count) return Failure::read;
    int32_t highest_vertex = -1;
    for (const Corner& c : corners) highest_vertex = std::max(highest_vertex, c.vertex);

    std::vector<float> points;  // x y z nx ny nz of the frame's vertices
    for (int64_t frame = 0; frame < frame_count; ++frame) {
      int64_t n = 0;
      if (!in.count(n) || n <= highest_vertex) return Failure::read;
      points.assign(static_cast<size_t>(n) * 6, 0.0f);
      for (int64_t i = 0; i < n; ++i) {
        float* p = &points[static_cast<size_t>(i) * 6];
        for (int k = 0; k < (has_normals ? 6 : 3); ++k)
          if (!in.number(p[k])) return Failure::read;
      }
      mesh.frames.emplace_back();
      std::vector<MeshVertex>& out = mesh.frames.back().vertices;
      out.reserve(static_cast<size_t>(per_frame));
      for (const Face& face : faces) {
        MeshVertex marker;
        set_vertex_colour(marker, kFaceMarker);
        out.push_back(marker);
        for (int64_t k = 0; k < face.count; ++k) {
          const Corner& c = corners[static_cast<size_t>(face.first + k)];
          const float* p = &points[static_cast<size_t>(c.vertex) * 6];
          MeshVertex v;
          v.x = p[0];
          v.y = p[1];
          v.z = p[2];
          v.nx = p[3];
          v.ny = p[4];
          v.nz = p[5];
          if (texture_count > 0) {
            v.u = texture[static_cast<size_t>(c.texture) * 2];
            v.v = -texture[static_cast<size_t>(c.texture) * 2 + 1];
          }
          set_vertex_colour(v, face.packed);
          out.push_back(v);
        }
      }
    }
    mesh.loaded = 1;

    // The palette: every colour in order of first use.
    std::unordered_map<uint32_t, uint32_t> index_of;
    for (MeshFrame& frame : mesh.frames)
      for (MeshVertex& v : frame.vertices) {
        const auto [it, added] = index_of.try_emplace(v.packed, static_cast<uint32_t>(mesh.palette.size()));
        if (added) mesh.palette.push_back(v.packed);
        v.palette_index = it->second;
      }
  } catch (const std::bad_alloc&) {
    return Failure::read;  // the text form knows one failure only
  }
  return Failure::none;
}

}  // namespace

bool load_ddd(MeshObject& mesh, const RtString& name) {
  clear_mesh(mesh);
  RtFile f;
  if (!open_read(f, name)) return false;
  const uint8_t* head = nullptr;
  const bool binary = peek_bytes(f, head, 4) == 4 && std::memcmp(head, kBinaryMagic, 4) == 0;
  const Failure failure = binary ? read_binary(f, mesh) : read_text(f, mesh);
  close(f);
  if (failure == Failure::none) {
    mesh.loaded = 1;
    return true;
  }
  write_log_line(failure == Failure::memory ? "# malloc error\n" : "# read error\n");
  write_log_line((std::string(name.c_str()) + "\n").c_str());
  clear_mesh(mesh);
  return false;
}

}  // namespace mxt

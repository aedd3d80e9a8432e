// The batches the 2D commands collect drawing in.
//
// Each sprite command draws at once as far as the picture is concerned.
// Underneath, consecutive quads that share texture, filter and GL state are
// collected and handed to GL in one call: anything that changes state, reads
// pixels back or presents the frame draws what is collected first (GlState's
// flush hook does it for every state change), so the order of drawing and
// every pixel are exactly as if each quad had been drawn alone.
//
// The polygon batch is the game's own: mxt_start_poly ... mxt_end_poly.
// The text buffer holds the vertices of the last printed text, drawn as one
// triangle strip. Both grow alike: 512 vertices at first, then in steps of
// 128, and never past kMaxBatchVertices.
#pragma once

#include <cstdint>
#include <vector>

namespace mxt {

class GlState;

// The most vertices a polygon batch or a printed text may hold.
constexpr int64_t kMaxBatchVertices = int64_t{1} << 26;

// The capacity that holds n vertices: 512, or the next step of 128 above n;
// -1 when that is past the limit.
constexpr int64_t batch_capacity_for(int64_t n) {
  const int64_t fresh = n <= 512 ? 512 : 128 * (n / 128 + 1);
  return fresh > kMaxBatchVertices ? -1 : fresh;
}

struct QuadVertex {
  float x, y, u, v;
};

class QuadBatch {
 public:
  void add(const QuadVertex (&v)[4]) { vertices_.insert(vertices_.end(), v, v + 4); }
  bool empty() const { return vertices_.empty(); }
  void flush();                     // draws and empties the batch
  static void flush_hook(void* batch) { static_cast<QuadBatch*>(batch)->flush(); }

  // What the collected quads were drawn with; a quad with other settings
  // flushes the batch first.
  bool textured = false;
  int32_t filter = 0;
  int32_t wrap = 0;
  GlState* gl = nullptr;            // counts the draw calls; set by the renderer

 private:
  std::vector<QuadVertex> vertices_;
};

struct PolyVertex {
  float x, y, u, v;
  uint8_t r, g, b, a;
};
static_assert(sizeof(PolyVertex) == 20);

struct PolyBatch {
  PolyVertex* vertices = nullptr;   // malloc'd; grown in steps, freed with the renderer
  int32_t count = 0;
  int32_t capacity = 0;
  int32_t mode = 0;                 // 0 fan, 1 triangles, 2 strip
  int32_t join_pending = 0;
  int32_t uses_colour = 0;
  float inverse_width = 0, inverse_height = 0;
  int32_t image_height = 0;

  bool grow(int64_t n);             // room for n vertices: 512 at first, then steps of 128
  void release();
};

struct TextVertex {
  float x, y, z, u, v;
};
static_assert(sizeof(TextVertex) == 20);

struct TextBuffer {
  TextVertex* vertices = nullptr;   // malloc'd; grown like the polygon batch, freed with the renderer
  int32_t count = 0;
  int32_t capacity = 0;

  bool grow(int64_t n);             // room for n vertices; false (and empty) past the limit
  void release();
};

}  // namespace mxt

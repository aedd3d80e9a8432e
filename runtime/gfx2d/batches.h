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
#pragma once

#include <cstdint>
#include <vector>

namespace mxt {

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

}  // namespace mxt
